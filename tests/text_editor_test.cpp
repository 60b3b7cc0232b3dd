#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "byte_samples.h"
#include "stand_in_primary_selection.h"
#include "ui/text/line_window.h"
#include "ui/text/text_accessible.h"
#include "ui/text/text_clipboard.h"
#include "ui/text/text_cursor.h"
#include "ui/text/text_editor.h"
#include "ui/text/text_keys.h"
#include "ui/text/text_mime_data.h"
#include "x11_redo.h"

namespace {

// One key event; text alone makes an event that carries only that text, as input methods and
// remote keyboards send.
struct Key {
    int key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;
    QString text;
};
Key key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return {k, modifiers, {}};
}
Key typed(const char *utf8) {
    return {Qt::Key_unknown, Qt::NoModifier, QString::fromUtf8(utf8)};
}
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;

void send(QWidget &widget, const Key &k) {
    if (k.key == Qt::Key_unknown) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, k.text);
        QCoreApplication::sendEvent(&widget, &press);
        return;
    }
    QTest::keyClick(&widget, Qt::Key(k.key), k.modifiers);
}

// What an input method sends: a preedit string with its caret, or a commit replacing some of
// the text around the caret.
struct ImEvent {
    QString preedit;
    QString commit;
    int replacementStart = 0;
    int replacementLength = 0;
};

// A cursor in a document, with no widget: the caret's x comes from the sums of the default font's
// widths.
struct BareCursor {
    TextDocument document;
    GlyphWidths widths;
    LineGeometry geometry{document, widths};
    TextCursor cursor{document, geometry};
    BareCursor(const QByteArray &bytes, LineEnd lineEnd) {
        widths.setFont(QFont());
        document.setBytes(bytes);
        document.setLineEnd(lineEnd);
    }
    // What the keys of a text area do to it, the view's own keys (pages, the clipboard) aside.
    void press(const Key &k) {
        const QKeyEvent event(QEvent::KeyPress, k.key, k.modifiers, k.text);
        if (const std::optional<KeyCommand> command = keyCommand(event)) cursor.perform(*command);
    }
    QByteArray bytes() { return document.bytes().toByteArray(); }
};

// An editor on screen, with the focus, holding bytes.
struct ShownEditor {
    TextEditor editor;
    explicit ShownEditor(const QByteArray &bytes, LineEnd lineEnd = LineEnd::CrLf) {
        editor.resize(300, 120);
        editor.document().setBytes(bytes);
        editor.document().setLineEnd(lineEnd);
        editor.show();
        editor.activateWindow();
        editor.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
    }
    QByteArray bytes() { return editor.document().bytes().toByteArray(); }
    QPoint pointOf(qsizetype position) const { return editor.caretRect(position).center(); }
};

}  // namespace

Q_DECLARE_METATYPE(QList<Key>)
Q_DECLARE_METATYPE(QList<ImEvent>)
Q_DECLARE_METATYPE(LineEnd)
using Clicks = QList<std::pair<char, qsizetype>>;
Q_DECLARE_METATYPE(Clicks)
using Events = QList<std::pair<int, int>>;
Q_DECLARE_METATYPE(Events)
using Spans = QList<std::pair<qsizetype, qsizetype>>;
Q_DECLARE_METATYPE(Spans)

class TextEditorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keys_data();
    void keys();
    void clipboard_data();
    void clipboard();
    void copiesBigSelections_data();
    void copiesBigSelections();
    void servesTheSelectionWhenAsked();
    void mouse_data();
    void mouse();
    void drags_data();
    void drags();
    void middleClick_data();
    void middleClick();
    void words_data();
    void words();
    void wheel_data();
    void wheel();
    void drawsWhatIsThere_data();
    void drawsWhatIsThere();
    void inputMethod_data();
    void inputMethod();
    void tabStops_data();
    void tabStops();
    void accessibility_data();
    void accessibility();
    void reportsToAssistiveTechnology_data();
    void reportsToAssistiveTechnology();
};

void TextEditorTest::keys_data() {
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<LineEnd>("lineEnd");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<QList<Key>>("keys");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<qsizetype>("expectedCaret");
    QTest::addColumn<qsizetype>("expectedAnchor");

    const LineEnd crlf = LineEnd::CrLf;
    QTest::newRow("typed at the caret")
        << QByteArray("ab") << crlf << qsizetype(1) << QList<Key>{typed("x")} << QByteArray("axb")
        << qsizetype(2) << qsizetype(2);
    QTest::newRow("a key of several characters is one undo step")
        << QByteArray("q") << crlf << qsizetype(0)
        << QList<Key>{typed("ab"), key(Qt::Key_Right), typed("中文"), key(Qt::Key_Z, kCtrl)}
        << QByteArray("abq") << qsizetype(3) << qsizetype(3);
    QTest::newRow("a key of several characters after typing is a step of its own")
        << QByteArray() << crlf << qsizetype(0)
        << QList<Key>{typed("a"), typed("bc"), key(Qt::Key_Z, kCtrl)} << QByteArray("a")
        << qsizetype(1) << qsizetype(1);
    QTest::newRow("typing is undone at once, then redone by Ctrl+Y")
        << QByteArray("ab") << crlf << qsizetype(2)
        << QList<Key>{typed("c"), typed("d"), key(Qt::Key_Z, kCtrl), key(Qt::Key_Y, kCtrl)}
        << QByteArray("abcd") << qsizetype(4) << qsizetype(4);
    QTest::newRow("Ctrl+Shift+Z redoes as well")
        << QByteArray("ab") << crlf << qsizetype(2)
        << QList<Key>{typed("c"), key(Qt::Key_Z, kCtrl), key(Qt::Key_Z, kCtrl | kShift)}
        << QByteArray("abc") << qsizetype(3) << qsizetype(3);
    QTest::newRow("Ctrl+Tab types a tab")
        << QByteArray("ab") << crlf << qsizetype(1) << QList<Key>{key(Qt::Key_Tab, kCtrl)}
        << QByteArray("a\tb") << qsizetype(2) << qsizetype(2);
    QTest::newRow("a tab typed is undone with the typing around it")
        << QByteArray("ab") << crlf << qsizetype(1)
        << QList<Key>{typed("x"), key(Qt::Key_Tab, kCtrl), typed("y"), key(Qt::Key_Z, kCtrl)}
        << QByteArray("ab") << qsizetype(1) << qsizetype(1);
    QTest::newRow("Escape and control keys type nothing")
        << QByteArray("a") << crlf << qsizetype(1)
        << QList<Key>{key(Qt::Key_Escape), typed("\x1b"), key(Qt::Key_Tab)} << QByteArray("a")
        << qsizetype(1) << qsizetype(1);
    QTest::newRow("Enter gives CR LF")
        << QByteArray("ab") << crlf << qsizetype(1) << QList<Key>{key(Qt::Key_Return)}
        << QByteArray("a\r\nb") << qsizetype(3) << qsizetype(3);
    QTest::newRow("Enter gives LF in a document of LF lines")
        << QByteArray("a\nb") << LineEnd::Lf << qsizetype(3) << QList<Key>{key(Qt::Key_Enter)}
        << QByteArray("a\nb\n") << qsizetype(4) << qsizetype(4);
    QTest::newRow("Backspace takes a CR LF pair")
        << QByteArray("a\r\nb") << crlf << qsizetype(3) << QList<Key>{key(Qt::Key_Backspace)}
        << QByteArray("ab") << qsizetype(1) << qsizetype(1);
    QTest::newRow("Backspace takes one invalid byte")
        << QByteArray("a\xff\xfe") << crlf << qsizetype(3) << QList<Key>{key(Qt::Key_Backspace)}
        << QByteArray("a\xff") << qsizetype(2) << qsizetype(2);
    QTest::newRow("Delete takes a whole cluster")
        << QByteArray("e\xcc\x81x") << crlf << qsizetype(0) << QList<Key>{key(Qt::Key_Delete)}
        << QByteArray("x") << qsizetype(0) << qsizetype(0);
    QTest::newRow("Right steps over a cluster, an emoji and an invalid byte")
        << QByteArray("e\xcc\x81\xf0\x9f\x98\x80\xffz") << crlf << qsizetype(0)
        << QList<Key>{key(Qt::Key_Right), key(Qt::Key_Right), key(Qt::Key_Right)}
        << QByteArray("e\xcc\x81\xf0\x9f\x98\x80\xffz") << qsizetype(8) << qsizetype(8);
    QTest::newRow("Left goes before a CR LF pair, never between")
        << QByteArray("a\r\nb") << crlf << qsizetype(3) << QList<Key>{key(Qt::Key_Left)}
        << QByteArray("a\r\nb") << qsizetype(1) << qsizetype(1);
    QTest::newRow("Shift+Right selects and typing replaces the selection")
        << QByteArray("abc") << crlf << qsizetype(0)
        << QList<Key>{key(Qt::Key_Right, kShift), key(Qt::Key_Right, kShift), typed("x")}
        << QByteArray("xc") << qsizetype(1) << qsizetype(1);
    QTest::newRow("Ctrl+Right goes to the next word")
        << QByteArray("foo bar baz") << crlf << qsizetype(1)
        << QList<Key>{key(Qt::Key_Right, kCtrl)} << QByteArray("foo bar baz") << qsizetype(4)
        << qsizetype(4);
    QTest::newRow("Ctrl+Right stops at the line's end")
        << QByteArray("ab cd\r\nef") << crlf << qsizetype(0)
        << QList<Key>{key(Qt::Key_Right, kCtrl), key(Qt::Key_Right, kCtrl)}
        << QByteArray("ab cd\r\nef") << qsizetype(5) << qsizetype(5);
    QTest::newRow("Ctrl+Right from the line's end goes to the next line's start")
        << QByteArray("ab cd  \r\nef") << crlf << qsizetype(3)
        << QList<Key>{key(Qt::Key_Right, kCtrl), key(Qt::Key_Right, kCtrl)}
        << QByteArray("ab cd  \r\nef") << qsizetype(9) << qsizetype(9);
    QTest::newRow("Ctrl+Left stops at the line's start, then the end of the line before")
        << QByteArray("ab\r\ncd") << crlf << qsizetype(6)
        << QList<Key>{key(Qt::Key_Left, kCtrl), key(Qt::Key_Left, kCtrl)} << QByteArray("ab\r\ncd")
        << qsizetype(2) << qsizetype(2);
    QTest::newRow("Ctrl+Delete at the line's end takes the line end")
        << QByteArray("ab\r\ncd") << crlf << qsizetype(2) << QList<Key>{key(Qt::Key_Delete, kCtrl)}
        << QByteArray("abcd") << qsizetype(2) << qsizetype(2);
    QTest::newRow("Ctrl+Shift+Left selects the word before")
        << QByteArray("foo bar") << crlf << qsizetype(7)
        << QList<Key>{key(Qt::Key_Left, kCtrl | kShift)} << QByteArray("foo bar") << qsizetype(4)
        << qsizetype(7);
    QTest::newRow("End stops before the line end, Home at the line start")
        << QByteArray("ab\r\ncd\r\nef") << crlf << qsizetype(5)
        << QList<Key>{key(Qt::Key_End), key(Qt::Key_Home, kShift)} << QByteArray("ab\r\ncd\r\nef")
        << qsizetype(4) << qsizetype(6);
    QTest::newRow("Ctrl+End and Ctrl+Shift+Home")
        << QByteArray("ab\rcd\nef") << crlf << qsizetype(4)
        << QList<Key>{key(Qt::Key_End, kCtrl), key(Qt::Key_Home, kCtrl | kShift)}
        << QByteArray("ab\rcd\nef") << qsizetype(0) << qsizetype(8);
    QTest::newRow("Down keeps the column across a short line")
        << QByteArray("abcd\r\nx\r\nabcd") << crlf << qsizetype(3)
        << QList<Key>{key(Qt::Key_Down), key(Qt::Key_Down)} << QByteArray("abcd\r\nx\r\nabcd")
        << qsizetype(12) << qsizetype(12);
    QTest::newRow("Up on the first line goes to its start")
        << QByteArray("abc") << crlf << qsizetype(2) << QList<Key>{key(Qt::Key_Up)}
        << QByteArray("abc") << qsizetype(0) << qsizetype(0);
    QTest::newRow("select all and delete") << QByteArray("a\0b\r\n", 5) << crlf << qsizetype(1)
                                           << QList<Key>{key(Qt::Key_A, kCtrl), key(Qt::Key_Delete)}
                                           << QByteArray() << qsizetype(0) << qsizetype(0);
    QTest::newRow("typing at the end of a long line")
        << QByteArray("\xe4\xb8\xad").repeated(1 << 20) << crlf << qsizetype(3 << 20)
        << QList<Key>{typed("a"), key(Qt::Key_Home, kCtrl), typed("b")}
        << "b" + QByteArray("\xe4\xb8\xad").repeated(1 << 20) + "a" << qsizetype(1) << qsizetype(1);
}

// The rules of the keys, on a cursor without a widget, with Redo bound as X11 desktops bind it:
// Ctrl+Shift+Z alone, so that Ctrl+Y has to come from the area itself.
void TextEditorTest::keys() {
    QFETCH(QByteArray, initial);
    QFETCH(LineEnd, lineEnd);
    QFETCH(qsizetype, caret);
    QFETCH(QList<Key>, keys);
    const X11Redo x11;
    BareCursor bare(initial, lineEnd);
    bare.cursor.setPosition(caret);
    for (const Key &k : keys) bare.press(k);
    QTEST(bare.bytes(), "expected");
    QTEST(bare.cursor.position(), "expectedCaret");
    QTEST(bare.cursor.anchor(), "expectedAnchor");
}

void TextEditorTest::clipboard_data() {
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<LineEnd>("lineEnd");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<QByteArray>("clipboard");
    QTest::addColumn<QList<Key>>("keys");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<qsizetype>("expectedCaret");
    QTest::addColumn<qsizetype>("expectedAnchor");

    const LineEnd crlf = LineEnd::CrLf;
    QTest::newRow("copy and paste keep NUL and invalid bytes")
        << QByteArray("a\0\xff\xe4\xb8z", 6) << crlf << qsizetype(0) << QByteArray()
        << QList<Key>{key(Qt::Key_End, kShift), key(Qt::Key_C, kCtrl), key(Qt::Key_End),
                      key(Qt::Key_V, kCtrl)}
        << QByteArray("a\0\xff\xe4\xb8z", 6).repeated(2) << qsizetype(12) << qsizetype(12);
    QTest::newRow("cut, then paste elsewhere")
        << QByteArray("abc\r\n") << crlf << qsizetype(0) << QByteArray()
        << QList<Key>{key(Qt::Key_Right, kShift), key(Qt::Key_X, kCtrl), key(Qt::Key_End, kCtrl),
                      key(Qt::Key_V, kCtrl)}
        << QByteArray("bc\r\na") << qsizetype(5) << qsizetype(5);
    QTest::newRow("pasted plain text gets the document's line ends")
        << QByteArray("<>") << crlf << qsizetype(1) << QByteArray("x\ny\rz\r\n中")
        << QList<Key>{key(Qt::Key_V, kCtrl)} << QByteArray("<x\r\ny\r\nz\r\n中>") << qsizetype(13)
        << qsizetype(13);
    QTest::newRow("pasted text in a LF document")
        << QByteArray("") << LineEnd::Lf << qsizetype(0) << QByteArray("a\r\nb")
        << QList<Key>{key(Qt::Key_V, kCtrl)} << QByteArray("a\nb") << qsizetype(3) << qsizetype(3);
}

// Copying, cutting and pasting through the keys of the area on screen.
void TextEditorTest::clipboard() {
    QFETCH(QByteArray, initial);
    QFETCH(LineEnd, lineEnd);
    QFETCH(qsizetype, caret);
    QFETCH(QByteArray, clipboard);
    QFETCH(QList<Key>, keys);
    ShownEditor shown(initial, lineEnd);
    if (!clipboard.isEmpty()) QGuiApplication::clipboard()->setText(QString::fromUtf8(clipboard));
    shown.editor.setCaret(caret);
    for (const Key &k : keys) send(shown.editor, k);
    QTEST(shown.bytes(), "expected");
    QTEST(shown.editor.caret(), "expectedCaret");
    QTEST(shown.editor.anchor(), "expectedAnchor");
}

void TextEditorTest::copiesBigSelections_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QString>("text");  // the plain text other programs get
    QTest::addColumn<bool>("shared");   // that text is the very bytes copied, not a copy of them
    QTest::addColumn<bool>("busy");     // the wait cursor shows while the clipboard takes them

    const QByteArray big(2 << 20, 'x');
    QTest::newRow("well-formed UTF-8 is its own plain text")
        << QByteArray("中文 ab") << false << QStringLiteral("中文 ab") << true << false;
    QTest::newRow("failure: a byte that is no character is a U+FFFD of its own")
        << QByteArray("a\xff\xfe") << false << QStringLiteral("a\ufffd\ufffd") << false << false;
    QTest::newRow("copying MiB shows the wait cursor")
        << big << false << QString::fromLatin1(big) << true << true;
    QTest::newRow("and so does cutting them")
        << big << true << QString::fromLatin1(big) << true << true;
}

void TextEditorTest::copiesBigSelections() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, cut);
    ShownEditor shown(bytes);
    shown.editor.selectAll();
    QClipboard *clipboard = QGuiApplication::clipboard();
    bool busy = false;
    const QMetaObject::Connection watch = connect(clipboard, &QClipboard::dataChanged, this, [&] {
        busy = QGuiApplication::overrideCursor() &&
               QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    send(shown.editor, key(cut ? Qt::Key_X : Qt::Key_C, kCtrl));
    disconnect(watch);
    QTEST(busy, "busy");
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(shown.bytes(), cut ? QByteArray() : bytes);
    const QMimeData *data = clipboard->mimeData();
    QCOMPARE(data->data(TextMimeData::kBytesType), bytes);
    QTEST(data->text(), "text");
    QTEST(data->data(TextMimeData::kBytesType).constData() ==
              data->data(QStringLiteral("text/plain")).constData(),
          "shared");
}

// X11's primary selection is served from the selection as it is when a program asks, not from a
// copy made at each change; the offscreen platform has no primary selection to put it on.
void TextEditorTest::servesTheSelectionWhenAsked() {
    auto shown = std::make_unique<ShownEditor>(QByteArray("one two three"));
    shown->editor.select(0, 3);
    const std::unique_ptr<QMimeData> data(selectionMimeData(shown->editor));
    shown->editor.select(4, 7);
    QCOMPARE(data->data(TextMimeData::kBytesType), QByteArray("two"));
    QCOMPARE(data->text(), QStringLiteral("two"));
    shown->editor.setCaret(5);
    QVERIFY(data->data(TextMimeData::kBytesType).isEmpty());
    shown->editor.select(8, 13);
    shown.reset();
    QVERIFY(data->data(TextMimeData::kBytesType).isEmpty());
}

void TextEditorTest::mouse_data() {
    QTest::addColumn<QByteArray>("initial");
    // Clicks at positions: "c" a click, "s" a Shift+click, "d" a double click, "D" one whose
    // button stays down, "t" a triple click, "p" a press, "m" a move with the button down, "r"
    // its release.
    QTest::addColumn<QList<std::pair<char, qsizetype>>>("clicks");
    QTest::addColumn<qsizetype>("expectedAnchor");
    QTest::addColumn<qsizetype>("expectedCaret");

    using Clicks = QList<std::pair<char, qsizetype>>;
    QTest::newRow("a click places the caret")
        << QByteArray("hello world") << Clicks{{'c', 3}} << qsizetype(3) << qsizetype(3);
    QTest::newRow("a click after a box") << QByteArray(
                                                "a\0\xff"
                                                "b",
                                                4)
                                         << Clicks{{'c', 3}} << qsizetype(3) << qsizetype(3);
    QTest::newRow("Shift+click extends")
        << QByteArray("hello world") << Clicks{{'c', 1}, {'s', 7}} << qsizetype(1) << qsizetype(7);
    QTest::newRow("double click selects a word")
        << QByteArray("foo bar baz") << Clicks{{'d', 5}} << qsizetype(4) << qsizetype(7);
    QTest::newRow("a double click at the end of a line selects the word before")
        << QByteArray("foo bar\r\nx") << Clicks{{'d', 7}} << qsizetype(4) << qsizetype(7);
    QTest::newRow("dragging a double click extends by words")
        << QByteArray("foo bar baz") << Clicks{{'D', 1}, {'m', 9}, {'r', 9}} << qsizetype(0)
        << qsizetype(11);
    QTest::newRow("dragging a double click back keeps the word clicked")
        << QByteArray("foo bar baz") << Clicks{{'D', 5}, {'m', 1}, {'r', 1}} << qsizetype(7)
        << qsizetype(0);
    QTest::newRow("dragging a double click over Chinese extends by characters")
        << QByteArray("第1行 x") << Clicks{{'D', 3}, {'m', 4}, {'r', 4}} << qsizetype(3)
        << qsizetype(7);
    QTest::newRow("triple click selects the line with its line end")
        << QByteArray("ab\r\ncd") << Clicks{{'t', 1}} << qsizetype(0) << qsizetype(4);
    QTest::newRow("drag selects") << QByteArray("abcdef\r\nghij")
                                  << Clicks{{'p', 1}, {'m', 10}, {'r', 10}} << qsizetype(1)
                                  << qsizetype(10);
    QTest::newRow("a click in a long line of Chinese")
        << QByteArray("\xe4\xb8\xad").repeated(100000) << Clicks{{'c', 30}} << qsizetype(30)
        << qsizetype(30);
}

void TextEditorTest::mouse() {
    QFETCH(QByteArray, initial);
    using Clicks = QList<std::pair<char, qsizetype>>;
    QFETCH(Clicks, clicks);
    ShownEditor shown(initial);
    QWidget *viewport = shown.editor.viewport();
    for (const auto &[kind, position] : clicks) {
        const QPoint point = shown.pointOf(position);
        switch (kind) {
            case 'c':
                QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
                break;
            case 's':
                QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, point);
                break;
            case 'd':
                QTest::mouseDClick(viewport, Qt::LeftButton, {}, point);
                break;
            case 'D': {
                QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
                QTest::mousePress(viewport, Qt::LeftButton, {}, point);
                QMouseEvent second(QEvent::MouseButtonDblClick, point, viewport->mapToGlobal(point),
                                   Qt::LeftButton, Qt::LeftButton, {});
                QCoreApplication::sendEvent(viewport, &second);
                break;
            }
            case 't':
                QTest::mouseDClick(viewport, Qt::LeftButton, {}, point);
                QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
                break;
            case 'p':
                QTest::mousePress(viewport, Qt::LeftButton, {}, point);
                break;
            case 'm': {
                QMouseEvent move(QEvent::MouseMove, point, viewport->mapToGlobal(point),
                                 Qt::NoButton, Qt::LeftButton, {});
                QCoreApplication::sendEvent(viewport, &move);
                break;
            }
            case 'r':
                QTest::mouseRelease(viewport, Qt::LeftButton, {}, point);
                break;
        }
    }
    QTEST(shown.editor.anchor(), "expectedAnchor");
    QTEST(shown.editor.caret(), "expectedCaret");
}

void TextEditorTest::drags_data() {
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<qsizetype>("from");  // the selection dragged
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<qsizetype>("dropAt");  // where it is let go, or -1 for another program
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QByteArray>("dropped");  // the text after the drop, and after it is redone

    const QByteArray text("one two three");
    const Qt::KeyboardModifiers none;
    QTest::newRow("a text moved forward") << text << qsizetype(0) << qsizetype(4) << qsizetype(13)
                                          << none << false << QByteArray("two threeone ");
    QTest::newRow("a text moved back") << text << qsizetype(8) << qsizetype(13) << qsizetype(0)
                                       << none << false << QByteArray("threeone two ");
    QTest::newRow("a text moved across line ends")
        << QByteArray("ab\r\ncd\r\n") << qsizetype(0) << qsizetype(4) << qsizetype(8) << none
        << false << QByteArray("cd\r\nab\r\n");
    QTest::newRow("a text copied with Ctrl held")
        << text << qsizetype(0) << qsizetype(3) << qsizetype(13) << Qt::KeyboardModifiers(kCtrl)
        << false << QByteArray("one two threeone");
    QTest::newRow("a text moved onto itself stays")
        << text << qsizetype(4) << qsizetype(7) << qsizetype(6) << none << false << text;
    QTest::newRow("a text moved to another program goes")
        << text << qsizetype(3) << qsizetype(7) << qsizetype(-1) << none << false
        << QByteArray("one three");
    QTest::newRow("failure: a read-only area keeps its text")
        << text << qsizetype(0) << qsizetype(4) << qsizetype(13) << none << true << text;
}

// A selection dragged with the mouse and let go: the platform's drag is played by the test, which
// carries it over the area to the drop or hands it to another program, as the offscreen
// platform's drags end at once. Whatever the drop did is one undo step, undone and redone whole.
void TextEditorTest::drags() {
    QFETCH(QByteArray, initial);
    QFETCH(qsizetype, from);
    QFETCH(qsizetype, to);
    QFETCH(qsizetype, dropAt);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, readOnly);
    QFETCH(QByteArray, dropped);
    ShownEditor shown(initial);
    shown.editor.select(from, to);
    shown.editor.setReadOnly(readOnly);
    static QPoint dropPoint;
    static bool dropsHere;
    static Qt::KeyboardModifiers dropModifiers;
    dropPoint = dropAt >= 0 ? shown.pointOf(dropAt) : QPoint();
    dropsHere = dropAt >= 0;
    dropModifiers = modifiers;
    DragAndDrop &dragAndDrop = ::dragAndDrop();
    const DragAndDrop platform = dragAndDrop;
    const auto restore = qScopeGuard([&] { dragAndDrop = platform; });
    dragAndDrop.run = [](QDrag *drag, Qt::DropActions actions, Qt::DropAction) {
        drag->deleteLater();
        // Another program takes a move as a move.
        if (!dropsHere) return Qt::MoveAction;
        QWidget *viewport = static_cast<TextEditor *>(drag->source())->viewport();
        const QMimeData *data = drag->mimeData();
        QDragEnterEvent enter(dropPoint, actions, data, Qt::LeftButton, dropModifiers);
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(dropPoint, actions, data, Qt::LeftButton, dropModifiers);
        QCoreApplication::sendEvent(viewport, &move);
        if (!enter.isAccepted() || !move.isAccepted()) return Qt::IgnoreAction;
        QDropEvent drop(dropPoint, actions, data, Qt::LeftButton, dropModifiers);
        QCoreApplication::sendEvent(viewport, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    };
    QWidget *viewport = shown.editor.viewport();
    const QPoint press = shown.pointOf(from + 1);
    QTest::mousePress(viewport, Qt::LeftButton, {}, press);
    const QPoint away = press + QPoint(0, QApplication::startDragDistance() + 1);
    QMouseEvent move(QEvent::MouseMove, away, viewport->mapToGlobal(away), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &move);
    QCOMPARE(shown.bytes(), dropped);
    send(shown.editor, key(Qt::Key_Z, kCtrl));
    QCOMPARE(shown.bytes(), initial);
    send(shown.editor, key(Qt::Key_Z, kCtrl | kShift));
    QCOMPARE(shown.bytes(), dropped);
}

void TextEditorTest::middleClick_data() {
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<qsizetype>("anchor");  // the area's selection before the click
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<QByteArray>("held");  // what another program offers, unless null
    QTest::addColumn<bool>("supported");   // whether the platform has a primary selection
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<qsizetype>("clickAt");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<qsizetype>("expectedCaret");

    const QByteArray text("one two");
    QTest::newRow("another program's selection goes in where the click is")
        << text << qsizetype(0) << qsizetype(0) << QByteArray("中") << true << false << qsizetype(3)
        << QByteArray("one中 two") << qsizetype(6);
    QTest::newRow("the area's own selection goes in where the click is")
        << text << qsizetype(0) << qsizetype(3) << QByteArray() << true << false << qsizetype(7)
        << QByteArray("one twoone") << qsizetype(10);
    QTest::newRow("with nothing held, the caret goes there")
        << text << qsizetype(0) << qsizetype(0) << QByteArray() << true << false << qsizetype(3)
        << text << qsizetype(3);
    QTest::newRow("failure: a platform without a primary selection pastes nothing")
        << text << qsizetype(0) << qsizetype(0) << QByteArray("x") << false << false << qsizetype(3)
        << text << qsizetype(0);
    QTest::newRow("failure: a read-only area pastes nothing")
        << text << qsizetype(0) << qsizetype(0) << QByteArray("x") << true << true << qsizetype(3)
        << text << qsizetype(0);
}

// A click of the middle button pastes X11's primary selection, here a stand-in for it, as one
// undo step.
void TextEditorTest::middleClick() {
    QFETCH(QByteArray, initial);
    QFETCH(qsizetype, anchor);
    QFETCH(qsizetype, caret);
    QFETCH(QByteArray, held);
    QFETCH(bool, supported);
    QFETCH(bool, readOnly);
    QFETCH(qsizetype, clickAt);
    StandInPrimarySelection primary(supported);
    ShownEditor shown(initial);
    if (!held.isNull()) primary.hold(held);
    shown.editor.select(anchor, caret);
    shown.editor.setReadOnly(readOnly);
    QTest::mouseClick(shown.editor.viewport(), Qt::MiddleButton, {}, shown.pointOf(clickAt));
    QTEST(shown.bytes(), "expected");
    QTEST(shown.editor.caret(), "expectedCaret");
    shown.editor.undo();
    QCOMPARE(shown.bytes(), initial);
}

void TextEditorTest::inputMethod_data() {
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<qsizetype>("anchor");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<QList<ImEvent>>("events");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("surrounding");
    QTest::addColumn<int>("cursorPosition");
    QTest::addColumn<int>("anchorPosition");

    QTest::newRow("preedit alone leaves the document")
        << QByteArray("ab") << qsizetype(1) << qsizetype(1)
        << QList<ImEvent>{{QStringLiteral("zhong"), {}, 0, 0}} << QByteArray("ab")
        << QStringLiteral("ab") << 1 << 1;
    QTest::newRow("commit after preedit goes in once")
        << QByteArray("ab") << qsizetype(1) << qsizetype(1)
        << QList<ImEvent>{{QStringLiteral("zh"), {}, 0, 0},
                          {QStringLiteral("zhongwen"), {}, 0, 0},
                          {{}, QStringLiteral("中文"), 0, 0}}
        << QByteArray("a中文b") << QStringLiteral("a中文b") << 3 << 3;
    QTest::newRow("commit replaces the selection")
        << QByteArray("xyz") << qsizetype(0) << qsizetype(2)
        << QList<ImEvent>{{{}, QStringLiteral("好"), 0, 0}} << QByteArray("好z")
        << QStringLiteral("好z") << 1 << 1;
    QTest::newRow("commit replaces text before the caret")
        << QByteArray("abc") << qsizetype(3) << qsizetype(3)
        << QList<ImEvent>{{{}, QStringLiteral("X"), -2, 2}} << QByteArray("aX")
        << QStringLiteral("aX") << 2 << 2;
    QTest::newRow("a four-byte character is two code units")
        << QByteArray("\xf0\x9f\x98\x80") << qsizetype(4) << qsizetype(4)
        << QList<ImEvent>{{{}, QStringLiteral("a"), -2, 2}} << QByteArray("a")
        << QStringLiteral("a") << 1 << 1;
    QTest::newRow("invalid bytes are one code unit each")
        << QByteArray(
               "\xff\xfe"
               "ab\r\nnext")
        << qsizetype(0) << qsizetype(3) << QList<ImEvent>{}
        << QByteArray(
               "\xff\xfe"
               "ab\r\nnext")
        << QStringLiteral("\ufffd\ufffdab") << 3 << 0;
    QTest::newRow("the surrounding text of a long line is a window around the caret")
        << QByteArray(100000, 'x') << qsizetype(0) << qsizetype(50000) << QList<ImEvent>{}
        << QByteArray(100000, 'x') << QString(2048, QLatin1Char('x')) << 1024 << 0;
}

void TextEditorTest::inputMethod() {
    QFETCH(QByteArray, initial);
    QFETCH(qsizetype, anchor);
    QFETCH(qsizetype, caret);
    QFETCH(QList<ImEvent>, events);
    ShownEditor shown(initial);
    shown.editor.select(anchor, caret);
    for (const ImEvent &im : events) {
        QList<QInputMethodEvent::Attribute> attributes{
            {QInputMethodEvent::Cursor, int(im.preedit.size()), 1, {}}};
        QInputMethodEvent event(im.preedit, attributes);
        if (!im.commit.isEmpty() || im.replacementLength > 0)
            event.setCommitString(im.commit, im.replacementStart, im.replacementLength);
        QCoreApplication::sendEvent(&shown.editor, &event);
    }
    QTEST(shown.bytes(), "expected");
    const auto query = [&](Qt::InputMethodQuery q) { return shown.editor.inputMethodQuery(q); };
    QTEST(query(Qt::ImSurroundingText).toString(), "surrounding");
    QTEST(query(Qt::ImCursorPosition).toInt(), "cursorPosition");
    QTEST(query(Qt::ImAnchorPosition).toInt(), "anchorPosition");
    // The candidate window goes where the caret is drawn.
    const QRect cursor = query(Qt::ImCursorRectangle).toRect();
    QVERIFY(shown.editor.rect().intersects(cursor));
    QCOMPARE(
        cursor,
        shown.editor.caretRect(shown.editor.caret()).translated(shown.editor.viewport()->pos()));
    // What was committed is one undo step.
    if (initial != shown.bytes()) {
        shown.editor.undo();
        QCOMPARE(shown.bytes(), initial);
    }
}

void TextEditorTest::words_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Spans>("words");  // what a double click at each one's start selects

    QTest::newRow("letters and digits")
        << QByteArray("line 001 some") << Spans{{0, 4}, {5, 8}, {9, 13}};
    QTest::newRow("Chinese characters one by one, and the digits between them")
        << QByteArray("line 001 第1行 some")
        << Spans{{0, 4}, {5, 8}, {9, 12}, {12, 13}, {13, 16}, {17, 21}};
    QTest::newRow("signs are words of their own")
        << QByteArray("a, b") << Spans{{0, 1}, {1, 2}, {3, 4}};
    QTest::newRow("an apostrophe stays inside a word")
        << QByteArray("don't stop") << Spans{{0, 5}, {6, 10}};
    QTest::newRow("spaces at both ends") << QByteArray("  ab  ") << Spans{{2, 4}};
}

// One rule for the keys and the mouse: Ctrl+Right stops at each word's start and at the line's end,
// Ctrl+Left at each word's start and the line's start, a double click selects the word. On a
// cursor without a widget; the mouse table clicks through the widget.
void TextEditorTest::words() {
    QFETCH(QByteArray, line);
    QFETCH(Spans, words);
    QList<qsizetype> forward;
    for (const auto &word : words)
        if (word.first > 0) forward.append(word.first);
    forward.append(line.size());
    QList<qsizetype> backward;
    for (const auto &word : words) backward.prepend(word.first);
    if (backward.last() > 0) backward.append(0);

    BareCursor bare(line, LineEnd::CrLf);
    QList<qsizetype> stops;
    for (qsizetype i = 0; i < forward.size(); ++i) {
        bare.press(key(Qt::Key_Right, kCtrl));
        stops.append(bare.cursor.position());
    }
    QCOMPARE(stops, forward);
    stops.clear();
    for (qsizetype i = 0; i < backward.size(); ++i) {
        bare.press(key(Qt::Key_Left, kCtrl));
        stops.append(bare.cursor.position());
    }
    QCOMPARE(stops, backward);
    for (const auto &[from, to] : words) {
        bare.cursor.selectUnit(from, TextUnit::Word);
        QCOMPARE((std::pair{bare.cursor.anchor(), bare.cursor.position()}), (std::pair{from, to}));
    }
}

void TextEditorTest::wheel_data() {
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QPoint>("angle");
    QTest::addColumn<int>("down");  // which way the text scrolls: -1, 0 or 1
    QTest::addColumn<int>("right");

    QTest::newRow("the wheel scrolls down") << Qt::KeyboardModifiers() << QPoint(0, -120) << 1 << 0;
    QTest::newRow("Shift+wheel scrolls to the right")
        << Qt::KeyboardModifiers(kShift) << QPoint(0, -120) << 0 << 1;
    QTest::newRow("Shift+wheel the other way scrolls to the left")
        << Qt::KeyboardModifiers(kShift) << QPoint(0, 120) << 0 << -1;
    QTest::newRow("a sideways wheel scrolls sideways without Shift")
        << Qt::KeyboardModifiers() << QPoint(-120, 0) << 0 << 1;
    QTest::newRow("and with it") << Qt::KeyboardModifiers(kShift) << QPoint(-120, 0) << 0 << 1;
}

void TextEditorTest::wheel() {
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QPoint, angle);
    ShownEditor shown((QByteArray(400, 'x') + "\r\n").repeated(50));
    QScrollBar *vertical = shown.editor.verticalScrollBar();
    QScrollBar *horizontal = shown.editor.horizontalScrollBar();
    shown.editor.ensureVisible(shown.editor.document().lineStart(25) + 200);
    const QPoint from(horizontal->value(), vertical->value());
    QVERIFY(from.x() > 0 && from.y() > 0);
    QWidget *viewport = shown.editor.viewport();
    const QPointF middle = QRectF(viewport->rect()).center();
    QWheelEvent event(middle, viewport->mapToGlobal(middle), {}, angle, Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(viewport, &event);
    const auto sign = [](int value) { return (value > 0) - (value < 0); };
    QTEST(sign(vertical->value() - from.y()), "down");
    QTEST(sign(horizontal->value() - from.x()), "right");
}

void TextEditorTest::drawsWhatIsThere_data() {
    QTest::addColumn<QList<Key>>("keys");

    const Key down = key(Qt::Key_Down);
    const Key shiftDown = key(Qt::Key_Down, kShift);
    const Key up = key(Qt::Key_Up);
    const Key undo = key(Qt::Key_Z, kCtrl);
    QTest::newRow("undo takes away a selection of three lines below the edit")
        << QList<Key>{typed("x"), down, down, shiftDown, shiftDown, shiftDown, undo};
    QTest::newRow("undo after select all")
        << QList<Key>{key(Qt::Key_End, kCtrl), up, typed("x"), key(Qt::Key_A, kCtrl), undo};
    QTest::newRow("undo takes the caret away from where it stood")
        << QList<Key>{key(Qt::Key_End, kCtrl), up, typed("z"), up, up, up, key(Qt::Key_End), undo};
    QTest::newRow("redo takes the caret back up")
        << QList<Key>{typed("x"), undo, down, down, down, key(Qt::Key_Y, kCtrl)};
    QTest::newRow("Page Down takes the caret and the selection along")
        << QList<Key>{shiftDown, key(Qt::Key_PageDown, kShift), key(Qt::Key_PageDown)};
    QTest::newRow("typing over a selection of lines")
        << QList<Key>{down, shiftDown, shiftDown, key(Qt::Key_End, kShift), typed("y")};
}

// What is drawn is what is there: after the keys, the window as drawn bit by bit is the window
// drawn afresh.
void TextEditorTest::drawsWhatIsThere() {
    QFETCH(QList<Key>, keys);
    QByteArray page;
    for (int i = 1; i <= 12; ++i)
        page += QStringLiteral("line %1 第%1行 some text\r\n").arg(i).toUtf8();
    // A caret that blinks would make the two pictures differ by chance.
    const int flashTime = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);
    const auto restore = qScopeGuard([flashTime] { QApplication::setCursorFlashTime(flashTime); });
    ShownEditor shown(page);
    for (const Key &k : keys) {
        send(shown.editor, k);
        QCoreApplication::processEvents();
    }
    // The offscreen platform's screen answers with what was painted into the window.
    QScreen *screen = shown.editor.screen();
    const QImage drawn = screen->grabWindow(shown.editor.winId()).toImage();
    shown.editor.viewport()->repaint();
    QCOMPARE(drawn, screen->grabWindow(shown.editor.winId()).toImage());
}

void TextEditorTest::tabStops_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<qsizetype>("position");  // behind a tab
    QTest::addColumn<int>("stop");            // the tab stop it stands on, from the line's start

    QTest::newRow("at the line's start") << QByteArray("\tx") << qsizetype(1) << 1;
    QTest::newRow("behind a letter: the same stop") << QByteArray("a\tx") << qsizetype(2) << 1;
    QTest::newRow("eight spaces fill a stop: the tab goes on to the next")
        << QByteArray("        \tx") << qsizetype(9) << 2;
    QTest::newRow("seven spaces and a letter") << QByteArray("       a\tx") << qsizetype(9) << 2;
    QTest::newRow("a tab behind a tab") << QByteArray("a\t\tx") << qsizetype(3) << 2;
    QTest::newRow("a tab behind the first block of a long line")
        << QByteArray(10000, ' ') + "\tx" << qsizetype(10001) << 1251;
    QTest::newRow("a long line with a tab in its first block")
        << "   \t" + QByteArray(10000, ' ') + "\tx" << qsizetype(10005) << 1252;
}

// Columns line up behind tabs: the sums of a long line's blocks and the laid out screen put each
// tab's end on the same stop.
void TextEditorTest::tabStops() {
    QFETCH(QByteArray, line);
    QFETCH(qsizetype, position);
    QFETCH(int, stop);
    TextDocument document;
    document.setBytes(line);
    GlyphWidths widths;
    widths.setFont(QFont());
    const LineGeometry geometry(document, widths);
    QCOMPARE(geometry.xOf(0, position), stop * widths.tabWidth());

    ShownEditor shown(line);
    shown.editor.setCaret(position);
    const TextEditor &editor = shown.editor;
    QCOMPARE(editor.caretRect(position).left() - editor.caretRect(0).left(),
             int(std::floor(stop * widths.tabWidth())));
}

void TextEditorTest::accessibility_data() {
    QTest::addColumn<QByteArray>("initial");
    QTest::addColumn<qsizetype>("caret");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("boundary");
    QTest::addColumn<int>("expectedCount");
    QTest::addColumn<int>("expectedCursor");
    QTest::addColumn<QString>("expectedAt");

    QTest::newRow("a four-byte character counts two, an invalid byte one")
        << QByteArray(
               "a\xf0\x9f\x98\x80\xff"
               "b")
        << qsizetype(6) << 1 << int(QAccessible::CharBoundary) << 5 << 4 << QStringLiteral("😀");
    QTest::newRow("the word at an offset")
        << QByteArray("foo bar") << qsizetype(0) << 5 << int(QAccessible::WordBoundary) << 7 << 0
        << QStringLiteral("bar");
    QTest::newRow("the line at an offset, with its line end")
        << QByteArray("ab\r\ncd") << qsizetype(6) << 1 << int(QAccessible::LineBoundary) << 6 << 6
        << QStringLiteral("ab\r\n");
    QRandomGenerator random(3);
    QByteArray big;
    while (big.size() < (4 << 20)) big += randomPageBytes(random, false) + "\xff";
    const QString readable = TextDocument::readable(big);
    QTest::newRow("offsets deep in a big document")
        << big << qsizetype(big.size()) << int(readable.size() - 1)
        << int(QAccessible::CharBoundary) << int(readable.size()) << int(readable.size())
        << readable.right(1);
}

void TextEditorTest::accessibility() {
    QFETCH(QByteArray, initial);
    QFETCH(qsizetype, caret);
    QFETCH(int, offset);
    QFETCH(int, boundary);
    ShownEditor shown(initial);
    shown.editor.setCaret(caret);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&shown.editor);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), QAccessible::EditableText);
    QAccessibleTextInterface *text = accessible->textInterface();
    QVERIFY(text);
    QTEST(text->characterCount(), "expectedCount");
    QTEST(text->cursorPosition(), "expectedCursor");
    int start = -1;
    int end = -1;
    QTEST(text->textAtOffset(offset, QAccessible::TextBoundaryType(boundary), &start, &end),
          "expectedAt");
    QCOMPARE(text->text(start, end),
             text->textAtOffset(offset, QAccessible::TextBoundaryType(boundary), &start, &end));
    // Through the editable interface, an edit at an offset is made at its byte.
    QAccessibleEditableTextInterface *editable = accessible->editableTextInterface();
    QVERIFY(editable);
    editable->insertText(offset, QStringLiteral("新"));
    QCOMPARE(text->text(offset, offset + 1), QStringLiteral("新"));
    editable->deleteText(offset, offset + 1);
    QCOMPARE(shown.bytes(), initial);
    text->setSelection(0, offset, end);
    QCOMPARE(shown.editor.document().unitsBefore(shown.editor.caret()), end);
}

void TextEditorTest::reportsToAssistiveTechnology_data() {
    QTest::addColumn<bool>("active");
    QTest::addColumn<QList<Key>>("keys");
    // The events, each as its type and offset.
    QTest::addColumn<QList<std::pair<int, int>>>("expected");

    using Events = QList<std::pair<int, int>>;
    const int insert = QAccessible::TextInserted;
    const int remove = QAccessible::TextRemoved;
    const int update = QAccessible::TextUpdated;
    const int cursor = QAccessible::TextCaretMoved;
    QTest::newRow("typing") << true << QList<Key>{typed("中")} << Events{{insert, 7}, {cursor, 8}};
    QTest::newRow("Backspace") << true << QList<Key>{key(Qt::Key_Backspace)}
                               << Events{{remove, 6}, {cursor, 6}};
    QTest::newRow("typing over a selection")
        << true << QList<Key>{key(Qt::Key_Left, kShift), typed("x")}
        << Events{{cursor, 6}, {QAccessible::TextSelectionChanged, 6}, {update, 6}, {cursor, 7}};
    QTest::newRow("caret moves") << true << QList<Key>{key(Qt::Key_Home), key(Qt::Key_End)}
                                 << Events{{cursor, 5}, {cursor, 7}};
    QTest::newRow("nothing without a client")
        << false << QList<Key>{typed("a"), key(Qt::Key_Home)} << Events{};
}

void TextEditorTest::reportsToAssistiveTechnology() {
    QFETCH(bool, active);
    QFETCH(QList<Key>, keys);
    // A line after two lines, with a four-byte character before it: UTF-16 offsets differ from
    // bytes and from characters.
    ShownEditor shown(
        QByteArray("\r\n\xf0\x9f\x98\x80\n\xff"
                   "b"));
    shown.editor.setCaret(shown.editor.document().size());
    static QList<std::pair<int, int>> events;
    static bool clientActive;
    events.clear();
    clientActive = active;
    AssistiveTechnology &technology = assistiveTechnology();
    const AssistiveTechnology platform = technology;
    technology.active = [] { return clientActive; };
    technology.update = [](QAccessibleEvent *event) {
        int offset = -1;
        if (event->type() == QAccessible::TextCaretMoved)
            offset = static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition();
        else if (event->type() == QAccessible::TextSelectionChanged)
            offset = static_cast<QAccessibleTextSelectionEvent *>(event)->selectionStart();
        else if (event->type() == QAccessible::TextInserted)
            offset = static_cast<QAccessibleTextInsertEvent *>(event)->changePosition();
        else if (event->type() == QAccessible::TextRemoved)
            offset = static_cast<QAccessibleTextRemoveEvent *>(event)->changePosition();
        else if (event->type() == QAccessible::TextUpdated)
            offset = static_cast<QAccessibleTextUpdateEvent *>(event)->changePosition();
        else
            return;
        events.append({int(event->type()), offset});
    };
    for (const Key &k : keys) send(shown.editor, k);
    technology = platform;
    QTEST(events, "expected");
}

QTEST_MAIN(TextEditorTest)
#include "text_editor_test.moc"
