#include "ui/main/text_area.h"

#include <QAccessibleWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

namespace {

// Room behind a new document's text. Without it the first key typed makes Scintilla copy the whole
// document into a larger buffer (about 0.1 s for 100 MiB).
constexpr qsizetype kTypingRoom = qsizetype{1} << 20;

// Scintilla colours are 0x00BBGGRR.
constexpr long kBlue = 0x00FF0000;

long scintillaColour(const QColor &colour) {
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

}  // namespace

TextArea::TextArea(QWidget *parent) : QsciScintillaBase(parent) {
    applyViewSettings();
    setDocument({});
    followAssistiveTechnology();
}

TextArea::~TextArea() {
    QAccessible::removeActivationObserver(this);
}

void TextArea::followAssistiveTechnology() {
    static const bool factoryInstalled = (QAccessible::installFactory(&accessibleFor), true);
    Q_UNUSED(factoryInstalled);
    reportToAssistiveTechnology(QAccessible::isActive());
    QAccessible::installActivationObserver(this);
}

void TextArea::reportToAssistiveTechnology(bool active) {
    assistiveTechnologyActive_ = active;
    SendScintilla(SCI_SETMODEVENTMASK, active ? long{SC_MODEVENTMASKALL} : 0L);
}

void TextArea::accessibilityActiveChanged(bool active) {
    reportToAssistiveTechnology(active);
    // Qt keeps the interface it made first; the next one asked for is of the new kind. QScintilla's
    // follows the caret only once it exists, so it is made at once.
    if (QAccessibleInterface *current = QAccessible::queryAccessibleInterface(this))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
    if (active) QAccessible::queryAccessibleInterface(this);
}

// Qt asks the factories for the most derived class first, so this one comes before QScintilla's.
// Qt makes an interface for a widget as soon as it is shown, active client or not, and
// QScintilla's reports every caret move through it.
QAccessibleInterface *TextArea::accessibleFor(const QString &className, QObject *object) {
    if (className != QLatin1String(staticMetaObject.className())) return nullptr;
    auto *area = static_cast<TextArea *>(object);
    if (area->assistiveTechnologyActive_) return nullptr;
    return new QAccessibleWidget(area, QAccessible::EditableText);
}

void TextArea::applyViewSettings() {
    for (unsigned long margin = 0; margin < 5; ++margin)
        SendScintilla(SCI_SETMARGINWIDTHN, margin, 0L);
    SendScintilla(SCI_SETWRAPMODE, static_cast<long>(SC_WRAP_NONE));
    // Scintilla lays out a line as a whole, at 0.4-0.7 s per MiB of a minified page's one line.
    // By default it keeps only the caret's line laid out and lays out any other line again for
    // every paint; this keeps every line on screen, so a long line is laid out again only when
    // it changes or the caret moves onto or off it.
    SendScintilla(SCI_SETLAYOUTCACHE, static_cast<long>(SC_CACHE_PAGE));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The square between the two scroll bars would otherwise show the window behind it.
    auto *corner = new QWidget(this);
    corner->setAutoFillBackground(true);
    corner->setBackgroundRole(QPalette::Button);
    setCornerWidget(corner);

    const QFont windowFont = font();
    SendScintilla(SCI_STYLESETFONT, STYLE_DEFAULT, windowFont.family().toUtf8().constData());
    // The size as drawn, which a font sized in pixels has too; its pointSizeF() is -1.
    const qreal points = QFontInfo(windowFont).pointSizeF();
    SendScintilla(SCI_STYLESETSIZEFRACTIONAL, STYLE_DEFAULT,
                  static_cast<long>(points * int{SC_FONT_SIZE_MULTIPLIER}));
    SendScintilla(SCI_STYLESETFORE, STYLE_DEFAULT, kBlue);
    SendScintilla(SCI_STYLESETBACK, STYLE_DEFAULT,
                  scintillaColour(palette().color(QPalette::Base)));
    SendScintilla(SCI_STYLECLEARALL);
    SendScintilla(SCI_SETCARETFORE, scintillaColour(palette().color(QPalette::Text)));
}

void TextArea::applyDocumentSettings() {
    SendScintilla(SCI_SETCODEPAGE, static_cast<long>(SC_CP_UTF8));
    // Enter starts a new line the way the loader ends every line, and so does every line end of
    // pasted or dropped text: QScintilla converts them to this mode, whatever
    // SCI_SETPASTECONVERTENDINGS says. Only what the user enters is converted; loaded bytes stay.
    SendScintilla(SCI_SETEOLMODE, static_cast<long>(SC_EOL_CRLF));
}

void TextArea::setDocument(TextBuffer buffer) {
    // A fresh document frees the old one before the new text is allocated, and has no style
    // bytes: this area is never styled, and they would double its memory.
    const long document =
        SendScintilla(SCI_CREATEDOCUMENT, 0UL, static_cast<long>(SC_DOCUMENTOPTION_STYLES_NONE));
    SendScintilla(SCI_SETDOCPOINTER, 0UL, reinterpret_cast<void *>(document));
    SendScintilla(SCI_RELEASEDOCUMENT, 0UL, reinterpret_cast<void *>(document));
    applyDocumentSettings();

    // The text goes in with one call: Scintilla's cost per insertion grows with the document.
    // Without undo collection and change notifications it is not copied on the way in.
    const long eventMask = SendScintilla(SCI_GETMODEVENTMASK);
    SendScintilla(SCI_SETMODEVENTMASK, 0L);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(buffer.bytes.size() + kTypingRoom));
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(buffer.bytes.size()),
                  buffer.bytes.constData());
    buffer.bytes = {};
    SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    SendScintilla(SCI_SETMODEVENTMASK, eventMask);
    SendScintilla(SCI_GOTOPOS, 0L);
    encoding_ = buffer.encoding;
}

QByteArrayView TextArea::bytes() const {
    const auto length = SendScintilla(SCI_GETLENGTH);
    const auto *data = static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return QByteArrayView(data, length);
}

bool TextArea::isModified() const {
    return SendScintilla(SCI_GETMODIFY) != 0;
}

void TextArea::markSaved() {
    SendScintilla(SCI_SETSAVEPOINT);
}

bool TextArea::focusNextPrevChild(bool next) {
    return QWidget::focusNextPrevChild(next);
}

// QScintilla hands a key's whole text to Scintilla as one character, and Scintilla throws when
// it holds more than one.
void TextArea::keyPressEvent(QKeyEvent *event) {
    const QList<uint> characters = event->text().toUcs4();
    if (characters.size() < 2) {
        QsciScintillaBase::keyPressEvent(event);
        return;
    }
    SendScintilla(SCI_BEGINUNDOACTION);
    for (const uint character : characters) {
        const char32_t one = character;
        // A key of its own, not the one the event names, which stands for its first character
        // at most and could be taken for a command.
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                        QString::fromUcs4(&one, 1), event->isAutoRepeat());
        QsciScintillaBase::keyPressEvent(&typed);
    }
    SendScintilla(SCI_ENDUNDOACTION);
    event->accept();
}

void TextArea::contextMenuEvent(QContextMenuEvent *event) {
    const bool editable = !SendScintilla(SCI_GETREADONLY);
    const bool hasSelection = !SendScintilla(SCI_GETSELECTIONEMPTY);

    QMenu menu(this);
    const auto add = [&](const QString &text, unsigned int message, bool enabled) {
        QAction *action = menu.addAction(text, this, [this, message] { SendScintilla(message); });
        action->setEnabled(enabled);
    };
    add(QStringLiteral("撤销"), SCI_UNDO, editable && SendScintilla(SCI_CANUNDO));
    add(QStringLiteral("重做"), SCI_REDO, editable && SendScintilla(SCI_CANREDO));
    menu.addSeparator();
    add(QStringLiteral("剪切"), SCI_CUT, editable && hasSelection);
    add(QStringLiteral("复制"), SCI_COPY, hasSelection);
    // SCI_CANPASTE does not look at the clipboard.
    const QMimeData *clipboard = QGuiApplication::clipboard()->mimeData();
    const bool canPaste = clipboard && canInsertFromMimeData(clipboard);
    add(QStringLiteral("粘贴"), SCI_PASTE, editable && canPaste && SendScintilla(SCI_CANPASTE));
    add(QStringLiteral("删除"), SCI_CLEAR, editable && hasSelection);
    menu.addSeparator();
    add(QStringLiteral("全选"), SCI_SELECTALL, SendScintilla(SCI_GETLENGTH) > 0);
    menu.exec(event->globalPos());
}
