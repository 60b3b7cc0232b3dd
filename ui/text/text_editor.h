#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>
#include <QPointer>
#include <optional>
#include <unordered_map>

#include "ui/text/glyph_metrics.h"
#include "ui/text/line_window.h"
#include "ui/text/text_document.h"

class QMimeData;
class QMenu;

// An editable view of a TextDocument: plain text without wrapping, margins or styles, in the
// widget's font and colours. Only what is on screen is laid out, so a line of many MiB costs
// about what a short one does once it has been measured.
//
// Positions are byte offsets into the document, always at the start of a character; input
// methods and assistive technology see UTF-16 offsets, which the document's index gives.
class TextEditor : public QAbstractScrollArea {
    Q_OBJECT

public:
    // The private clipboard format: the exact bytes, NUL and bytes that are no character included.
    static const QString kBytesMimeType;

    explicit TextEditor(QWidget *parent = nullptr);
    ~TextEditor() override;

    TextDocument &document() { return document_; }
    const TextDocument &document() const { return document_; }

    qsizetype caret() const { return caret_; }
    qsizetype anchor() const { return anchor_; }
    bool hasSelection() const { return caret_ != anchor_; }
    qsizetype selectionStart() const { return std::min(caret_, anchor_); }
    qsizetype selectionEnd() const { return std::max(caret_, anchor_); }
    // Moves the caret; the anchor stays where it is only when extending.
    void setCaret(qsizetype position, bool extend = false);
    void select(qsizetype anchor, qsizetype caret);

    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);

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
    qsizetype positionAt(const QPoint &viewportPoint) const;
    void ensureVisible(qsizetype position);
    qsizetype firstVisibleLine() const;

    // The mime data that copying bytes gives, and the bytes that mime data stands for.
    static QMimeData *mimeDataFor(QByteArrayView bytes);
    static std::optional<QByteArray> bytesFrom(const QMimeData *data);

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
    QMenu *createContextMenu();

private:
    enum class Unit { Character, Word, Line };

    void documentChanged(const TextChange &change);
    void documentReset();
    void applyFont();
    void updateScrollBars();
    void updateLines(qsizetype fromLine, qsizetype toLine);
    void updateCaret();
    void restartBlink();
    void moveCaret(qsizetype position, bool extend, bool keepColumn = false);
    qsizetype lineBelow(qsizetype position, qsizetype lines) const;
    qsizetype positionAtX(qsizetype line, qreal x) const;
    void selectUnitAt(qsizetype position, Unit unit);
    void extendByUnit(qsizetype position);
    const LineWindow &windowFor(qsizetype line) const;
    qreal xOf(qsizetype position) const;
    int linesPerPage() const;
    QByteArray selectedBytes() const;
    void deleteTo(qsizetype position, EditKind kind);
    bool handleEditKey(QKeyEvent *event);
    bool handleMoveKey(QKeyEvent *event);
    void autoScroll();
    void startDrag();
    void reportCaret();
    void reportChange(const TextChange &change);

    TextDocument document_;
    GlyphWidths widths_;
    LineGeometry geometry_{document_, widths_};
    // The windows of the lines on screen, laid out again after every change and horizontal
    // scroll.
    mutable std::unordered_map<qsizetype, LineWindow> windows_;

    qsizetype caret_ = 0;
    qsizetype anchor_ = 0;
    qreal column_ = 0;  // the x that Up and Down keep to
    bool readOnly_ = false;
    bool caretShown_ = true;
    QBasicTimer blink_;
    Preedit preedit_;
    qreal widest_ = 0;  // the widest line seen, the range of the horizontal scroll bar

    // The mouse: what a click selects, where a drag started, and when the last click came.
    Unit clickUnit_ = Unit::Character;
    qsizetype clickAnchorStart_ = 0;
    qsizetype clickAnchorEnd_ = 0;
    bool selecting_ = false;
    bool mayDrag_ = false;
    QPoint pressPoint_;
    QPoint lastMousePoint_;
    QBasicTimer autoScroll_;
    QElapsedTimer lastDoubleClick_;
    QPoint doubleClickPoint_;
    qsizetype dropCaret_ = -1;
};
