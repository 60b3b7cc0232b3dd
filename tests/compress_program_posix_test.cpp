#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <QTest>
#include <csignal>

#include "byte_samples.h"
#include "compress_program.h"
#include "compress_program_posix.h"
#include "compress_tree.h"

// zerediz-compress as scripts run it on Linux and its kin: the real program on a real tree of
// pages, with what this system alone has: devices, FIFOs, file names that are not UTF-8, limits,
// failing disks, other users, access control lists, links, terminals and signals. Many rows need
// root. The ways every system has are in compress_program_test.cpp.
namespace {

// What a row adds to the tree, and how the program is held back.
enum Trouble {
    kNone,
    kFifo,
    kSizeLimit,
    kGbkName,
    kSizeLimitInPlace,        // a page of 52,800 bytes, in place as nobody, under ulimit -f 20
    kReadFails,               // in place as nobody, where reading a file's old content fails
    kSyncFails,               // in place as nobody, where the disk fails every sync
    kFolderSyncFails,         // where the disk fails every sync of a folder
    kFileSyncFails,           // where the disk fails every sync of a file
    kDevice,                  // a device node, site/dev
    kOutsideLink,             // site/evil.html, nobody's link to other/secret.html
    kSiblingLink,             // site/evil.html, a link to site2/secret.html, named like site
    kHardLinkOutsideInPlace,  // other/a-too.html, another name of site/a.html, in place as nobody
    kRights,                  // an access control list on site/a.html, an attribute on site/gb.html
    kClosedMirror,            // out, a mirror where nobody may make anything, and the run as nobody
    kFolderAsInput,           // standard input open on the tree's folder
};

constexpr uid_t kNobody = 65534;

void setMode(const Tree &tree, const char *relative, mode_t mode) {
    ::chmod(QFile::encodeName(tree.path(relative)).constData(), mode);
}

#if defined(ZEREDIZ_EMULATOR)
// The rows whose disk fails through a seccomp filter on the program's system calls.
bool failsSystemCalls(Trouble trouble) {
    return trouble == kReadFails || trouble == kSyncFails || trouble == kFolderSyncFails ||
           trouble == kFileSyncFails;
}
#endif

bool needsRoot(Trouble trouble) {
    return trouble == kSizeLimitInPlace || trouble == kReadFails || trouble == kSyncFails ||
           trouble == kDevice || trouble == kClosedMirror || trouble == kHardLinkOutsideInPlace;
}

// Pages that nobody may write, in folders where nobody may make a file: the run is in place.
void closeFolders(const Tree &tree) {
    setMode(tree, "", 0755);
    for (const char *page : {"site/a.html", "site/b.htm", "site/gb.html", "site/sub/c.HTML"})
        setMode(tree, page, 0666);
    setMode(tree, "site/sub", 0555);
    setMode(tree, "site", 0555);
}

void run(const QString &program, const QStringList &arguments) {
    if (QProcess::execute(program, arguments) != 0) qFatal("%s fails", qPrintable(program));
}

void makeTrouble(Tree &tree, Trouble trouble) {
    const auto name = [&](const char *relative) { return QFile::encodeName(tree.path(relative)); };
    switch (trouble) {
        case kNone:
        case kFolderAsInput:
        case kFolderSyncFails:
        case kFileSyncFails:
        case kSizeLimit:
            if (trouble == kSizeLimit)
                tree.add("site/big.html", QByteArray(4000, ' ') + "x\r\n" + QByteArray(40000, 'y'));
            break;
        case kFifo:
            ::mkfifo(name("site/fifo.html").constData(), 0644);
            break;
        case kGbkName:  // 中.html in GBK
            ::close(::open(name("site/") + "\xd6\xd0.html", O_WRONLY | O_CREAT, 0644));
            break;
        case kSizeLimitInPlace:
            tree.add("site/big.html", indentedLines(1200));
            closeFolders(tree);
            setMode(tree, "site/big.html", 0666);
            break;
        case kReadFails:
        case kSyncFails:
            // Nobody's own pages, whose time stamps he may put back.
            closeFolders(tree);
            for (const char *page :
                 {"site/a.html", "site/b.htm", "site/gb.html", "site/sub/c.HTML"})
                (void)::chown(name(page).constData(), kNobody, kNobody);
            break;
        case kDevice:
            ::mknod(name("site/dev").constData(), S_IFCHR | 0666, makedev(1, 3));
            break;
        case kOutsideLink:
            tree.add("other/secret.html", "  secret  \r\n");
            QFile::link(QStringLiteral("../other/secret.html"), tree.path("site/evil.html"));
            (void)::lchown(name("site/evil.html").constData(), kNobody, kNobody);
            break;
        case kSiblingLink:
            tree.add("site2/secret.html", "  secret  \r\n");
            QFile::link(QStringLiteral("../site2/secret.html"), tree.path("site/evil.html"));
            break;
        case kHardLinkOutsideInPlace:
            ::link(name("site/a.html").constData(), name("other/a-too.html").constData());
            closeFolders(tree);
            break;
        case kRights:
            setMode(tree, "site/a.html", 0640);
            run(QStringLiteral("setfacl"),
                {QStringLiteral("-m"), QStringLiteral("u:daemon:rw"), tree.path("site/a.html")});
            run(QStringLiteral("setfattr"),
                {QStringLiteral("-n"), QStringLiteral("user.origin"), QStringLiteral("-v"),
                 QStringLiteral("zerediz"), tree.path("site/gb.html")});
            break;
        case kClosedMirror:
            setMode(tree, "", 0755);
            setMode(tree, "out", 0555);
            break;
    }
}

// Files may not grow beyond 16 KiB in the program. Nothing here ignores the signal that a write
// past the limit raises: the program must.
void limitFileSize() {
    const rlimit limit{16384, 16384};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

void becomeNobody() {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(125);
}

// What the program's process does just before the program starts, for a row: its limits, its
// failing calls and its user.
std::function<void()> childSetUp(Trouble trouble) {
    switch (trouble) {
        case kSizeLimit:
            return limitFileSize;
        case kSizeLimitInPlace:  // ulimit -f 20
            return [] {
                const rlimit limit{20 << 10, 20 << 10};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                becomeNobody();
            };
        case kReadFails:
            // Only the in-place writer reads from the start of a file with pread, to keep a
            // page's old content; the loader reads libraries with it further in.
            return [] {
                failSystemCall(SYS_pread64, EIO, 3, 0);
                becomeNobody();
            };
        case kSyncFails:
            return [] {
                failSystemCall(SYS_fdatasync, EIO);
                becomeNobody();
            };
        case kFolderSyncFails:
            // Files are synced with fdatasync, folders with fsync.
            return [] { failSystemCall(SYS_fsync, EIO); };
        case kFileSyncFails:
            return [] { failSystemCall(SYS_fdatasync, EIO); };
        case kFolderAsInput:
            return [] { ::dup2(::open(".", O_RDONLY | O_DIRECTORY), STDIN_FILENO); };
        case kClosedMirror:
        case kHardLinkOutsideInPlace:
            return becomeNobody;
        default:
            return {};
    }
}

// Has the program's process run inChild just before the program starts.
std::function<void(QProcess &)> inChildFirst(const std::function<void()> &inChild) {
    if (!inChild) return {};
    return [inChild](QProcess &process) { process.setChildProcessModifier(inChild); };
}

}  // namespace

class CompressProgramPosixTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void compressesWhatItIsAskedFor_data();
    void compressesWhatItIsAskedFor();
    void goesOnPastAFailingFile_data();
    void goesOnPastAFailingFile();
    void stopsCleanlyOnASignal_data();
    void stopsCleanlyOnASignal();
};

void CompressProgramPosixTest::compressesWhatItIsAskedFor_data() {
    QTest::addColumn<int>("trouble");
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
    const auto row = [](const char *name, Trouble trouble = kNone) -> QTestData & {
        return QTest::newRow(name) << int(trouble);
    };

    // The page cannot all go into the pipe before the test reads it, so the run lasts until
    // the bar has shown.
    for (const int columns : {40, 8})
        QTest::addRow("-o - on a terminal of %d columns: the bar fits, and goes", columns)
            << int(kNone) << QStringList{s("-o-"), s("long/page.html")} << QByteArray() << 0
            << kLongPageCompressed << QStringList()
            << s("1 个文件：1 个已写入；1050000 字节 → 450000 字节，节省 57.1%。\n") << columns;
    row("a link named on the command line is followed wherever it leads", kOutsideLink)
        << QStringList{s("site/evil.html")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("other/secret.html<other/secret.html")}
        << s("1 个文件：1 个已改写；12 字节 → 8 字节，节省 33.3%。\n") << 0;
    row("a link named on the command line is followed, though the walk passes it", kOutsideLink)
        << QStringList{s("site"), s("site/evil.html")} << QByteArray() << 0 << QByteArray()
        << inPlace + QStringList{s("other/secret.html<other/secret.html")}
        << s("5 个文件：4 个已改写，1 个无需改写；49 字节 → 37 字节，节省 24.5%。\n") << 0;
    row("in place keeps the access control list and extended attributes", kRights)
        << QStringList{s("site")} << QByteArray() << 0 << QByteArray() << inPlace
        << s("4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。\n") << 0;
}

void CompressProgramPosixTest::compressesWhatItIsAskedFor() {
    QFETCH(int, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, standardOutput);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    QFETCH(int, terminalColumns);
    Tree tree;
    makeTrouble(tree, Trouble(trouble));
    if (terminalColumns == 0) {
        verifyRun(tree, arguments, input, exitCode, standardOutput, compressed, summary);
        return;
    }
    const Snapshot before = snapshotOf(tree.root());
    // Whatever the bar drew, only the summary stays on the screen: every line of the bar fitted
    // and was taken away.
    PseudoTerminal terminal(terminalColumns);
    bool barShown = false;
    const ProgramRun run = runCompress(
        tree.root(), arguments, input,
        [&](QProcess &process) {
            process.setChildProcessModifier([&] { terminal.becomeStandardError(); });
        },
        [&](qint64) {
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

void CompressProgramPosixTest::goesOnPastAFailingFile_data() {
    QTest::addColumn<int>("trouble");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("errorLine");  // one of the lines on standard error; ROOT: the tree
    QTest::addColumn<QStringList>("compressed");
    QTest::addColumn<QString>("summary");  // the failing file counts among the files
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QStringList inPlace{s("site/a.html<site/a.html"), s("site/gb.html<site/gb.html"),
                              s("site/sub/c.HTML<site/sub/c.HTML")};
    const QString inPlaceSummary =
        s("5 个文件：3 个已改写，1 个无需改写，1 个失败；37 字节 → 29 字节，节省 21.6%。");
    const auto row = [](const char *name, Trouble trouble, const QStringList &arguments,
                        const QString &line, const QStringList &compressed,
                        const QString &summary) {
        QTest::newRow(name) << int(trouble) << arguments << line << compressed << summary;
    };

    row("a FIFO among the pages", kFifo, {s("site")},
        s("无法打开文件：site/fifo.html：不是普通文件"), inPlace, inPlaceSummary);
    row("a page whose name is not UTF-8", kGbkName, {s("site")},
        s("无法打开文件：site/\xef\xbf\xbd\xef\xbf\xbd.html：文件名不是 UTF-8"), inPlace,
        inPlaceSummary);
    row("a page beyond the file-size limit", kSizeLimit, {s("site")},
        s("无法保存文件：site/big.html：超出了文件大小限制"), inPlace, inPlaceSummary);
    // Written over itself, a page that would not fit must not be touched at all: even its time
    // stamp stands.
    row("a page beyond the file-size limit, over itself, as nobody", kSizeLimitInPlace, {s("site")},
        s("无法保存文件：site/big.html：超出了文件大小限制"), inPlace, inPlaceSummary);
    // A page whose old content could not be kept could not be put back.
    row("in place, the old content cannot be read", kReadFails, {s("site")},
        s("无法保存文件：site/a.html：读写磁盘时出错"), {},
        s("4 个文件：0 个已改写，1 个无需改写，3 个失败；10 字节 → 10 字节，节省 0.0%。"));
    row("in place, the disk fails the sync", kSyncFails, {s("site")},
        s("无法保存文件：site/a.html：读写磁盘时出错"), {},
        s("4 个文件：0 个已改写，1 个无需改写，3 个失败；10 字节 → 10 字节，节省 0.0%。"));
    // The pages are written, but their folder's new entries may not survive a power cut.
    row("the disk fails the sync of the mirror's folders", kFolderSyncFails,
        {s("--output-dir"), s("out"), s("site")}, s("无法同步文件夹：ROOT/out/sub：读写磁盘时出错"),
        {s("out/a.html<site/a.html"), s("out/sub/c.HTML<site/sub/c.HTML")},
        s("4 个文件：2 个已写入，2 个无需写入；2 个文件夹无法同步；37 字节 → 29 字节，节省 "
          "21.6%。"));
    // Each page is on its way to the disk long before its sync: the failure is still its own, and
    // no page takes a target's place.
    row("the disk fails the sync of every page of the mirror", kFileSyncFails,
        {s("--output-dir"), s("out"), s("site")}, s("无法保存文件：out/a.html：读写磁盘时出错"), {},
        s("4 个文件：0 个已写入，2 个无需写入，2 个失败；20 字节 → 16 字节，节省 20.0%。"));
    row("-o naming a device, as root", kDevice, {s("-o"), s("site/dev"), s("site/a.html")},
        s("无法保存文件：site/dev：不是普通文件"), {},
        s("1 个文件：0 个已写入，1 个失败；0 字节 → 0 字节，节省 0.0%。"));
    row("a folder of the mirror that cannot be made", kClosedMirror,
        {s("--output-dir"), s("out"), s("site")}, s("无法保存文件：out/sub/c.HTML：没有写入权限"),
        {}, s("4 个文件：0 个已写入，2 个无需写入，2 个失败；20 字节 → 16 字节，节省 20.0%。"));
    // Only writing it in place would do, which would change the other name too.
    row("a page with a name outside, in a folder that takes no new file", kHardLinkOutsideInPlace,
        {s("site")},
        s("无法保存文件：site/a.html：文件还有不在这里的硬链接，所在文件夹又只允许原地写入"),
        {s("site/gb.html<site/gb.html"), s("site/sub/c.HTML<site/sub/c.HTML")},
        s("4 个文件：2 个已改写，1 个无需改写，1 个失败；23 字节 → 19 字节，节省 17.4%。"));
    row("standard input that is a folder", kFolderAsInput, {s("-")},
        s("无法打开文件：标准输入：这是一个文件夹"), {},
        s("1 个文件：0 个已写入，1 个失败；0 字节 → 0 字节，节省 0.0%。"));
    row("a link out of the tree, left alone", kOutsideLink, {s("site")},
        s("跳过链接：site/evil.html：它指向的 ROOT/other/secret.html 不在要压缩的文件夹里"),
        inPlace, s("4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。"));
    row("a link to a folder beside the tree whose name begins alike", kSiblingLink, {s("site")},
        s("跳过链接：site/evil.html：它指向的 ROOT/site2/secret.html 不在要压缩的文件夹里"),
        inPlace, s("4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。"));
}

// The troublesome file gets its line and stays as it was; every other page is compressed.
void CompressProgramPosixTest::goesOnPastAFailingFile() {
    QFETCH(int, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(QString, errorLine);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    if (needsRoot(Trouble(trouble)) && geteuid() != 0)
        QSKIP("device nodes and running as nobody need root");
#if defined(ZEREDIZ_EMULATOR)
    // qemu-user refuses to load an emulated program's filter (PR_SET_SECCOMP), and the kernel
    // sees only the emulator's own calls, under the host's numbers.
    if (failsSystemCalls(Trouble(trouble)))
        QSKIP("under qemu-user no seccomp filter can make the program's system calls fail");
#endif
    Tree tree;
    makeTrouble(tree, Trouble(trouble));
    verifyFailingRun(tree, arguments, errorLine, compressed, summary,
                     inChildFirst(childSetUp(Trouble(trouble))));
}

void CompressProgramPosixTest::stopsCleanlyOnASignal_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("name");
    QTest::newRow("SIGINT, Ctrl+C") << SIGINT << QStringLiteral("SIGINT");
    QTest::newRow("SIGTERM, kill") << SIGTERM << QStringLiteral("SIGTERM");
    QTest::newRow("SIGHUP, the terminal gone") << SIGHUP << QStringLiteral("SIGHUP");
}

// A run over many pages, stopped by a signal once it has compressed one: it ends with 128 + the
// signal, every page holds its old or its new content, no other file is left, and the summary
// counts the pages that were done.
void CompressProgramPosixTest::stopsCleanlyOnASignal() {
    QFETCH(int, signal);
    QFETCH(QString, name);
    const ManyPages many;
    const ProgramRun run =
        runCompress(many.tree().root(), many.arguments(), {}, {}, [&](qint64 processId) {
            many.waitForFirstPage();
            ::kill(pid_t(processId), signal);
        });
    many.verifyStopped(run, 128 + signal, name);
}

QTEST_GUILESS_MAIN(CompressProgramPosixTest)
#include "compress_program_posix_test.moc"
