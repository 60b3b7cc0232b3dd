#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <vector>

#include "ui/text/undo_history.h"

// What Enter inserts, and what every line end of pasted or dropped text becomes.
enum class LineEnd { CrLf, Lf, Cr };

QByteArrayView lineEndBytes(LineEnd lineEnd);

// The bytes of one edit as the document reports them after making it.
struct TextChange {
    qsizetype position = 0;
    QByteArray removed;
    qsizetype inserted = 0;

    // Where a position of the text before the edit is after it; one inside what was removed goes
    // behind what was inserted.
    qsizetype shifted(qsizetype p) const {
        if (p >= position + removed.size()) return p + inserted - removed.size();
        return p > position ? position + inserted : p;
    }
};

// The document of a text area: exact bytes, whatever they are, in a gap buffer, so that an edit
// anywhere costs the distance the gap moves and nothing that grows with the document.
//
// Beside the bytes it keeps a summary per block of a few KiB: its bytes, the UTF-16 code units
// they stand for and the line ends in it. A line ends at CR LF, at a CR on its own and at a LF on
// its own. Blocks start only where reading can start afresh (never inside a UTF-8 character nor
// between CR and LF), so each is summed on its own, an edit sums again only the blocks around it,
// and every question about lines or character offsets reads sums and at most one block.
//
// Character offsets count UTF-16 code units, as QString and the platform's input methods and
// accessibility do; a byte that is not part of a well-formed UTF-8 character counts as one.
class TextDocument : public QObject {
    Q_OBJECT

public:
    explicit TextDocument(QObject *parent = nullptr);

    // Replaces the whole text; the undo history starts empty, at the save point.
    void setBytes(QByteArray bytes);

    qsizetype size() const { return storage_.size() - gapLength(); }
    char at(qsizetype position) const {
        return storage_.at(position < gapStart_ ? position : position + gapLength());
    }
    // All bytes in one piece, valid until the next change. The gap moves behind the text for it,
    // which costs a move of what lies behind the gap the first time after an edit, and nothing
    // the next times.
    QByteArrayView bytes();
    QByteArray slice(qsizetype from, qsizetype to) const;

    qsizetype lineCount() const;
    qsizetype lineOf(qsizetype position) const;
    qsizetype lineStart(qsizetype line) const;
    // Where the line's text ends, before its line end.
    qsizetype lineTextEnd(qsizetype line) const;

    qsizetype unitCount() const;
    qsizetype unitsBefore(qsizetype position) const;
    // The position of the character that holds that code unit, or the end.
    qsizetype positionOfUnit(qsizetype unit) const;
    // The text between two positions, a byte that is no character read as U+FFFD.
    QString text(qsizetype from, qsizetype to) const { return readable(slice(from, to)); }
    static QString readable(const QByteArray &bytes);
    // The same as UTF-8; well-formed bytes come back as they are, without a copy.
    static QByteArray readableUtf8(const QByteArray &bytes);

    // The neighbouring place where a character starts: after a well-formed UTF-8 character, a
    // single byte that is none, or a CR LF pair.
    qsizetype nextCharacter(qsizetype position) const;
    qsizetype previousCharacter(qsizetype position) const;

    // Replaces the bytes from..to with text and records it for undo; kind decides what joins the
    // previous step. Answers the bytes removed, which the undo history holds as well.
    QByteArray replace(qsizetype from, qsizetype to, QByteArrayView text,
                       EditKind kind = EditKind::Other);
    // Starts a new undo step even where the next edit would join the last one.
    void closeUndoStep() { history_.closeStep(); }
    // Between the two, every edit joins one undo step: the removal and the insertion of a text
    // moved elsewhere are undone together.
    void beginJoinedStep() { history_.beginJoinedStep(); }
    void endJoinedStep() { history_.endJoinedStep(); }

    bool canUndo() const { return history_.canUndo(); }
    bool canRedo() const { return history_.canRedo(); }
    // Each answers where the caret goes: behind the text the step puts back.
    qsizetype undo();
    qsizetype redo();

    void setSavePoint();
    bool isModified() const { return history_.isModified(); }

    LineEnd lineEnd() const { return lineEnd_; }
    void setLineEnd(LineEnd lineEnd) { lineEnd_ = lineEnd; }

    // Blocks in order, which blocksReplaced tells of as they change.
    struct Block {
        qint32 bytes = 0;
        qint32 units = 0;
        qint32 lineEnds = 0;
    };
    qsizetype blockCount() const { return qsizetype(blocks_.size()); }
    const Block &block(qsizetype index) const { return blocks_[std::size_t(index)]; }
    qsizetype blockStart(qsizetype index) const;
    qsizetype blockAt(qsizetype position) const;

signals:
    // The blocks from first on, removed of them, are now inserted fresh ones: before changed or
    // reset, so that whatever is kept per block is in step when they come.
    void blocksReplaced(qsizetype first, qsizetype removed, qsizetype inserted);
    void changed(const TextChange &change);
    void reset();
    void modificationChanged(bool modified);

private:
    struct Sums {
        qsizetype bytes = 0;
        qsizetype units = 0;
        qsizetype lineEnds = 0;
    };

    qsizetype gapLength() const { return gapEnd_ - gapStart_; }
    void moveGap(qsizetype position);
    void makeRoom(qsizetype length);
    void apply(qsizetype from, qsizetype removedLength, QByteArrayView text);
    // Makes an edit the history recorded, or takes one back: removed at position becomes inserted.
    // Tells of it.
    void applyRecorded(qsizetype position, const QByteArray &removed, const QByteArray &inserted);

    const Sums &sumsBefore(qsizetype block) const;
    void invalidateSums(qsizetype fromBlock) const;
    // Cuts from..to into blocks, summed; from and to must be places where a block may start.
    void appendBlocks(std::vector<Block> &out, qsizetype from, qsizetype to) const;
    // Cuts the whole text into blocks, summed, where there were none.
    void indexWhole();
    void reindex(qsizetype from, qsizetype removedLength, qsizetype insertedLength);
    // The block's bytes in one piece; scratch holds them where the gap cuts the block.
    const char *blockData(qsizetype index, QByteArray &scratch) const;

    QByteArray storage_;
    qsizetype gapStart_ = 0;
    qsizetype gapEnd_ = 0;
    std::vector<Block> blocks_;
    mutable std::vector<Sums> sums_;  // before each block, valid below sumsValid_
    mutable std::size_t sumsValid_ = 0;
    UndoHistory history_;
    LineEnd lineEnd_ = LineEnd::CrLf;
};
