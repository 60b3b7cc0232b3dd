#pragma once

#include <QByteArray>
#include <span>
#include <vector>

// What an edit was, which decides whether it joins the step before it: typed characters join
// the typing just before them, Backspace and Delete the deleting just before them.
enum class EditKind { Other, Typing, DeleteBackward, DeleteForward };

// One edit as the history keeps it: the bytes at position that were removed and those put there
// instead.
struct UndoEdit {
    qsizetype position = 0;
    QByteArray removed;
    QByteArray inserted;
    EditKind kind = EditKind::Other;
    // Whether it is undone and redone with the edit before it, as one step.
    bool joinsPrevious = false;
};

// The steps that can be undone and redone, each one edit or several, and where the document was
// last saved.
class UndoHistory {
public:
    void clear();
    // Records an edit made at the current point; what was undone can no longer be redone.
    void record(qsizetype position, QByteArray removed, QByteArrayView inserted, EditKind kind);
    void closeStep() { open_ = false; }
    // Between the two, every edit recorded joins one step.
    void beginJoinedStep();
    void endJoinedStep();

    bool canUndo() const { return done_ > 0; }
    bool canRedo() const { return done_ < edits_.size(); }
    // The edits of the step to take back or to make again, in the order they were made; the
    // caller applies them, those taken back from the last.
    std::span<const UndoEdit> undo();
    std::span<const UndoEdit> redo();

    void setSavePoint();
    bool isModified() const { return saved_ != done_; }

private:
    std::vector<UndoEdit> edits_;
    // The number of edits done; a step's edits are always all done or all undone.
    std::size_t done_ = 0;
    // The number of edits done when the document was saved; none once that state is gone.
    std::size_t saved_ = 0;
    static constexpr std::size_t kLost = std::size_t(-1);
    // Whether the last step may still grow; a step the save point stands behind never does.
    bool open_ = false;
    // Inside a joined step: whether it has an edit yet.
    bool joining_ = false;
    bool joinedAny_ = false;
};
