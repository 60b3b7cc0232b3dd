#include <QTest>

#include "browser_check.h"
#include "compress_program.h"
#include "compress_tree.h"

// zerediz-compress --verify on every system, against a stand-in browser that looks at pages in a
// way of its own and fails on request: what is written and what is left, the report's lines, the
// time limit, tabs that crash, a browser that ends once or twice, one that never starts, and that
// no browser and no temporary folder outlives a run. Real pages in a real browser are in
// browser_check_posix_test.cpp.
namespace {

// A page the trim changes, whose look the stand-in sees as the same; and one it does not change.
const QByteArray kSame = "  <p>same</p>  \r\n";
const QByteArray kPlain = "<p>plain</p>\r\n";

// A page the trim changes, with one of the stand-in's words in it.
QByteArray asking(const char *word) {
    return "  <p>stand-in:" + QByteArray(word) + "</p>  \r\n";
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
    QTest::addColumn<QStringList>("shown");      // the pages the browser was shown
    QTest::addColumn<int>("starts");
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QStringList verify{s("--verify"), s("--browser"), BrowserRun::standIn()};
    const QStringList oneTab = verify + QStringList{s("-j1")};
    const QStringList inPlace = oneTab + QStringList{s("check")};
    const QStringList allFour{s("same.html on"), s("same.html on"), s("same.html off"),
                              s("same.html off")};
    const auto fourOf = [](const QString &page) {
        return QStringList{page + QStringLiteral(" on"), page + QStringLiteral(" on"),
                           page + QStringLiteral(" off"), page + QStringLiteral(" off")};
    };
    const QStringList sameWritten{s("check/same.html<check/same.html")};

    QTest::newRow("a page that looks the same is written, one that does not change is not shown")
        << QStringList{s("plain.html"), s("same.html")} << QByteArrayList{kPlain, kSame} << inPlace
        << QString() << QByteArray() << 0 << QByteArray() << sameWritten
        << s("2 个文件：1 个已改写，1 个无需改写；") << allFour << 1;
    QTest::newRow("a page whose text differs is left and named")
        << QStringList{s("same.html"), s("text.html")}
        << QByteArrayList{kSame, asking("text-differs")} << inPlace << QString() << QByteArray()
        << 1 << QByteArray() << sameWritten
        << s("显示会变，保持原样：check/text.html：文字不同：第 1 行“  "
             "<p>stand-in:text-differs</p>  ␍”变成了“<p>stand-in:text-differs</p>␍”\n"
             "2 个文件：1 个已改写，1 个显示会变；")
        << allFour + QStringList{s("text.html on"), s("text.html on"), s("text.html on"),
                                 s("text.html on")}
        << 1;
    QTest::newRow("a page whose attribute differs is left and named")
        << QStringList{s("attribute.html")} << QByteArrayList{asking("attribute-differs")}
        << inPlace << QString() << QByteArray() << 1 << QByteArray() << QStringList()
        << s("显示会变，保持原样：check/attribute.html：属性不同：第 1 个 img 的 alt 从“  "
             "<p>stand-in:attribute-differs</p>  ␍↵”变成了“<p>stand-in:attribute-differs</p>␍↵”\n"
             "1 个文件：0 个已改写，1 个显示会变；")
        << QStringList(4, s("attribute.html on")) << 1;
    QTest::newRow("a page whose picture alone differs is left and named")
        << QStringList{s("picture.html")} << QByteArrayList{asking("picture-differs")} << inPlace
        << QString() << QByteArray() << 1 << QByteArray() << QStringList()
        << s("显示会变，保持原样：check/picture.html：画面不同（整页 1024×768 "
             "像素，文字和属性都一样）\n"
             "1 个文件：0 个已改写，1 个显示会变；")
        << QStringList(4, s("picture.html on")) << 1;
    QTest::newRow("a page whose text differs with scripts off alone is left and named")
        << QStringList{s("noscript.html")} << QByteArrayList{asking("scripts-off-differs")}
        << inPlace << QString() << QByteArray() << 1 << QByteArray() << QStringList()
        << s("显示会变，保持原样：check/noscript.html：文字不同：第 1 行“  "
             "<p>stand-in:scripts-off-differs</p>  "
             "␍”变成了“<p>stand-in:scripts-off-differs</p>␍”（不运行脚本时）\n"
             "1 个文件：0 个已改写，1 个显示会变；")
        << fourOf(s("noscript.html")) << 1;
    QTest::newRow("a page that looks different each time it is shown is not checked")
        << QStringList{s("unsteady.html")} << QByteArrayList{asking("unsteady")} << inPlace
        << QString() << QByteArray() << 1 << QByteArray() << QStringList()
        << s("无法检查，保持原样：check/unsteady.html：它每次显示都不一样（动画或脚本），无法比较\n"
             "1 个文件：0 个已改写，1 个无法检查；")
        << QStringList(4, s("unsteady.html on")) << 1;
    QTest::newRow("a page that hangs is left after its time, and the run goes on")
        << QStringList{s("hang.html"), s("same.html")} << QByteArrayList{asking("hang"), kSame}
        << oneTab + QStringList{s("--verify-timeout"), s("3"), s("check")} << QString()
        << QByteArray() << 1 << QByteArray() << sameWritten
        << s("无法检查，保持原样：check/hang.html：没有在 3 秒内显示完\n"
             "2 个文件：1 个已改写，1 个无法检查；")
        << QStringList{s("hang.html on")} + allFour << 1;
    QTest::newRow("a page that crashes its tab is left, and the run goes on")
        << QStringList{s("crash.html"), s("same.html")} << QByteArrayList{asking("crash"), kSame}
        << inPlace << QString() << QByteArray() << 1 << QByteArray() << sameWritten
        << s("无法检查，保持原样：check/crash.html：浏览器显示它的标签页崩溃了\n"
             "2 个文件：1 个已改写，1 个无法检查；")
        << QStringList{s("crash.html on")} + allFour << 1;
    QTest::newRow("the browser ends once: started again, the page shown again, all written")
        << QStringList{s("dies.html"), s("same.html")}
        << QByteArrayList{asking("dies-in-start-1"), kSame} << inPlace << QString() << QByteArray()
        << 0 << QByteArray()
        << QStringList{s("check/dies.html<check/dies.html"), s("check/same.html<check/same.html")}
        << s("浏览器意外退出了，已重新启动，正在检查的网页重新检查（只会重新启动这一次）\n"
             "2 个文件：2 个已改写；")
        << QStringList{s("dies.html on")} + fourOf(s("dies.html")) + allFour << 2;
    QTest::newRow("the browser ends twice: the run stops, what was written stays written")
        << QStringList{s("a.html"), s("dies.html"), s("z.html")}
        << QByteArrayList{kSame, asking("dies-in-start-2"), kSame} << inPlace << QString()
        << QByteArray() << 1 << QByteArray() << QStringList{s("check/a.html<check/a.html")}
        << s("浏览器意外退出了，已重新启动，正在检查的网页重新检查（只会重新启动这一次）\n"
             "无法检查，保持原样：check/dies.html：浏览器意外退出了\n"
             "浏览器又一次意外退出，压缩停止了，还有 1 个文件没有处理。2 个文件：1 个已改写，1 "
             "个无法检查；")
        << fourOf(s("a.html")) + QStringList{s("dies.html on"), s("dies.html on")} << 2;
    QTest::newRow("four tabs at once, the report in the order of the pages")
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
    QTest::newRow("--output-dir mirrors only what looks the same, and what does not change")
        << QStringList{s("plain.html"), s("same.html"), s("text.html")}
        << QByteArrayList{kPlain, kSame, asking("text-differs")}
        << oneTab + QStringList{s("--output-dir"), s("out"), s("check")} << QString()
        << QByteArray() << 1 << QByteArray()
        << QStringList{s("out/plain.html<check/plain.html"), s("out/same.html<check/same.html")}
        << s("显示会变，保持原样：check/text.html：文字不同：第 1 行“  "
             "<p>stand-in:text-differs</p>  ␍”变成了“<p>stand-in:text-differs</p>␍”\n"
             "3 个文件：2 个已写入，1 个显示会变；")
        << QStringList() << 1;
    QTest::newRow("answers that come a few bytes at a time")
        << QStringList{s("same.html")} << QByteArrayList{kSame} << inPlace << s("pieces")
        << QByteArray() << 0 << QByteArray() << sameWritten << s("1 个文件：1 个已改写；")
        << allFour << 1;
    QTest::newRow("standard input, shown as a page of the current folder")
        << QStringList() << QByteArrayList() << oneTab + QStringList{s("-")} << QString()
        << QByteArray("  <p>x</p>  \n") << 0 << QByteArray("<p>x</p>\n") << QStringList()
        << s("1 个文件：1 个已写入；") << fourOf(s("-")) << 1;
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
