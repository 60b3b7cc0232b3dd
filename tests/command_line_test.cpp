#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "app/application_setup.h"
#include "app/command_line.h"
#include "form1_harness.h"
#include "zerediz_version.h"

// `zerediz [选项] [文件]`: parsed in this process, where a start shows a real main window with
// scripted dialogs, and answered by the real program wherever it exits without a window.
class CommandLineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void startsAsAsked_data();
    void startsAsAsked();
    void programExits_data();
    void programExits();

private:
    QTemporaryDir dir_;
    QString startFolder_;
    QString program_;  // whole, as the build names it without a drive on Windows
};

namespace {

// Replaces %1 with the test's folder.
QString inFolder(const QString &text, const QTemporaryDir &dir) {
    return QString(text).replace(QStringLiteral("%1"), dir.path());
}

QRegularExpression wholeText(const QString &pattern) {
    return QRegularExpression(QLatin1Char('^') + pattern + QLatin1Char('$'),
                              QRegularExpression::DotMatchesEverythingOption);
}

const QString kVersion = QStringLiteral("zerediz %1\n").arg(QStringLiteral(ZEREDIZ_VERSION));
// Every description starts in the same column, the one after a name in Chinese included.
const QString kHelp = QStringLiteral(
    "用法：.*\\[选项\\] \\[文件\\]\n.*\n  -h, --help     显示本帮助，然后退出。\n"
    "  -v, --version  显示版本号，然后退出。\n.*\n  文件           "
    "启动后打开的网页文件，或者要压缩的文件夹。\n"
    "\n退出状态：\n.*\n示例：\n.*\n");
const QString kOneLine = QStringLiteral("zerediz：[^\n]*\n");

}  // namespace

void CommandLineTest::initTestCase() {
    setUpApplication(*qApp);
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral(ZEREDIZ_VERSION));
    writeFile(dir_, QStringLiteral("page.htm"), "  <p>x</p>  \r\n");
    writeFile(dir_, QStringLiteral("-page.htm"), " dash ");
    program_ = QFileInfo(QStringLiteral(ZEREDIZ_PROGRAM)).absoluteFilePath();
    // Relative file names are taken from here.
    startFolder_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_.path()));
}

void CommandLineTest::cleanupTestCase() {
    QDir::setCurrent(startFolder_);
}

void CommandLineTest::startsAsAsked_data() {
    QTest::addColumn<QStringList>("arguments");  // after the program's name; %1 is the folder
    QTest::addColumn<int>("exitCode");           // -1: the main window starts
    QTest::addColumn<QString>("message");  // the window's message box, or a pattern of the text
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("remembered");  // the name the next file dialog starts with

    QTest::newRow("no argument: the window as ever")
        << QStringList() << -1 << QString() << QByteArray() << QString();
    QTest::newRow("file in the current folder")
        << QStringList{QStringLiteral("page.htm")} << -1 << QString() << QByteArray("<p>x</p>\r\n")
        << QStringLiteral("%1/page.htm");
    QTest::newRow("absolute file name")
        << QStringList{QStringLiteral("%1/page.htm")} << -1 << QString()
        << QByteArray("<p>x</p>\r\n") << QStringLiteral("%1/page.htm");
    QTest::newRow("name with a dash, after --")
        << QStringList{QStringLiteral("--"), QStringLiteral("-page.htm")} << -1 << QString()
        << QByteArray("dash\r\n") << QStringLiteral("%1/-page.htm");
    QTest::newRow("missing file: the Open command's error box")
        << QStringList{QStringLiteral("missing.htm")} << -1
        << QStringLiteral("无法打开文件：%1/missing.htm\n文件不存在") << QByteArray() << QString();
    QTest::newRow("the current folder: its pages, once asked (取消)")
        << QStringList{QStringLiteral(".")} << -1 << QString() << QByteArray() << QString();

    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << kHelp << QByteArray()
                            << QString();
    QTest::newRow("-h, with a file")
        << QStringList{QStringLiteral("-h"), QStringLiteral("page.htm")} << 0 << kHelp
        << QByteArray() << QString();
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << 0
                               << QRegularExpression::escape(kVersion) << QByteArray() << QString();
    QTest::newRow("two files")
        << QStringList{QStringLiteral("page.htm"), QStringLiteral("%1/page.htm")} << 2
        << QStringLiteral("zerediz：一次只能打开一个文件，却给了 2 个。[^\n]*\n") << QByteArray()
        << QString();
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--bogus"), QStringLiteral("page.htm")} << 2
        << QStringLiteral("zerediz：未知选项“--bogus”。[^\n]*\n") << QByteArray() << QString();
    QTest::newRow("empty file name")
        << QStringList{QString()} << 2 << kOneLine << QByteArray() << QString();
}

void CommandLineTest::startsAsAsked() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QByteArray, text);
    QFETCH(QString, remembered);
    for (QString &argument : arguments) argument = inFolder(argument, dir_);
    const auto parsed = parseStartRequest(QStringList{QStringLiteral("zerediz")} + arguments);

    if (exitCode >= 0) {
        const auto *answer = std::get_if<CommandLineAnswer>(&parsed);
        QVERIFY(answer);
        QCOMPARE(answer->exitStatus, exitCode);
        QVERIFY2(wholeText(message).match(answer->text).hasMatch(), qPrintable(answer->text));
        return;
    }
    QVERIFY(std::holds_alternative<StartRequest>(parsed));
    Form1Harness window;
    startMainWindow(window.form, std::get<StartRequest>(parsed));
    QVERIFY(window.form.isVisible());
    // The page opens once the window is on the screen.
    QTRY_COMPARE(window.textBytes(), text);
    QTRY_COMPARE(window.dialogs.shown.size(), message.isEmpty() ? 0 : 1);
    QCOMPARE(window.dialogs.kinds, QStringList());
    if (!message.isEmpty()) {
        const auto &box = window.dialogs.shown.first();
        QCOMPARE(box.icon, PlatformDialogs::Icon::Warning);
        QCOMPARE(box.text, inFolder(message, dir_));
        // A box over a window not yet placed would not be centred on it.
        QVERIFY(box.overShownWindow);
    }
    window.open(std::nullopt);
    QCOMPARE(window.dialogs.startPaths, QStringList{inFolder(remembered, dir_)});
}

namespace {

// Whether the program finds no display where the environment names none: not on Windows, which
// always has one.
bool displayMayBeMissing() {
    const QByteArrayList names{"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    QList<QByteArray> values;
    for (const QByteArray &name : names) {
        values.append(qgetenv(name.constData()));
        qunsetenv(name.constData());
    }
    const bool missing = !hasDisplay();
    for (qsizetype i = 0; i < names.size(); ++i)
        if (!values[i].isEmpty()) qputenv(names[i].constData(), values[i]);
    return missing;
}

}  // namespace

// The program itself, for what only it does: its exit status and what it prints where.
void CommandLineTest::programExits_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");  // patterns of standard output and standard error
    QTest::addColumn<QString>("err");

    const QString noDisplay = QStringLiteral("zerediz：找不到图形显示[^\n]*图形桌面[^\n]*\n");
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << true << 0 << kHelp
                            << QString();
    QTest::newRow("--version without a display")
        << QStringList{QStringLiteral("--version")} << false << 0
        << QRegularExpression::escape(kVersion) << QString();
    QTest::newRow("two files") << QStringList{QStringLiteral("a.htm"), QStringLiteral("b.htm")}
                               << true << 2 << QString() << kOneLine;
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--bogus")} << true << 2 << QString() << kOneLine;
    QTest::newRow("two files without a display")
        << QStringList{QStringLiteral("a.htm"), QStringLiteral("b.htm")} << false << 2 << QString()
        << kOneLine;
    if (!displayMayBeMissing()) return;
    QTest::newRow("no display") << QStringList() << false << 1 << QString() << noDisplay;
    QTest::newRow("no display, a file")
        << QStringList{QStringLiteral("page.htm")} << false << 1 << QString() << noDisplay;
}

void CommandLineTest::programExits() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("DISPLAY"),
                                QStringLiteral("WAYLAND_DISPLAY")})
        environment.remove(name);
    if (display) environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // As on a desktop session, so that Qt has no reason to complain about its absence.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(program_, arguments);
    // Only a program that wrongly started its window would still run.
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        QFAIL("the program did not exit");
    }
    const QString output = QString::fromUtf8(program.readAllStandardOutput());
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    QVERIFY2(wholeText(out).match(output).hasMatch(), qPrintable(output));
    QVERIFY2(wholeText(err).match(errors).hasMatch(), qPrintable(errors));
    // That hint belongs to `make run`, not to the installed program.
    QVERIFY(!errors.contains(QStringLiteral("make")));
}

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
