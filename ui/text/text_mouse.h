#pragma once

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPoint>

class GlyphWidths;
class QMouseEvent;
class QWheelEvent;
class TextCursor;
class TextDrag;
class TextEditor;

// What the mouse does in a text area, as QWidgetTextControl takes it for QPlainTextEdit: a click
// places the caret, a double click selects a word and a triple click a line, and dragging extends
// the selection by what was clicked, scrolling while the pointer is outside the area. A press
// inside the selection may start a drag of it instead. The middle button pastes X11's primary
// selection where the platform has one, and Shift turns the wheel sideways.
//
// What a button does answers whether it moved the cursor, for the view to show it.
class TextMouse {
public:
    TextMouse(TextEditor &editor, TextCursor &cursor, const GlyphWidths &widths, TextDrag &drag);

    bool press(const QMouseEvent &event);
    bool doubleClick(const QMouseEvent &event);
    bool move(const QMouseEvent &event);
    bool release(const QMouseEvent &event);
    // Where timerId is the timer of the pointer held outside the area, scrolls a step toward it
    // and extends the selection there; answers whether it was.
    bool autoScroll(int timerId);
    // Answers whether it scrolled, which the area does otherwise.
    bool wheel(QWheelEvent &event);

private:
    bool pastePrimarySelection(QPoint point);

    TextEditor &editor_;
    TextCursor &cursor_;
    const GlyphWidths &widths_;
    TextDrag &drag_;
    // Whether the button went down to select, or inside the selection, which may start a drag.
    bool selecting_ = false;
    bool mayDrag_ = false;
    QPoint pressPoint_;
    QPoint lastPoint_;
    QBasicTimer autoScroll_;
    // When and where the last double click came, which a third click makes a triple one.
    QElapsedTimer lastDoubleClick_;
    QPoint doubleClickPoint_;
};
