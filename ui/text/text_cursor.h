#pragma once

#include <QByteArray>
#include <QMetaObject>
#include <optional>

#include "ui/text/text_document.h"

class LinePlacement;
struct KeyCommand;

// What a click selects, and a drag or Shift+click after it extends by: a double click words, a
// triple click lines.
enum class TextUnit { Character, Word, Line };

// The caret and the anchor of the selection in a TextDocument, with the moves and edits of a text
// area's keys and mouse, as QTextCursor stands beside QPlainTextEdit: no widget, so that each rule
// can be tried on a document alone. Positions follow the document's changes, whoever makes them.
class TextCursor {
public:
    // placement answers where positions stand on their lines, for Up and Down.
    TextCursor(TextDocument &document, const LinePlacement &placement);
    ~TextCursor();
    TextCursor(const TextCursor &) = delete;
    TextCursor &operator=(const TextCursor &) = delete;

    qsizetype position() const { return position_; }
    qsizetype anchor() const { return anchor_; }
    bool hasSelection() const { return position_ != anchor_; }
    qsizetype selectionStart() const { return std::min(position_, anchor_); }
    qsizetype selectionEnd() const { return std::max(position_, anchor_); }
    QByteArray selectedBytes() const;

    // Moves the caret, and the anchor with it unless extending; a move starts a new undo step.
    void setPosition(qsizetype position, bool extend = false);
    void select(qsizetype anchor, qsizetype position);
    void selectAll();
    // Moves by lines, keeping to the x the caret had before it moved up or down.
    void moveLines(qsizetype lines, bool extend);

    // A click selects the unit at position; a drag or Shift+click afterwards extends the selection
    // by whole units, away from the one clicked.
    void selectUnit(qsizetype position, TextUnit unit);
    void extendTo(qsizetype position);

    // Puts text in place of the selection, each of its line ends made the document's own, and the
    // caret behind it.
    void insert(QByteArrayView text, EditKind kind = EditKind::Other);
    // Text a key typed; several characters from one key are one undo step of their own.
    void type(const QString &text);
    // Answers the bytes removed, which the undo history holds as well.
    QByteArray removeSelection();
    // Moves the selected text to position as one undo step, its line ends made the document's
    // own as a drop's are; the text stays selected there. Onto the selection itself, nothing
    // moves, and it answers false.
    bool moveSelection(qsizetype position);
    // Each puts the caret behind what the step puts back.
    bool undo();
    bool redo();

    // Does what a key asks of the caret and the text; answers false for what is the view's to do:
    // pages, the clipboard and the context menu.
    bool perform(const KeyCommand &command);

private:
    void moveTo(qsizetype position, bool extend);
    // Where an edit leaves the caret: no selection, and no undo step closed.
    void placeAfterEdit(qsizetype position);
    QByteArray deleteTo(qsizetype position, EditKind kind);
    std::pair<qsizetype, qsizetype> unitAt(qsizetype position, TextUnit unit) const;
    void follow(const TextChange &change);
    void restart();

    TextDocument &document_;
    const LinePlacement &placement_;
    qsizetype position_ = 0;
    qsizetype anchor_ = 0;
    // The x that Up and Down keep to, taken from the caret at the first of them.
    std::optional<qreal> column_;
    // The unit a click selected, and where the one clicked lies.
    TextUnit unit_ = TextUnit::Character;
    qsizetype unitStart_ = 0;
    qsizetype unitEnd_ = 0;
    QMetaObject::Connection changed_;
    QMetaObject::Connection reset_;
};
