#include <QApplication>
#include <QMenuBar>
#include <QScrollBar>

#include "form1_harness.h"

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
    TextArea &text = window_->text();
    QCOMPARE(
        text.SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, QsciScintillaBase::STYLE_DEFAULT),
        0xFF0000);
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
    QVERIFY(!text.SendScintilla(QsciScintillaBase::SCI_GETREADONLY));
    QCOMPARE(text.SendScintilla(QsciScintillaBase::SCI_GETWRAPMODE),
             long{QsciScintillaBase::SC_WRAP_NONE});
    for (unsigned long margin = 0; margin < 5; ++margin)
        QCOMPARE(text.SendScintilla(QsciScintillaBase::SCI_GETMARGINWIDTHN, margin), 0);
    QVERIFY(text.verticalScrollBar()->isVisible());
    QVERIFY(text.horizontalScrollBar()->isVisible());

    text.setFocus();
    QTest::keyClicks(&text, QStringLiteral("a"));
    QTest::keyClick(&text, Qt::Key_Return);
    QTest::keyClicks(&text, QStringLiteral("b"));
    QCOMPARE(window_->textBytes(), QByteArray("a\r\nb"));
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
