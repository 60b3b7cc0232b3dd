#include "ui/text/text_editor.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <cmath>

#include "ui/text/text_accessible.h"
#include "ui/text/text_keys.h"
#include "ui/text/text_mime_data.h"

TextEditor::TextEditor(QWidget *parent) : QAbstractScrollArea(parent) {
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The square between the two scroll bars would otherwise show the window behind it.
    auto *corner = new QWidget(this);
    corner->setAutoFillBackground(true);
    corner->setBackgroundRole(QPalette::Button);
    setCornerWidget(corner);
    connect(&document_, &TextDocument::changed, this, &TextEditor::documentChanged);
    connect(&document_, &TextDocument::reset, this, &TextEditor::documentReset);
    applyFont();
    installTextAccessibility();
}

TextEditor::~TextEditor() = default;

void TextEditor::applyFont() {
    widths_.setFont(font());
    geometry_.forgetWidths();
    screen_.forgetWindows();
    widest_ = 0;
    verticalScrollBar()->setSingleStep(1);
    updateScrollBars();
    viewport()->update();
}

void TextEditor::changeEvent(QEvent *event) {
    if (event->type() == QEvent::FontChange) applyFont();
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        viewport()->update();
    QAbstractScrollArea::changeEvent(event);
}

void TextEditor::setTextColour(const QColor &colour) {
    textColour_ = colour;
    viewport()->update();
}

void TextEditor::setInvalidByteColour(const QColor &colour) {
    invalidByteColour_ = colour;
    viewport()->update();
}

void TextEditor::updateScrollBars() {
    const qsizetype lines = document_.lineCount();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, int(std::max<qsizetype>(0, lines - screen_.linesPerPage())));
    vertical->setPageStep(screen_.linesPerPage());
    QScrollBar *horizontal = horizontalScrollBar();
    const int width = viewport()->width();
    horizontal->setRange(
        0, std::max(0, int(std::ceil(widest_)) + 2 * ScreenLines::kPadding + 1 - width));
    horizontal->setPageStep(width);
    horizontal->setSingleStep(std::max(1, int(widths_.tabWidth() / 8)));
}

void TextEditor::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    screen_.forgetWindows();
    updateScrollBars();
}

void TextEditor::scrollContentsBy(int dx, int dy) {
    if (dx != 0) screen_.forgetWindows();
    viewport()->scroll(dx, dy * int(widths_.lineHeight()));
}

QRect TextEditor::caretRect(qsizetype position) const {
    return screen_.caretRect(position,
                             position == caret() && !inputMethod_.preedit().text.isEmpty());
}

void TextEditor::updateLines(qsizetype fromLine, qsizetype toLine) {
    const qsizetype first = firstVisibleLine();
    const int lineHeight = int(widths_.lineHeight());
    const qsizetype top = std::max(fromLine, first) - first;
    const qsizetype bottom = std::min(toLine, first + screen_.linesPerPage() + 1) - first;
    if (bottom < top) return;
    viewport()->update(0, int(top) * lineHeight, viewport()->width(),
                       int(bottom - top + 1) * lineHeight);
}

void TextEditor::updateCaret(qsizetype position) {
    viewport()->update(caretRect(position).adjusted(-1, 0, 1, 0));
}

void TextEditor::paintEvent(QPaintEvent *event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    const qreal lineHeight = widths_.lineHeight();
    const qsizetype first = firstVisibleLine();
    const qsizetype from = first + qsizetype(area.top() / lineHeight);
    const qsizetype to =
        std::min(first + qsizetype(area.bottom() / lineHeight) + 1, document_.lineCount());
    const QPalette &colours = palette();
    const LineWindow::Colours lineColours{
        textColour_.isValid() ? textColour_ : colours.color(QPalette::Text),
        colours.color(QPalette::Base), colours.color(QPalette::Highlight),
        colours.color(QPalette::HighlightedText), invalidByteColour_};
    const qreal originX = ScreenLines::kPadding - horizontalScrollBar()->value();
    const qsizetype selectionFrom = selectionStart();
    const qsizetype selectionTo = selectionEnd();
    bool wider = false;
    for (qsizetype line = from; line < to; ++line) {
        const qreal top = qreal(line - first) * lineHeight;
        // A glyph of a fallback font may reach beyond its line's box; kept inside it, a line looks
        // the same whether it is drawn alone or with its neighbours.
        painter.setClipRect(QRectF(0, top, viewport()->width(), lineHeight));
        const LineWindow &window = screen_.window(line);
        const qsizetype textEnd = document_.lineTextEnd(line);
        window.draw(painter, originX, top, lineColours, selectionFrom, selectionTo,
                    selectionFrom <= textEnd && selectionTo > textEnd);
        const qreal width = geometry_.lineWidth(line);
        if (width > widest_) {
            widest_ = width;
            wider = true;
        }
    }
    painter.setClipping(false);
    if (wider) QTimer::singleShot(0, this, &TextEditor::updateScrollBars);
    if (caretShown_ && hasFocus() && !readOnly_) {
        const QRect caret = caretRect(this->caret());
        if (caret.intersects(area)) painter.fillRect(caret, colours.color(QPalette::Text));
    }
    if (drag_.dropCaret() >= 0)
        painter.fillRect(caretRect(drag_.dropCaret()), colours.color(QPalette::Text));
}

void TextEditor::restartBlink() {
    caretShown_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (flash > 0 && hasFocus())
        blink_.start(flash / 2, this);
    else
        blink_.stop();
}

void TextEditor::timerEvent(QTimerEvent *event) {
    if (event->timerId() == blink_.timerId()) {
        caretShown_ = !caretShown_;
        updateCaret(caret());
    } else if (mouse_.autoScroll(event->timerId())) {
        showCursor();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void TextEditor::focusInEvent(QFocusEvent *event) {
    restartBlink();
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void TextEditor::focusOutEvent(QFocusEvent *event) {
    blink_.stop();
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

void TextEditor::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    updateCaret(caret());
}

void TextEditor::setCaret(qsizetype position, bool extend) {
    cursor_.setPosition(position, extend);
    showCursor();
}

void TextEditor::select(qsizetype anchor, qsizetype caret) {
    cursor_.select(anchor, caret);
    showCursor();
}

void TextEditor::showCursor() {
    const qsizetype caret = cursor_.position();
    const qsizetype anchor = cursor_.anchor();
    ensureVisible(caret);
    restartBlink();
    updateCaret(caret);
    // An edit moves the caret even where it keeps its place on the screen.
    const bool moved = caret != drawnCaret_ || editedSinceShown_;
    editedSinceShown_ = false;
    if (!moved && anchor == drawnAnchor_) return;
    updateCaret(drawnCaret_);
    const bool hadSelection = drawnCaret_ != drawnAnchor_;
    const bool selecting = hadSelection || caret != anchor;
    if (selecting) {
        // Every line either selection touches: what was highlighted and what is now.
        const qsizetype from = std::min({drawnCaret_, drawnAnchor_, caret, anchor});
        const qsizetype to = std::max({drawnCaret_, drawnAnchor_, caret, anchor});
        updateLines(document_.lineOf(from), document_.lineOf(to));
    }
    drawnCaret_ = caret;
    drawnAnchor_ = anchor;
    if (moved) emit caretMoved();
    if (selecting) {
        emit selectionChanged();
        primarySelectionOffer_.update();
    }
    reportCaret(*this);
}

void TextEditor::ensureVisible(qsizetype position) {
    const qsizetype line = document_.lineOf(position);
    QScrollBar *vertical = verticalScrollBar();
    const qsizetype first = firstVisibleLine();
    if (line < first)
        vertical->setValue(int(line));
    else if (line >= first + screen_.linesPerPage())
        vertical->setValue(int(line - screen_.linesPerPage() + 1));

    const qreal x = geometry_.xOf(line, position);
    const int width = viewport()->width() - 2 * ScreenLines::kPadding - 1;
    QScrollBar *horizontal = horizontalScrollBar();
    widest_ = std::max(widest_, geometry_.lineWidth(line));
    updateScrollBars();
    if (x < horizontal->value())
        horizontal->setValue(std::max(0, int(x) - width / 4));
    else if (x > horizontal->value() + width)
        horizontal->setValue(int(x) - width * 3 / 4);
}

// The page keys scroll by a page and take the caret along, to the same place on the screen.
void TextEditor::movePage(int direction, bool extend) {
    const int page = direction * screen_.linesPerPage();
    verticalScrollBar()->setValue(verticalScrollBar()->value() + page);
    cursor_.moveLines(page, extend);
    showCursor();
}

void TextEditor::openContextMenuAtCaret() {
    const QPoint point = caretRect(caret()).bottomLeft();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, point, viewport()->mapToGlobal(point));
    contextMenuEvent(&event);
}

// What of a key is the view's own rather than the cursor's: pages, the clipboard and the menu.
bool TextEditor::runViewCommand(const KeyCommand &command) {
    switch (command.action) {
        case TextAction::NextPage:
            movePage(1, command.extend);
            return true;
        case TextAction::PreviousPage:
            movePage(-1, command.extend);
            return true;
        case TextAction::Copy:
            copy();
            return true;
        case TextAction::Cut:
            cut();
            return true;
        case TextAction::Paste:
            paste();
            return true;
        case TextAction::ContextMenu:
            openContextMenuAtCaret();
            return true;
        default:
            return false;
    }
}

void TextEditor::keyPressEvent(QKeyEvent *event) {
    const std::optional<KeyCommand> command = keyCommand(*event);
    if (!command || (readOnly_ && changesText(command->action))) {
        event->ignore();
        return;
    }
    if (!runViewCommand(*command)) {
        cursor_.perform(*command);
        showCursor();
    }
    event->accept();
}

bool TextEditor::event(QEvent *event) {
    // The keys this area takes are not the window's shortcuts while it has the focus.
    if (event->type() == QEvent::ShortcutOverride && keyCommand(*static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void TextEditor::insertText(QByteArrayView text, EditKind kind) {
    if (readOnly_) return;
    cursor_.insert(text, kind);
    showCursor();
}

void TextEditor::deleteSelection() {
    if (readOnly_ || !hasSelection()) return;
    cursor_.removeSelection();
    showCursor();
}

void TextEditor::selectAll() {
    cursor_.selectAll();
    showCursor();
}

void TextEditor::undo() {
    if (readOnly_) return;
    cursor_.undo();
    showCursor();
}

void TextEditor::redo() {
    if (readOnly_) return;
    cursor_.redo();
    showCursor();
}

void TextEditor::copy() const {
    if (!hasSelection()) return;
    putOnClipboard(selectionEnd() - selectionStart(), [this] { return cursor_.selectedBytes(); });
}

void TextEditor::cut() {
    if (readOnly_ || !hasSelection()) return;
    // The clipboard holds the very bytes that the undo step keeps.
    putOnClipboard(selectionEnd() - selectionStart(), [this] { return cursor_.removeSelection(); });
    showCursor();
}

void TextEditor::paste() {
    if (readOnly_) return;
    if (const std::optional<QByteArray> bytes = clipboardBytes()) insertText(*bytes);
}

void TextEditor::contextMenuEvent(QContextMenuEvent *event) {
    const std::unique_ptr<QMenu> menu(createContextMenu());
    menu->exec(event->globalPos());
}

void TextEditor::mousePressEvent(QMouseEvent *event) {
    if (mouse_.press(*event)) showCursor();
}

void TextEditor::mouseDoubleClickEvent(QMouseEvent *event) {
    if (mouse_.doubleClick(*event)) showCursor();
}

void TextEditor::mouseMoveEvent(QMouseEvent *event) {
    if (mouse_.move(*event)) showCursor();
}

void TextEditor::mouseReleaseEvent(QMouseEvent *event) {
    if (mouse_.release(*event)) showCursor();
}

void TextEditor::wheelEvent(QWheelEvent *event) {
    if (!mouse_.wheel(*event)) QAbstractScrollArea::wheelEvent(event);
}

void TextEditor::dragEnterEvent(QDragEnterEvent *event) {
    drag_.enter(*event);
}

void TextEditor::dragMoveEvent(QDragMoveEvent *event) {
    drag_.move(*event);
}

void TextEditor::dragLeaveEvent(QDragLeaveEvent *) {
    drag_.leave();
}

void TextEditor::dropEvent(QDropEvent *event) {
    if (!drag_.drop(*event)) return;
    showCursor();
    activateWindow();
    setFocus();
}

void TextEditor::documentChanged(const TextChange &change) {
    drawnCaret_ = change.shifted(drawnCaret_);
    drawnAnchor_ = change.shifted(drawnAnchor_);
    editedSinceShown_ = true;
    screen_.forgetWindows();
    const qsizetype line = document_.lineOf(change.position);
    const bool linesMoved = change.removed.contains('\r') || change.removed.contains('\n') ||
                            document_.lineOf(change.position + change.inserted) != line;
    updateLines(line, linesMoved ? document_.lineCount() + screen_.linesPerPage() : line);
    if (linesMoved) updateScrollBars();
    reportChange(*this, change);
}

void TextEditor::documentReset() {
    drawnCaret_ = drawnAnchor_ = 0;
    inputMethod_.clearPreedit();
    screen_.forgetWindows();
    widest_ = 0;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    primarySelectionOffer_.update();
    reportCaret(*this);
}

void TextEditor::inputMethodEvent(QInputMethodEvent *event) {
    if (readOnly_) {
        event->ignore();
        return;
    }
    const qsizetype line = document_.lineOf(caret());
    inputMethod_.take(*event);
    screen_.forgetWindows();
    updateLines(std::min(line, document_.lineOf(caret())),
                std::max(line, document_.lineOf(caret())));
    showCursor();
    event->accept();
}

QVariant TextEditor::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (std::optional<QVariant> answer = inputMethod_.query(query)) return *answer;
    return QAbstractScrollArea::inputMethodQuery(query);
}
