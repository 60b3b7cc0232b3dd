#include "ui/text/undo_history.h"

void UndoHistory::clear() {
    steps_.clear();
    done_ = 0;
    saved_ = 0;
    open_ = false;
}

void UndoHistory::record(qsizetype position, QByteArray removed, QByteArrayView inserted,
                         EditKind kind) {
    if (done_ < steps_.size()) {
        steps_.resize(done_);
        if (saved_ > done_ && saved_ != kLost) saved_ = kLost;
        open_ = false;
    }
    if (open_ && kind != EditKind::Other) {
        UndoStep &last = steps_.back();
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
    steps_.push_back({position, std::move(removed), inserted.toByteArray(), kind});
    ++done_;
    open_ = kind != EditKind::Other;
}

const UndoStep &UndoHistory::undo() {
    open_ = false;
    return steps_[--done_];
}

const UndoStep &UndoHistory::redo() {
    open_ = false;
    return steps_[done_++];
}

void UndoHistory::setSavePoint() {
    saved_ = done_;
    open_ = false;
}
