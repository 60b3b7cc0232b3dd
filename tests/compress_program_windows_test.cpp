#include <windows.h>
#include <QTest>
#include <memory>

#include "compress_program.h"
#include "compress_tree.h"
#include "console_events_windows.h"
#include "test_system_windows.h"

// zerediz-compress as scripts run it on Windows: the real program on a real tree of pages, with
// what this system alone has: read-only files, files other programs hold, names kept for devices,
// paths beyond 260 characters, the console and its stop events. The ways every system has are in
// compress_program_test.cpp.
namespace {

// What a row adds to the tree.
enum Trouble {
    kNone,
    kReadOnlyPage,  // site/a.html is marked read-only
    kHeldPage,      // another program reads site/a.html and lets no one else write it
    kDeepPages,     // deep/<120 d>/<120 e>/page.html, beyond 260 characters
};

// What a row's trouble holds while the program runs.
struct TroubleMade {
    std::unique_ptr<HeldFile> held;
};

const QString kDeepFolder =
    QStringLiteral("deep/") + QString(120, u'd') + u'/' + QString(120, u'e');

TroubleMade makeTrouble(Tree &tree, Trouble trouble) {
    TroubleMade made;
    switch (trouble) {
        case kNone:
            break;
        case kReadOnlyPage:
            setAttributes(tree.path("site/a.html"), FILE_ATTRIBUTE_READONLY);
            break;
        case kHeldPage:
            made.held = std::make_unique<HeldFile>(tree.path("site/a.html"), FILE_SHARE_READ);
            break;
        case kDeepPages:
            tree.add(qPrintable(kDeepFolder + QStringLiteral("/page.html")), "  deep  \r\n");
            break;
    }
    return made;
}

// What a program run in a console window left on its screen, line by line, trailing spaces gone;
// empty where Wine made no console that works, as it makes none without a display. The console is
// the test's own, made for the run, so that the screen stays once the program has ended.
QStringList consoleScreenOf(const Tree &tree, const QStringList &arguments) {
    QString command = u'"' + QDir::toNativeSeparators(compressProgram().path) + u'"';
    for (const QString &argument : arguments) command += QStringLiteral(" \"") + argument + u'"';
    std::wstring line = command.toStdWString();
    const std::wstring folder = QDir::toNativeSeparators(tree.root()).toStdWString();
    ::FreeConsole();
    const HANDLE screen = ::AllocConsole() ? ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                           FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                           nullptr, OPEN_EXISTING, 0, nullptr)
                                           : INVALID_HANDLE_VALUE;
    CONSOLE_SCREEN_BUFFER_INFO size{};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    QStringList lines;
    if (::GetConsoleScreenBufferInfo(screen, &size) &&
        ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                         nullptr, folder.c_str(), &startup, &started)) {
        ::WaitForSingleObject(started.hProcess, INFINITE);
        ::CloseHandle(started.hThread);
        ::CloseHandle(started.hProcess);
        for (SHORT row = 0; row < size.dwSize.Y; ++row) {
            std::wstring text(size.dwSize.X, L' ');
            DWORD read = 0;
            ::ReadConsoleOutputCharacterW(screen, text.data(), DWORD(text.size()), COORD{0, row},
                                          &read);
            lines.append(QString::fromStdWString(text.substr(0, read)).trimmed());
        }
    }
    while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    if (screen != INVALID_HANDLE_VALUE) ::CloseHandle(screen);
    ::FreeConsole();
    return lines;
}

}  // namespace

class CompressProgramWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void compressesWhatItIsAskedFor_data();
    void compressesWhatItIsAskedFor();
    void goesOnPastAFailingFile_data();
    void goesOnPastAFailingFile();
    void stopsCleanlyOnAConsoleEvent_data();
    void stopsCleanlyOnAConsoleEvent();
    void speaksChineseToTheConsole_data();
    void speaksChineseToTheConsole();
};

void CompressProgramWindowsTest::compressesWhatItIsAskedFor_data() {
    QTest::addColumn<int>("trouble");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("compressed");
    QTest::addColumn<QString>("summary");
    const QString deepPage = kDeepFolder + QStringLiteral("/page.html");
    QTest::newRow("in place, beyond 260 characters")
        << int(kDeepPages) << QStringList{QStringLiteral("deep")}
        << QStringList{deepPage + u'<' + deepPage}
        << QStringLiteral("1 个文件：1 个已改写；10 字节 → 6 字节，节省 40.0%。\n");
    QTest::newRow("a mirror beyond 260 characters")
        << int(kDeepPages)
        << QStringList{QStringLiteral("--output-dir"), QStringLiteral("out"),
                       QStringLiteral("deep")}
        << QStringList{QStringLiteral("out/") + QString(120, u'd') + u'/' + QString(120, u'e') +
                       QStringLiteral("/page.html<") + deepPage}
        << QStringLiteral("1 个文件：1 个已写入；10 字节 → 6 字节，节省 40.0%。\n");
}

void CompressProgramWindowsTest::compressesWhatItIsAskedFor() {
    QFETCH(int, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    Tree tree;
    const TroubleMade made = makeTrouble(tree, Trouble(trouble));
    verifyRun(tree, arguments, {}, 0, {}, compressed, summary);
}

void CompressProgramWindowsTest::goesOnPastAFailingFile_data() {
    QTest::addColumn<int>("trouble");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("errorLine");  // one of the lines on standard error
    QTest::addColumn<QStringList>("compressed");
    QTest::addColumn<QString>("summary");  // the failing file counts among the files
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QStringList inPlace{s("site/a.html<site/a.html"), s("site/gb.html<site/gb.html"),
                              s("site/sub/c.HTML<site/sub/c.HTML")};
    const QStringList allButA{s("site/gb.html<site/gb.html"), s("site/sub/c.HTML<site/sub/c.HTML")};
    const QString withoutA =
        s("4 个文件：2 个已改写，1 个无需改写，1 个失败；23 字节 → 19 字节，节省 17.4%。");
    QTest::newRow("a read-only page")
        << int(kReadOnlyPage) << QStringList{s("site")}
        << s("无法保存文件：site/a.html：文件是只读的") << allButA << withoutA;
    QTest::newRow("a page another program holds for itself")
        << int(kHeldPage) << QStringList{s("site")}
        << s("无法保存文件：site/a.html：文件正在使用中") << allButA << withoutA;
    QTest::newRow("a PATH named as a device")
        << int(kNone) << QStringList{s("site/con.html"), s("site")}
        << s("无法打开文件：site/con.html：文件名是 Windows 保留的设备名") << inPlace
        << s("5 个文件：3 个已改写，1 个无需改写，1 个失败；37 字节 → 29 字节，节省 21.6%。");
    // Windows would write into the device and lose the page without a word.
    QTest::newRow("-o naming a device")
        << int(kNone) << QStringList{s("-o"), s("nul.html"), s("site/a.html")}
        << s("无法保存文件：nul.html：文件名是 Windows 保留的设备名") << QStringList()
        << s("1 个文件：0 个已写入，1 个失败；0 字节 → 0 字节，节省 0.0%。");
}

// The troublesome file gets its line and stays as it was; every other page is compressed.
void CompressProgramWindowsTest::goesOnPastAFailingFile() {
    QFETCH(int, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(QString, errorLine);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    Tree tree;
    const TroubleMade made = makeTrouble(tree, Trouble(trouble));
    verifyFailingRun(tree, arguments, errorLine, compressed, summary);
    setAttributes(tree.path("site/a.html"), 0);
}

void CompressProgramWindowsTest::stopsCleanlyOnAConsoleEvent_data() {
    QTest::addColumn<uint>("event");
    QTest::addColumn<int>("sending");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("name");
    QTest::newRow("Ctrl+C, sent to the console")
        << uint(CTRL_C_EVENT) << int(Sending::ThroughTheConsole) << 130 << QStringLiteral("Ctrl+C");
    QTest::newRow("Ctrl+Break, sent to the console")
        << uint(CTRL_BREAK_EVENT) << int(Sending::ThroughTheConsole) << 149
        << QStringLiteral("Ctrl+Break");
    QTest::newRow("Ctrl+Break, delivered as the console does")
        << uint(CTRL_BREAK_EVENT) << int(Sending::AsTheConsoleDoes) << 149
        << QStringLiteral("Ctrl+Break");
    // The handler holds on until the pages under way are finished, and the run ends as it would
    // on its own.
    QTest::newRow("the console closed, delivered as the console does")
        << uint(CTRL_CLOSE_EVENT) << int(Sending::AsTheConsoleDoes) << 129
        << QStringLiteral("控制台已关闭");
}

// A run over many pages in a console of its own, stopped once it has compressed one: it ends with
// 128 + the event's number, every page holds its old or its new content, no other file is left,
// and the summary counts the pages that were done.
void CompressProgramWindowsTest::stopsCleanlyOnAConsoleEvent() {
    QFETCH(uint, event);
    QFETCH(int, sending);
    QFETCH(int, exitCode);
    QFETCH(QString, name);
    if (event == CTRL_BREAK_EVENT && Sending(sending) == Sending::ThroughTheConsole &&
        runsUnderWine())
        QSKIP("Wine 8 sends no Ctrl+Break: GenerateConsoleCtrlEvent knows only Ctrl+C there");
    const ManyPages many;
    const ProgramRun run =
        runCompress(many.tree().root(), many.arguments(), {}, inItsOwnConsole, [&](qint64 id) {
            many.waitForFirstPage();
            sendStop(id, event, Sending(sending), exitCode);
        });
    many.verifyStopped(run, exitCode, name);
}

void CompressProgramWindowsTest::speaksChineseToTheConsole_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("screen");
    QTest::newRow("a failure and the summary")
        << QStringList{QStringLiteral("missing.html"), QStringLiteral("site")}
        << QStringList{QStringLiteral("无法打开文件：missing.html：文件不存在"),
                       QStringLiteral("5 个文件：3 个已改写，1 个无需改写，1 个失败；37 字节 → 29 "
                                      "字节，节省 21.6%。")};
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")}
                            << QStringList{QStringLiteral("选项：")};
}

// A console window shows the program's Chinese as it is, whatever its code page: the lines that go
// to a pipe in UTF-8 are on its screen.
void CompressProgramWindowsTest::speaksChineseToTheConsole() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, screen);
    const Tree tree;
    const QStringList lines = consoleScreenOf(tree, arguments);
    if (lines.isEmpty() && runsUnderWine())
        QSKIP("Wine makes a console that works only where there is a display (xvfb-run)");
    for (const QString &line : screen)
        QVERIFY2(lines.contains(line), qPrintable(lines.join(u'\n')));
}

QTEST_GUILESS_MAIN(CompressProgramWindowsTest)
#include "compress_program_windows_test.moc"
