#pragma once

#include <Qt>

class QDrag;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class TextCursor;
class TextEditor;

// The platform's drag and drop as a text area starts it: runs a drag to its end and answers what
// its target did with it. One seam, so that a drag can be made on a platform whose drags end at
// once, as the offscreen one's do.
struct DragAndDrop {
    Qt::DropAction (*run)(QDrag *drag, Qt::DropActions actions, Qt::DropAction preferred);
};
DragAndDrop &dragAndDrop();

// Text dragged out of a text area and dropped into one, as QWidgetTextControl drags for
// QPlainTextEdit: a drag of the selection moves it, or copies it where Ctrl is held or the area
// is read-only; a drop puts the text where the pointer is, where a caret shows while the drag
// moves over the area. A text moved inside the area is one undo step.
class TextDrag {
public:
    TextDrag(TextEditor &editor, TextCursor &cursor);

    // Drags the selection until it is dropped; a move elsewhere takes it away here.
    void start();

    // Where a drop would put its text, or -1 while no drag is over the area.
    qsizetype dropCaret() const { return dropCaret_; }
    void enter(QDragEnterEvent &event);
    void move(QDragMoveEvent &event);
    void leave();
    // Answers whether the drop changed the text, for the view to show it.
    bool drop(QDropEvent &event);

private:
    // Whether the drop would move the area's own selection rather than copy what it carries.
    bool movesSelection(const QDropEvent &event) const;
    void placeDropCaret(qsizetype position);

    TextEditor &editor_;
    TextCursor &cursor_;
    qsizetype dropCaret_ = -1;
    // While a drag out of this area runs: whether it came back and was dropped here.
    bool dragging_ = false;
    bool droppedHere_ = false;
};
