#include <windows.h>
#include <QSettings>
#include <QTest>

#include "browser_check.h"
#include "compress_program.h"
#include "compress_tree.h"
#include "console_events_windows.h"
#include "test_system_windows.h"

// zerediz-compress --verify on Windows, Wine included, against the stand-in: the browser found in
// the folders installers put Edge and Chrome in, or nowhere; Ctrl+C at the program's console
// during a run; the browser ended from outside once and twice. The rows every system shares are
// in browser_check_test.cpp.
namespace {

const QByteArray kSame = "  <p>same</p>  \r\n";
// Enough pages that a run is still under way once the stand-in has shown a few of them.
constexpr int kPages = 30;

QString pageName(int i) {
    return QStringLiteral("many/p%1.html").arg(i, 3, 10, QChar(u'0'));
}

// Ends a process as Task Manager does, and waits for it.
void endProcess(qint64 processId) {
    const HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, DWORD(processId));
    QVERIFY(process);
    QVERIFY(::TerminateProcess(process, 1));
    ::WaitForSingleObject(process, 60000);
    ::CloseHandle(process);
}

// Whether an installer registered one of the browsers in App Paths, which comes before any folder.
bool registeredBrowser() {
    for (const char *root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"})
        for (const char *program : {"msedge.exe", "chrome.exe"})
            for (const auto view : {QSettings::Registry64Format, QSettings::Registry32Format})
                if (QSettings(QLatin1String(root) +
                                  QStringLiteral("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                                                 "App Paths\\") +
                                  QLatin1String(program),
                              view)
                        .contains(QStringLiteral("Default")))
                    return true;
    return false;
}

// The variables that name the folders browsers are installed in.
const char *const kInstallVariables[] = {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432",
                                         "LOCALAPPDATA"};

// What a row of stopsCleanly does to a run once the stand-in has shown a few pages.
enum class Stop {
    CtrlC,     // Ctrl+C at the program's console
    EndOnce,   // the browser ended from outside
    EndTwice,  // and the one started in its place
};

}  // namespace

class BrowserCheckWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findsTheBrowser_data();
    void findsTheBrowser();
    void stopsCleanly_data();
    void stopsCleanly();
};

void BrowserCheckWindowsTest::findsTheBrowser_data() {
    QTest::addColumn<QString>("variable");  // whose folder the stand-in is put in; empty: none
    QTest::addColumn<QString>("place");     // below it
    QTest::newRow("Edge in the user's own folder")
        << QStringLiteral("LOCALAPPDATA")
        << QStringLiteral("Microsoft/Edge/Application/msedge.exe");
    QTest::newRow("Edge in Program Files (x86)")
        << QStringLiteral("ProgramFiles(x86)")
        << QStringLiteral("Microsoft/Edge/Application/msedge.exe");
    // A 64-bit program's ProgramFiles is ProgramW6432, whatever its environment says.
    QTest::newRow("Chrome in Program Files")
        << QStringLiteral("ProgramW6432") << QStringLiteral("Google/Chrome/Application/chrome.exe");
    QTest::newRow("no browser anywhere") << QString() << QString();
}

// With no --browser, the browser is the first one found where Windows keeps it; where there is
// none, one line names the places looked in, the status is 2 and nothing is written. Each folder
// an installer uses is one of the test's own, empty but for the stand-in.
void BrowserCheckWindowsTest::findsTheBrowser() {
    QFETCH(QString, variable);
    QFETCH(QString, place);
    if (registeredBrowser()) QSKIP("a browser is registered in App Paths, which comes first");
    Tree tree;
    tree.add("check/a.html", kSame);
    const BrowserRun browser;
    const Snapshot before = snapshotOf(tree.root());
    const QString folders = tree.path("installed");
    for (const char *name : kInstallVariables) QDir().mkpath(folders + u'/' + QLatin1String(name));
    if (!variable.isEmpty()) {
        const QString program = folders + u'/' + variable + u'/' + place;
        QVERIFY(QDir().mkpath(QFileInfo(program).path()));
        QVERIFY(QFile::copy(BrowserRun::standIn(), program));
    }
    const auto setUp = browser.setUp();
    const ProgramRun run = runCompress(
        tree.root(), {QStringLiteral("--verify"), QStringLiteral("check")}, {},
        [&](QProcess &process) {
            setUp(process);
            QProcessEnvironment environment = process.processEnvironment();
            for (const char *name : kInstallVariables)
                environment.insert(QLatin1String(name),
                                   QDir::toNativeSeparators(folders + u'/' + QLatin1String(name)));
            process.setProcessEnvironment(environment);
        });
    const QString said = QString::fromUtf8(run.standardError);
    if (variable.isEmpty()) {
        QVERIFY2(said.startsWith(QStringLiteral(
                     "zerediz-compress：找不到浏览器（找过 注册表 App Paths 里的 msedge.exe 和 "
                     "chrome.exe、")) &&
                     said.contains(QDir::toNativeSeparators(
                         folders + QStringLiteral("/LOCALAPPDATA/Microsoft/Edge/Application/"
                                                  "msedge.exe"))) &&
                     said.count(u'\n') == 1,
                 qPrintable(said));
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(snapshotOf(tree.root()), before);
        QCOMPARE(browser.starts(), 0);
    } else {
        QVERIFY2(run.exitCode == 0, qPrintable(said));
        QCOMPARE(readFileBytes(tree.path("check/a.html")), referenceTrim(kSame));
        QCOMPARE(browser.starts(), 1);
    }
    browser.verifyCleanedUp();
}

void BrowserCheckWindowsTest::stopsCleanly_data() {
    QTest::addColumn<int>("stop");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");  // what standard error holds
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    QTest::newRow("Ctrl+C at its console") << int(Stop::CtrlC) << 130 << s("已中断（Ctrl+C）");
    QTest::newRow("the browser ended once: started again, every page written")
        << int(Stop::EndOnce) << 0 << s("浏览器意外退出了，已重新启动");
    QTest::newRow("the browser ended twice: the run stops")
        << int(Stop::EndTwice) << 1 << s("浏览器又一次意外退出，压缩停止了");
}

// A run of many pages, one tab at a time, stopped or with its browser ended once the stand-in has
// shown a few: the status; every page old or new (all new where the run went on); every browser
// started gone, and the run's temporary folder empty.
void BrowserCheckWindowsTest::stopsCleanly() {
    QFETCH(int, stop);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    Tree tree;
    for (int i = 0; i < kPages; ++i) tree.add(qPrintable(pageName(i)), kSame);
    const BrowserRun browser;
    const auto setUp = browser.setUp(QStringLiteral("slow"));
    const ProgramRun run = runCompress(
        tree.root(),
        {QStringLiteral("--verify"), QStringLiteral("--browser"), BrowserRun::standIn(),
         QStringLiteral("-j1"), QStringLiteral("many")},
        {},
        [&](QProcess &process) {
            setUp(process);
            if (Stop(stop) == Stop::CtrlC) inItsOwnConsole(process);
        },
        [&](qint64 processId) {
            const qint64 first = browser.waitForStart(1);
            QVERIFY(first != 0);
            // Two pages checked, each shown once and put in place of itself compressed.
            QVERIFY(browser.waitForShown(4));
            if (Stop(stop) == Stop::CtrlC) {
                sendStop(processId, CTRL_C_EVENT, Sending::ThroughTheConsole, exitCode);
                return;
            }
            endProcess(first);
            if (Stop(stop) == Stop::EndTwice) {
                const qint64 second = browser.waitForStart(2);
                QVERIFY(second != 0);
                endProcess(second);
            }
        });
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(run.standardError).contains(said), run.standardError.constData());
    qsizetype written = 0;
    for (int i = 0; i < kPages; ++i) {
        const QByteArray bytes = readFileBytes(tree.path(qPrintable(pageName(i))));
        QVERIFY(bytes == kSame || bytes == referenceTrim(kSame));
        written += bytes != kSame;
    }
    if (exitCode == 0)
        QCOMPARE(written, kPages);
    else
        QVERIFY2(written > 0 && written < kPages, "the run was stopped while it went on");
    browser.verifyCleanedUp();
}

QTEST_GUILESS_MAIN(BrowserCheckWindowsTest)
#include "browser_check_windows_test.moc"
