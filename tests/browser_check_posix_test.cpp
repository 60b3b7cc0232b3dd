#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>
#include <QDirIterator>
#include <QRegularExpression>
#include <QTest>
#include <cstdio>
#include <memory>

#include "browser_check.h"
#include "compress_program.h"
#include "compress_program_posix.h"
#include "compress_tree.h"
#include "core/browser/page_verifier.h"

// zerediz-compress --verify on Linux: real pages in Debian's Chromium, whose look the trim keeps
// or, through what their scripts do, does not; a page that hangs Chromium's renderer; Chromium
// killed once and twice during a run; Ctrl+C during a run; no browser anywhere. The rows that run
// against the stand-in on every system are in browser_check_test.cpp.
namespace {

const QString kChromium = QStringLiteral("/usr/bin/chromium");

// The processes whose command line holds text: a browser started with a profile below a folder,
// and every helper it started.
QList<pid_t> processesWith(const QString &text, bool mainOnly) {
    QList<pid_t> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        if (!number) continue;
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray line = file.readAll();
        if (!line.contains(text.toUtf8())) continue;
        if (mainOnly && line.contains("--type=")) continue;
        if (processRuns(pid)) found.append(pid);
    }
    return found;
}

// The processor time a process has had, in clock ticks.
qint64 processorTicks(pid_t pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const QByteArray line = file.readAll();
    // The fields behind the name, which may hold spaces: state is the first, utime the 12th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : 0;
}

// Waits, not for ever, for count renderers of the run that spin in a script; those it found.
QList<pid_t> waitForSpinningRenderers(const QString &temporary, qsizetype count) {
    const qint64 spinning = 2 * ::sysconf(_SC_CLK_TCK);
    QList<pid_t> found;
    for (int wait = 0; wait < 60000 && found.size() < count; wait += 10) {
        found.clear();
        for (const pid_t pid : processesWith(temporary, false)) {
            QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains("--type=renderer") &&
                processorTicks(pid) > spinning)
                found.append(pid);
        }
        QThread::msleep(10);
    }
    return found;
}

// Waits, not for ever, until pages holds its compressed bytes.
bool waitUntilCompressed(const QString &page, const QByteArray &original) {
    const QByteArray compressed = referenceTrim(original);
    for (int wait = 0; wait < 60000; wait += 10) {
        if (readFileBytes(page) == compressed) return true;
        QThread::msleep(10);
    }
    return false;
}

// Waits, not for ever, for a browser of the run other than the one before; 0 where none came.
pid_t waitForBrowser(const QString &temporary, pid_t before) {
    for (int wait = 0; wait < 60000; wait += 10) {
        for (const pid_t pid : processesWith(temporary, true))
            if (pid != before) return pid;
        QThread::msleep(10);
    }
    return 0;
}

const QByteArray kIndented =
    "<!DOCTYPE html>\n<html>\n  <head>\n    <meta charset=\"utf-8\">\n    <title>  a page  "
    "</title>\n  </head>\n  <body>\n    <h1>  Indented  </h1>\n    <p>\n      text on\n      "
    "lines   \n    </p>\n  </body>\n</html>\n";

}  // namespace

class BrowserCheckPosixTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void looksAsChromiumShowsIt_data();
    void looksAsChromiumShowsIt();
    void catchesWhatATrimCouldGetWrong_data();
    void catchesWhatATrimCouldGetWrong();
    void stopsCleanly_data();
    void stopsCleanly();
    void survivesACrashedTab();
    void refusesWhatIsNoBrowser_data();
    void refusesWhatIsNoBrowser();
    void findsNoBrowser();
    void startsFromALongTemporaryFolder();
    void showsTheTimeLeft_data();
    void showsTheTimeLeft();

private:
    // One run of Chromium over every page of looksAsChromiumShowsIt, made for its first row.
    struct ChromiumRun {
        Tree tree;
        BrowserRun browser;
        Snapshot before;
        ProgramRun run;
    };
    std::unique_ptr<ChromiumRun> chromium_;
};

namespace {

// A page of the Chromium run: its row, its file in check/, what it holds, and the start of its
// line on standard error (empty: it is written).
struct ChromiumPage {
    const char *row;
    const char *file;
    QByteArray content;
    const char *line;
};

const std::vector<ChromiumPage> &chromiumPages() {
    static const std::vector<ChromiumPage> pages{
        {"an indented page looks the same, and is written", "same.html", kIndented, ""},
        {"a page whose script keeps spaces that the trim took: its text", "text.html",
         "<!DOCTYPE html>\n<div id=\"x\">\n    indented\n</div>\n<script>\n  "
         "document.getElementById('x').style['white' + 'Space'] = 'p' + 're';\n</script>\n",
         "显示会变，保持原样：check/text.html：文字不同：第 3 行“    indented”变成了“indented”"},
        {"a page whose script puts the spaces in a tooltip: an attribute", "attribute.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span><img id=\"i\" alt=\"a\">\n"
         "<script>i.title = s.textContent;</script>\n",
         "显示会变，保持原样：check/attribute.html：属性不同：第 1 个 img 的 title "
         "从“↵    x”变成了“↵x”"},
        {"a page whose script puts the spaces in an image's stand-in text: alt", "alt.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span><img id=\"i\" src=\"none.png\">\n"
         "<script>i.alt = s.textContent;</script>\n",
         "显示会变，保持原样：check/alt.html：属性不同：第 1 个 img 的 alt 从“↵    x”变成了“↵x”"},
        {"a page whose script puts the spaces in a field's hint: placeholder", "placeholder.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span><input id=\"i\">\n"
         "<script>i.placeholder = s.textContent;</script>\n",
         "显示会变，保持原样：check/placeholder.html：属性不同：第 1 个 input 的 placeholder "
         "从“↵    x”变成了“↵x”"},
        {"a page whose script puts the spaces in a field: value", "value.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span><input id=\"i\">\n"
         "<script>i.value = s.textContent;</script>\n",
         "显示会变，保持原样：check/value.html：属性不同：第 1 个 input 的 value 从“    "
         "x”变成了“x”"},
        {"a page whose script sizes a box by the spaces: the picture alone", "picture.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span>\n<div id=\"b\" style=\"background: red; "
         "height: 10px\"></div>\n<script>b.style.width = s.textContent.length * 10 + "
         "'px';</script>\n",
         "显示会变，保持原样：check/picture.html：画面不同：第 1 个 div 的位置和大小从“8,"},
        {"a page whose script moves a line by a pixel for the spaces", "line.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span>\n<div id=\"l\" style=\"border-top: 1px "
         "solid\"></div>\n<script>l.style.marginTop = (s.textContent.length > 2 ? 1 : 0) + "
         "'px';</script>\n",
         "显示会变，保持原样：check/line.html：画面不同：第 1 个 html 的位置和大小从“0,0 "
         "1024×37”变成了“0,0 1024×36”"},
        {"a page whose script keeps the spaces of a hidden inline-block, which shifts a box",
         "inline.html",
         "<!DOCTYPE html>\n<span id=\"s\" style=\"display: inline-block; visibility: hidden\">\n"
         "    x</span><span style=\"background: red\">box</span>\n"
         "<script>s.style.whiteSpace = 'pre';</script>\n",
         "显示会变，保持原样：check/inline.html：画面不同：第 1 个 span 的位置和大小从“8,8 "},
        {"a page whose script colours a paragraph by the spaces", "colour.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span>\n<p id=\"p\">text</p>\n"
         "<script>p.style.color = s.textContent.length > 2 ? 'rgb(0, 0, 1)' : 'black';</script>\n",
         "显示会变，保持原样：check/colour.html：画面不同：第 1 个 p 的 style 属性从“color: rgb(0, "
         "0, 1);”变成了“color: black;”"},
        {"a page whose script draws the spaces on a canvas, which the look cannot tell",
         "canvas.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span>\n<canvas id=\"c\" width=\"100\" "
         "height=\"20\"></canvas>\n<script>c.getContext('2d').fillRect(0, 0, "
         "s.textContent.length * 10, 10);</script>\n",
         "显示会变，保持原样：check/canvas.html：画面不同：第 1 个 canvas "
         "画出来的不一样（文字、属性和布局都一样）"},
        {"a page whose script paints a new colour each time is not checked", "unsteady.html",
         "<!DOCTYPE html>\n<span id=\"s\">\n    x</span>\n<div id=\"b\" style=\"height: "
         "10px\"></div>\n<script>b.style.background = '#' + Math.floor(Math.random() * "
         "0x1000000).toString(16).padStart(6, '0');</script>\n",
         "无法检查，保持原样：check/unsteady.html：它每次显示都不一样（动画或脚本），无法比较"},
        {"a page whose script changes nothing the trim took looks the same, and is written",
         "scripted.html",
         "<!DOCTYPE html>\n<html>\n  <body>\n    <p>\n      text on\n      lines\n    </p>\n    "
         "<script>\n      document.body.dataset.ready = 'yes';\n    </script>\n  </body>\n"
         "</html>\n",
         ""},
        {"a page whose declared charset the trim brings near its start: read otherwise",
         "charset.html",
         "<!DOCTYPE html>\n<p>caf\xc3\xa9</p>\n" + QByteArray(1100, ' ') +
             "\n<meta charset=\"windows-1252\">\n",
         "显示会变，保持原样：check/charset.html：文字不同：第 2 行“café”变成了“cafÃ©”"},
        {"a page that animates is compared at its start, and written", "animated.html",
         "<!DOCTYPE html>\n<style>\n  @keyframes slide { to { margin-left: 500px } }\n  .moving { "
         "animation: slide 1s infinite }\n</style>\n<marquee>  moving text  </marquee>\n  <div "
         "class=\"moving\">  sliding  </div>\n",
         ""},
        {"a page with its style sheet and image from the disk, and one from the network",
         "linked.html",
         "<!DOCTYPE html>\n<link rel=\"stylesheet\" href=\"linked.css\">\n  <p>\n    styled\n  "
         "</p>\n  <img src=\"linked.svg\">\n  <img src=\"http://127.0.0.1:9/away.png\" alt=\"  "
         "away  \">\n",
         ""},
        {"a GB18030 page that declares its charset", "gb18030.html",
         "<!DOCTYPE html>\n<meta charset=\"gb18030\">\n  <p>\n    "
         "\xd6\xd0\xce\xc4\xb5\xc4\xd2\xb3\xc3\xe6\n  </p>\n",
         ""},
        {"a page whose script never ends is left after its time", "hang.html",
         "<!DOCTYPE html>\n  <p>hangs</p>\n<script>while (true) {}</script>\n",
         "无法检查，保持原样：check/hang.html：没有在 10 秒内显示完"},
    };
    return pages;
}

}  // namespace

void BrowserCheckPosixTest::looksAsChromiumShowsIt_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("line");
    for (const ChromiumPage &page : chromiumPages())
        QTest::newRow(page.row) << QString::fromUtf8(page.file) << QString::fromUtf8(page.line);
}

// Each page is what it was, or what the trim makes of it where Chromium showed both alike; the
// line of a page left says what differed. One run of Chromium holds every row's page.
void BrowserCheckPosixTest::looksAsChromiumShowsIt() {
    QFETCH(QString, page);
    QFETCH(QString, line);
    if (!QFileInfo(kChromium).isExecutable()) QSKIP("Debian's chromium is not installed");
    if (!chromium_) {
        chromium_ = std::make_unique<ChromiumRun>();
        Tree &tree = chromium_->tree;
        for (const ChromiumPage &each : chromiumPages())
            tree.add(qPrintable(QStringLiteral("check/") + QString::fromUtf8(each.file)),
                     each.content);
        tree.add("check/linked.css", "p { color: #036; font-size: 20px }\n");
        tree.add("check/linked.svg",
                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\" height=\"20\"><rect "
                 "width=\"20\" height=\"20\" fill=\"teal\"/></svg>\n");
        chromium_->before = snapshotOf(tree.root());
        chromium_->run = runCompress(
            tree.root(),
            {QStringLiteral("--verify"), QStringLiteral("--browser"), kChromium,
             QStringLiteral("--verify-timeout"), QStringLiteral("10"), QStringLiteral("check")},
            {}, chromium_->browser.setUp());
    }
    const ChromiumRun &run = *chromium_;
    const QString said = QString::fromUtf8(run.run.standardError);
    const QStringList lines = said.split(u'\n');
    const QString relative = QStringLiteral("check/") + page;
    const QByteArray before = run.before.value(relative).bytes;
    const QByteArray now = readFileBytes(run.tree.path(qPrintable(relative)));
    if (line.isEmpty()) {
        QVERIFY2(!said.contains(relative), qPrintable(said));
        QCOMPARE(now, referenceTrim(before));
        QVERIFY(now != before);
    } else {
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString &each) { return each.startsWith(line); }),
                 qPrintable(said));
        QCOMPARE(now, before);
        QCOMPARE(run.run.exitCode, 1);
    }
    QCOMPARE(processesWith(run.browser.temporary(), false), QList<pid_t>());
    run.browser.verifyCleanedUp();
}

void BrowserCheckPosixTest::catchesWhatATrimCouldGetWrong_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("compressed");
    QTest::addColumn<QString>("verdict");  // how it starts; empty: the two look the same
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    QTest::newRow("an indented page, where nothing runs a script: the same")
        << kIndented << referenceTrim(kIndented) << QString();
    QTest::newRow("a pre trimmed, where nothing runs a script: its text")
        << QByteArray("<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<pre>\n    kept\n</pre>\n")
        << QByteArray("<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<pre>\nkept\n</pre>\n")
        << s("文字不同：第 2 行“    kept”变成了“kept”");
    QTest::newRow("a pre in a noscript trimmed: its text, without scripts alone")
        << QByteArray(
               "<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<noscript><pre>\n    "
               "kept\n</pre></noscript>\n")
        << QByteArray(
               "<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<noscript><pre>\nkept\n"
               "</pre></noscript>\n")
        << s("文字不同：第 2 行“    kept”变成了“kept”（不运行脚本时）");
    QTest::newRow("a title over lines trimmed, where nothing runs a script: an attribute")
        << QByteArray("<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<p title=\"a\n    b\">x</p>\n")
        << QByteArray("<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<p title=\"a\nb\">x</p>\n")
        << s("属性不同：第 1 个 p 的 title 从“a↵    b”变成了“a↵b”");
    QTest::newRow("the kept spaces of a hidden inline-block trimmed: a box shifted")
        << QByteArray(
               "<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<span style=\"display: "
               "inline-block; visibility: hidden; white-space: pre\">\n    x</span><b>box</b>\n")
        << QByteArray(
               "<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<span style=\"display: "
               "inline-block; visibility: hidden; white-space: pre\">\nx</span><b>box</b>\n")
        << s("画面不同：第 1 个 span 的位置和大小从“8,8 ");
}

// The check itself, against what a faulty trim could write where a real one would not: each kind
// of difference is seen, in Debian's Chromium, whichever way the page is shown.
void BrowserCheckPosixTest::catchesWhatATrimCouldGetWrong() {
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, compressed);
    QFETCH(QString, verdict);
    if (!QFileInfo(kChromium).isExecutable()) QSKIP("Debian's chromium is not installed");
    Tree tree;
    tree.add("check/page.html", page);
    const BrowserRun browser;
    qputenv("TMPDIR", QFile::encodeName(browser.temporary()));
    VerifierSettings settings;
    settings.browser = kChromium;
    settings.seconds = 30;
    auto started = PageVerifier::start(settings);
    qunsetenv("TMPDIR");
    QVERIFY(std::holds_alternative<std::unique_ptr<PageVerifier>>(started));
    auto verifier = std::move(std::get<std::unique_ptr<PageVerifier>>(started));
    const RenderVerdict found = verifier->verify(tree.path("check/page.html"), page, compressed);
    verifier.reset();
    if (verdict.isEmpty()) {
        QVERIFY2(found.kind == RenderVerdict::Kind::Same,
                 qPrintable(renderDifferenceText(found.difference) +
                            renderFailureText(found.failure, 30)));
    } else {
        QVERIFY2(found.kind == RenderVerdict::Kind::Differs,
                 qPrintable(renderFailureText(found.failure, 30)));
        const QString said = renderDifferenceText(found.difference);
        QVERIFY2(said.startsWith(verdict), qPrintable(said));
    }
    QCOMPARE(processesWith(browser.temporary(), false), QList<pid_t>());
    browser.verifyCleanedUp();
}

namespace {

// What a row of stopsCleanly does to a run once its first page is written.
enum class Stop {
    CtrlC,      // SIGINT to zerediz-compress, as a terminal sends it
    KillOnce,   // SIGKILL to the browser
    KillTwice,  // SIGKILL to the browser, and again to the one started in its place
};

}  // namespace

void BrowserCheckPosixTest::stopsCleanly_data() {
    QTest::addColumn<bool>("chromium");  // else the stand-in, slowed down
    QTest::addColumn<int>("stop");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");  // what standard error holds
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    QTest::newRow("Ctrl+C, the stand-in")
        << false << int(Stop::CtrlC) << 130 << s("已中断（SIGINT）");
    QTest::newRow("Ctrl+C, Chromium") << true << int(Stop::CtrlC) << 130 << s("已中断（SIGINT）");
    QTest::newRow("Chromium killed once: started again, every page written")
        << true << int(Stop::KillOnce) << 0 << s("浏览器意外退出了，已重新启动");
    QTest::newRow("Chromium killed twice: the run stops")
        << true << int(Stop::KillTwice) << 1 << s("浏览器又一次意外退出，压缩停止了");
}

// A run of many pages, one tab at a time, stopped or with its browser killed once its first page
// is written: the status; every page old or new (all new where the run went on); the browser and
// every process it started gone, and its temporary folder with them.
void BrowserCheckPosixTest::stopsCleanly() {
    QFETCH(bool, chromium);
    QFETCH(int, stop);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    if (chromium && !QFileInfo(kChromium).isExecutable())
        QSKIP("Debian's chromium is not installed");
    Tree tree;
    // Enough pages that the run is still under way once the first of them is on the disk.
    const int pageCount = 30;
    for (int i = 0; i < pageCount; ++i)
        tree.add(qPrintable(QStringLiteral("many/p%1.html").arg(i, 3, 10, QChar(u'0'))), kIndented);
    const BrowserRun browser;
    const QString program = chromium ? kChromium : BrowserRun::standIn();
    const ProgramRun run =
        runCompress(tree.root(),
                    {QStringLiteral("--verify"), QStringLiteral("--browser"), program,
                     QStringLiteral("-j1"), QStringLiteral("many")},
                    {}, browser.setUp(QStringLiteral("slow")), [&](qint64 processId) {
                        QVERIFY(waitUntilCompressed(tree.path("many/p000.html"), kIndented));
                        if (Stop(stop) == Stop::CtrlC) {
                            ::kill(pid_t(processId), SIGINT);
                            return;
                        }
                        const pid_t first = waitForBrowser(browser.temporary(), 0);
                        QVERIFY(first > 0);
                        ::kill(first, SIGKILL);
                        if (Stop(stop) == Stop::KillTwice) {
                            const pid_t second = waitForBrowser(browser.temporary(), first);
                            QVERIFY(second > 0);
                            ::kill(second, SIGKILL);
                        }
                    });
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QString::fromUtf8(run.standardError).contains(said), run.standardError.constData());
    qsizetype written = 0;
    for (int i = 0; i < pageCount; ++i) {
        const QByteArray bytes = readFileBytes(
            tree.path(qPrintable(QStringLiteral("many/p%1.html").arg(i, 3, 10, QChar(u'0')))));
        QVERIFY(bytes == kIndented || bytes == referenceTrim(kIndented));
        written += bytes != kIndented;
    }
    if (exitCode == 0)
        QCOMPARE(written, pageCount);
    else
        QVERIFY2(written > 0 && written < pageCount, "the run was stopped while it went on");
    QCOMPARE(processesWith(browser.temporary(), false), QList<pid_t>());
    browser.verifyCleanedUp();
}

// Tabs whose renderers die while they show a page, as renderers that crash: that page is left and
// named, and the next one is checked in tabs of its own and written.
void BrowserCheckPosixTest::survivesACrashedTab() {
    if (!QFileInfo(kChromium).isExecutable()) QSKIP("Debian's chromium is not installed");
    Tree tree;
    const QByteArray spins = "<!DOCTYPE html>\n  <p>spins</p>\n<script>while (true) {}</script>\n";
    tree.add("check/a.html", spins);
    tree.add("check/b.html", kIndented);
    const BrowserRun browser;
    const ProgramRun run = runCompress(
        tree.root(),
        {QStringLiteral("--verify"), QStringLiteral("--browser"), kChromium, QStringLiteral("-j1"),
         QStringLiteral("--verify-timeout"), QStringLiteral("60"), QStringLiteral("check")},
        {}, browser.setUp(), [&](qint64) {
            // The page spins in both of its tabs, as it is and as it would be written.
            const QList<pid_t> renderers = waitForSpinningRenderers(browser.temporary(), 2);
            QCOMPARE(renderers.size(), 2);
            for (const pid_t renderer : renderers) ::kill(renderer, SIGKILL);
        });
    QVERIFY2(run.standardError.startsWith(
                 "无法检查，保持原样：check/a.html：浏览器显示它的标签页崩溃了\n"),
             run.standardError.constData());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(readFileBytes(tree.path("check/a.html")), spins);
    QCOMPARE(readFileBytes(tree.path("check/b.html")), referenceTrim(kIndented));
    QCOMPARE(processesWith(browser.temporary(), false), QList<pid_t>());
    browser.verifyCleanedUp();
}

void BrowserCheckPosixTest::refusesWhatIsNoBrowser_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("line");
    QTest::newRow("a program that is no browser")
        << QStringLiteral("/bin/sh")
        << QStringLiteral(
               "zerediz-compress：浏览器“/bin/sh”启动后没有应答就退出了（退出状态 2）；"
               "它应当是 Chromium、Google Chrome 或 Microsoft Edge。");
    QTest::newRow("a folder") << QStringLiteral("/usr/bin")
                              << QStringLiteral(
                                     "zerediz-compress：浏览器“/usr/bin”不存在，或者不是"
                                     "可以运行的程序。");
}

// A program named with --browser that is not one: one line says so, status 2, nothing written.
void BrowserCheckPosixTest::refusesWhatIsNoBrowser() {
    QFETCH(QString, program);
    QFETCH(QString, line);
    Tree tree;
    tree.add("check/a.html", kIndented);
    const BrowserRun browser;
    const Snapshot before = snapshotOf(tree.root());
    const ProgramRun run = runCompress(
        tree.root(),
        {QStringLiteral("--verify"), QStringLiteral("--browser"), program, QStringLiteral("check")},
        {}, browser.setUp());
    QVERIFY2(QString::fromUtf8(run.standardError).startsWith(line), run.standardError.constData());
    QCOMPARE(run.standardError.count('\n'), 1);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(snapshotOf(tree.root()), before);
    browser.verifyCleanedUp();
}

// With no browser where the platform keeps one, and none named: one line that says where it was
// looked for, status 2, nothing written. The folders are hidden from the program by empty ones
// mounted over them in a mount namespace of its own, which needs root.
void BrowserCheckPosixTest::findsNoBrowser() {
    if (::geteuid() != 0) QSKIP("hiding the folders browsers are installed in needs root");
    Tree tree;
    tree.add("check/a.html", kIndented);
    const BrowserRun browser;
    const Snapshot before = snapshotOf(tree.root());
    const QString emptyPath = browser.temporary();
    // An emulator lies in /usr/bin too: it stays there, alone, held open before the folder is
    // hidden and put back over an empty file of the same name.
    const QByteArray emulator = QFile::encodeName(compressProgram().emulator);
    const ProgramRun run = runCompress(
        tree.root(), {QStringLiteral("--verify"), QStringLiteral("check")}, {},
        [&](QProcess &process) {
            QProcessEnvironment environment = process.processEnvironment();
            environment.insert(QStringLiteral("PATH"), emptyPath);
            process.setProcessEnvironment(environment);
            process.setChildProcessModifier([emulator] {
                if (::unshare(CLONE_NEWNS) != 0 ||
                    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
                    ::_exit(125);
                const int held =
                    emulator.isEmpty() ? -1 : ::open(emulator.constData(), O_PATH | O_CLOEXEC);
                if (!emulator.isEmpty() && held < 0) ::_exit(126);
                for (const char *folder : {"/usr/bin", "/usr/local/bin", "/snap/bin",
                                           "/opt/google/chrome", "/opt/microsoft/msedge"})
                    if (::access(folder, F_OK) == 0 &&
                        ::mount("none", folder, "tmpfs", 0, "size=16k") != 0)
                        ::_exit(125);
                if (held < 0 || ::access(emulator.constData(), F_OK) == 0) return;
                char source[32];
                std::snprintf(source, sizeof source, "/proc/self/fd/%d", held);
                const int target = ::open(emulator.constData(), O_CREAT | O_WRONLY, 0755);
                if (target < 0 || ::close(target) != 0 ||
                    ::mount(source, emulator.constData(), nullptr, MS_BIND, nullptr) != 0)
                    ::_exit(126);
            });
        });
    if (run.exitCode == 125) QSKIP("no mount namespace here");
    QCOMPARE(
        QString::fromUtf8(run.standardError),
        QStringLiteral("zerediz-compress：找不到浏览器（找过 PATH 和 /usr/bin、/usr/local/bin、"
                       "/snap/bin、/opt/google/chrome、/opt/microsoft/msedge 里的 chromium、"
                       "chromium-browser、google-chrome、google-chrome-stable、microsoft-edge、"
                       "microsoft-edge-stable）；请安装 Chromium、Google Chrome 或 Microsoft "
                       "Edge，或者用 --browser 指定。（用法见 zerediz-compress --help）\n"));
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(snapshotOf(tree.root()), before);
}

// A temporary folder too long for the socket Chromium makes in it: the browser's folder goes to
// /tmp instead, the run checks its page, and nothing of it is left there.
void BrowserCheckPosixTest::startsFromALongTemporaryFolder() {
    if (!QFileInfo(kChromium).isExecutable()) QSKIP("Debian's chromium is not installed");
    const auto ours = [] {
        return QDir(QStringLiteral("/tmp"))
            .entryList({QStringLiteral("zerediz-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    };
    const QStringList before = ours();
    Tree tree;
    tree.add("check/a.html", kIndented);
    const BrowserRun browser;
    const QString longFolder = browser.temporary() + u'/' + QString(60, u't');
    QVERIFY(QDir().mkpath(longFolder));
    const auto setUp = browser.setUp();
    const ProgramRun run = runCompress(tree.root(),
                                       {QStringLiteral("--verify"), QStringLiteral("--browser"),
                                        kChromium, QStringLiteral("check")},
                                       {}, [&](QProcess &process) {
                                           setUp(process);
                                           QProcessEnvironment environment =
                                               process.processEnvironment();
                                           environment.insert(QStringLiteral("TMPDIR"), longFolder);
                                           process.setProcessEnvironment(environment);
                                       });
    QVERIFY2(run.exitCode == 0, run.standardError.constData());
    QCOMPARE(readFileBytes(tree.path("check/a.html")), referenceTrim(kIndented));
    for (const QString &left : ours()) QVERIFY2(before.contains(left), qPrintable(left));
    QCOMPARE(QDir(longFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void BrowserCheckPosixTest::showsTheTimeLeft_data() {
    QTest::addColumn<bool>("verify");  // with the stand-in, slowed down; else each page's disk
    QTest::newRow("with the browser") << true;
    QTest::newRow("without the browser, on a slow disk") << false;
}

// A run long enough to tell its pace, at a terminal: the progress line says how many pages a second
// and how long the rest takes, in Chinese, and goes at the end, leaving the summary alone.
void BrowserCheckPosixTest::showsTheTimeLeft() {
    QFETCH(bool, verify);
    if (!compressProgram().emulator.isEmpty()) QSKIP("the program runs under an emulator");
    constexpr int pages = 16;
    Tree tree;
    for (int i = 0; i < pages; ++i)
        tree.add(qPrintable(QStringLiteral("many/p%1.html").arg(i, 2, 10, QChar(u'0'))), kIndented);
    const BrowserRun browser;
    QStringList arguments{QStringLiteral("-j1"), QStringLiteral("many")};
    QString program = compressProgram().path;
    if (verify) {
        arguments.prepend(BrowserRun::standIn());
        arguments.prepend(QStringLiteral("--browser"));
        arguments.prepend(QStringLiteral("--verify"));
    } else {
        // Each page is read a third of a second late, as strace holds back its opening, one after
        // the other with -j1.
        QStringList traced{QStringLiteral("-f"), QStringLiteral("-qq"),
                           QStringLiteral("-o"), QStringLiteral("/dev/null"),
                           QStringLiteral("-e"), QStringLiteral("trace=openat"),
                           QStringLiteral("-e"), QStringLiteral("inject=openat:delay_exit=300000")};
        for (int i = 0; i < pages; ++i)
            traced << QStringLiteral("-P")
                   << QStringLiteral("many/p%1.html").arg(i, 2, 10, QChar(u'0'));
        arguments = traced + QStringList{program} + arguments;
        program = QStringLiteral("strace");
    }
    PseudoTerminal terminal(100);
    QProcess process;
    process.setWorkingDirectory(tree.root());
    const auto setUp = browser.setUp(QStringLiteral("slow"));
    setUp(process);
    if (!verify) {
        // LeakSanitizer, where the program has it, cannot look for leaks under strace.
        QProcessEnvironment environment = process.processEnvironment();
        environment.insert(
            QStringLiteral("ASAN_OPTIONS"),
            environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        process.setProcessEnvironment(environment);
    }
    process.setChildProcessModifier([&] { terminal.becomeStandardError(); });
    process.start(program, arguments);
    QVERIFY(process.waitForStarted());
    terminal.closeTerminalSide();
    const bool told = terminal.readUntil("剩余约");
    terminal.readToEnd();
    process.waitForFinished(-1);
    const QString written = QString::fromUtf8(terminal.written());
    QVERIFY2(told, qPrintable(written));
    const QRegularExpression line(
        QStringLiteral("\\[[#-]+\\] \\d+/%1 个文件，每秒 [\\d.]+ 个，剩余约 \\d+ (秒|分钟)")
            .arg(pages));
    QVERIFY2(written.contains(line), qPrintable(written));
    // What strace itself says of the paths it watches comes first, and stays.
    QStringList screen = terminal.screenOf(terminal.written());
    screen.removeIf([](const QString &each) { return !each.contains(QStringLiteral("个文件")); });
    QVERIFY2(screen.size() == 1, qPrintable(screen.join(u'\n')));
    QVERIFY2(screen.first().startsWith(QStringLiteral("%1 个文件：%1 个已改写；").arg(pages)),
             qPrintable(screen.first()));
    QCOMPARE(process.exitCode(), 0);
    browser.verifyCleanedUp();
}

QTEST_GUILESS_MAIN(BrowserCheckPosixTest)
#include "browser_check_posix_test.moc"
