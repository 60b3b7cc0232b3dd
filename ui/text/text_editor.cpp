#include "ui/text/text_editor.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyleHints>
#include <QTimer>
#include <cmath>

#include "ui/text/text_accessible.h"
#include "ui/text/text_keys.h"
#include "ui/text/text_mime_data.h"

namespace {

// Room between the viewport's left edge and the text.
constexpr int kPadding = 2;
// How much of the line input methods are told about on each side of the caret.
constexpr qsizetype kSurroundingUnits = 1024;
// The most of a selection input methods are given.
constexpr qsizetype kMostSelectionBytes = qsizetype{1} << 16;
constexpr int kAutoScrollMs = 50;
// From this much on, copying keeps the event loop waiting long enough to show the wait cursor.
constexpr qsizetype kBusyBytes = qsizetype{1} << 20;

// Runs work under the wait cursor where it handles enough bytes to keep the event loop waiting.
template <typename Work>
void whileBusy(qsizetype bytes, Work &&work) {
    if (bytes < kBusyBytes) return work();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    work();
}

}  // namespace

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
    createMenuActions();
    connect(&document_, &TextDocument::changed, this, &TextEditor::documentChanged);
    connect(&document_, &TextDocument::reset, this, &TextEditor::documentReset);
    applyFont();
    installTextAccessibility();
}

TextEditor::~TextEditor() {
    // What this area no longer has is no longer offered.
    if (primarySelection_ && QGuiApplication::clipboard()->ownsSelection())
        QGuiApplication::clipboard()->clear(QClipboard::Selection);
}

void TextEditor::createMenuActions() {
    const auto create = [this](MenuCommand command, const QString &text, auto slot) {
        auto *action = new QAction(text, this);
        action->setShortcutVisibleInContextMenu(true);
        connect(action, &QAction::triggered, this, slot);
        menuActions_[std::size_t(command)] = action;
    };
    create(MenuCommand::Undo, tr("Undo"), &TextEditor::undo);
    create(MenuCommand::Redo, tr("Redo"), &TextEditor::redo);
    create(MenuCommand::Cut, tr("Cut"), &TextEditor::cut);
    create(MenuCommand::Copy, tr("Copy"), &TextEditor::copy);
    create(MenuCommand::Paste, tr("Paste"), &TextEditor::paste);
    create(MenuCommand::Delete, tr("Delete"), &TextEditor::deleteSelection);
    create(MenuCommand::SelectAll, tr("Select All"), &TextEditor::selectAll);
}

void TextEditor::applyFont() {
    widths_.setFont(font());
    geometry_.forgetWidths();
    windows_.clear();
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

int TextEditor::linesPerPage() const {
    return std::max(1, int(viewport()->height() / widths_.lineHeight()));
}

qsizetype TextEditor::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

void TextEditor::updateScrollBars() {
    const qsizetype lines = document_.lineCount();
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, int(std::max<qsizetype>(0, lines - linesPerPage())));
    vertical->setPageStep(linesPerPage());
    QScrollBar *horizontal = horizontalScrollBar();
    const int width = viewport()->width();
    horizontal->setRange(0, std::max(0, int(std::ceil(widest_)) + 2 * kPadding + 1 - width));
    horizontal->setPageStep(width);
    horizontal->setSingleStep(std::max(1, int(widths_.tabWidth() / 8)));
}

void TextEditor::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    windows_.clear();
    updateScrollBars();
}

void TextEditor::scrollContentsBy(int dx, int dy) {
    if (dx != 0) windows_.clear();
    viewport()->scroll(dx, dy * int(widths_.lineHeight()));
}

const LineWindow &TextEditor::windowFor(qsizetype line) const {
    auto found = windows_.find(line);
    if (found != windows_.end()) return found->second;
    // Windows of lines long gone from the screen are not kept.
    if (windows_.size() > std::size_t(4 * linesPerPage() + 8)) windows_.clear();
    const qreal left = horizontalScrollBar()->value() - kPadding;
    LineWindow &window = windows_[line];
    window.build(geometry_, line, left, left + viewport()->width(), preedit_);
    return window;
}

qreal TextEditor::xOf(qsizetype position) const {
    const qsizetype line = document_.lineOf(position);
    const qsizetype first = firstVisibleLine();
    if (line >= first && line <= first + linesPerPage()) {
        const LineWindow &window = windowFor(line);
        if (position >= window.start() && position <= window.end()) return window.xOf(position);
    }
    return geometry_.xOf(line, position);
}

QRect TextEditor::caretRect(qsizetype position) const {
    const qsizetype line = document_.lineOf(position);
    qreal x = xOf(position);
    if (position == caret() && !preedit_.text.isEmpty() && line >= firstVisibleLine())
        x = windowFor(line).preeditCursorX();
    const int lineHeight = int(widths_.lineHeight());
    const int left = int(std::floor(x)) + kPadding - horizontalScrollBar()->value();
    return QRect(left, int(line - firstVisibleLine()) * lineHeight, 1, lineHeight);
}

qsizetype TextEditor::positionAtX(qsizetype line, qreal x) const {
    const qsizetype first = firstVisibleLine();
    if (line >= first && line <= first + linesPerPage()) {
        const LineWindow &window = windowFor(line);
        if (x >= window.xOf(window.start()) && x <= window.xOf(window.end()))
            return window.positionAt(x);
    }
    return geometry_.positionAtX(line, x);
}

qsizetype TextEditor::positionAt(const QPoint &point) const {
    const qsizetype line = std::clamp<qsizetype>(
        firstVisibleLine() + qsizetype(std::floor(point.y() / widths_.lineHeight())), 0,
        document_.lineCount() - 1);
    return positionAtX(line, point.x() - kPadding + horizontalScrollBar()->value());
}

void TextEditor::updateLines(qsizetype fromLine, qsizetype toLine) {
    const qsizetype first = firstVisibleLine();
    const int lineHeight = int(widths_.lineHeight());
    const qsizetype top = std::max(fromLine, first) - first;
    const qsizetype bottom = std::min(toLine, first + linesPerPage() + 1) - first;
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
    const qreal originX = kPadding - horizontalScrollBar()->value();
    const qsizetype selectionFrom = selectionStart();
    const qsizetype selectionTo = selectionEnd();
    bool wider = false;
    for (qsizetype line = from; line < to; ++line) {
        const qreal top = qreal(line - first) * lineHeight;
        // A glyph of a fallback font may reach beyond its line's box; kept inside it, a line looks
        // the same whether it is drawn alone or with its neighbours.
        painter.setClipRect(QRectF(0, top, viewport()->width(), lineHeight));
        const LineWindow &window = windowFor(line);
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
    if (dropCaret_ >= 0) painter.fillRect(caretRect(dropCaret_), colours.color(QPalette::Text));
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
    } else if (event->timerId() == autoScroll_.timerId()) {
        autoScroll();
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
        servePrimarySelection();
    }
    reportCaret();
}

void TextEditor::ensureVisible(qsizetype position) {
    const qsizetype line = document_.lineOf(position);
    QScrollBar *vertical = verticalScrollBar();
    const qsizetype first = firstVisibleLine();
    if (line < first)
        vertical->setValue(int(line));
    else if (line >= first + linesPerPage())
        vertical->setValue(int(line - linesPerPage() + 1));

    const qreal x = geometry_.xOf(line, position);
    const int width = viewport()->width() - 2 * kPadding - 1;
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
    const int page = direction * linesPerPage();
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

QMimeData *TextEditor::selectionMimeData() const {
    return new TextMimeData([editor = QPointer<const TextEditor>(this)] {
        return editor ? editor->cursor_.selectedBytes() : QByteArray();
    });
}

// X11's primary selection is the selection itself, read when a program asks for it, so that no
// change of the selection copies it. While the area has one, it owns the primary selection; when
// it has none, it gives it up, as GTK's text views do, rather than keep a copy.
void TextEditor::servePrimarySelection() {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection()) return;
    if (hasSelection()) {
        // Another program that took it meanwhile has made Qt let go of ours.
        if (!primarySelection_) {
            primarySelection_ = selectionMimeData();
            clipboard->setMimeData(primarySelection_, QClipboard::Selection);
        }
    } else if (primarySelection_ && clipboard->ownsSelection()) {
        clipboard->clear(QClipboard::Selection);
    }
}

void TextEditor::copy() const {
    if (!hasSelection()) return;
    whileBusy(selectionEnd() - selectionStart(), [this] {
        QGuiApplication::clipboard()->setMimeData(new TextMimeData(cursor_.selectedBytes()));
    });
}

void TextEditor::cut() {
    if (readOnly_ || !hasSelection()) return;
    // The clipboard holds the very bytes that the undo step keeps.
    whileBusy(selectionEnd() - selectionStart(), [this] {
        QGuiApplication::clipboard()->setMimeData(new TextMimeData(cursor_.removeSelection()));
    });
    showCursor();
}

void TextEditor::paste() {
    if (readOnly_) return;
    if (const std::optional<QByteArray> bytes =
            TextMimeData::bytesFrom(QGuiApplication::clipboard()->mimeData()))
        insertText(*bytes);
}

// Each item shows the key that does the same, as the platform binds it when the menu opens.
QMenu *TextEditor::createContextMenu() {
    const bool editable = !readOnly_;
    const auto prepare = [this](MenuCommand command, TextAction keys, bool enabled) {
        QAction *action = menuAction(command);
        action->setShortcuts(keysFor(keys));
        action->setEnabled(enabled);
    };
    prepare(MenuCommand::Undo, TextAction::Undo, editable && document_.canUndo());
    prepare(MenuCommand::Redo, TextAction::Redo, editable && document_.canRedo());
    prepare(MenuCommand::Cut, TextAction::Cut, editable && hasSelection());
    prepare(MenuCommand::Copy, TextAction::Copy, hasSelection());
    prepare(
        MenuCommand::Paste, TextAction::Paste,
        editable && TextMimeData::bytesFrom(QGuiApplication::clipboard()->mimeData()).has_value());
    prepare(MenuCommand::Delete, TextAction::DeleteNextCharacter, editable && hasSelection());
    prepare(MenuCommand::SelectAll, TextAction::SelectAll, document_.size() > 0);
    auto *menu = new QMenu(this);
    menu->addActions({menuAction(MenuCommand::Undo), menuAction(MenuCommand::Redo)});
    menu->addSeparator();
    menu->addActions({menuAction(MenuCommand::Cut), menuAction(MenuCommand::Copy),
                      menuAction(MenuCommand::Paste), menuAction(MenuCommand::Delete)});
    menu->addSeparator();
    menu->addAction(menuAction(MenuCommand::SelectAll));
    return menu;
}

void TextEditor::contextMenuEvent(QContextMenuEvent *event) {
    const std::unique_ptr<QMenu> menu(createContextMenu());
    menu->exec(event->globalPos());
}

void TextEditor::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint point = event->position().toPoint();
    const qsizetype position = positionAt(point);
    lastMousePoint_ = point;
    const bool tripleClick =
        lastDoubleClick_.isValid() &&
        lastDoubleClick_.elapsed() < QGuiApplication::styleHints()->mouseDoubleClickInterval() &&
        (point - doubleClickPoint_).manhattanLength() <
            QGuiApplication::styleHints()->startDragDistance();
    lastDoubleClick_.invalidate();
    if (tripleClick) {
        cursor_.selectUnit(position, TextUnit::Line);
    } else if (event->modifiers() & Qt::ShiftModifier) {
        cursor_.extendTo(position);
    } else if (hasSelection() && position >= selectionStart() && position < selectionEnd()) {
        mayDrag_ = true;
        pressPoint_ = point;
        return;
    } else {
        cursor_.selectUnit(position, TextUnit::Character);
    }
    selecting_ = true;
    showCursor();
}

void TextEditor::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return;
    mayDrag_ = false;
    const QPoint point = event->position().toPoint();
    cursor_.selectUnit(positionAt(point), TextUnit::Word);
    selecting_ = true;
    lastDoubleClick_.start();
    doubleClickPoint_ = point;
    showCursor();
}

void TextEditor::mouseMoveEvent(QMouseEvent *event) {
    const QPoint point = event->position().toPoint();
    lastMousePoint_ = point;
    if (mayDrag_) {
        if ((point - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
            mayDrag_ = false;
            startDrag();
        }
        return;
    }
    if (!selecting_) return;
    cursor_.extendTo(positionAt(point));
    showCursor();
    if (viewport()->rect().contains(point))
        autoScroll_.stop();
    else if (!autoScroll_.isActive())
        autoScroll_.start(kAutoScrollMs, this);
}

void TextEditor::autoScroll() {
    const QRect area = viewport()->rect();
    const QPoint point = lastMousePoint_;
    QScrollBar *vertical = verticalScrollBar();
    QScrollBar *horizontal = horizontalScrollBar();
    if (point.y() < area.top()) vertical->setValue(vertical->value() - 1);
    if (point.y() > area.bottom()) vertical->setValue(vertical->value() + 1);
    const int step = std::max(1, int(widths_.tabWidth() / 2));
    if (point.x() < area.left()) horizontal->setValue(horizontal->value() - step);
    if (point.x() > area.right()) horizontal->setValue(horizontal->value() + step);
    cursor_.extendTo(positionAt(point));
    showCursor();
}

void TextEditor::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return;
    autoScroll_.stop();
    selecting_ = false;
    if (mayDrag_) {
        mayDrag_ = false;
        setCaret(positionAt(event->position().toPoint()));
    }
}

// Shift turns the wheel sideways, as browsers and other editors do.
void TextEditor::wheelEvent(QWheelEvent *event) {
    if (event->modifiers() != Qt::ShiftModifier) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    QWheelEvent sideways(event->position(), event->globalPosition(),
                         event->pixelDelta().transposed(), event->angleDelta().transposed(),
                         event->buttons(), Qt::NoModifier, event->phase(), event->inverted(),
                         event->source());
    QCoreApplication::sendEvent(horizontalScrollBar(), &sideways);
    event->setAccepted(sideways.isAccepted());
}

void TextEditor::startDrag() {
    auto *drag = new QDrag(this);
    drag->setMimeData(new TextMimeData(cursor_.selectedBytes()));
    const Qt::DropActions actions = readOnly_ ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction;
    const Qt::DropAction done = drag->exec(actions, Qt::MoveAction);
    // A move into this area was made by the drop; one elsewhere takes the text away here.
    if (done == Qt::MoveAction && drag->target() != viewport()) deleteSelection();
}

void TextEditor::dragEnterEvent(QDragEnterEvent *event) {
    if (readOnly_ || !TextMimeData::bytesFrom(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TextEditor::dragMoveEvent(QDragMoveEvent *event) {
    if (readOnly_ || !TextMimeData::bytesFrom(event->mimeData())) {
        event->ignore();
        return;
    }
    const qsizetype position = positionAt(event->position().toPoint());
    if (dropCaret_ >= 0) viewport()->update(caretRect(dropCaret_));
    dropCaret_ = position;
    viewport()->update(caretRect(dropCaret_));
    if (event->source() == this && event->possibleActions() & Qt::MoveAction &&
        !(event->modifiers() & Qt::ControlModifier))
        event->setDropAction(Qt::MoveAction);
    else
        event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TextEditor::dragLeaveEvent(QDragLeaveEvent *) {
    if (dropCaret_ >= 0) viewport()->update(caretRect(dropCaret_));
    dropCaret_ = -1;
}

void TextEditor::dropEvent(QDropEvent *event) {
    if (dropCaret_ >= 0) viewport()->update(caretRect(dropCaret_));
    dropCaret_ = -1;
    const std::optional<QByteArray> bytes = TextMimeData::bytesFrom(event->mimeData());
    if (readOnly_ || !bytes) {
        event->ignore();
        return;
    }
    qsizetype position = positionAt(event->position().toPoint());
    const bool move = event->source() == this && event->possibleActions() & Qt::MoveAction &&
                      !(event->modifiers() & Qt::ControlModifier);
    if (move) {
        // Onto itself, the text stays where it is.
        if (position >= selectionStart() && position <= selectionEnd()) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
            return;
        }
        const qsizetype from = selectionStart();
        const qsizetype length = selectionEnd() - from;
        cursor_.removeSelection();
        if (position > from) position -= length;
    }
    cursor_.setPosition(position);
    cursor_.insert(*bytes);
    // The dropped text stays selected.
    cursor_.select(position, cursor_.position());
    showCursor();
    event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    activateWindow();
    setFocus();
}

void TextEditor::documentChanged(const TextChange &change) {
    drawnCaret_ = change.shifted(drawnCaret_);
    drawnAnchor_ = change.shifted(drawnAnchor_);
    editedSinceShown_ = true;
    windows_.clear();
    const qsizetype line = document_.lineOf(change.position);
    const bool linesMoved = change.removed.contains('\r') || change.removed.contains('\n') ||
                            document_.lineOf(change.position + change.inserted) != line;
    updateLines(line, linesMoved ? document_.lineCount() + linesPerPage() : line);
    if (linesMoved) updateScrollBars();
    reportChange(change);
}

void TextEditor::documentReset() {
    drawnCaret_ = drawnAnchor_ = 0;
    preedit_ = {};
    windows_.clear();
    widest_ = 0;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    servePrimarySelection();
    reportCaret();
}

void TextEditor::inputMethodEvent(QInputMethodEvent *event) {
    if (readOnly_) {
        event->ignore();
        return;
    }
    const qsizetype line = document_.lineOf(caret());
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        if (event->replacementLength() > 0 || event->replacementStart() != 0) {
            const qsizetype caretUnits = document_.unitsBefore(caret());
            cursor_.select(document_.positionOfUnit(caretUnits + event->replacementStart()),
                           document_.positionOfUnit(caretUnits + event->replacementStart() +
                                                    event->replacementLength()));
        }
        // What an input method commits is one step of its own.
        document_.closeUndoStep();
        cursor_.insert(commit.toUtf8());
        document_.closeUndoStep();
    } else if (!event->preeditString().isEmpty() && hasSelection()) {
        cursor_.removeSelection();
    }
    preedit_.text = event->preeditString();
    preedit_.position = caret();
    preedit_.cursor = int(preedit_.text.size());
    preedit_.formats.clear();
    // Composed text is underlined whatever else the input method asks for it.
    if (!preedit_.text.isEmpty()) {
        QTextCharFormat underlined;
        underlined.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        preedit_.formats.append({0, int(preedit_.text.size()), underlined});
    }
    for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preedit_.cursor = attribute.start;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            QTextCharFormat format = attribute.value.value<QTextFormat>().toCharFormat();
            format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
            if (format.isValid())
                preedit_.formats.append({attribute.start, attribute.length, format});
        }
    }
    windows_.clear();
    updateLines(std::min(line, document_.lineOf(caret())),
                std::max(line, document_.lineOf(caret())));
    showCursor();
    event->accept();
}

QVariant TextEditor::inputMethodQuery(Qt::InputMethodQuery query) const {
    const QPoint offset = viewport()->pos();
    const qsizetype caret = this->caret();
    const auto surrounding = [this, caret] {
        const qsizetype line = document_.lineOf(caret);
        const qsizetype caretUnits = document_.unitsBefore(caret);
        const qsizetype from = document_.positionOfUnit(std::max(
            document_.unitsBefore(document_.lineStart(line)), caretUnits - kSurroundingUnits));
        const qsizetype to = document_.positionOfUnit(std::min(
            document_.unitsBefore(document_.lineTextEnd(line)), caretUnits + kSurroundingUnits));
        return std::pair{from, to};
    };
    switch (query) {
        case Qt::ImEnabled:
            return !readOnly_;
        case Qt::ImReadOnly:
            return readOnly_;
        case Qt::ImHints:
            return int(Qt::ImhMultiLine);
        case Qt::ImFont:
            return widths_.font();
        case Qt::ImCursorRectangle:
            return caretRect(caret).translated(offset);
        case Qt::ImAnchorRectangle:
            return caretRect(anchor()).translated(offset);
        case Qt::ImInputItemClipRectangle:
            return viewport()->geometry();
        case Qt::ImAbsolutePosition:
            return qlonglong(document_.unitsBefore(caret));
        case Qt::ImMaximumTextLength:
            return QVariant();
        case Qt::ImSurroundingText: {
            const auto [from, to] = surrounding();
            return document_.text(from, to);
        }
        case Qt::ImCursorPosition: {
            const auto [from, to] = surrounding();
            return qlonglong(document_.unitsBefore(caret) - document_.unitsBefore(from));
        }
        case Qt::ImAnchorPosition: {
            const auto [from, to] = surrounding();
            const qsizetype anchor = std::clamp(this->anchor(), from, to);
            return qlonglong(document_.unitsBefore(anchor) - document_.unitsBefore(from));
        }
        case Qt::ImCurrentSelection:
            return document_.text(selectionStart(),
                                  std::min(selectionEnd(), selectionStart() + kMostSelectionBytes));
        case Qt::ImTextBeforeCursor: {
            const auto [from, to] = surrounding();
            return document_.text(from, caret);
        }
        case Qt::ImTextAfterCursor: {
            const auto [from, to] = surrounding();
            return document_.text(caret, to);
        }
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TextEditor::reportCaret() {
    const AssistiveTechnology &technology = assistiveTechnology();
    if (!technology.active()) return;
    QAccessibleTextCursorEvent cursor(this, int(document_.unitsBefore(caret())));
    technology.update(&cursor);
    if (hasSelection()) {
        QAccessibleTextSelectionEvent selection(this, int(document_.unitsBefore(selectionStart())),
                                                int(document_.unitsBefore(selectionEnd())));
        technology.update(&selection);
    }
}

void TextEditor::reportChange(const TextChange &change) {
    const AssistiveTechnology &technology = assistiveTechnology();
    if (!technology.active()) return;
    const int at = int(document_.unitsBefore(change.position));
    const QString inserted = document_.text(change.position, change.position + change.inserted);
    const QString removed = TextDocument::readable(change.removed);
    if (removed.isEmpty()) {
        QAccessibleTextInsertEvent insert(this, at, inserted);
        technology.update(&insert);
    } else if (inserted.isEmpty()) {
        QAccessibleTextRemoveEvent remove(this, at, removed);
        technology.update(&remove);
    } else {
        QAccessibleTextUpdateEvent update(this, at, removed, inserted);
        technology.update(&update);
    }
}
