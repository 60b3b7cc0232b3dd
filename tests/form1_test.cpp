#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTimer>

#include "form1_harness.h"
#include "ui/text/text_accessible.h"
#include "x11_redo.h"

using namespace Qt::StringLiterals;

namespace {

void setClipboard(const QString &text) {
    if (text.isEmpty())
        QGuiApplication::clipboard()->clear();
    else
        QGuiApplication::clipboard()->setText(text);
}

// The menu entries named in names, separated by spaces.
QStringList entries(const char *names) {
    return QString::fromUtf8(names).split(u' ', Qt::SkipEmptyParts);
}

}  // namespace

class Form1Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void placesEachControl_data();
    void placesEachControl();
    void hasFixedFrameAndColours();
    void hasAboutMenu();
    void tabMovesFocusThroughControls();
    void textAreaIsPlainEditableText();
    void textAreaTakesTheDrawnFontSize_data();
    void textAreaTakesTheDrawnFontSize();
    void keyboard_data();
    void keyboard();
    void contextMenu_data();
    void contextMenu();
    void dialogStartsWithLastKeptName_data();
    void dialogStartsWithLastKeptName();
    void servesAssistiveTechnologyWhileActive_data();
    void servesAssistiveTechnologyWhileActive();

private:
    std::unique_ptr<Form1Harness> window_;
};

void Form1Test::init() {
    window_ = std::make_unique<Form1Harness>();
    window_->form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window_->form));
}

void Form1Test::cleanup() {
    window_.reset();
}

void Form1Test::placesEachControl_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");

    QTest::newRow("Text1") << "Text1" << QRect(8, 8, 289, 113) << QString();
    QTest::newRow("Command1") << "Command1" << QRect(24, 152, 89, 33)
                              << QStringLiteral("打开网页文件");
    QTest::newRow("Command2") << "Command2" << QRect(184, 152, 89, 33)
                              << QStringLiteral("压缩并保存为");
}

void Form1Test::placesEachControl() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    auto *control = window_->form.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(control->parentWidget(), window_->form.centralWidget());
    if (auto *button = qobject_cast<QPushButton *>(control)) QCOMPARE(button->text(), caption);
}

void Form1Test::hasFixedFrameAndColours() {
    Form1 &form = window_->form;
    QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Zerediz"));
    QCOMPARE(form.centralWidget()->size(), QSize(307, 213));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.height(), 213 + form.menuBar()->height());
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    const QImage client = form.centralWidget()->grab().toImage();
    QCOMPARE(client.pixelColor(2, 2), QColor(0, 0, 128));
    // Text is drawn in pure blue on the palette's base colour; a full block shows it unblended. A
    // byte that is no character is a red box.
    TextArea &text = window_->text();
    window_->setText("\xe2\x96\x88\xe2\x96\x88\xe2\x96\x88\xff");
    const QImage area = text.viewport()->grab().toImage();
    const auto shows = [&area](const QColor &colour) {
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x)
                if (area.pixelColor(x, y) == colour) return true;
        }
        return false;
    };
    QVERIFY(shows(QColor(0, 0, 255)));
    QVERIFY(shows(QColor(0xC0, 0, 0)));
    QCOMPARE(area.pixelColor(area.width() - 2, area.height() - 2),
             text.palette().color(QPalette::Base));
    QVERIFY(form.findChild<QObject *>(QStringLiteral("CommonDialog1")));
}

void Form1Test::hasAboutMenu() {
    const QList<QAction *> menus = window_->form.menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus.first()->text(), QStringLiteral("软件说明"));
    QCOMPARE(menus.first()->menu()->objectName(), QStringLiteral("MENU"));
    const QList<QAction *> items = menus.first()->menu()->actions();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first()->text(), QStringLiteral("关于"));
    QCOMPARE(items.first()->objectName(), QStringLiteral("guanyu"));
}

void Form1Test::tabMovesFocusThroughControls() {
    QApplication::setActiveWindow(&window_->form);
    QWidget *text = &window_->text();
    QTRY_COMPARE(QApplication::focusWidget(), text);
    const QStringList order = {QStringLiteral("Command1"), QStringLiteral("Command2"),
                               QStringLiteral("Text1")};
    for (const QString &name : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), name);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command2"));
    QVERIFY(window_->textBytes().isEmpty());
}

void Form1Test::textAreaIsPlainEditableText() {
    TextArea &text = window_->text();
    QVERIFY(text.bytes().isEmpty());
    QVERIFY(!text.isReadOnly());
    QVERIFY(text.verticalScrollBar()->isVisible());
    QVERIFY(text.horizontalScrollBar()->isVisible());

    text.setFocus();
    QTest::keyClicks(&text, QStringLiteral("a"));
    QTest::keyClick(&text, Qt::Key_Return);
    QTest::keyClicks(&text, QStringLiteral("b"));
    QCOMPARE(window_->textBytes(), QByteArray("a\r\nb"));

    // A line wider than the area does not wrap: the horizontal scroll bar reaches its end.
    text.insertText(QByteArray(500, 'w'));
    text.viewport()->repaint();
    QTRY_VERIFY(text.horizontalScrollBar()->maximum() > text.width());
    QCOMPARE(text.caretRect(text.caret()).top(), text.caretRect(text.caret() - 500).top());
}

void Form1Test::textAreaTakesTheDrawnFontSize_data() {
    QTest::addColumn<QFont>("font");
    QFont points = QApplication::font();
    points.setPointSizeF(10.5);
    QFont pixels = QApplication::font();
    pixels.setPixelSize(17);
    QTest::newRow("sized in points") << points;
    QTest::newRow("sized in pixels") << pixels;
}

void Form1Test::textAreaTakesTheDrawnFontSize() {
    QFETCH(QFont, font);
    const QFont applicationFont = QApplication::font();
    QApplication::setFont(font);
    TextArea text;
    QApplication::setFont(applicationFont);
    const qreal size = QFontInfo(text.font()).pointSizeF();
    QVERIFY(size > 0);
    QCOMPARE(size, QFontInfo(font).pointSizeF());
}

void Form1Test::keyboard_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("typedFirst");  // typed key by key before the key
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("keyText");  // what the key event carries; none: what the key types
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("dialogs");  // the dialogs shown, in turn
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("undone");  // the text after one undo

    const QStringList open{QStringLiteral("open")};
    const QStringList save{QStringLiteral("save")};
    const Qt::KeyboardModifiers none;
    const Qt::KeyboardModifiers ctrl(Qt::ControlModifier);
    QTest::newRow("Ctrl+O in Text1") << "Text1" << QString() << Qt::Key_O << ctrl << QString()
                                     << QString() << open << QByteArray() << QByteArray();
    QTest::newRow("Ctrl+O on 压缩并保存为")
        << "Command2" << QString() << Qt::Key_O << ctrl << QString() << QString() << open
        << QByteArray() << QByteArray();
    QTest::newRow("Ctrl+S in Text1") << "Text1" << QString() << Qt::Key_S << ctrl << QString()
                                     << QString() << save << QByteArray() << QByteArray();
    QTest::newRow("Ctrl+S on 打开网页文件")
        << "Command1" << QString() << Qt::Key_S << ctrl << QString() << QString() << save
        << QByteArray() << QByteArray();
    QTest::newRow("Return on 打开网页文件")
        << "Command1" << QString() << Qt::Key_Return << none << QString() << QString() << open
        << QByteArray() << QByteArray();
    QTest::newRow("keypad Enter on 压缩并保存为")
        << "Command2" << QString() << Qt::Key_Enter << Qt::KeyboardModifiers(Qt::KeypadModifier)
        << QString() << QString() << save << QByteArray() << QByteArray();
    QTest::newRow("Space on 打开网页文件")
        << "Command1" << QString() << Qt::Key_Space << none << QString() << QString() << open
        << QByteArray() << QByteArray();
    QTest::newRow("Return in Text1 starts a line with CR LF")
        << "Text1" << QString() << Qt::Key_Return << none << QString() << QString() << QStringList()
        << QByteArray("\r\n") << QByteArray();
    QTest::newRow("Ctrl+V in Text1 turns LF and CR into CR LF")
        << "Text1" << QString() << Qt::Key_V << ctrl << QString() << QStringLiteral("a\nb\rc")
        << QStringList() << QByteArray("a\r\nb\r\nc") << QByteArray();
    QTest::newRow("two characters in one key event, after typing: undone in one step")
        << "Text1" << QStringLiteral("ab") << Qt::Key_X << none << QStringLiteral("网x")
        << QString() << QStringList() << QByteArray("ab网x") << QByteArray("ab");
    QTest::newRow("five characters in one key event")
        << "Text1" << QString() << Qt::Key_unknown << none << QStringLiteral("你好，世界")
        << QString() << QStringList() << QByteArray("你好，世界") << QByteArray();
}

void Form1Test::keyboard() {
    QFETCH(QString, focus);
    QFETCH(QString, typedFirst);
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, keyText);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, dialogs);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, undone);
    QApplication::setActiveWindow(&window_->form);
    auto *widget = window_->form.findChild<QWidget *>(focus);
    widget->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), widget);
    setClipboard(clipboard);
    QTest::keyClicks(widget, typedFirst);
    if (keyText.isEmpty())
        QTest::keyClick(widget, key, modifiers);
    else
        QTest::sendKeyEvent(QTest::Click, widget, key, keyText, modifiers);
    QCOMPARE(window_->dialogs.kinds, dialogs);
    QCOMPARE(window_->textBytes(), text);
    window_->text().undo();
    QCOMPARE(window_->textBytes(), undone);
}

void Form1Test::contextMenu_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("selectFrom");
    QTest::addColumn<int>("selectTo");
    // typed: "!" typed at the end; undone: and undone; Shift+F10: the menu opened by that key
    QTest::addColumn<QString>("edits");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QString>("entry");  // the one chosen
    QTest::addColumn<QByteArray>("textAfter");
    QTest::addColumn<QByteArray>("selectedAfter");
    QTest::addColumn<QString>("clipboardAfter");

    const QStringList withSelection = entries("剪切 复制 粘贴 删除 全选");
    QTest::newRow("empty, nothing to paste: all off")
        << QByteArray() << 0 << 0 << QString() << QString() << QStringList() << QString()
        << QByteArray() << QByteArray() << QString();
    QTest::newRow("粘贴 turns LF and CR into CR LF")
        << QByteArray() << 0 << 0 << QString() << QStringLiteral("a\nb\rc") << entries("粘贴")
        << QStringLiteral("粘贴") << QByteArray("a\r\nb\r\nc") << QByteArray()
        << QStringLiteral("a\nb\rc");
    QTest::newRow("粘贴 into a page of LF lines gives LF")
        << QByteArray("a\nb\n") << 2 << 2 << QString() << QStringLiteral("x\r\ny\rz")
        << entries("粘贴 全选") << QStringLiteral("粘贴") << QByteArray("a\nx\ny\nzb\n")
        << QByteArray() << QStringLiteral("x\r\ny\rz");
    QTest::newRow("failure: 粘贴 into a page with a CR as well gives CR LF")
        << QByteArray("a\nb\r\n") << 2 << 2 << QString() << QStringLiteral("x\ny")
        << entries("粘贴 全选") << QStringLiteral("粘贴") << QByteArray("a\nx\r\nyb\r\n")
        << QByteArray() << QStringLiteral("x\ny");
    QTest::newRow("剪切") << QByteArray("abc") << 0 << 1 << QString() << QStringLiteral("x")
                          << withSelection << QStringLiteral("剪切") << QByteArray("bc")
                          << QByteArray() << QStringLiteral("a");
    QTest::newRow("复制") << QByteArray("abc") << 0 << 1 << QString() << QStringLiteral("x")
                          << withSelection << QStringLiteral("复制") << QByteArray("abc")
                          << QByteArray("a") << QStringLiteral("a");
    QTest::newRow("粘贴 over the selection")
        << QByteArray("abc") << 0 << 1 << QString() << QStringLiteral("x") << withSelection
        << QStringLiteral("粘贴") << QByteArray("xbc") << QByteArray() << QStringLiteral("x");
    QTest::newRow("删除") << QByteArray("abc") << 0 << 1 << QString() << QStringLiteral("x")
                          << withSelection << QStringLiteral("删除") << QByteArray("bc")
                          << QByteArray() << QStringLiteral("x");
    QTest::newRow("全选") << QByteArray("abc") << 1 << 1 << QString() << QString()
                          << entries("全选") << QStringLiteral("全选") << QByteArray("abc")
                          << QByteArray("abc") << QString();
    QTest::newRow("撤销 after typing")
        << QByteArray("abc") << 1 << 1 << QStringLiteral("typed") << QString()
        << entries("撤销 全选") << QStringLiteral("撤销") << QByteArray("abc") << QByteArray()
        << QString();
    QTest::newRow("重做 after undoing")
        << QByteArray("abc") << 1 << 1 << QStringLiteral("undone") << QString()
        << entries("重做 全选") << QStringLiteral("重做") << QByteArray("abc!") << QByteArray()
        << QString();
    QTest::newRow("Shift+F10 opens it at the caret")
        << QByteArray("abc") << 0 << 1 << QStringLiteral("Shift+F10") << QStringLiteral("x")
        << withSelection << QStringLiteral("剪切") << QByteArray("bc") << QByteArray()
        << QStringLiteral("a");
    QTest::newRow("read-only: only 复制 and 全选")
        << QByteArray("abc") << 0 << 1 << QStringLiteral("typed, read-only") << QStringLiteral("x")
        << entries("复制 全选") << QString() << QByteArray("abc!") << QByteArray("a")
        << QStringLiteral("x");
}

void Form1Test::contextMenu() {
    QFETCH(QByteArray, text);
    QFETCH(int, selectFrom);
    QFETCH(int, selectTo);
    QFETCH(QString, edits);
    QFETCH(QString, clipboard);
    QFETCH(QStringList, enabled);
    QFETCH(QString, entry);
    QFETCH(QByteArray, textAfter);
    QFETCH(QByteArray, selectedAfter);
    QFETCH(QString, clipboardAfter);
    TextArea &area = window_->text();
    window_->setText(text);
    if (edits.contains(u"typed") || edits.contains(u"undone")) {
        area.setCaret(area.document().size());
        area.insertText("!");
    }
    if (edits.contains(u"undone")) area.undo();
    area.select(selectFrom, selectTo);
    area.setReadOnly(edits.contains(u"read-only"));
    setClipboard(clipboard);
    // As on a GNOME desktop: its menus show no keys unless an item asks, and its Redo is
    // Ctrl+Shift+Z alone.
    QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus);
    const auto restore = qScopeGuard(
        [] { QCoreApplication::setAttribute(Qt::AA_DontShowShortcutsInContextMenus, false); });
    const X11Redo x11;

    QStringList shownEntries;
    QStringList shownEnabled;
    QStringList shownKeys;
    QPoint shownAt;
    // The menu runs its own loop; it is read, used and closed from within.
    QTimer::singleShot(0, &area, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        shownAt = menu->pos();
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions()) {
            if (action->isSeparator()) continue;
            shownEntries.append(action->text());
            if (action->isShortcutVisibleInContextMenu())
                shownKeys.append(action->shortcut().toString(QKeySequence::PortableText));
            if (action->isEnabled()) shownEnabled.append(action->text());
            if (action->text() == entry) chosen = action;
        }
        if (chosen) chosen->trigger();
        menu->close();
    });
    QPoint point(5, 5);
    if (edits.contains(u"Shift+F10")) {
        point = area.caretRect(area.caret()).bottomLeft();
        QTest::keyClick(&area, Qt::Key_F10, Qt::ShiftModifier);
    } else {
        QContextMenuEvent event(QContextMenuEvent::Mouse, point,
                                area.viewport()->mapToGlobal(point));
        QCoreApplication::sendEvent(area.viewport(), &event);
    }

    QCOMPARE(shownEntries, entries("撤销 重做 剪切 复制 粘贴 删除 全选"));
    // Each item shows its key; 重做 the one Windows users press.
    QCOMPARE(shownKeys, entries("Ctrl+Z Ctrl+Y Ctrl+X Ctrl+C Ctrl+V Del Ctrl+A"));
    QCOMPARE(shownAt, area.viewport()->mapToGlobal(point));
    QCOMPARE(shownEnabled, enabled);
    QCOMPARE(window_->textBytes(), textAfter);
    const qsizetype start = area.selectionStart();
    QCOMPARE(window_->textBytes().mid(start, area.selectionEnd() - start), selectedAfter);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboardAfter);
}

void Form1Test::dialogStartsWithLastKeptName_data() {
    QTest::addColumn<QStringList>("steps");  // "open NAME" or "save NAME"; no name: cancelled
    QTest::addColumn<QStringList>("startNames");

    QTest::newRow("saved under a new name: the next Open starts with it")
        << QStringList{u"open page.htm"_s, u"save new.htm"_s, u"open"_s}
        << QStringList{QString(), u"page.htm"_s, u"new.htm"_s};
    QTest::newRow("saved under a new name: the next Save starts with it")
        << QStringList{u"open page.htm"_s, u"save new.htm"_s, u"save"_s}
        << QStringList{QString(), u"page.htm"_s, u"new.htm"_s};
    QTest::newRow("opened after a save: Save starts with the opened file")
        << QStringList{u"save new.htm"_s, u"open page.htm"_s, u"save"_s}
        << QStringList{QString(), u"new.htm"_s, u"page.htm"_s};
}

void Form1Test::dialogStartsWithLastKeptName() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, startNames);
    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("page.htm"), " page ");
    for (const QString &step : steps) {
        const QString name = step.section(u' ', 1);
        const std::optional<QString> path =
            name.isEmpty() ? std::nullopt : std::optional(dir.filePath(name));
        if (step.startsWith(u"open"))
            window_->open(path);
        else
            window_->save(path);
    }
    QStringList expected;
    for (const QString &name : startNames)
        expected.append(name.isEmpty() ? QString() : dir.filePath(name));
    QCOMPARE(window_->dialogs.startPaths, expected);
}

void Form1Test::servesAssistiveTechnologyWhileActive_data() {
    QTest::addColumn<QList<bool>>("activations");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("changeNotified");
    QTest::addColumn<int>("caretOffset");

    // The text is "中文ab" with the caret at its end: byte 8, character 4. The area answers with
    // its text whether a client is active or not: offsets cost no count from the start.
    const QList<bool> active{true};
    QTest::newRow("active: typed key") << active << int{Qt::Key_X} << true << 5;
    QTest::newRow("active: Backspace") << active << int{Qt::Key_Backspace} << true << 3;
    QTest::newRow("active: caret move") << active << int{Qt::Key_Left} << false << 3;
    QTest::newRow("active again") << QList<bool>{true, false, true} << int{Qt::Key_X} << true << 5;
    QTest::newRow("never active") << QList<bool>{} << int{Qt::Key_X} << false << 5;
    QTest::newRow("no longer active") << QList<bool>{true, false} << int{Qt::Key_X} << false << 5;
}

// The events themselves only leave Qt while a platform bridge reports a client, which the
// offscreen platform never does; what is checked here is what the area hands to the platform.
void Form1Test::servesAssistiveTechnologyWhileActive() {
    QFETCH(QList<bool>, activations);
    QFETCH(int, key);
    QFETCH(bool, changeNotified);
    QFETCH(int, caretOffset);
    TextArea &text = window_->text();
    window_->setText("中文ab");
    text.setCaret(text.document().size());
    text.setFocus();
    static bool clientActive;
    static bool notified;
    clientActive = !activations.isEmpty() && activations.last();
    notified = false;
    AssistiveTechnology &technology = assistiveTechnology();
    const AssistiveTechnology platform = technology;
    technology.active = [] { return clientActive; };
    technology.update = [](QAccessibleEvent *event) {
        notified |= event->type() == QAccessible::TextInserted ||
                    event->type() == QAccessible::TextRemoved ||
                    event->type() == QAccessible::TextUpdated;
    };
    QTest::keyClick(&text, Qt::Key(key));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&text);
    const QAccessible::Role role = accessible->role();
    const int offset =
        accessible->textInterface() ? accessible->textInterface()->cursorPosition() : -1;
    technology = platform;
    QCOMPARE(notified, changeNotified);
    QCOMPARE(offset, caretOffset);
    QCOMPARE(role, QAccessible::EditableText);
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
