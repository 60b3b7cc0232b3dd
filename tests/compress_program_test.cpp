#include <QTest>

#include "compress_program.h"
#include "compress_tree.h"
#include "zerediz_version.h"

// zerediz-compress as scripts run it: the real program on a real tree of pages, in the ways every
// system has. What one system alone has is in compress_program_posix_test.cpp and
// compress_program_windows_test.cpp.
namespace {

// What a row adds to the tree.
enum Trouble {
    kNone,
    kFolderAtTarget,
    kLeftover,         // a temporary file that a killed save left behind
    kHardLink,         // site/hard.html, another name of site/a.html
    kHardLinkOutside,  // other/a-too.html, another name of site/a.html
    kMirrorInside,     // site/min, a mirror from an earlier run, inside the tree
    kTabs,             // site/tabs.html, indented with tabs, with lines left empty
};

void makeTrouble(Tree &tree, Trouble trouble) {
    switch (trouble) {
        case kNone:
            break;
        case kFolderAtTarget:
            QDir().mkpath(tree.path("out/a.html"));
            break;
        case kLeftover:
            tree.add("site/.a.html.zerediz-Ab12Cd.tmp", "  <p>a</p>  \r\n");
            break;
        case kHardLink:
            makeHardLink(tree.path("site/a.html"), tree.path("site/hard.html"));
            break;
        case kHardLinkOutside:
            makeHardLink(tree.path("site/a.html"), tree.path("other/a-too.html"));
            break;
        case kMirrorInside:
            tree.add("site/min/a.html", "<p>a</p>\r\n");
            break;
        case kTabs:
            tree.add("site/tabs.html", "\t<ul>\r\n\r\n\t\t<li>t</li>\t\r\n \t\r\n\t</ul>\r\n");
            break;
    }
}

}  // namespace

class CompressProgramTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void compressesWhatItIsAskedFor_data();
    void compressesWhatItIsAskedFor();
    void goesOnPastAFailingFile_data();
    void goesOnPastAFailingFile();
    void answersWithoutCompressing_data();
    void answersWithoutCompressing();
    void namesEachSheetItCannotReadOnce_data();
    void namesEachSheetItCannotReadOnce();
};

void CompressProgramTest::compressesWhatItIsAskedFor_data() {
    QTest::addColumn<int>("trouble");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("standardOutput");
    QTest::addColumn<QStringList>("compressed");
    QTest::addColumn<QString>("summary");
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QStringList inPlace{s("site/a.html<site/a.html"), s("site/gb.html<site/gb.html"),
                              s("site/sub/c.HTML<site/sub/c.HTML")};
    const auto row = [](const char *name, Trouble trouble = kNone) -> QTestData & {
        return QTest::newRow(name) << int(trouble);
    };
    const auto nulEnded = [](const QByteArrayList &names) {
        QByteArray list;
        for (const QByteArray &name : names) list += name + '\0';
        return list;
    };

    row("in place: pages of the tree, a link's page once")
        << QStringList{s("site")} << QByteArray() << 0 << QByteArray() << inPlace
        << s("4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。\n");
    row("in place, one job at a time, quiet") << QStringList{s("-qj1"), s("site")} << QByteArray()
                                              << 0 << QByteArray() << inPlace << QString();
    row("a file named on its own, whatever its extension")
        << QStringList{s("site/notes.txt")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("site/notes.txt<site/notes.txt")}
        << s("1 个文件：1 个已改写；7 字节 → 3 字节，节省 57.1%。\n");
    row("--ext instead of the page extensions")
        << QStringList{s("--ext"), s(".TXT, htm"), s("site")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("site/notes.txt<site/notes.txt")}
        << s("2 个文件：1 个已改写，1 个无需改写；17 字节 → 13 字节，节省 23.5%。\n");
    row("--output-dir: a mirror, up-to-date files left alone, a link's page once")
        << QStringList{s("--output-dir"), s("out"), s("site")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("out/a.html<site/a.html"), s("out/b.htm<site/b.htm"),
                       s("out/gb.html<site/gb.html"), s("out/sub/c.HTML<site/sub/c.HTML")}
        << s("4 个文件：2 个已写入，2 个无需写入；37 字节 → 29 字节，节省 21.6%。\n");
    row("--output-dir, the mirror up to date: nothing written")
        << QStringList{s("--output-dir"), s("out"), s("site/gb.html")} << QByteArray() << 0
        << QByteArray() << QStringList{s("out/gb.html<site/gb.html")}
        << s("1 个文件：0 个已写入，1 个无需写入；10 字节 → 6 字节，节省 40.0%。\n");
    row("-o") << QStringList{s("-o"), s("single.html"), s("site/a.html")} << QByteArray() << 0
              << QByteArray() << QStringList{s("single.html<site/a.html")}
              << s("1 个文件：1 个已写入；14 字节 → 10 字节，节省 28.6%。\n");
    row("-o - with a file") << QStringList{s("-o-"), s("site/a.html")} << QByteArray() << 0
                            << QByteArray("<p>a</p>\r\n") << QStringList()
                            << s("1 个文件：1 个已写入；14 字节 → 10 字节，节省 28.6%。\n");
    row("--check lists the pages that would change")
        << QStringList{s("--check"), s("site")} << QByteArray() << 1
        << QByteArray("site/a.html\nsite/gb.html\nsite/sub/c.HTML\n") << QStringList()
        << s("4 个文件：3 个需要压缩，1 个无需压缩；37 字节 → 29 字节，可节省 21.6%。\n");
    row("--check on a compressed page")
        << QStringList{s("--check"), s("site/b.htm")} << QByteArray() << 0 << QByteArray()
        << QStringList()
        << s("1 个文件：0 个需要压缩，1 个无需压缩；10 字节 → 10 字节，可节省 0.0%。\n");
    row("standard input to standard output")
        << QStringList{s("-")} << QByteArray("  x  \r\n  y") << 0 << QByteArray("x\r\ny\r\n")
        << QStringList() << s("1 个文件：1 个已写入；10 字节 → 6 字节，节省 40.0%。\n");
    row("standard input that grows")
        << QStringList{s("-")} << QByteArray("a\rb") << 0 << QByteArray("a\r\nb\r\n")
        << QStringList() << s("1 个文件：1 个已写入；3 字节 → 6 字节，增加 100.0%。\n");
    row("standard input to -o") << QStringList{s("-o"), s("single.html"), s("-")}
                                << QByteArray("  x  ") << 0 << QByteArray()
                                << QStringList{s("single.html<-")}
                                << s("1 个文件：1 个已写入；5 字节 → 3 字节，节省 40.0%。\n");
    row("standard input, a page of LF lines with a pre")
        << QStringList{s("-")} << QByteArray("  <pre>\n  a  \n</pre>  \n  b  ") << 0
        << QByteArray("<pre>\n  a  \n</pre>\nb\n") << QStringList()
        << s("1 个文件：1 个已写入；28 字节 → 21 字节，节省 25.0%。\n");
    row("standard input, --check of a page of LF lines")
        << QStringList{s("--check"), s("-")} << QByteArray(" x\n") << 1 << QByteArray("-\n")
        << QStringList() << s("1 个文件：1 个需要压缩；3 字节 → 2 字节，可节省 33.3%。\n");
    row("standard input, --check of a trimmed page of LF lines")
        << QStringList{s("--check"), s("-")} << QByteArray("<pre>\n  x  \n</pre>\n") << 0
        << QByteArray() << QStringList()
        << s("1 个文件：0 个需要压缩，1 个无需压缩；19 字节 → 19 字节，可节省 0.0%。\n");
    row("standard input, --check")
        << QStringList{s("--check"), s("-")} << QByteArray(" x") << 1 << QByteArray("-\n")
        << QStringList() << s("1 个文件：1 个需要压缩；2 字节 → 3 字节，会增加 50.0%。\n");
    row("in place: both names of a hard-linked page, which stay one file", kHardLink)
        << QStringList{s("site")} << QByteArray() << 0 << QByteArray()
        << inPlace + QStringList{s("site/hard.html<site/a.html")}
        << s("5 个文件：4 个已改写，1 个无需改写；51 字节 → 39 字节，节省 23.5%。\n");
    row("--check lists both names of a hard-linked page", kHardLink)
        << QStringList{s("--check"), s("site")} << QByteArray() << 1
        << QByteArray("site/a.html\nsite/hard.html\nsite/gb.html\nsite/sub/c.HTML\n")
        << QStringList()
        << s("5 个文件：4 个需要压缩，1 个无需压缩；51 字节 → 39 字节，可节省 23.5%。\n");
    row("in place: a page with a name outside gets a file of its own", kHardLinkOutside)
        << QStringList{s("site")} << QByteArray() << 0 << QByteArray() << inPlace
        << s("4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。\n");
    row("--check -0 ends each name with a NUL")
        << QStringList{s("--check"), s("-0"), s("site")} << QByteArray() << 1
        << nulEnded({"site/a.html", "site/gb.html", "site/sub/c.HTML"}) << QStringList()
        << s("4 个文件：3 个需要压缩，1 个无需压缩；37 字节 → 29 字节，可节省 21.6%。\n");
    row("--check --null, on a page and standard input alike")
        << QStringList{s("--check"), s("--null"), s("-")} << QByteArray(" x") << 1
        << nulEnded({"-"}) << QStringList()
        << s("1 个文件：1 个需要压缩；2 字节 → 3 字节，会增加 50.0%。\n");
    row("--output-dir inside the tree, which is not walked", kMirrorInside)
        << QStringList{s("--output-dir"), s("site/min"), s("site")} << QByteArray() << 0
        << QByteArray()
        << QStringList{s("site/min/a.html<site/a.html"), s("site/min/b.htm<site/b.htm"),
                       s("site/min/gb.html<site/gb.html"), s("site/min/sub/c.HTML<site/sub/c.HTML")}
        << s("4 个文件：3 个已写入，1 个无需写入；37 字节 → 29 字节，节省 21.6%。\n");
    // The deep level in each way of writing: tabs and lines left empty go too.
    const QStringList deepInPlace = inPlace + QStringList{s("site/tabs.html<site/tabs.html")};
    row("--deep, in place", kTabs)
        << QStringList{s("--deep"), s("site")} << QByteArray() << 0 << QByteArray() << deepInPlace
        << s("5 个文件：4 个已改写，1 个无需改写；73 字节 → 54 字节，节省 26.0%。\n");
    row("--deep --output-dir", kTabs)
        << QStringList{s("--deep"), s("--output-dir"), s("out"), s("site/tabs.html")}
        << QByteArray() << 0 << QByteArray() << QStringList{s("out/tabs.html<site/tabs.html")}
        << s("1 个文件：1 个已写入；36 字节 → 25 字节，节省 30.6%。\n");
    row("--deep -o", kTabs) << QStringList{s("--deep"), s("-o"), s("single.html"),
                                           s("site/tabs.html")}
                            << QByteArray() << 0 << QByteArray()
                            << QStringList{s("single.html<site/tabs.html")}
                            << s("1 个文件：1 个已写入；36 字节 → 25 字节，节省 30.6%。\n");
    row("--deep --check lists what only the deep level changes", kTabs)
        << QStringList{s("--deep"), s("--check"), s("site/b.htm"), s("site/tabs.html")}
        << QByteArray() << 1 << QByteArray("site/tabs.html\n") << QStringList()
        << s("2 个文件：1 个需要压缩，1 个无需压缩；46 字节 → 35 字节，可节省 23.9%。\n");
    row("--check without --deep: tabs shield spaces", kTabs)
        << QStringList{s("--check"), s("site/tabs.html")} << QByteArray() << 1
        << QByteArray("site/tabs.html\n") << QStringList()
        << s("1 个文件：1 个需要压缩；36 字节 → 35 字节，可节省 2.8%。\n");
    row("--deep, standard input to standard output")
        << QStringList{s("--deep"), s("-")} << QByteArray("\t<p>\n\n \t x\t \n") << 0
        << QByteArray("<p>\nx\n") << QStringList()
        << s("1 个文件：1 个已写入；13 字节 → 6 字节，节省 53.8%。\n");
    row("a temporary file left behind is reported and never taken for a page", kLeftover)
        << QStringList{s("--ext"), s("htm,html,tmp"), s("site")} << QByteArray() << 0
        << QByteArray() << inPlace
        << s("发现临时文件：site/.a.html.zerediz-Ab12Cd.tmp（Zerediz "
             "的保存被中断时留下的，没有删除）\n"
             "4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。\n");
}

void CompressProgramTest::compressesWhatItIsAskedFor() {
    QFETCH(int, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, standardOutput);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    Tree tree;
    makeTrouble(tree, Trouble(trouble));
    verifyRun(tree, arguments, input, exitCode, standardOutput, compressed, summary);
    if (trouble == kHardLink)
        QCOMPARE(fileIdentity(tree.path("site/hard.html")), fileIdentity(tree.path("site/a.html")));
    if (trouble == kHardLinkOutside)
        QVERIFY(fileIdentity(tree.path("other/a-too.html")) !=
                fileIdentity(tree.path("site/a.html")));
}

void CompressProgramTest::goesOnPastAFailingFile_data() {
    QTest::addColumn<int>("trouble");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("errorLine");  // one of the lines on standard error
    QTest::addColumn<QStringList>("compressed");
    QTest::addColumn<QString>("summary");  // the failing file counts among the files
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QStringList inPlace{s("site/a.html<site/a.html"), s("site/gb.html<site/gb.html"),
                              s("site/sub/c.HTML<site/sub/c.HTML")};
    QTest::newRow("a PATH that does not exist")
        << int(kNone) << QStringList{s("missing.html"), s("site")}
        << s("无法打开文件：missing.html：文件不存在") << inPlace
        << s("5 个文件：3 个已改写，1 个无需改写，1 个失败；37 字节 → 29 字节，节省 21.6%。");
    QTest::newRow("a folder where the mirror's file goes")
        << int(kFolderAtTarget) << QStringList{s("--output-dir"), s("out"), s("site")}
        << s("无法保存文件：out/a.html：这是一个文件夹")
        << QStringList{s("out/b.htm<site/b.htm"), s("out/gb.html<site/gb.html"),
                       s("out/sub/c.HTML<site/sub/c.HTML")}
        << s("4 个文件：1 个已写入，2 个无需写入，1 个失败；23 字节 → 19 字节，节省 17.4%。");
}

// The troublesome file gets its line and stays as it was; every other page is compressed.
void CompressProgramTest::goesOnPastAFailingFile() {
    QFETCH(int, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(QString, errorLine);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    Tree tree;
    makeTrouble(tree, Trouble(trouble));
    verifyFailingRun(tree, arguments, errorLine, compressed, summary);
}

void CompressProgramTest::answersWithoutCompressing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("answer");  // the start of standard output, or else of standard error
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QString usage = s("zerediz-compress：");

    QTest::newRow("--help") << QStringList{s("--help")} << 0
                            << s("用法：") + QDir::toNativeSeparators(compressProgram().path) +
                                   s(" [选项] PATH...\n");
    QTest::newRow("--version") << QStringList{s("-v")} << 0
                               << s("zerediz-compress " ZEREDIZ_VERSION "\n");
    QTest::newRow("unknown option, named as typed")
        << QStringList{s("--fast"), s("site")} << 2 << s("zerediz-compress：未知选项“--fast”。");
    QTest::newRow("unknown letter among known ones")
        << QStringList{s("-qz"), s("site")} << 2 << s("zerediz-compress：未知选项“-z”。");
    QTest::newRow("no PATH") << QStringList{s("-j2")} << 2
                             << s("zerediz-compress：没有给出要压缩的文件或文件夹。");
    QTest::newRow("-o with several inputs")
        << QStringList{s("-o"), s("x.html"), s("site/a.html"), s("site/b.htm")} << 2
        << s("zerediz-compress：-o 只能用于一个文件，却给了 2 个 PATH。");
    QTest::newRow("-o with a folder")
        << QStringList{s("-o"), s("x.html"), s("site")} << 2
        << s("zerediz-compress：-o 只能用于一个文件，“site”是文件夹。");
    QTest::newRow("-j 0") << QStringList{s("-j"), s("0"), s("site")} << 2 << usage;
    QTest::newRow("--ext without an extension")
        << QStringList{s("--ext"), s(" , ."), s("site")} << 2 << usage;
    QTest::newRow("standard input among other PATHs")
        << QStringList{s("-"), s("site")} << 2 << usage;
    QTest::newRow("--check with --output-dir")
        << QStringList{s("--check"), s("--output-dir"), s("out"), s("site")} << 2 << usage;
    QTest::newRow("--output-dir naming a file")
        << QStringList{s("--output-dir"), s("site/a.html"), s("site")} << 2
        << s("zerediz-compress：--output-dir 要的是文件夹，“site/a.html”不是文件夹。");
    QTest::newRow("--output-dir below a file")
        << QStringList{s("--output-dir"), s("site/a.html/out"), s("site")} << 2
        << s("zerediz-compress：--output-dir 要的是文件夹，“site/a.html”不是文件夹。");
    QTest::newRow("two pages for one file of the mirror")
        << QStringList{s("--output-dir"), s("out"), s("site/a.html"), s("other/a.html")} << 2
        << s("zerediz-compress：“site/a.html”和“other/a.html”都要写到“out/a.html”。");
}

// Help, version and usage errors: an answer, the status, and not a file touched.
void CompressProgramTest::answersWithoutCompressing() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, answer);
    const Tree tree;
    const Snapshot before = snapshotOf(tree.root());
    const ProgramRun run = runCompress(tree.root(), arguments);
    const QByteArray &said = exitCode == 0 ? run.standardOutput : run.standardError;
    QVERIFY2(said.startsWith(answer.toUtf8()), said.constData());
    // A usage error is one line, and nothing else is said.
    if (exitCode != 0) QVERIFY2(said.count('\n') == 1 && said.endsWith('\n'), said.constData());
    if (exitCode != 0) QCOMPARE(run.standardOutput, QByteArray());
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(snapshotOf(tree.root()), before);
}

// A style sheet that a page links and that cannot be read keeps nothing, and is named once in the
// run, however many pages link it; the run does not fail for it. The pages are those of
// styled/, or standard input.
void CompressProgramTest::namesEachSheetItCannotReadOnce_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("standardError");
    QTest::addColumn<QByteArray>("written");  // out/a.html, or standard output
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QString after = s("（按没有这个样式表压缩）\n");

    QTest::newRow("missing, on the web, a folder: each once, the sheet read counts")
        << QStringList{s("-j1"), s("--output-dir"), s("out"), s("styled")} << QByteArray()
        << s("未能读取样式表：styled/gone.css：文件不存在") + after +
               s("未能读取样式表：https://example.invalid/x.css：不是本机上的文件") + after +
               s("未能读取样式表：styled/sub/folder.css：这是一个文件夹") + after +
               s("2 个文件：2 个已写入；277 字节 → 271 字节，节省 2.2%。\n")
        << QByteArray(
               "<link rel=\"stylesheet\" href=\"gone.css\">\n"
               "<link rel=\"stylesheet\" href=\"https://example.invalid/x.css\">\n"
               "<link rel=\"stylesheet\" href=\"k.css\">\n<p class=\"k\">\n  a  \n</p>\nb\n");
    QTest::newRow("standard input has no folder to find a sheet in")
        << QStringList{s("-")}
        << QByteArray("<link rel=\"stylesheet\" href=\"k.css\">\n<p class=\"k\">\n  a  \n</p>")
        << s("未能读取样式表：k.css：网页来自标准输入，没有所在的文件夹") + after +
               s("1 个文件：1 个已写入；61 字节 → 58 字节，节省 4.9%。\n")
        << QByteArray("<link rel=\"stylesheet\" href=\"k.css\">\n<p class=\"k\">\na\n</p>\n");
}

void CompressProgramTest::namesEachSheetItCannotReadOnce() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, standardError);
    QFETCH(QByteArray, written);
    Tree tree;
    tree.add("styled/a.html",
             "<link rel=\"stylesheet\" href=\"gone.css\">\n"
             "<link rel=\"stylesheet\" href=\"https://example.invalid/x.css\">\n"
             "<link rel=\"stylesheet\" href=\"k.css\">\n<p class=\"k\">\n  a  \n</p>\n  b  ");
    tree.add("styled/k.css", ".k { white-space: pre }");
    tree.add("styled/sub/b.html",
             "<link rel=\"stylesheet\" href=\"../gone.css\">\n"
             "<link rel=\"stylesheet\" href=\"folder.css\">\n<p class=\"k\">\n  c  \n</p>");
    QVERIFY(QDir().mkpath(tree.path("styled/sub/folder.css")));
    const ProgramRun run = runCompress(tree.root(), arguments, input);
    QCOMPARE(QString::fromUtf8(run.standardError), standardError);
    QCOMPARE(run.exitCode, 0);
    if (input.isEmpty())
        QCOMPARE(readFileBytes(tree.path("out/a.html")), written);
    else
        QCOMPARE(run.standardOutput, written);
}

QTEST_GUILESS_MAIN(CompressProgramTest)
#include "compress_program_test.moc"
