#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

#include "byte_samples.h"
#include "compress_program.h"

// zerediz-compress as scripts run it: the real program on a real tree of pages.
namespace {

struct FileState {
    QByteArray bytes;  // empty for what is not a regular file
    qint64 modified = 0;
    bool regular = true;
    friend bool operator==(const FileState &, const FileState &) = default;
};
using Snapshot = QMap<QString, FileState>;

// Every file below root that is not a link, by its path relative to root.
Snapshot snapshotOf(const QString &root) {
    Snapshot files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat status {};
        ::lstat(QFile::encodeName(path).constData(), &status);
        FileState state{{},
                        qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                        S_ISREG(status.st_mode) != 0};
        if (state.regular) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) state.bytes = file.readAll();
        }
        files.insert(QDir(root).relativeFilePath(path), state);
    }
    return files;
}

// A page far larger than a pipe holds, and what it compresses to.
const QByteArray kLongPage = QByteArray("  x  \r\n").repeated(150000);
const QByteArray kLongPageCompressed = QByteArray("x\r\n").repeated(150000);

// The tree each test starts from, every file dated long ago: pages that change, one that does
// not, a GB18030 page, an upper-case extension, a page in a dot folder, a text file, a link to a
// page and a link to a folder that would make a loop, two mirror files that are up to date (one
// of a page that changes), and, apart, a long page.
class Tree {
public:
    Tree() {
        add("site/a.html", "  <p>a</p>  \r\n");
        add("site/b.htm", "<p>b</p>\r\n");
        add("site/gb.html", "  \xd6\xd0\xce\xc4  \r\n");
        add("site/notes.txt", "  x  \r\n");
        add("site/sub/c.HTML", "c \r");  // changes, and keeps its size
        add("site/sub/.git/d.html", " d \r\n");
        add("other/a.html", "a\r\n");
        add("out/b.htm", "<p>b</p>\r\n");
        add("out/gb.html", "\xd6\xd0\xce\xc4\r\n");
        add("long/page.html", kLongPage);
        QFile::link(QStringLiteral("sub/c.HTML"), path("site/link.html"));
        QFile::link(QStringLiteral("."), path("site/loop"));
    }

    QString root() const { return dir_.path(); }
    QString path(const char *relative) const { return dir_.filePath(QString::fromUtf8(relative)); }

    void add(const char *relative, const QByteArray &bytes) {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) qFatal("no tree");
        out.close();
        const timespec longAgo[2] = {{1081468800, 0}, {1081468800, 0}};  // 2004-04-09
        ::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), longAgo, 0);
    }

private:
    QTemporaryDir dir_;
};

// After a run: each "target<source" of compressed holds the compressed bytes of source ("-" for
// standard input); every other file is as it was; nothing else was written, no temporary file is
// left; a file whose bytes did not change was not written at all (its time stamp stands); the
// links are still links.
void verifyTree(const Tree &tree, const Snapshot &before, const QStringList &compressed,
                const QByteArray &input) {
    const Snapshot after = snapshotOf(tree.root());
    QSet<QString> targets;
    for (const QString &pair : compressed) {
        const QString target = pair.section(u'<', 0, 0);
        const QString source = pair.section(u'<', 1);
        targets.insert(target);
        QVERIFY2(after.contains(target), qPrintable(target));
        QCOMPARE(after[target].bytes,
                 referenceTrim(source == u'-' ? input : before.value(source).bytes));
    }
    for (auto it = after.begin(); it != after.end(); ++it) {
        QVERIFY2(before.contains(it.key()) || targets.contains(it.key()), qPrintable(it.key()));
        if (!before.contains(it.key())) continue;
        if (!targets.contains(it.key())) QCOMPARE(it->bytes, before[it.key()].bytes);
        if (it->bytes == before[it.key()].bytes)
            QVERIFY2(it->modified == before[it.key()].modified, qPrintable(it.key()));
    }
    QCOMPARE(QFileInfo(tree.path("site/link.html")).symLinkTarget(), tree.path("site/sub/c.HTML"));
    QVERIFY(QFileInfo(tree.path("site/loop")).isSymLink());
}

// What stands in the way of one file.
enum Trouble { kNone, kFifo, kFolderAtTarget, kSizeLimit, kGbkName, kSizeLimitInPlace };

constexpr uid_t kNobody = 65534;

void setMode(const Tree &tree, const char *relative, mode_t mode) {
    ::chmod(QFile::encodeName(tree.path(relative)).constData(), mode);
}

void makeTrouble(Tree &tree, Trouble trouble) {
    if (trouble == kFifo)
        ::mkfifo(QFile::encodeName(tree.path("site/fifo.html")).constData(), 0644);
    if (trouble == kGbkName) {  // 中.html in GBK
        const QByteArray name = QFile::encodeName(tree.root()) + "/site/\xd6\xd0.html";
        ::close(::open(name.constData(), O_WRONLY | O_CREAT, 0644));
    }
    if (trouble == kFolderAtTarget) QDir().mkpath(tree.path("out/a.html"));
    if (trouble == kSizeLimit)
        tree.add("site/big.html", QByteArray(4000, ' ') + "x\r\n" + QByteArray(40000, 'y'));
    if (trouble == kSizeLimitInPlace) {
        // Pages that nobody may write, in folders where nobody may make a file.
        tree.add("site/big.html", indentedLines(1200));
        setMode(tree, "", 0755);
        for (const char *page :
             {"site/a.html", "site/b.htm", "site/gb.html", "site/big.html", "site/sub/c.HTML"})
            setMode(tree, page, 0666);
        setMode(tree, "site/sub", 0555);
        setMode(tree, "site", 0555);
    }
}

// Files may not grow beyond 16 KiB in the program. Nothing here ignores the signal that a write
// past the limit raises: the program must.
void limitFileSize() {
    const rlimit limit{16384, 16384};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// ulimit -f 20, as the user nobody.
void limitFileSizeAsNobody() {
    const rlimit limit{20 << 10, 20 << 10};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(125);
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
};

void CompressProgramTest::compressesWhatItIsAskedFor_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("standardOutput");
    QTest::addColumn<QStringList>("compressed");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("terminalColumns");  // of standard error; 0: it is no terminal
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QStringList inPlace{s("site/a.html<site/a.html"), s("site/gb.html<site/gb.html"),
                              s("site/sub/c.HTML<site/sub/c.HTML")};

    QTest::newRow("in place: pages of the tree, a link's page once")
        << QStringList{s("site")} << QByteArray() << 0 << QByteArray() << inPlace
        << s("4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。\n") << 0;
    QTest::newRow("in place, one job at a time, quiet")
        << QStringList{s("-qj1"), s("site")} << QByteArray() << 0 << QByteArray() << inPlace
        << QString() << 0;
    QTest::newRow("a file named on its own, whatever its extension")
        << QStringList{s("site/notes.txt")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("site/notes.txt<site/notes.txt")}
        << s("1 个文件：1 个已改写；7 字节 → 3 字节，节省 57.1%。\n") << 0;
    QTest::newRow("--ext instead of the page extensions")
        << QStringList{s("--ext"), s(".TXT, htm"), s("site")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("site/notes.txt<site/notes.txt")}
        << s("2 个文件：1 个已改写，1 个无需改写；17 字节 → 13 字节，节省 23.5%。\n") << 0;
    QTest::newRow("--output-dir: a mirror, up-to-date files left alone, a link's page once")
        << QStringList{s("--output-dir"), s("out"), s("site")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("out/a.html<site/a.html"), s("out/b.htm<site/b.htm"),
                       s("out/gb.html<site/gb.html"), s("out/sub/c.HTML<site/sub/c.HTML")}
        << s("4 个文件：2 个已写入，2 个无需写入；37 字节 → 29 字节，节省 21.6%。\n") << 0;
    QTest::newRow("--output-dir, the mirror up to date: nothing written")
        << QStringList{s("--output-dir"), s("out"), s("site/gb.html")} << QByteArray() << 0
        << QByteArray() << QStringList{s("out/gb.html<site/gb.html")}
        << s("1 个文件：0 个已写入，1 个无需写入；10 字节 → 6 字节，节省 40.0%。\n") << 0;
    QTest::newRow("-o") << QStringList{s("-o"), s("single.html"), s("site/a.html")} << QByteArray()
                        << 0 << QByteArray() << QStringList{s("single.html<site/a.html")}
                        << s("1 个文件：1 个已写入；14 字节 → 10 字节，节省 28.6%。\n") << 0;
    QTest::newRow("-o - with a file")
        << QStringList{s("-o-"), s("site/a.html")} << QByteArray() << 0
        << QByteArray("<p>a</p>\r\n") << QStringList()
        << s("1 个文件：1 个已写入；14 字节 → 10 字节，节省 28.6%。\n") << 0;
    // The page cannot all go into the pipe before the test reads it, so the run lasts until
    // the bar has shown.
    for (const int columns : {40, 8})
        QTest::addRow("-o - on a terminal of %d columns: the bar fits, and goes", columns)
            << QStringList{s("-o-"), s("long/page.html")} << QByteArray() << 0
            << kLongPageCompressed << QStringList()
            << s("1 个文件：1 个已写入；1050000 字节 → 450000 字节，节省 57.1%。\n") << columns;
    QTest::newRow("--check lists the pages that would change")
        << QStringList{s("--check"), s("site")} << QByteArray() << 1
        << QByteArray("site/a.html\nsite/gb.html\nsite/sub/c.HTML\n") << QStringList()
        << s("4 个文件：3 个需要压缩，1 个无需压缩；37 字节 → 29 字节，可节省 21.6%。\n") << 0;
    QTest::newRow("--check on a compressed page")
        << QStringList{s("--check"), s("site/b.htm")} << QByteArray() << 0 << QByteArray()
        << QStringList()
        << s("1 个文件：0 个需要压缩，1 个无需压缩；10 字节 → 10 字节，可节省 0.0%。\n") << 0;
    QTest::newRow("standard input to standard output")
        << QStringList{s("-")} << QByteArray("  x  \r\n  y") << 0 << QByteArray("x\r\ny\r\n")
        << QStringList() << s("1 个文件：1 个已写入；10 字节 → 6 字节，节省 40.0%。\n") << 0;
    QTest::newRow("standard input that grows")
        << QStringList{s("-")} << QByteArray("a\rb") << 0 << QByteArray("a\r\nb\r\n")
        << QStringList() << s("1 个文件：1 个已写入；3 字节 → 6 字节，增加 100.0%。\n") << 0;
    QTest::newRow("standard input to -o")
        << QStringList{s("-o"), s("single.html"), s("-")} << QByteArray("  x  ") << 0
        << QByteArray() << QStringList{s("single.html<-")}
        << s("1 个文件：1 个已写入；5 字节 → 3 字节，节省 40.0%。\n") << 0;
    QTest::newRow("standard input, --check")
        << QStringList{s("--check"), s("-")} << QByteArray(" x") << 1 << QByteArray("-\n")
        << QStringList() << s("1 个文件：1 个需要压缩；2 字节 → 3 字节，会增加 50.0%。\n") << 0;
}

void CompressProgramTest::compressesWhatItIsAskedFor() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, standardOutput);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    QFETCH(int, terminalColumns);
    const Tree tree;
    const Snapshot before = snapshotOf(tree.root());
    if (terminalColumns == 0) {
        const ProgramRun run = runCompress(tree.root(), arguments, input);
        QCOMPARE(QString::fromUtf8(run.standardError), summary);
        QCOMPARE(run.standardOutput, standardOutput);
        QCOMPARE(run.exitCode, exitCode);
        verifyTree(tree, before, compressed, input);
        return;
    }
    // Whatever the bar drew, only the summary stays on the screen: every line of the bar fitted
    // and was taken away.
    PseudoTerminal terminal(terminalColumns);
    bool barShown = false;
    const ProgramRun run = runCompress(
        tree.root(), arguments, input, [&] { terminal.becomeStandardError(); },
        [&] {
            terminal.closeTerminalSide();
            barShown = terminal.readUntil("0/1");
        });
    terminal.readToEnd();
    QVERIFY2(barShown, terminal.written().constData());
    QCOMPARE(terminal.screenOf(terminal.written()),
             terminal.screenOf(summary.toUtf8().replace("\n", "\r\n")));
    QCOMPARE(run.standardOutput, standardOutput);
    QCOMPARE(run.exitCode, exitCode);
    verifyTree(tree, before, compressed, input);
}

void CompressProgramTest::goesOnPastAFailingFile_data() {
    QTest::addColumn<int>("trouble");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("errorLine");
    QTest::addColumn<QStringList>("compressed");
    QTest::addColumn<QString>("summary");  // the failing file counts among the files
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QStringList inPlace{s("site/a.html<site/a.html"), s("site/gb.html<site/gb.html"),
                              s("site/sub/c.HTML<site/sub/c.HTML")};
    const QString inPlaceSummary =
        s("5 个文件：3 个已改写，1 个无需改写，1 个失败；37 字节 → 29 字节，节省 21.6%。");

    QTest::newRow("a FIFO among the pages")
        << int(kFifo) << QStringList{s("site")} << s("无法打开文件：site/fifo.html：不是普通文件")
        << inPlace << inPlaceSummary;
    QTest::newRow("a PATH that does not exist")
        << int(kNone) << QStringList{s("missing.html"), s("site")}
        << s("无法打开文件：missing.html：文件不存在") << inPlace << inPlaceSummary;
    QTest::newRow("a page whose name is not UTF-8")
        << int(kGbkName) << QStringList{s("site")}
        << s("无法打开文件：site/\xef\xbf\xbd\xef\xbf\xbd.html：文件名不是 UTF-8") << inPlace
        << inPlaceSummary;
    QTest::newRow("a folder where the mirror's file goes")
        << int(kFolderAtTarget) << QStringList{s("--output-dir"), s("out"), s("site")}
        << s("无法保存文件：out/a.html：这是一个文件夹")
        << QStringList{s("out/b.htm<site/b.htm"), s("out/gb.html<site/gb.html"),
                       s("out/sub/c.HTML<site/sub/c.HTML")}
        << s("4 个文件：1 个已写入，2 个无需写入，1 个失败；23 字节 → 19 字节，节省 17.4%。");
    QTest::newRow("a page beyond the file-size limit, in place")
        << int(kSizeLimit) << QStringList{s("site")}
        << s("无法保存文件：site/big.html：超出了文件大小限制") << inPlace << inPlaceSummary;
    // Written over itself, a page that would not fit must not be touched at all: even its time
    // stamp stands.
    QTest::newRow("a page beyond the file-size limit, over itself, as nobody")
        << int(kSizeLimitInPlace) << QStringList{s("site")}
        << s("无法保存文件：site/big.html：超出了文件大小限制") << inPlace << inPlaceSummary;
}

// The failing file gets its line and stays as it was; every other page is compressed.
void CompressProgramTest::goesOnPastAFailingFile() {
    QFETCH(int, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(QString, errorLine);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    if (trouble == kSizeLimitInPlace && geteuid() != 0) QSKIP("running as nobody needs root");
    Tree tree;
    makeTrouble(tree, Trouble(trouble));
    const Snapshot before = snapshotOf(tree.root());
    std::function<void()> inChild;
    if (trouble == kSizeLimit) inChild = limitFileSize;
    if (trouble == kSizeLimitInPlace) inChild = limitFileSizeAsNobody;
    const ProgramRun run = runCompress(tree.root(), arguments, {}, inChild);
    QCOMPARE(QString::fromUtf8(run.standardError).split(u'\n'),
             (QStringList{errorLine, summary, QString()}));
    QCOMPARE(run.exitCode, 1);
    verifyTree(tree, before, compressed, {});
}

void CompressProgramTest::answersWithoutCompressing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("answer");  // the start of standard output, or else of standard error
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QString usage = s("zerediz-compress：");

    QTest::newRow("--help") << QStringList{s("--help")} << 0
                            << s("用法：" ZEREDIZ_COMPRESS_PROGRAM " [选项] PATH...\n");
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

QTEST_GUILESS_MAIN(CompressProgramTest)
#include "compress_program_test.moc"
