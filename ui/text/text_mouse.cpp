#include "ui/text/text_mouse.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleHints>

#include "ui/text/text_clipboard.h"
#include "ui/text/text_drag.h"
#include "ui/text/text_editor.h"

namespace {

constexpr int kAutoScrollMs = 50;

}  // namespace

TextMouse::TextMouse(TextEditor &editor, TextCursor &cursor, const GlyphWidths &widths,
                     TextDrag &drag)
    : editor_(editor), cursor_(cursor), widths_(widths), drag_(drag) {}

bool TextMouse::press(const QMouseEvent &event) {
    if (event.button() != Qt::LeftButton) return false;
    const QPoint point = event.position().toPoint();
    const qsizetype position = editor_.positionAt(point);
    lastPoint_ = point;
    const bool tripleClick =
        lastDoubleClick_.isValid() &&
        lastDoubleClick_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
        (point - doubleClickPoint_).manhattanLength() <
            QGuiApplication::styleHints()->startDragDistance();
    lastDoubleClick_.invalidate();
    if (tripleClick) {
        cursor_.selectUnit(position, TextUnit::Line);
    } else if (event.modifiers() & Qt::ShiftModifier) {
        cursor_.extendTo(position);
    } else if (cursor_.hasSelection() && position >= cursor_.selectionStart() &&
               position < cursor_.selectionEnd()) {
        mayDrag_ = true;
        pressPoint_ = point;
        return false;
    } else {
        cursor_.selectUnit(position, TextUnit::Character);
    }
    selecting_ = true;
    return true;
}

bool TextMouse::doubleClick(const QMouseEvent &event) {
    if (event.button() != Qt::LeftButton) return false;
    mayDrag_ = false;
    const QPoint point = event.position().toPoint();
    cursor_.selectUnit(editor_.positionAt(point), TextUnit::Word);
    selecting_ = true;
    lastDoubleClick_.start();
    doubleClickPoint_ = point;
    return true;
}

bool TextMouse::move(const QMouseEvent &event) {
    const QPoint point = event.position().toPoint();
    lastPoint_ = point;
    if (mayDrag_) {
        if ((point - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
            mayDrag_ = false;
            drag_.start();
        }
        return false;
    }
    if (!selecting_) return false;
    cursor_.extendTo(editor_.positionAt(point));
    if (editor_.viewport()->rect().contains(point))
        autoScroll_.stop();
    else if (!autoScroll_.isActive())
        autoScroll_.start(kAutoScrollMs, &editor_);
    return true;
}

bool TextMouse::autoScroll(int timerId) {
    if (timerId != autoScroll_.timerId()) return false;
    const QRect area = editor_.viewport()->rect();
    QScrollBar *vertical = editor_.verticalScrollBar();
    QScrollBar *horizontal = editor_.horizontalScrollBar();
    if (lastPoint_.y() < area.top()) vertical->setValue(vertical->value() - 1);
    if (lastPoint_.y() > area.bottom()) vertical->setValue(vertical->value() + 1);
    const int step = std::max(1, int(widths_.tabWidth() / 2));
    if (lastPoint_.x() < area.left()) horizontal->setValue(horizontal->value() - step);
    if (lastPoint_.x() > area.right()) horizontal->setValue(horizontal->value() + step);
    cursor_.extendTo(editor_.positionAt(lastPoint_));
    return true;
}

// Shift turns the wheel sideways, as browsers and other editors do.
bool TextMouse::wheel(QWheelEvent &event) {
    if (event.modifiers() != Qt::ShiftModifier) return false;
    QWheelEvent sideways(event.position(), event.globalPosition(), event.pixelDelta().transposed(),
                         event.angleDelta().transposed(), event.buttons(), Qt::NoModifier,
                         event.phase(), event.inverted(), event.source());
    QCoreApplication::sendEvent(editor_.horizontalScrollBar(), &sideways);
    event.setAccepted(sideways.isAccepted());
    return true;
}

bool TextMouse::release(const QMouseEvent &event) {
    if (event.button() == Qt::MiddleButton)
        return pastePrimarySelection(event.position().toPoint());
    if (event.button() != Qt::LeftButton) return false;
    autoScroll_.stop();
    selecting_ = false;
    if (!mayDrag_) return false;
    mayDrag_ = false;
    cursor_.setPosition(editor_.positionAt(event.position().toPoint()));
    return true;
}

// As in other X11 programs, the text goes in where the click is, not at the caret.
bool TextMouse::pastePrimarySelection(QPoint point) {
    if (editor_.isReadOnly() || !primarySelection().supported()) return false;
    // Read before the caret moves: the primary selection may be the area's own selection, which
    // the move takes away.
    const std::optional<QByteArray> bytes = primarySelectionBytes();
    cursor_.setPosition(editor_.positionAt(point));
    if (bytes) cursor_.insert(*bytes);
    return true;
}
