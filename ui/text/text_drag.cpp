#include "ui/text/text_drag.h"

#include <QDrag>
#include <QDropEvent>

#include "ui/text/text_editor.h"
#include "ui/text/text_mime_data.h"

namespace {

Qt::DropAction runPlatformDrag(QDrag *drag, Qt::DropActions actions, Qt::DropAction preferred) {
    return drag->exec(actions, preferred);
}

}  // namespace

DragAndDrop &dragAndDrop() {
    static DragAndDrop dragAndDrop{&runPlatformDrag};
    return dragAndDrop;
}

TextDrag::TextDrag(TextEditor &editor, TextCursor &cursor) : editor_(editor), cursor_(cursor) {}

void TextDrag::start() {
    auto *drag = new QDrag(&editor_);
    drag->setMimeData(new TextMimeData(cursor_.selectedBytes()));
    const Qt::DropActions actions =
        editor_.isReadOnly() ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction;
    dragging_ = true;
    droppedHere_ = false;
    const Qt::DropAction done = dragAndDrop().run(drag, actions, Qt::MoveAction);
    dragging_ = false;
    // A move into this area was made by the drop; one elsewhere takes the text away here.
    if (done == Qt::MoveAction && !droppedHere_) editor_.deleteSelection();
}

bool TextDrag::movesSelection(const QDropEvent &event) const {
    return dragging_ && event.possibleActions() & Qt::MoveAction &&
           !(event.modifiers() & Qt::ControlModifier);
}

void TextDrag::placeDropCaret(qsizetype position) {
    QWidget *viewport = editor_.viewport();
    if (dropCaret_ >= 0) viewport->update(editor_.caretRect(dropCaret_));
    dropCaret_ = position;
    if (dropCaret_ >= 0) viewport->update(editor_.caretRect(dropCaret_));
}

void TextDrag::enter(QDragEnterEvent &event) {
    if (editor_.isReadOnly() || !TextMimeData::bytesFrom(event.mimeData())) {
        event.ignore();
        return;
    }
    event.acceptProposedAction();
}

void TextDrag::move(QDragMoveEvent &event) {
    if (editor_.isReadOnly() || !TextMimeData::bytesFrom(event.mimeData())) {
        event.ignore();
        return;
    }
    placeDropCaret(editor_.positionAt(event.position().toPoint()));
    event.setDropAction(movesSelection(event) ? Qt::MoveAction : Qt::CopyAction);
    event.accept();
}

void TextDrag::leave() {
    placeDropCaret(-1);
}

bool TextDrag::drop(QDropEvent &event) {
    placeDropCaret(-1);
    const std::optional<QByteArray> bytes = TextMimeData::bytesFrom(event.mimeData());
    if (editor_.isReadOnly() || !bytes) {
        event.ignore();
        return false;
    }
    const qsizetype position = editor_.positionAt(event.position().toPoint());
    const bool move = movesSelection(event);
    droppedHere_ = dragging_;
    if (move) {
        // Onto itself, the text stays where it is.
        if (!cursor_.moveSelection(position)) {
            event.setDropAction(Qt::CopyAction);
            event.accept();
            return false;
        }
    } else {
        cursor_.setPosition(position);
        cursor_.insert(*bytes);
        // The dropped text stays selected.
        cursor_.select(position, cursor_.position());
    }
    event.setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    event.accept();
    return true;
}
