#include <QTest>

#include "browser_check.h"
#include "compress_program.h"
#include "compress_tree.h"

// zerediz-compress --verify on every system, against a stand-in browser that looks at pages in a
// way of its own and fails on request: what is written and what is left, the report's lines, each
// kind of difference, the shortcuts (a page where nothing runs a script shown once, its compressed
// form put in place in it), the time limit, tabs that crash, a browser that ends once or twice,
// one that never starts, and that no browser and no temporary folder outlives a run. Real pages in
// a real browser are in browser_check_posix_test.cpp.
namespace {

// A page the trim changes, whose look the stand-in sees as the same; and one it does not change.
const QByteArray kSame = "  <p>same</p>  \r\n";
const QByteArray kPlain = "<p>plain</p>\r\n";
// A page the trim changes in which a script runs.
const QByteArray kScripted = "  <p>same</p>  \r\n<script></script>\r\n";

// A page the trim changes, with one of the stand-in's words in it, and a script where asked.
QByteArray asking(const char *word, bool script = false) {
    return "  <p>stand-in:" + QByteArray(word) + "</p>  \r\n" +
           (script ? "<script></script>\r\n" : "");
}

}  // namespace

class BrowserCheckTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesWhatLooksTheSame_data();
    void writesWhatLooksTheSame();
    void refusesWithoutABrowser_data();
    void refusesWithoutABrowser();
};

void BrowserCheckTest::writesWhatLooksTheSame_data() {
    QTest::addColumn<QStringList>("pages");  // each "NAME" of check/, its content in contents
    QTest::addColumn<QByteArrayList>("contents");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("words");  // for the whole run, ZEREDIZ_STAND_IN
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("standardOutput");
    QTest::addColumn<QStringList>("compressed");
    QTest::addColumn<QString>("standardError");  // every line; the summary up to its sizes
    // The pages the browser was shown ("NAME on", "NAME off") or put in place ("NAME become").
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("starts");
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QStringList verify{s("--verify"), s("--browser"), BrowserRun::standIn()};
    const QStringList oneTab = verify + QStringList{s("-j1")};
    const QStringList inPlace = oneTab + QStringList{s("check")};
    // How a page is shown: where nothing runs a script, once, and its compressed form put in
    // place; else beside its compressed form, then without scripts, the compressed form put in
    // place. Where they differ, both are shown side by side, and again.
    const auto once = [](const QString &page) {
        return QStringList{page + QStringLiteral(" on"), page + QStringLiteral(" become")};
    };
    const auto sideBySide = [](const QString &page) {
        return QStringList{page + QStringLiteral(" on"), page + QStringLiteral(" on")};
    };
    const auto scripted = [&](const QString &page) {
        return sideBySide(page) +
               QStringList{page + QStringLiteral(" off"), page + QStringLiteral(" become")};
    };
    const auto differing = [&](const QString &page) {
        return once(page) + sideBySide(page) + sideBySide(page);
    };
    const QStringList sameWritten{s("check/same.html<check/same.html")};
    const auto left = [](const char *page, const char *why) {
        return QStringLiteral(
                   "显示会变，保持原样：check/%1：%2\n1 个文件：0 个已改写，1 个显示会变；")
            .arg(QString::fromUtf8(page), QString::fromUtf8(why));
    };
    const auto leftFor = [&](const char *page, const char *word, const char *why,
                             QStringList shown) {
        QTest::addRow("%s", qPrintable(QStringLiteral("%1: left and named").arg(s(word))))
            << QStringList{s(page)} << QByteArrayList{asking(word)} << inPlace << QString()
            << QByteArray() << 1 << QByteArray() << QStringList() << left(page, why) << shown << 1;
    };

    QTest::newRow("a page that looks the same is written, one that does not change is not shown")
        << QStringList{s("plain.html"), s("same.html")} << QByteArrayList{kPlain, kSame} << inPlace
        << QString() << QByteArray() << 0 << QByteArray() << sameWritten
        << s("2 个文件：1 个已改写，1 个无需改写；") << once(s("same.html")) << 1;
    QTest::newRow("a page with a script: beside its compressed form, then without scripts")
        << QStringList{s("same.html")} << QByteArrayList{kScripted} << inPlace << QString()
        << QByteArray() << 0 << QByteArray() << sameWritten << s("1 个文件：1 个已改写；")
        << scripted(s("same.html")) << 1;
    QTest::newRow("a page whose compressed form does not read alike is shown beside it")
        << QStringList{s("same.html")} << QByteArrayList{asking("cannot-become")} << inPlace
        << QString() << QByteArray() << 0 << QByteArray() << sameWritten
        << s("1 个文件：1 个已改写；") << sideBySide(s("same.html")) << 1;
    QTest::newRow("a page whose text differs is left and named")
        << QStringList{s("same.html"), s("text.html")}
        << QByteArrayList{kSame, asking("text-differs")} << inPlace << QString() << QByteArray()
        << 1 << QByteArray() << sameWritten
        << s("显示会变，保持原样：check/text.html：文字不同：第 1 行“  "
             "<p>stand-in:text-differs</p>  ␍”变成了“<p>stand-in:text-differs</p>␍”\n"
             "2 个文件：1 个已改写，1 个显示会变；")
        << once(s("same.html")) + differing(s("text.html")) << 1;
    QTest::newRow("a page with a script whose text differs is left and named")
        << QStringList{s("text.html")} << QByteArrayList{asking("text-differs", true)} << inPlace
        << QString() << QByteArray() << 1 << QByteArray() << QStringList()
        << s("显示会变，保持原样：check/text.html：文字不同：第 1 行“  "
             "<p>stand-in:text-differs</p>  ␍”变成了“<p>stand-in:text-differs</p>␍”\n"
             "1 个文件：0 个已改写，1 个显示会变；")
        << sideBySide(s("text.html")) + sideBySide(s("text.html")) << 1;
    for (const char *name : {"title", "alt", "placeholder", "value"}) {
        const QString word = QStringLiteral("%1-differs").arg(QLatin1String(name));
        const QString element = qstrcmp(name, "title") == 0 || qstrcmp(name, "alt") == 0
                                    ? QStringLiteral("img")
                                    : QStringLiteral("input");
        QTest::addRow("a page whose %s differs is left and named", name)
            << QStringList{s("attribute.html")} << QByteArrayList{asking(qPrintable(word))}
            << inPlace << QString() << QByteArray() << 1 << QByteArray() << QStringList()
            << QStringLiteral(
                   "显示会变，保持原样：check/attribute.html：属性不同：第 1 个 %1 的 %2 "
                   "从“  <p>stand-in:%3</p>  ␍↵”变成了“<p>stand-in:%3</p>␍↵”\n"
                   "1 个文件：0 个已改写，1 个显示会变；")
                   .arg(element, QLatin1String(name), word)
            << differing(s("attribute.html")) << 1;
    }
    leftFor("line.html", "line-moves",
            "画面不同：第 1 个 hr 的位置和大小从“8,34 1008×1”变成了“8,30 1008×1”",
            differing(s("line.html")));
    leftFor("box.html", "box-shifts",
            "画面不同：第 1 个 span 的位置和大小从“24,40 20×18”变成了“8,40 20×18”",
            differing(s("box.html")));
    leftFor("colour.html", "colour-differs",
            "画面不同：第 1 个 p 的 style 属性从“color: #4”变成了“color: #0”",
            differing(s("colour.html")));
    QTest::newRow("a difference of the look that no picture shows: written")
        << QStringList{s("unseen.html")} << QByteArrayList{asking("unseen-moves")} << inPlace
        << QString() << QByteArray() << 0 << QByteArray()
        << QStringList{s("check/unseen.html<check/unseen.html")} << s("1 个文件：1 个已改写；")
        << once(s("unseen.html")) + sideBySide(s("unseen.html")) << 1;
    leftFor("canvas.html", "canvas-differs",
            "画面不同：第 1 个 canvas 画出来的不一样（文字、属性和布局都一样）",
            differing(s("canvas.html")));
    leftFor("picture.html", "picture-differs", "画面不同（整页 1024×768 像素，文字和属性都一样）",
            differing(s("picture.html")));
    QTest::newRow("a page with a script whose text differs with scripts off alone is left")
        << QStringList{s("noscript.html")} << QByteArrayList{asking("scripts-off-differs", true)}
        << inPlace << QString() << QByteArray() << 1 << QByteArray() << QStringList()
        << s("显示会变，保持原样：check/noscript.html：文字不同：第 1 行“  "
             "<p>stand-in:scripts-off-differs</p>  "
             "␍”变成了“<p>stand-in:scripts-off-differs</p>␍”（不运行脚本时）\n"
             "1 个文件：0 个已改写，1 个显示会变；")
        << scripted(s("noscript.html")) + QStringList{s("noscript.html off")} << 1;
    QTest::newRow("where nothing runs a script, nothing is shown without scripts")
        << QStringList{s("noscript.html")} << QByteArrayList{asking("scripts-off-differs")}
        << inPlace << QString() << QByteArray() << 0 << QByteArray()
        << QStringList{s("check/noscript.html<check/noscript.html")} << s("1 个文件：1 个已改写；")
        << once(s("noscript.html")) << 1;
    QTest::newRow("a page that looks different each time it is shown is not checked")
        << QStringList{s("unsteady.html")} << QByteArrayList{asking("unsteady")} << inPlace
        << QString() << QByteArray() << 1 << QByteArray() << QStringList()
        << s("无法检查，保持原样：check/unsteady.html：它每次显示都不一样（动画或脚本），无法比较\n"
             "1 个文件：0 个已改写，1 个无法检查；") +
               // A page left as it is saves nothing.
               QStringLiteral("%1 字节 → %1 字节，节省 0.0%。").arg(asking("unsteady").size())
        << differing(s("unsteady.html")) << 1;
    QTest::newRow("a page that hangs is left after its time, and the run goes on")
        << QStringList{s("hang.html"), s("same.html")} << QByteArrayList{asking("hang"), kSame}
        << oneTab + QStringList{s("--verify-timeout"), s("3"), s("check")} << QString()
        << QByteArray() << 1 << QByteArray() << sameWritten
        << s("无法检查，保持原样：check/hang.html：没有在 3 秒内显示完\n"
             "2 个文件：1 个已改写，1 个无法检查；")
        << QStringList{s("hang.html on")} + once(s("same.html")) << 1;
    QTest::newRow("a page that crashes its tab is left, and the run goes on")
        << QStringList{s("crash.html"), s("same.html")} << QByteArrayList{asking("crash"), kSame}
        << inPlace << QString() << QByteArray() << 1 << QByteArray() << sameWritten
        << s("无法检查，保持原样：check/crash.html：浏览器显示它的标签页崩溃了\n"
             "2 个文件：1 个已改写，1 个无法检查；")
        << QStringList{s("crash.html on")} + once(s("same.html")) << 1;
    QTest::newRow("the browser ends once: started again, the page shown again, all written")
        << QStringList{s("dies.html"), s("same.html")}
        << QByteArrayList{asking("dies-in-start-1"), kSame} << inPlace << QString() << QByteArray()
        << 0 << QByteArray()
        << QStringList{s("check/dies.html<check/dies.html"), s("check/same.html<check/same.html")}
        << s("浏览器意外退出了，已重新启动，正在检查的网页重新检查（只会重新启动这一次）\n"
             "2 个文件：2 个已改写；")
        << QStringList{s("dies.html on")} + once(s("dies.html")) + once(s("same.html")) << 2;
    QTest::newRow("the browser ends twice: the run stops, what was written stays written")
        << QStringList{s("a.html"), s("dies.html"), s("z.html")}
        << QByteArrayList{kSame, asking("dies-in-start-2"), kSame} << inPlace << QString()
        << QByteArray() << 1 << QByteArray() << QStringList{s("check/a.html<check/a.html")}
        << s("浏览器意外退出了，已重新启动，正在检查的网页重新检查（只会重新启动这一次）\n"
             "无法检查，保持原样：check/dies.html：浏览器意外退出了\n"
             "浏览器又一次意外退出，压缩停止了，还有 1 个文件没有处理。2 个文件：1 个已改写，1 "
             "个无法检查；")
        << once(s("a.html")) + QStringList{s("dies.html on"), s("dies.html on")} << 2;
    QTest::newRow("four pages at once, the report in the order of the pages")
        << QStringList{s("a.html"), s("crash.html"), s("hang.html"), s("text.html"), s("z.html")}
        << QByteArrayList{kSame, asking("crash"), asking("hang"), asking("text-differs"), kSame}
        << verify + QStringList{s("-j4"), s("--verify-timeout"), s("3"), s("check")} << QString()
        << QByteArray() << 1 << QByteArray()
        << QStringList{s("check/a.html<check/a.html"), s("check/z.html<check/z.html")}
        << s("无法检查，保持原样：check/crash.html：浏览器显示它的标签页崩溃了\n"
             "无法检查，保持原样：check/hang.html：没有在 3 秒内显示完\n"
             "显示会变，保持原样：check/text.html：文字不同：第 1 行“  "
             "<p>stand-in:text-differs</p>  ␍”变成了“<p>stand-in:text-differs</p>␍”\n"
             "5 个文件：2 个已改写，1 个显示会变，2 个无法检查；")
        << QStringList() << 1;
    QTest::newRow("--check lists only what looks the same")
        << QStringList{s("same.html"), s("text.html")}
        << QByteArrayList{kSame, asking("text-differs")}
        << oneTab + QStringList{s("--check"), s("check")} << QString() << QByteArray() << 1
        << QByteArray("check/same.html\n") << QStringList()
        << s("显示会变，保持原样：check/text.html：文字不同：第 1 行“  "
             "<p>stand-in:text-differs</p>  ␍”变成了“<p>stand-in:text-differs</p>␍”\n"
             "2 个文件：1 个需要压缩，1 个显示会变；")
        << QStringList() << 1;
    QTest::newRow("--output-dir mirrors what looks different as it is")
        << QStringList{s("plain.html"), s("same.html"), s("text.html")}
        << QByteArrayList{kPlain, kSame, asking("text-differs")}
        << oneTab + QStringList{s("--output-dir"), s("out"), s("check")} << QString()
        << QByteArray() << 1 << QByteArray()
        << QStringList{s("out/plain.html<check/plain.html"), s("out/same.html<check/same.html"),
                       s("out/text.html=check/text.html")}
        << s("显示会变，保持原样：check/text.html：文字不同：第 1 行“  "
             "<p>stand-in:text-differs</p>  ␍”变成了“<p>stand-in:text-differs</p>␍”\n"
             "3 个文件：2 个已写入，1 个显示会变（已按原样写入）；")
        << QStringList() << 1;
    QTest::newRow("answers that come a few bytes at a time")
        << QStringList{s("same.html")} << QByteArrayList{kScripted} << inPlace << s("pieces")
        << QByteArray() << 0 << QByteArray() << sameWritten << s("1 个文件：1 个已改写；")
        << scripted(s("same.html")) << 1;
    QTest::newRow("standard input, shown as a page of the current folder")
        << QStringList() << QByteArrayList() << oneTab + QStringList{s("-")} << QString()
        << QByteArray("  <p>x</p>  \n") << 0 << QByteArray("<p>x</p>\n") << QStringList()
        << s("1 个文件：1 个已写入；") << once(s("-")) << 1;
}

// Every page that looks the same is written as without --verify; every other page stays exactly as
// it was; the browser is started once, or again once where it ended, and is gone afterwards with
// its temporary folder.
void BrowserCheckTest::writesWhatLooksTheSame() {
    QFETCH(QStringList, pages);
    QFETCH(QByteArrayList, contents);
    QFETCH(QStringList, arguments);
    QFETCH(QString, words);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, standardOutput);
    QFETCH(QStringList, compressed);
    QFETCH(QString, standardError);
    QFETCH(QStringList, shown);
    QFETCH(int, starts);
    Tree tree;
    for (qsizetype i = 0; i < pages.size(); ++i)
        tree.add(qPrintable(QStringLiteral("check/") + pages[i]), contents[i]);
    const BrowserRun browser;
    const Snapshot before = snapshotOf(tree.root());
    const ProgramRun run = runCompress(tree.root(), arguments, input, browser.setUp(words));
    const QString said = QString::fromUtf8(run.standardError);
    QVERIFY2(said.startsWith(standardError) && said.endsWith(u'\n') &&
                 said.count(u'\n') == standardError.count(u'\n') + 1,
             qPrintable(said));
    QCOMPARE(run.standardOutput, standardOutput);
    QCOMPARE(run.exitCode, exitCode);
    verifyTree(tree, before, compressed, input);
    // Pages wait for a tab in no order of their own; pages shown at once are not listed.
    if (!shown.isEmpty()) {
        QStringList seen = browser.shown();
        seen.sort();
        shown.sort();
        QCOMPARE(seen, shown);
    }
    QCOMPARE(browser.starts(), starts);
    browser.verifyCleanedUp();
}

void BrowserCheckTest::refusesWithoutABrowser_data() {
    QTest::addColumn<QStringList>("arguments");  // BROWSER: the stand-in
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("reason");  // what standard error's one line holds
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    QTest::newRow("a browser that ends at once")
        << QStringList{s("--verify"), s("--browser"), s("BROWSER"), s("check")} << s("refuse")
        << s("”启动后没有应答就退出了（退出状态 1）；它应当是 Chromium、Google Chrome 或 "
             "Microsoft Edge。");
    QTest::newRow("a browser that never answers")
        << QStringList{s("--verify"),  s("--verify-timeout"), s("2"),
                       s("--browser"), s("BROWSER"),          s("check")}
        << s("silent") << s("”在 2 秒内没有通过 DevTools 协议应答；");
    QTest::newRow("a browser named that is not there")
        << QStringList{s("--verify"), s("--browser"), s("no/such/browser"), s("check")} << QString()
        << s("浏览器“no/such/browser”不存在，或者不是可以运行的程序。");
    QTest::newRow("a browser named that is a page, no program")
        << QStringList{s("--verify"), s("--browser"), s("check/same.html"), s("check")} << QString()
        << s("浏览器“check/same.html”不存在，或者不是可以运行的程序。");
    QTest::newRow("--browser without --verify")
        << QStringList{s("--browser"), s("BROWSER"), s("check")} << QString()
        << s("--browser 和 --verify-timeout 只能和 --verify 一起用。");
    QTest::newRow("--verify-timeout of no seconds")
        << QStringList{s("--verify"), s("--verify-timeout"), s("0"), s("check")} << QString()
        << s("--verify-timeout 要一个正整数（秒），却给了“0”。");
}

// Without a browser to show pages in, nothing is written: one line says why, the status is 2, and
// nothing the browser may have started is left.
void BrowserCheckTest::refusesWithoutABrowser() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, words);
    QFETCH(QString, reason);
    Tree tree;
    tree.add("check/same.html", kSame);
    const BrowserRun browser;
    arguments.replaceInStrings(QStringLiteral("BROWSER"), BrowserRun::standIn());
    const Snapshot before = snapshotOf(tree.root());
    const ProgramRun run = runCompress(tree.root(), arguments, {}, browser.setUp(words));
    const QString said = QString::fromUtf8(run.standardError);
    QVERIFY2(said.startsWith(QStringLiteral("zerediz-compress：")) && said.contains(reason) &&
                 said.count(u'\n') == 1,
             qPrintable(said));
    QCOMPARE(run.standardOutput, QByteArray());
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(snapshotOf(tree.root()), before);
    browser.verifyCleanedUp();
}

QTEST_GUILESS_MAIN(BrowserCheckTest)
#include "browser_check_test.moc"
