#include "ui/text/undo_history.h"

void UndoHistory::clear() {
    edits_.clear();
    done_ = 0;
    saved_ = 0;
    open_ = false;
    joining_ = joinedAny_ = false;
}

void UndoHistory::record(qsizetype position, QByteArray removed, QByteArrayView inserted,
                         EditKind kind) {
    if (done_ < edits_.size()) {
        edits_.resize(done_);
        if (saved_ > done_ && saved_ != kLost) saved_ = kLost;
        open_ = false;
    }
    if (open_ && kind != EditKind::Other && !joining_) {
        UndoEdit &last = edits_.back();
        if (last.kind == kind) {
            if (kind == EditKind::Typing && removed.isEmpty() &&
                position == last.position + last.inserted.size()) {
                last.inserted.append(inserted);
                return;
            }
            if (kind == EditKind::DeleteBackward && inserted.isEmpty() &&
                position + removed.size() == last.position && last.inserted.isEmpty()) {
                last.removed.prepend(removed);
                last.position = position;
                return;
            }
            if (kind == EditKind::DeleteForward && inserted.isEmpty() &&
                position == last.position && last.inserted.isEmpty()) {
                last.removed.append(removed);
                return;
            }
        }
    }
    edits_.push_back(
        {position, std::move(removed), inserted.toByteArray(), kind, joining_ && joinedAny_});
    ++done_;
    joinedAny_ = joining_;
    open_ = kind != EditKind::Other && !joining_;
}

void UndoHistory::beginJoinedStep() {
    open_ = false;
    joining_ = true;
    joinedAny_ = false;
}

void UndoHistory::endJoinedStep() {
    open_ = false;
    joining_ = joinedAny_ = false;
}

std::span<const UndoEdit> UndoHistory::undo() {
    open_ = false;
    std::size_t first = done_ - 1;
    while (first > 0 && edits_[first].joinsPrevious) --first;
    const std::span<const UndoEdit> step(edits_.data() + first, done_ - first);
    done_ = first;
    return step;
}

std::span<const UndoEdit> UndoHistory::redo() {
    open_ = false;
    const std::size_t first = done_;
    do ++done_;
    while (done_ < edits_.size() && edits_[done_].joinsPrevious);
    return {edits_.data() + first, done_ - first};
}

void UndoHistory::setSavePoint() {
    saved_ = done_;
    open_ = false;
}
