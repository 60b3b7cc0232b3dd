#include "ui/text/text_document.h"

#include <algorithm>
#include <cstring>

#include "core/encoding/utf8_check.h"
#include "core/two_halves/two_halves.h"
#include "ui/text/block_sums.h"

namespace {

// Blocks are cut near this size: small enough that reading one is cheap, large enough that
// their sums stay a small part of the document.
constexpr qsizetype kBlockSize = 4096;
// A rest shorter than this stays with the block before it.
constexpr qsizetype kBlockMinimum = 1024;
// The gap a full buffer grows by, at the least.
constexpr qsizetype kGapRoom = qsizetype{1} << 16;

}  // namespace

QByteArrayView lineEndBytes(LineEnd lineEnd) {
    switch (lineEnd) {
        case LineEnd::Lf:
            return "\n";
        case LineEnd::Cr:
            return "\r";
        case LineEnd::CrLf:
            break;
    }
    return "\r\n";
}

TextDocument::TextDocument(QObject *parent) : QObject(parent) {}

void TextDocument::setBytes(QByteArray bytes) {
    const bool wasModified = isModified();
    const qsizetype oldBlocks = blockCount();
    storage_ = std::move(bytes);
    // Whatever room the buffer has behind the text becomes the gap, without a copy.
    gapStart_ = storage_.size();
    gapEnd_ = storage_.size();
    blocks_.clear();
    indexWhole();
    invalidateSums(0);
    history_.clear();
    emit blocksReplaced(0, oldBlocks, blockCount());
    emit reset();
    if (wasModified) emit modificationChanged(false);
}

QByteArrayView TextDocument::bytes() {
    moveGap(size());
    return QByteArrayView(storage_.constData(), size());
}

QByteArray TextDocument::slice(qsizetype from, qsizetype to) const {
    QByteArray out;
    out.resize(to - from);
    const qsizetype beforeGap = std::clamp(gapStart_ - from, qsizetype{0}, to - from);
    std::memcpy(out.data(), storage_.constData() + from, std::size_t(beforeGap));
    std::memcpy(out.data() + beforeGap, storage_.constData() + from + beforeGap + gapLength(),
                std::size_t(to - from - beforeGap));
    return out;
}

void TextDocument::moveGap(qsizetype position) {
    if (position == gapStart_) return;
    char *data = storage_.data();
    if (position < gapStart_) {
        const qsizetype length = gapStart_ - position;
        std::memmove(data + gapEnd_ - length, data + position, std::size_t(length));
        gapStart_ = position;
        gapEnd_ -= length;
    } else {
        const qsizetype length = position - gapStart_;
        std::memmove(data + gapStart_, data + gapEnd_, std::size_t(length));
        gapStart_ += length;
        gapEnd_ += length;
    }
}

void TextDocument::makeRoom(qsizetype length) {
    if (gapLength() >= length) return;
    // Text behind the gap moves to the end of the larger buffer; the gap grows by an eighth of
    // the text, so that typing costs a copy of the document only now and then, and the larger
    // buffer does not weigh much more than the text.
    const qsizetype tail = storage_.size() - gapEnd_;
    const qsizetype grown = storage_.size() + std::max({length, kGapRoom, size() / 8});
    storage_.resize(grown);
    char *data = storage_.data();
    std::memmove(data + grown - tail, data + gapEnd_, std::size_t(tail));
    gapEnd_ = grown - tail;
}

void TextDocument::apply(qsizetype from, qsizetype removedLength, QByteArrayView text) {
    moveGap(from);
    gapEnd_ += removedLength;
    makeRoom(text.size());
    if (!text.isEmpty())
        std::memcpy(storage_.data() + gapStart_, text.data(), std::size_t(text.size()));
    gapStart_ += text.size();
    reindex(from, removedLength, text.size());
}

QByteArray TextDocument::replace(qsizetype from, qsizetype to, QByteArrayView text, EditKind kind) {
    from = std::clamp(from, qsizetype{0}, size());
    to = std::clamp(to, from, size());
    if (from == to && text.isEmpty()) return {};
    const bool wasModified = isModified();
    TextChange change{from, slice(from, to), text.size()};
    history_.record(from, change.removed, text, kind);
    apply(from, to - from, text);
    emit changed(change);
    if (wasModified != isModified()) emit modificationChanged(isModified());
    return change.removed;
}

qsizetype TextDocument::undo() {
    if (!canUndo()) return -1;
    const bool wasModified = isModified();
    const std::span<const UndoEdit> step = history_.undo();
    // Taken back from the last edit, the first one's place is where the caret goes.
    for (auto edit = step.rbegin(); edit != step.rend(); ++edit)
        applyRecorded(edit->position, edit->inserted, edit->removed);
    if (wasModified != isModified()) emit modificationChanged(isModified());
    return step.front().position + step.front().removed.size();
}

qsizetype TextDocument::redo() {
    if (!canRedo()) return -1;
    const bool wasModified = isModified();
    const std::span<const UndoEdit> step = history_.redo();
    for (const UndoEdit &edit : step) applyRecorded(edit.position, edit.removed, edit.inserted);
    if (wasModified != isModified()) emit modificationChanged(isModified());
    return step.back().position + step.back().inserted.size();
}

void TextDocument::applyRecorded(qsizetype position, const QByteArray &removed,
                                 const QByteArray &inserted) {
    const TextChange change{position, removed, inserted.size()};
    apply(position, removed.size(), inserted);
    emit changed(change);
}

void TextDocument::setSavePoint() {
    const bool wasModified = isModified();
    history_.setSavePoint();
    if (wasModified) emit modificationChanged(false);
}

void TextDocument::appendBlocks(std::vector<Block> &out, qsizetype from, qsizetype to) const {
    if (from >= to) return;
    // The region in one piece: the whole text when the gap is behind it, as after loading.
    QByteArray scratch;
    const char *base;
    if (to <= gapStart_ || from >= gapStart_) {
        base = storage_.constData() + (from < gapStart_ ? from : from + gapLength());
    } else {
        scratch = slice(from, to);
        base = scratch.constData();
    }
    const char *end = base + (to - from);
    for (const char *p = base; p < end;) {
        const char *cut = end;
        if (end - p >= kBlockSize + kBlockMinimum) {
            cut = p + kBlockSize;
            while (cut < end && !mayStartBlock(base, cut)) ++cut;
        }
        const BlockSums c = sumBlock(p, cut);
        out.push_back({qint32(cut - p), qint32(c.units), qint32(c.lineEnds)});
        p = cut;
    }
}

void TextDocument::indexWhole() {
    // Opening a big page waits for these sums, so the two halves of a big text are summed at
    // once, cut where a block may start. The gap lies behind the text.
    const qsizetype total = size();
    const char *const text = storage_.constData();
    qsizetype middle = total < kTwoCoresFrom ? total : total / 2;
    while (middle < total && !mayStartBlock(text, text + middle)) ++middle;
    std::vector<Block> secondHalf;
    inTwoHalves(
        total, [&] { appendBlocks(blocks_, 0, middle); },
        [&] { appendBlocks(secondHalf, middle, total); });
    blocks_.insert(blocks_.end(), secondHalf.begin(), secondHalf.end());
}

void TextDocument::reindex(qsizetype from, qsizetype removedLength, qsizetype insertedLength) {
    // Bytes up to three before and after the edit may now read differently, and so may the
    // blocks that hold them; those are summed again, with a neighbour where they are small.
    const qsizetype oldSize = size() - insertedLength + removedLength;
    qsizetype first = 0;
    qsizetype last = 0;  // past the end
    qsizetype regionStart = 0;
    qsizetype regionEnd = 0;  // in the old text
    if (!blocks_.empty()) {
        first = blockAt(std::max(from - 4, qsizetype{0}));
        last = blockAt(std::min(from + removedLength + 4, oldSize)) + 1;
        last = std::min(last, blockCount());
        regionStart = blockStart(first);
        regionEnd = blockStart(last - 1) + block(last - 1).bytes;
        if (regionEnd - regionStart + insertedLength - removedLength < kBlockMinimum) {
            if (last < blockCount()) {
                regionEnd += block(last).bytes;
                ++last;
            } else if (first > 0) {
                --first;
                regionStart -= block(first).bytes;
            }
        }
    }
    std::vector<Block> fresh;
    appendBlocks(fresh, regionStart, regionEnd + insertedLength - removedLength);
    blocks_.erase(blocks_.begin() + first, blocks_.begin() + last);
    blocks_.insert(blocks_.begin() + first, fresh.begin(), fresh.end());
    invalidateSums(first);
    emit blocksReplaced(first, last - first, qsizetype(fresh.size()));
}

void TextDocument::invalidateSums(qsizetype fromBlock) const {
    sumsValid_ = std::min(sumsValid_, std::size_t(fromBlock));
}

const TextDocument::Sums &TextDocument::sumsBefore(qsizetype index) const {
    if (sums_.size() < blocks_.size() + 1) sums_.resize(blocks_.size() + 1);
    if (std::size_t(index) >= sumsValid_) {
        if (sumsValid_ == 0) {
            sums_[0] = {};
            sumsValid_ = 1;
        }
        for (std::size_t i = sumsValid_; i <= blocks_.size(); ++i) {
            const Block &b = blocks_[i - 1];
            sums_[i] = {sums_[i - 1].bytes + b.bytes, sums_[i - 1].units + b.units,
                        sums_[i - 1].lineEnds + b.lineEnds};
        }
        sumsValid_ = blocks_.size() + 1;
    }
    return sums_[std::size_t(index)];
}

qsizetype TextDocument::blockStart(qsizetype index) const {
    return sumsBefore(index).bytes;
}

qsizetype TextDocument::blockAt(qsizetype position) const {
    if (blocks_.empty()) return 0;
    sumsBefore(blockCount());
    // The last block whose start is at or before position.
    const auto found =
        std::upper_bound(sums_.begin() + 1, sums_.begin() + qsizetype(blocks_.size()), position,
                         [](qsizetype p, const Sums &s) { return p < s.bytes; });
    return (found - sums_.begin()) - 1;
}

const char *TextDocument::blockData(qsizetype index, QByteArray &scratch) const {
    const qsizetype start = blockStart(index);
    const qsizetype end = start + block(index).bytes;
    if (end <= gapStart_) return storage_.constData() + start;
    if (start >= gapStart_) return storage_.constData() + start + gapLength();
    scratch = slice(start, end);
    return scratch.constData();
}

qsizetype TextDocument::lineCount() const {
    return sumsBefore(blockCount()).lineEnds + 1;
}

qsizetype TextDocument::lineStart(qsizetype line) const {
    if (line <= 0) return 0;
    if (line >= lineCount()) return size();
    sumsBefore(blockCount());
    // The block that holds the line end before the line.
    const auto found =
        std::lower_bound(sums_.begin() + 1, sums_.begin() + qsizetype(blocks_.size()) + 1, line,
                         [](const Sums &s, qsizetype l) { return s.lineEnds < l; });
    const qsizetype index = (found - sums_.begin()) - 1;
    QByteArray scratch;
    const char *data = blockData(index, scratch);
    const qsizetype inBlock = line - sums_[std::size_t(index)].lineEnds;
    return blockStart(index) + (afterLineEnd(data, data + block(index).bytes, inBlock) - data);
}

qsizetype TextDocument::lineTextEnd(qsizetype line) const {
    if (line + 1 >= lineCount()) return size();
    qsizetype end = lineStart(line + 1) - 1;
    if (at(end) == '\n' && end > 0 && at(end - 1) == '\r') --end;
    return end;
}

qsizetype TextDocument::lineOf(qsizetype position) const {
    position = std::clamp(position, qsizetype{0}, size());
    if (blocks_.empty()) return 0;
    const qsizetype index = blockAt(position);
    QByteArray scratch;
    const char *data = blockData(index, scratch);
    const char *end = data + block(index).bytes;
    const char *stop = data + (position - blockStart(index));
    qsizetype line = sumsBefore(index).lineEnds;
    for (const char *p = data; p < stop; ++p) {
        if (*p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n'))) ++line;
    }
    return line;
}

qsizetype TextDocument::unitCount() const {
    return sumsBefore(blockCount()).units;
}

qsizetype TextDocument::unitsBefore(qsizetype position) const {
    position = std::clamp(position, qsizetype{0}, size());
    if (blocks_.empty()) return 0;
    const qsizetype index = blockAt(position);
    QByteArray scratch;
    const char *data = blockData(index, scratch);
    qsizetype units = sumsBefore(index).units;
    const char *end = data + block(index).bytes;
    const char *stop = data + (position - blockStart(index));
    for (const char *p = data; p < stop;) {
        const int length = utf8SequenceLength(p, end);
        units += length == 4 ? 2 : 1;
        p += length == 0 ? 1 : length;
    }
    return units;
}

qsizetype TextDocument::positionOfUnit(qsizetype unit) const {
    if (unit <= 0 || blocks_.empty()) return 0;
    if (unit >= unitCount()) return size();
    sumsBefore(blockCount());
    const auto found =
        std::upper_bound(sums_.begin() + 1, sums_.begin() + qsizetype(blocks_.size()), unit,
                         [](qsizetype u, const Sums &s) { return u < s.units; });
    const qsizetype index = (found - sums_.begin()) - 1;
    QByteArray scratch;
    const char *data = blockData(index, scratch);
    const char *end = data + block(index).bytes;
    qsizetype units = sums_[std::size_t(index)].units;
    const char *p = data;
    while (p < end) {
        const int length = utf8SequenceLength(p, end);
        const int width = length == 4 ? 2 : 1;
        if (units + width > unit) break;
        units += width;
        p += length == 0 ? 1 : length;
    }
    return blockStart(index) + (p - data);
}

QString TextDocument::readable(const QByteArray &bytes) {
    return QString::fromUtf8(readableUtf8(bytes));
}

QByteArray TextDocument::readableUtf8(const QByteArray &bytes) {
    if (isValidUtf8(bytes)) return bytes;
    // Each byte that is no character becomes one U+FFFD, as it counts one code unit.
    constexpr QByteArrayView kReplacement = "\xEF\xBF\xBD";
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 8);
    const char *end = bytes.constData() + bytes.size();
    const char *run = bytes.constData();
    for (const char *p = run; p < end;) {
        const int length = utf8SequenceLength(p, end);
        if (length > 0) {
            p += length;
            continue;
        }
        out.append(run, p - run);
        out.append(kReplacement);
        run = ++p;
    }
    out.append(run, end - run);
    return out;
}

qsizetype TextDocument::nextCharacter(qsizetype position) const {
    if (position >= size()) return size();
    char bytes[4] = {};
    const qsizetype available = std::min(qsizetype{4}, size() - position);
    for (qsizetype i = 0; i < available; ++i) bytes[i] = at(position + i);
    if (bytes[0] == '\r' && available > 1 && bytes[1] == '\n') return position + 2;
    const int length = utf8SequenceLength(bytes, bytes + available);
    return position + (length == 0 ? 1 : length);
}

qsizetype TextDocument::previousCharacter(qsizetype position) const {
    if (position <= 0) return 0;
    if (position >= 2 && at(position - 1) == '\n' && at(position - 2) == '\r') return position - 2;
    for (qsizetype length = 2; length <= 4 && position - length >= 0; ++length) {
        char bytes[4];
        for (qsizetype i = 0; i < length; ++i) bytes[i] = at(position - length + i);
        if (utf8SequenceLength(bytes, bytes + length) == length) return position - length;
    }
    return position - 1;
}
