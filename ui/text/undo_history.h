#pragma once

#include <QByteArray>
#include <vector>

// What an edit was, which decides whether it joins the step before it: typed characters join
// the typing just before them, Backspace and Delete the deleting just before them.
enum class EditKind { Other, Typing, DeleteBackward, DeleteForward };

// One undoable step: the bytes at position that were removed and those put there instead.
struct UndoStep {
    qsizetype position = 0;
    QByteArray removed;
    QByteArray inserted;
    EditKind kind = EditKind::Other;
};

// The steps that can be undone and redone, and where the document was last saved.
class UndoHistory {
public:
    void clear();
    // Records an edit made at the current point; what was undone can no longer be redone.
    void record(qsizetype position, QByteArray removed, QByteArrayView inserted, EditKind kind);
    void closeStep() { open_ = false; }

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < steps_.size(); }
    // The step to take back or to make again; the caller applies it.
    const UndoStep &undo();
    const UndoStep &redo();

    void setSavePoint();
    bool isModified() const { return saved_ != done_; }

private:
    std::vector<UndoStep> steps_;
    std::size_t done_ = 0;
    // The number of steps done when the document was saved; none once that state is gone.
    std::size_t saved_ = 0;
    static constexpr std::size_t kLost = std::size_t(-1);
    // Whether the last step may still grow; a step the save point stands behind never does.
    bool open_ = false;
};
