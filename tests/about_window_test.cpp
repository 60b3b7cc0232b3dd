#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "app/application_setup.h"
#include "form1_harness.h"
#include "ui/about/form2.h"
#include "ui/main/form1.h"
#include "ui/main/text_area.h"

namespace {

const QColor kDarkCyan(0, 128, 128);

QStringList visibleWindows() {
    QStringList names;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible()) names.append(widget->objectName());
    names.sort();
    return names;
}

int distinctColours(const QImage &image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return int(colours.size());
}

// The order in which the two windows appear and disappear.
class SwapLog : public QObject {
public:
    QStringList entries;

    SwapLog() { qApp->installEventFilter(this); }

    bool eventFilter(QObject *object, QEvent *event) override {
        const QString name = object->objectName();
        if (name != u"Form1" && name != u"Form2") return false;
        if (event->type() == QEvent::Show) entries.append(name + QStringLiteral(" shown"));
        if (event->type() == QEvent::Hide) entries.append(name + QStringLiteral(" hidden"));
        return false;
    }
};

QImage argb(const QImage &image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A main window with a loaded file, ready to be swapped for the About window.
struct MainWindow : Form1Harness {
    QTemporaryDir folder;
    QString page = writeFile(folder, QStringLiteral("page.htm"), "   <p>  x  </p>   \r\n  \r\n");

    MainWindow() {
        form.show();
        open(page);
    }

    void about() { form.findChild<QAction *>(QStringLiteral("guanyu"))->trigger(); }
    Form2 *form2() {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *form2 = qobject_cast<Form2 *>(widget); form2 && form2->isVisible())
                return form2;
        return nullptr;
    }
};

enum class Back { Button, Enter, Escape, Frame };

void goBack(Form2 *form2, Back how) {
    auto *command1 = form2->findChild<QPushButton *>(QStringLiteral("Command1"));
    QApplication::setActiveWindow(form2);
    switch (how) {
        case Back::Button:
            command1->click();
            break;
        case Back::Enter:
            QTest::keyClick(command1, Qt::Key_Return);
            break;
        case Back::Escape:
            QTest::keyClick(form2, Qt::Key_Escape);
            break;
        case Back::Frame:
            form2->windowHandle()->close();  // what the window manager's close box asks for
            break;
    }
}

}  // namespace

Q_DECLARE_METATYPE(Back)

class AboutWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { setUpApplication(*qApp); }
    void cleanup() {
        form2_.reset();
        // About windows that a test left behind.
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (!widget->parentWidget()) delete widget;
    }
    void init() { form2_ = std::make_unique<Form2>(); }

    void window() {
        QCOMPARE(form2_->windowTitle(), QStringLiteral("关于"));
        QCOMPARE(form2_->size(), QSize(208, 213));
        QCOMPARE(form2_->minimumSize(), form2_->maximumSize());
        const Qt::WindowFlags flags = form2_->windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(form2_->autoFillBackground());
        QCOMPARE(form2_->palette().color(QPalette::Window), kDarkCyan);
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Label1, credit line past the right edge")
            << "Label1" << QRect(32, 16, 265, 49) << QStringLiteral("  Qorvel制作");
        QTest::newRow("Label2, two leading spaces")
            << "Label2" << QRect(16, 72, 177, 41) << QStringLiteral("  谢谢使用，欢迎提出建议");
        QTest::newRow("Label4, eight spaces before the address")
            << "Label4" << QRect(0, 112, 185, 25)
            << QStringLiteral("        信箱：mail@example.com");
        QTest::newRow("Label3, thirteen spaces before the date")
            << "Label3" << QRect(8, 144, 185, 25) << QStringLiteral("             2004年4月9日");
        QTest::newRow("Command1") << "Command1" << QRect(128, 184, 65, 25)
                                  << QStringLiteral("返回");
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        auto *control = form2_->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        const QString text = name.startsWith(u"Label")
                                 ? qobject_cast<QLabel *>(control)->text()
                                 : qobject_cast<QPushButton *>(control)->text();
        QCOMPARE(text, caption);
        QVERIFY(!text.contains(u'&'));
    }

    void labels_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family");  // empty: the window's default font
        QTest::addColumn<qreal>("points");
        QTest::newRow("Label1, large Song") << "Label1" << QStringLiteral("宋体") << 15.75;
        QTest::newRow("Label2, Song") << "Label2" << QStringLiteral("宋体") << 10.5;
        QTest::newRow("Label3, Song") << "Label3" << QStringLiteral("宋体") << 10.5;
        QTest::newRow("Label4, default font") << "Label4" << QString() << 0.0;
    }
    void labels() {
        QFETCH(QString, name);
        QFETCH(QString, family);
        QFETCH(qreal, points);
        auto *label = form2_->findChild<QLabel *>(name);
        QVERIFY(label);
        // Spaces would collapse as rich text.
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(!label->autoFillBackground());
        QCOMPARE(label->frameShape(), QFrame::NoFrame);
        QCOMPARE(label->palette().color(QPalette::Window), kDarkCyan);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        if (family.isEmpty()) {
            QCOMPARE(label->font(), form2_->font());
            return;
        }
        QCOMPARE(label->font().family(), family);
        QCOMPARE(label->font().pointSizeF(), points);
        QCOMPARE(label->font().weight(), QFont::Normal);
        // A Song face draws it, not a sans fallback nor boxes.
        QVERIFY2(QFontInfo(label->font()).family().startsWith(u"AR PL UMing"),
                 qPrintable(QFontInfo(label->font()).family()));
    }

    void onlyCommand1TakesFocus() {
        auto *command1 = form2_->findChild<QPushButton *>(QStringLiteral("Command1"));
        QCOMPARE(form2_->focusWidget(), command1);
        QVERIFY(command1->focusPolicy() & Qt::TabFocus);
    }

    void icons_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("drawing");
        QTest::newRow("Form1, the application's") << "Form1"
                                                  << ":/icons/zerediz";
        QTest::newRow("Form2, its own") << "Form2"
                                        << ":/icons/about";
    }
    void icons() {
        QFETCH(QString, window);
        QFETCH(QString, drawing);
        MainWindow main;
        main.about();
        QWidget *shown = window == u"Form1" ? static_cast<QWidget *>(&main.form) : main.form2();
        const QIcon icon = shown->windowIcon();
        for (int size : {16, 32}) {
            const QImage image(drawing + u'-' + QString::number(size) + QStringLiteral(".xpm"));
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(distinctColours(image) <= 16);
            QCOMPARE(argb(icon.pixmap(size).toImage()), argb(image));
        }
    }

    void qtSpeaksChinese_data() {
        QTest::addColumn<QByteArray>("context");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("chinese");
        QTest::newRow("message box OK")
            << QByteArray("QPlatformTheme") << QByteArray("OK") << QStringLiteral("确定");
        QTest::newRow("dialog Cancel")
            << QByteArray("QPlatformTheme") << QByteArray("Cancel") << QStringLiteral("取消");
        QTest::newRow("file dialog's file name")
            << QByteArray("QFileDialog") << QByteArray("File &name:")
            << QStringLiteral("文件名称(&N)：");
    }
    void qtSpeaksChinese() {
        QFETCH(QByteArray, context);
        QFETCH(QByteArray, source);
        QFETCH(QString, chinese);
        QCOMPARE(QCoreApplication::translate(context.constData(), source.constData()), chinese);
    }

    void aboutSwapsTheWindows() {
        MainWindow main;
        QCOMPARE(visibleWindows(), QStringList{QStringLiteral("Form1")});
        SwapLog log;
        main.about();
        QCOMPARE(visibleWindows(), QStringList{QStringLiteral("Form2")});
        // Never a moment without a window.
        QCOMPARE(log.entries,
                 (QStringList{QStringLiteral("Form2 shown"), QStringLiteral("Form1 hidden")}));
        // A window of its own, not one owned by the main window.
        QVERIFY(!main.form2()->parentWidget());
    }

    void goingBack_data() {
        QTest::addColumn<Back>("how");
        QTest::newRow("返回") << Back::Button;
        QTest::newRow("Enter on 返回") << Back::Enter;
        QTest::newRow("Esc") << Back::Escape;
        QTest::newRow("close box of the frame") << Back::Frame;
    }
    void goingBack() {
        QFETCH(Back, how);
        MainWindow main;
        const QByteArray text = main.textBytes();
        QVERIFY(!text.isEmpty());
        // Away from the middle of the screen, where windows go that name no place.
        main.form.move(40, 60);
        const QRect place = main.form.frameGeometry();
        main.about();
        QPointer<Form2> form2 = main.form2();
        QCOMPARE(form2->frameGeometry().center(), place.center());
        SwapLog log;
        goBack(form2, how);

        QCOMPARE(main.form.frameGeometry(), place);
        QCOMPARE(visibleWindows(), QStringList{QStringLiteral("Form1")});
        QCOMPARE(log.entries,
                 (QStringList{QStringLiteral("Form1 shown"), QStringLiteral("Form2 hidden")}));
        QTRY_VERIFY(form2.isNull());
        QCOMPARE(main.textBytes(), text);
        main.save(std::nullopt);
        QCOMPARE(main.dialogs.startPaths.last(), main.page);
    }

    void everyVisitLoadsAFreshWindow_data() { goingBack_data(); }
    void everyVisitLoadsAFreshWindow() {
        QFETCH(Back, how);
        MainWindow main;
        main.about();
        QPointer<Form2> first = main.form2();
        first->findChild<QLabel *>(QStringLiteral("Label1"))->setText(QStringLiteral("changed"));
        goBack(first, how);

        // Straight away, before the closed window is deleted.
        main.about();
        Form2 *second = main.form2();
        QVERIFY(second);
        QVERIFY(second != first);
        QCOMPARE(second->findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("  Qorvel制作"));
        QCOMPARE(visibleWindows(), QStringList{QStringLiteral("Form2")});
        QTRY_VERIFY(first.isNull());
    }

    // Last: ending the application leaves it ending. Text typed into the page is offered to be
    // saved over it first.
    void closingForm1EndsTheApplication_data() {
        QTest::addColumn<bool>("visitAboutFirst");
        QTest::addColumn<QString>("edits");  // "x" typed, then undone
        QTest::addColumn<PlatformDialogs::Answer>("answer");
        QTest::addColumn<QString>("saveTo");  // "page", "missing/page.htm"; none: cancelled
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("ends");
        QTest::addColumn<bool>("pageSaved");

        using Answer = PlatformDialogs::Answer;
        QTest::newRow("straight after start")
            << false << QString() << Answer::Cancel << QString() << false << true << false;
        QTest::newRow("after a visit to 关于")
            << true << QString() << Answer::Cancel << QString() << false << true << false;
        QTest::newRow("typed, 保存: saved over the page, then ends")
            << false << "typed" << Answer::Save << "page" << true << true << true;
        QTest::newRow("typed, 不保存: ends")
            << false << "typed" << Answer::Discard << QString() << true << true << false;
        QTest::newRow("typed, 取消: stays")
            << false << "typed" << Answer::Cancel << QString() << true << false << false;
        QTest::newRow("typed after a visit to 关于, 取消: stays")
            << true << "typed" << Answer::Cancel << QString() << true << false << false;
        QTest::newRow("typed, 保存 but the Save dialog cancelled: stays")
            << false << "typed" << Answer::Save << QString() << true << false << false;
        QTest::newRow("typed, 保存 but the save fails: stays")
            << false << "typed" << Answer::Save << "missing/page.htm" << true << false << false;
        QTest::newRow("typed and undone: ends without a question")
            << false << "typed, undone" << Answer::Cancel << QString() << false << true << false;
    }
    void closingForm1EndsTheApplication() {
        QFETCH(bool, visitAboutFirst);
        QFETCH(QString, edits);
        QFETCH(PlatformDialogs::Answer, answer);
        QFETCH(QString, saveTo);
        QFETCH(bool, asked);
        QFETCH(bool, ends);
        QFETCH(bool, pageSaved);
        MainWindow main;
        const QByteArray original = readFile(main.page);
        if (visitAboutFirst) {
            main.about();
            goBack(main.form2(), Back::Button);
        }
        if (edits.contains(u"typed")) QTest::keyClicks(&main.text(), QStringLiteral("x"));
        if (edits.contains(u"undone")) main.text().undo();
        main.dialogs.answers = {answer};
        if (answer == PlatformDialogs::Answer::Save) {
            const QString target = saveTo == u"page" ? main.page : main.folder.filePath(saveTo);
            main.dialogs.files.append(saveTo.isEmpty() ? std::nullopt : std::optional(target));
        }

        QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
        // The application only ends from its event loop; a stuck loop fails instead of hanging.
        QTimer::singleShot(0, &main.form, [&main] {
            main.form.windowHandle()->close();  // what the close box and Alt+F4 ask for
            if (main.form.isVisible()) QCoreApplication::exit(2);
        });
        QTimer stuck;
        stuck.setSingleShot(true);
        connect(&stuck, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        stuck.start(5000);
        QCOMPARE(QCoreApplication::exec(), ends ? 0 : 2);
        QCOMPARE(lastWindowClosed.count(), ends ? 1 : 0);
        QCOMPARE(main.dialogs.asked.size(), asked ? 1 : 0);
        if (asked) QCOMPARE(main.dialogs.asked.first().parent, &main.form);
        QCOMPARE(readFile(main.page), pageSaved ? main.textBytes() : original);
    }

private:
    std::unique_ptr<Form2> form2_;
};

QTEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
