#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>

#include "ui/text/glyph_metrics.h"
#include "ui/text/screen_lines.h"
#include "ui/text/text_clipboard.h"
#include "ui/text/text_context_menu.h"
#include "ui/text/text_cursor.h"
#include "ui/text/text_document.h"
#include "ui/text/text_drag.h"
#include "ui/text/text_input_method.h"
#include "ui/text/text_mouse.h"

struct KeyCommand;

// An editable view of a TextDocument: plain text without wrapping, margins or styles, in the
// widget's font and colours. Only what is on screen is laid out, so a line of many MiB costs
// about what a short one does once it has been measured. The caret, the selection and the edits
// are a TextCursor's; the view draws them, scrolls to them and takes the keys. Parts of its own
// lay out the lines on screen and do what the mouse, drags, the clipboard, input methods and the
// context menu ask; its handlers hand them their events.
//
// Positions are byte offsets into the document, always at the start of a character; input
// methods and assistive technology see UTF-16 offsets, which the document's index gives.
class TextEditor : public QAbstractScrollArea {
    Q_OBJECT

public:
    // The commands of the context menu.
    using MenuCommand = TextMenuCommand;

    explicit TextEditor(QWidget *parent = nullptr);
    ~TextEditor() override;

    TextDocument &document() { return document_; }
    const TextDocument &document() const { return document_; }
    const TextCursor &cursor() const { return cursor_; }

    qsizetype caret() const { return cursor_.position(); }
    qsizetype anchor() const { return cursor_.anchor(); }
    bool hasSelection() const { return cursor_.hasSelection(); }
    qsizetype selectionStart() const { return cursor_.selectionStart(); }
    qsizetype selectionEnd() const { return cursor_.selectionEnd(); }
    // Moves the caret; the anchor stays where it is only when extending.
    void setCaret(qsizetype position, bool extend = false);
    void select(qsizetype anchor, qsizetype caret);

    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);

    // The text's colour, the palette's until set, and that of the boxes of bytes that are no
    // character.
    void setTextColour(const QColor &colour);
    void setInvalidByteColour(const QColor &colour);
    // The context menu's item for a command, for its owner to name.
    QAction *menuAction(MenuCommand command) const { return contextMenu_.action(command); }

    // Inserts text as typed or pasted text goes in: in place of the selection, each of its line
    // ends made the document's own.
    void insertText(QByteArrayView text, EditKind kind = EditKind::Other);
    void undo();
    void redo();
    void cut();
    void copy() const;
    void paste();
    void deleteSelection();
    void selectAll();

    // Where a position is drawn, in the viewport's coordinates: its caret's rectangle.
    QRect caretRect(qsizetype position) const;
    qsizetype positionAt(const QPoint &viewportPoint) const {
        return screen_.positionAt(viewportPoint);
    }
    void ensureVisible(qsizetype position);
    qsizetype firstVisibleLine() const { return screen_.firstLine(); }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    void caretMoved();
    void selectionChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void changeEvent(QEvent *event) override;

    // The menu of the right button, which the window may add to.
    QMenu *createContextMenu() { return contextMenu_.create(); }

private:
    void documentChanged(const TextChange &change);
    void documentReset();
    void applyFont();
    void updateScrollBars();
    void updateLines(qsizetype fromLine, qsizetype toLine);
    void updateCaret(qsizetype position);
    void restartBlink();
    // Brings the screen up to the cursor after any change of it: scrolls to the caret, repaints
    // the caret and selection it leaves and those it enters, and tells whoever listens.
    void showCursor();
    bool runViewCommand(const KeyCommand &command);
    void movePage(int direction, bool extend);
    void openContextMenuAtCaret();

    TextDocument document_;
    GlyphWidths widths_;
    LineGeometry geometry_{document_, widths_};
    TextCursor cursor_{document_, screen_};
    // The caret and anchor as the screen last showed them, moved along with the text's changes.
    qsizetype drawnCaret_ = 0;
    qsizetype drawnAnchor_ = 0;
    bool editedSinceShown_ = false;

    bool readOnly_ = false;
    bool caretShown_ = true;
    QBasicTimer blink_;
    qreal widest_ = 0;  // the widest line seen, the range of the horizontal scroll bar
    QColor textColour_;
    QColor invalidByteColour_{Qt::darkRed};
    TextContextMenu contextMenu_{*this};

    TextInputMethod inputMethod_{*this, cursor_};
    ScreenLines screen_{*this, geometry_, inputMethod_.preedit()};
    TextDrag drag_{*this, cursor_};
    TextMouse mouse_{*this, cursor_, widths_, drag_};
    PrimarySelectionOffer primarySelectionOffer_{*this};
};
