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
#include <QScrollBar>
#include <QStyleHints>
#include <QTimer>
#include <cmath>

#include "ui/text/text_accessible.h"
#include "ui/text/text_boundaries.h"

const QString TextEditor::kBytesMimeType = QStringLiteral("application/x-zerediz-bytes");

namespace {

// Room between the viewport's left edge and the text.
constexpr int kPadding = 2;
// How much of the line input methods are told about on each side of the caret.
constexpr qsizetype kSurroundingUnits = 1024;
// The most of a selection input methods are given.
constexpr qsizetype kMostSelectionBytes = qsizetype{1} << 16;
constexpr int kAutoScrollMs = 50;

QByteArray withLineEnds(QByteArrayView text, LineEnd lineEnd) {
    const QByteArrayView end = lineEndBytes(lineEnd);
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out.append(end);
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

// Text a key gives that is typed: no control characters, which keys like Escape carry.
bool isTypedText(const QString &text) {
    if (text.isEmpty()) return false;
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control) return false;
    }
    return true;
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
    connect(&document_, &TextDocument::changed, this, &TextEditor::documentChanged);
    connect(&document_, &TextDocument::reset, this, &TextEditor::documentReset);
    applyFont();
    installTextAccessibility();
}

TextEditor::~TextEditor() = default;

void TextEditor::applyFont() {
    widths_.setFont(font());
    document_.clearWidths();
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
    if (position == caret_ && !preedit_.text.isEmpty() && line >= firstVisibleLine())
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
    // Off screen, the nearer edge of the character under x.
    const auto [position, left] = geometry_.characterAt(line, x);
    const qsizetype next = document_.nextCharacter(position);
    if (position >= document_.lineTextEnd(line) ||
        x - left < (geometry_.xOf(line, next) - left) / 2)
        return position;
    return next;
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

void TextEditor::updateCaret() {
    viewport()->update(caretRect(caret_).adjusted(-1, 0, 1, 0));
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
        // The text is blue, as it always was.
        QColor(0x00, 0x00, 0xFF), colours.color(QPalette::Base), colours.color(QPalette::Highlight),
        colours.color(QPalette::HighlightedText), QColor(0xC0, 0x00, 0x00)};
    const qreal originX = kPadding - horizontalScrollBar()->value();
    const qsizetype selectionFrom = selectionStart();
    const qsizetype selectionTo = selectionEnd();
    bool wider = false;
    for (qsizetype line = from; line < to; ++line) {
        const qreal top = qreal(line - first) * lineHeight;
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
    if (wider) QTimer::singleShot(0, this, &TextEditor::updateScrollBars);
    if (caretShown_ && hasFocus() && !readOnly_) {
        const QRect caret = caretRect(caret_);
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
        updateCaret();
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
    updateCaret();
}

void TextEditor::setCaret(qsizetype position, bool extend) {
    moveCaret(position, extend);
}

void TextEditor::select(qsizetype anchor, qsizetype caret) {
    anchor_ = std::clamp(anchor, qsizetype{0}, document_.size());
    moveCaret(caret, true);
}

void TextEditor::moveCaret(qsizetype position, bool extend, bool keepColumn) {
    position = std::clamp(position, qsizetype{0}, document_.size());
    const qsizetype oldCaret = caret_;
    const qsizetype oldAnchor = anchor_;
    const bool hadSelection = hasSelection();
    updateCaret();
    caret_ = position;
    if (!extend) anchor_ = position;
    document_.closeUndoStep();
    if (hadSelection || hasSelection()) {
        const qsizetype from = std::min({oldCaret, oldAnchor, caret_, anchor_});
        const qsizetype to = std::max({oldCaret, oldAnchor, caret_, anchor_});
        updateLines(document_.lineOf(from), document_.lineOf(to));
    }
    ensureVisible(caret_);
    if (!keepColumn) column_ = xOf(caret_);
    restartBlink();
    updateCaret();
    if (caret_ != oldCaret) emit caretMoved();
    if (caret_ != oldCaret || anchor_ != oldAnchor) {
        if (hadSelection || hasSelection()) emit selectionChanged();
        reportCaret();
    }
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

qsizetype TextEditor::lineBelow(qsizetype position, qsizetype lines) const {
    const qsizetype line = document_.lineOf(position) + lines;
    if (line < 0) return 0;
    if (line >= document_.lineCount()) return document_.size();
    return positionAtX(line, column_);
}

bool TextEditor::handleMoveKey(QKeyEvent *event) {
    enum Target {
        NextChar,
        PreviousChar,
        NextWord,
        PreviousWord,
        NextLine,
        PreviousLine,
        NextPage,
        PreviousPage,
        LineStart,
        LineEnd_,
        DocumentStart,
        DocumentEnd
    };
    struct Move {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        Target target;
    };
    static const Move moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, NextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, PreviousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, NextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, PreviousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, NextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, PreviousLine},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, NextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, PreviousPage},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, LineStart},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, LineEnd_},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, DocumentStart},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, DocumentEnd},
    };
    for (const Move &move : moves) {
        const bool extend = event->matches(move.select);
        if (!extend && !event->matches(move.move)) continue;
        const qsizetype line = document_.lineOf(caret_);
        qsizetype target = caret_;
        bool keepColumn = false;
        switch (move.target) {
            case NextChar:
                // Without Shift, an arrow first collapses the selection to its edge.
                target =
                    !extend && hasSelection() ? selectionEnd() : nextGrapheme(document_, caret_);
                break;
            case PreviousChar:
                target = !extend && hasSelection() ? selectionStart()
                                                   : previousGrapheme(document_, caret_);
                break;
            case NextWord:
                target = nextWordStop(document_, caret_);
                break;
            case PreviousWord:
                target = previousWordStop(document_, caret_);
                break;
            case NextLine:
                target = lineBelow(caret_, 1);
                keepColumn = true;
                break;
            case PreviousLine:
                target = lineBelow(caret_, -1);
                keepColumn = true;
                break;
            case NextPage:
            case PreviousPage: {
                const int page = move.target == NextPage ? linesPerPage() : -linesPerPage();
                target = lineBelow(caret_, page);
                keepColumn = true;
                verticalScrollBar()->setValue(verticalScrollBar()->value() + page);
                break;
            }
            case LineStart:
                target = document_.lineStart(line);
                break;
            case LineEnd_:
                target = document_.lineTextEnd(line);
                break;
            case DocumentStart:
                target = 0;
                break;
            case DocumentEnd:
                target = document_.size();
                break;
        }
        moveCaret(target, extend, keepColumn);
        return true;
    }
    return false;
}

bool TextEditor::handleEditKey(QKeyEvent *event) {
    if (event == QKeySequence::Copy) {
        copy();
        return true;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return true;
    }
    if (readOnly_) return false;
    if (event == QKeySequence::Undo) {
        undo();
    } else if (event == QKeySequence::Redo) {
        redo();
    } else if (event == QKeySequence::Cut) {
        cut();
    } else if (event == QKeySequence::Paste) {
        paste();
    } else if (event == QKeySequence::DeleteStartOfWord) {
        deleteTo(hasSelection() ? caret_ : previousWordStop(document_, caret_), EditKind::Other);
    } else if (event == QKeySequence::DeleteEndOfWord) {
        deleteTo(hasSelection() ? caret_ : nextWordStop(document_, caret_), EditKind::Other);
    } else if (event == QKeySequence::Delete) {
        deleteTo(hasSelection() ? caret_ : nextGrapheme(document_, caret_),
                 EditKind::DeleteForward);
    } else if (event->key() == Qt::Key_Backspace &&
               !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        // Backspace takes back one character, not a whole cluster: an accent typed last goes
        // alone.
        deleteTo(hasSelection() ? caret_ : document_.previousCharacter(caret_),
                 EditKind::DeleteBackward);
    } else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
               !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier))) {
        insertText(lineEndBytes(document_.lineEnd()), EditKind::Typing);
    } else {
        return false;
    }
    return true;
}

void TextEditor::keyPressEvent(QKeyEvent *event) {
    if (handleMoveKey(event) || handleEditKey(event)) {
        event->accept();
        return;
    }
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    if (!readOnly_ && !command && isTypedText(event->text())) {
        // Every character the event carries goes in, as one step of its own.
        const bool several = event->text().toUcs4().size() > 1;
        if (several) document_.closeUndoStep();
        insertText(event->text().toUtf8(), EditKind::Typing);
        if (several) document_.closeUndoStep();
        event->accept();
        return;
    }
    event->ignore();
}

bool TextEditor::event(QEvent *event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // The keys this area handles itself are not the window's shortcuts while it has the focus.
        auto *key = static_cast<QKeyEvent *>(event);
        const bool command = key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
        static const QKeySequence::StandardKey own[] = {QKeySequence::Copy,
                                                        QKeySequence::Cut,
                                                        QKeySequence::Paste,
                                                        QKeySequence::Undo,
                                                        QKeySequence::Redo,
                                                        QKeySequence::SelectAll,
                                                        QKeySequence::Delete,
                                                        QKeySequence::MoveToNextWord,
                                                        QKeySequence::MoveToPreviousWord,
                                                        QKeySequence::MoveToStartOfDocument,
                                                        QKeySequence::MoveToEndOfDocument,
                                                        QKeySequence::SelectNextWord,
                                                        QKeySequence::SelectPreviousWord,
                                                        QKeySequence::SelectStartOfDocument,
                                                        QKeySequence::SelectEndOfDocument,
                                                        QKeySequence::DeleteStartOfWord,
                                                        QKeySequence::DeleteEndOfWord};
        for (QKeySequence::StandardKey standard : own) {
            if (key->matches(standard)) {
                event->accept();
                return true;
            }
        }
        if (!command && isTypedText(key->text())) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TextEditor::insertText(QByteArrayView text, EditKind kind) {
    if (readOnly_) return;
    const QByteArray converted = withLineEnds(text, document_.lineEnd());
    const qsizetype from = selectionStart();
    if (kind != EditKind::Typing || hasSelection()) document_.closeUndoStep();
    document_.replace(from, selectionEnd(), converted, kind);
    const qsizetype end = from + converted.size();
    // The caret moves without closing the typing step.
    const qsizetype oldCaret = caret_;
    caret_ = anchor_ = end;
    ensureVisible(caret_);
    column_ = xOf(caret_);
    restartBlink();
    updateCaret();
    if (oldCaret != caret_) emit caretMoved();
    reportCaret();
}

void TextEditor::deleteTo(qsizetype position, EditKind kind) {
    if (readOnly_) return;
    const qsizetype from = std::min(position, anchor_);
    const qsizetype to = std::max(position, anchor_);
    if (from == to) return;
    if (caret_ != anchor_) {
        kind = EditKind::Other;
        document_.closeUndoStep();
    }
    document_.replace(from, to, {}, kind);
    caret_ = anchor_ = from;
    ensureVisible(caret_);
    column_ = xOf(caret_);
    restartBlink();
    updateCaret();
    emit caretMoved();
    reportCaret();
}

void TextEditor::deleteSelection() {
    if (hasSelection()) deleteTo(caret_, EditKind::Other);
}

void TextEditor::selectAll() {
    anchor_ = 0;
    moveCaret(document_.size(), true);
    viewport()->update();
}

void TextEditor::undo() {
    if (readOnly_ || !document_.canUndo()) return;
    const qsizetype caret = document_.undo();
    caret_ = anchor_ = caret;
    moveCaret(caret, false);
}

void TextEditor::redo() {
    if (readOnly_ || !document_.canRedo()) return;
    const qsizetype caret = document_.redo();
    caret_ = anchor_ = caret;
    moveCaret(caret, false);
}

QByteArray TextEditor::selectedBytes() const {
    return document_.slice(selectionStart(), selectionEnd());
}

QMimeData *TextEditor::mimeDataFor(QByteArrayView bytes) {
    auto *data = new QMimeData;
    data->setData(kBytesMimeType, bytes.toByteArray());
    data->setText(TextDocument::readable(bytes));
    return data;
}

std::optional<QByteArray> TextEditor::bytesFrom(const QMimeData *data) {
    if (!data) return std::nullopt;
    if (data->hasFormat(kBytesMimeType)) return data->data(kBytesMimeType);
    if (data->hasText()) return data->text().toUtf8();
    return std::nullopt;
}

void TextEditor::copy() const {
    if (!hasSelection()) return;
    QGuiApplication::clipboard()->setMimeData(mimeDataFor(selectedBytes()));
}

void TextEditor::cut() {
    if (readOnly_ || !hasSelection()) return;
    copy();
    deleteSelection();
}

void TextEditor::paste() {
    if (readOnly_) return;
    if (const std::optional<QByteArray> bytes = bytesFrom(QGuiApplication::clipboard()->mimeData()))
        insertText(*bytes);
}

QMenu *TextEditor::createContextMenu() {
    auto *menu = new QMenu(this);
    const bool editable = !readOnly_;
    const auto add = [&](const QString &text, void (TextEditor::*action)(), bool enabled) {
        QAction *item = menu->addAction(text, this, action);
        item->setEnabled(enabled);
    };
    const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
    add(QStringLiteral("撤销"), &TextEditor::undo, editable && document_.canUndo());
    add(QStringLiteral("重做"), &TextEditor::redo, editable && document_.canRedo());
    menu->addSeparator();
    add(QStringLiteral("剪切"), &TextEditor::cut, editable && hasSelection());
    menu->addAction(QStringLiteral("复制"), this, &TextEditor::copy)->setEnabled(hasSelection());
    add(QStringLiteral("粘贴"), &TextEditor::paste, editable && bytesFrom(clipboard).has_value());
    add(QStringLiteral("删除"), &TextEditor::deleteSelection, editable && hasSelection());
    menu->addSeparator();
    add(QStringLiteral("全选"), &TextEditor::selectAll, document_.size() > 0);
    return menu;
}

void TextEditor::contextMenuEvent(QContextMenuEvent *event) {
    const std::unique_ptr<QMenu> menu(createContextMenu());
    menu->exec(event->globalPos());
}

void TextEditor::selectUnitAt(qsizetype position, Unit unit) {
    qsizetype from = position;
    qsizetype to = position;
    if (unit == Unit::Word) {
        std::tie(from, to) = wordAt(document_, position);
    } else if (unit == Unit::Line) {
        const qsizetype line = document_.lineOf(position);
        from = document_.lineStart(line);
        to = document_.lineStart(line + 1);
    }
    clickUnit_ = unit;
    clickAnchorStart_ = from;
    clickAnchorEnd_ = to;
    anchor_ = from;
    moveCaret(to, true);
}

void TextEditor::extendByUnit(qsizetype position) {
    if (clickUnit_ == Unit::Character) {
        moveCaret(position, true);
        return;
    }
    qsizetype from = position;
    qsizetype to = position;
    if (clickUnit_ == Unit::Word) {
        std::tie(from, to) = wordAt(document_, position);
    } else {
        const qsizetype line = document_.lineOf(position);
        from = document_.lineStart(line);
        to = document_.lineStart(line + 1);
    }
    if (from < clickAnchorStart_) {
        anchor_ = clickAnchorEnd_;
        moveCaret(from, true);
    } else {
        anchor_ = clickAnchorStart_;
        moveCaret(std::max(to, clickAnchorEnd_), true);
    }
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
        selectUnitAt(position, Unit::Line);
        selecting_ = true;
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        extendByUnit(position);
        selecting_ = true;
        return;
    }
    if (hasSelection() && position >= selectionStart() && position < selectionEnd()) {
        mayDrag_ = true;
        pressPoint_ = point;
        return;
    }
    clickUnit_ = Unit::Character;
    moveCaret(position, false);
    selecting_ = true;
}

void TextEditor::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return;
    mayDrag_ = false;
    const QPoint point = event->position().toPoint();
    selectUnitAt(positionAt(point), Unit::Word);
    selecting_ = true;
    lastDoubleClick_.start();
    doubleClickPoint_ = point;
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
    extendByUnit(positionAt(point));
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
    extendByUnit(positionAt(point));
}

void TextEditor::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return;
    autoScroll_.stop();
    selecting_ = false;
    if (mayDrag_) {
        mayDrag_ = false;
        moveCaret(positionAt(event->position().toPoint()), false);
    }
}

void TextEditor::startDrag() {
    auto *drag = new QDrag(this);
    drag->setMimeData(mimeDataFor(selectedBytes()));
    const Qt::DropActions actions = readOnly_ ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction;
    const Qt::DropAction done = drag->exec(actions, Qt::MoveAction);
    // A move into this area was made by the drop; one elsewhere takes the text away here.
    if (done == Qt::MoveAction && drag->target() != viewport()) deleteSelection();
}

void TextEditor::dragEnterEvent(QDragEnterEvent *event) {
    if (readOnly_ || !bytesFrom(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TextEditor::dragMoveEvent(QDragMoveEvent *event) {
    if (readOnly_ || !bytesFrom(event->mimeData())) {
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
    const std::optional<QByteArray> bytes = bytesFrom(event->mimeData());
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
        document_.closeUndoStep();
        document_.replace(from, from + length, {});
        if (position > from) position -= length;
    }
    moveCaret(position, false);
    insertText(*bytes);
    anchor_ = position;
    moveCaret(caret_, true);
    event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
    activateWindow();
    setFocus();
}

void TextEditor::documentChanged(const TextChange &change) {
    const qsizetype removedEnd = change.position + change.removed.size();
    const qsizetype delta = change.inserted - change.removed.size();
    const auto shifted = [&](qsizetype p) {
        if (p >= removedEnd) return p + delta;
        return p > change.position ? change.position + change.inserted : p;
    };
    caret_ = shifted(caret_);
    anchor_ = shifted(anchor_);
    windows_.clear();
    const qsizetype line = document_.lineOf(change.position);
    const bool linesMoved = change.removed.contains('\r') || change.removed.contains('\n') ||
                            document_.lineOf(change.position + change.inserted) != line;
    updateLines(line, linesMoved ? document_.lineCount() + linesPerPage() : line);
    if (linesMoved) updateScrollBars();
    reportChange(change);
}

void TextEditor::documentReset() {
    caret_ = anchor_ = 0;
    column_ = 0;
    preedit_ = {};
    windows_.clear();
    widest_ = 0;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    reportCaret();
}

void TextEditor::inputMethodEvent(QInputMethodEvent *event) {
    if (readOnly_) {
        event->ignore();
        return;
    }
    const qsizetype line = document_.lineOf(caret_);
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        qsizetype from = selectionStart();
        qsizetype to = selectionEnd();
        if (event->replacementLength() > 0 || event->replacementStart() != 0) {
            const qsizetype caretUnits = document_.unitsBefore(caret_);
            from = document_.positionOfUnit(caretUnits + event->replacementStart());
            to = document_.positionOfUnit(caretUnits + event->replacementStart() +
                                          event->replacementLength());
            anchor_ = from;
            caret_ = to;
        }
        // What an input method commits is one step of its own.
        document_.closeUndoStep();
        insertText(commit.toUtf8());
        document_.closeUndoStep();
    } else if (!event->preeditString().isEmpty() && hasSelection()) {
        deleteSelection();
    }
    preedit_.text = event->preeditString();
    preedit_.position = caret_;
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
    updateLines(std::min(line, document_.lineOf(caret_)), std::max(line, document_.lineOf(caret_)));
    ensureVisible(caret_);
    event->accept();
}

QVariant TextEditor::inputMethodQuery(Qt::InputMethodQuery query) const {
    const QPoint offset = viewport()->pos();
    const auto surrounding = [this] {
        const qsizetype line = document_.lineOf(caret_);
        const qsizetype caretUnits = document_.unitsBefore(caret_);
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
            return caretRect(caret_).translated(offset);
        case Qt::ImAnchorRectangle:
            return caretRect(anchor_).translated(offset);
        case Qt::ImInputItemClipRectangle:
            return viewport()->geometry();
        case Qt::ImAbsolutePosition:
            return qlonglong(document_.unitsBefore(caret_));
        case Qt::ImMaximumTextLength:
            return QVariant();
        case Qt::ImSurroundingText: {
            const auto [from, to] = surrounding();
            return document_.text(from, to);
        }
        case Qt::ImCursorPosition: {
            const auto [from, to] = surrounding();
            return qlonglong(document_.unitsBefore(caret_) - document_.unitsBefore(from));
        }
        case Qt::ImAnchorPosition: {
            const auto [from, to] = surrounding();
            const qsizetype anchor = std::clamp(anchor_, from, to);
            return qlonglong(document_.unitsBefore(anchor) - document_.unitsBefore(from));
        }
        case Qt::ImCurrentSelection:
            return document_.text(selectionStart(),
                                  std::min(selectionEnd(), selectionStart() + kMostSelectionBytes));
        case Qt::ImTextBeforeCursor: {
            const auto [from, to] = surrounding();
            return document_.text(from, caret_);
        }
        case Qt::ImTextAfterCursor: {
            const auto [from, to] = surrounding();
            return document_.text(caret_, to);
        }
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void TextEditor::reportCaret() {
    const AssistiveTechnology &technology = assistiveTechnology();
    if (!technology.active()) return;
    QAccessibleTextCursorEvent cursor(this, int(document_.unitsBefore(caret_)));
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
