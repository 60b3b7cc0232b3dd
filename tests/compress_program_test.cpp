#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>

#include "byte_samples.h"
#include "compress_program.h"
#include "file_rights.h"
#include "zerediz_version.h"

// zerediz-compress as scripts run it: the real program on a real tree of pages.
namespace {

struct FileState {
    QByteArray bytes;  // empty for what is not a regular file
    qint64 modified = 0;
    bool regular = true;
    ino_t inode = 0;
    FileRights rights;
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
                        S_ISREG(status.st_mode) != 0,
                        status.st_ino,
                        rightsOf(path)};
        if (state.regular) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) state.bytes = file.readAll();
        }
        files.insert(QDir(root).relativeFilePath(path), state);
    }
    return files;
}

QByteArray readFileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A page far larger than a pipe holds, and what it compresses to.
const QByteArray kLongPage = QByteArray("  x  \r\n").repeated(150000);
const QByteArray kLongPageCompressed = QByteArray("x\r\n").repeated(150000);

// The tree each test starts from, every file dated long ago: pages that change, one that does
// not, a GB18030 page, an upper-case extension, a page in a dot folder, a text file, a name that
// ends in an extension without its dot, a link to a page and a link to a folder that would make a
// loop, two mirror files that are up to date (one of a page that changes), and, apart, a long
// page.
class Tree {
public:
    Tree() {
        add("site/a.html", "  <p>a</p>  \r\n");
        add("site/b.htm", "<p>b</p>\r\n");
        add("site/gb.html", "  \xd6\xd0\xce\xc4  \r\n");
        add("site/notes.txt", "  x  \r\n");
        add("site/ahtml", "  not a page  \r\n");
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
// left; a file whose bytes did not change was not written at all (its time stamp stands); every
// file gives the same rights to the same people; the links are still links.
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
        if (!targets.contains(it.key())) {
            QVERIFY2(it->regular == before[it.key()].regular, qPrintable(it.key()));
            QVERIFY2(it->bytes == before[it.key()].bytes, qPrintable(it.key()));
        }
        if (it->bytes == before[it.key()].bytes)
            QVERIFY2(it->modified == before[it.key()].modified, qPrintable(it.key()));
        QVERIFY2(it->rights == before[it.key()].rights, qPrintable(it.key()));
    }
    QVERIFY(QFileInfo(tree.path("site/link.html")).symLinkTarget() == tree.path("site/sub/c.HTML"));
    QVERIFY(QFileInfo(tree.path("site/loop")).isSymLink());
}

// What a row adds to the tree, and how the program is held back.
enum Trouble {
    kNone,
    kFifo,
    kFolderAtTarget,
    kSizeLimit,
    kGbkName,
    kSizeLimitInPlace,        // a page of 52,800 bytes, in place as nobody, under ulimit -f 20
    kReadFails,               // in place as nobody, where reading a file's old content fails
    kSyncFails,               // in place as nobody, where the disk fails every sync
    kFolderSyncFails,         // where the disk fails every sync of a folder
    kDevice,                  // a device node, site/dev
    kOutsideLink,             // site/evil.html, nobody's link to other/secret.html
    kSiblingLink,             // site/evil.html, a link to site2/secret.html, named like site
    kLeftover,                // a temporary file that a killed save left behind
    kHardLink,                // site/hard.html, another name of site/a.html
    kHardLinkOutside,         // other/a-too.html, another name of site/a.html
    kHardLinkOutsideInPlace,  // the same, in place as nobody
    kRights,                  // an access control list on site/a.html, an attribute on site/gb.html
    kMirrorInside,            // site/min, a mirror from an earlier run, inside the tree
    kClosedMirror,            // out, a mirror where nobody may make anything, and the run as nobody
    kFolderAsInput,           // standard input open on the tree's folder
};

constexpr uid_t kNobody = 65534;

void setMode(const Tree &tree, const char *relative, mode_t mode) {
    ::chmod(QFile::encodeName(tree.path(relative)).constData(), mode);
}

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
        case kFolderAtTarget:
            QDir().mkpath(tree.path("out/a.html"));
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
        case kLeftover:
            tree.add("site/.a.html.zerediz-Ab12Cd.tmp", "  <p>a</p>  \r\n");
            break;
        case kHardLink:
            ::link(name("site/a.html").constData(), name("site/hard.html").constData());
            break;
        case kHardLinkOutside:
        case kHardLinkOutsideInPlace:
            ::link(name("site/a.html").constData(), name("other/a-too.html").constData());
            if (trouble == kHardLinkOutsideInPlace) closeFolders(tree);
            break;
        case kRights:
            setMode(tree, "site/a.html", 0640);
            run(QStringLiteral("setfacl"),
                {QStringLiteral("-m"), QStringLiteral("u:daemon:rw"), tree.path("site/a.html")});
            run(QStringLiteral("setfattr"),
                {QStringLiteral("-n"), QStringLiteral("user.origin"), QStringLiteral("-v"),
                 QStringLiteral("zerediz"), tree.path("site/gb.html")});
            break;
        case kMirrorInside:
            tree.add("site/min/a.html", "<p>a</p>\r\n");
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

// How the program is started for a row: its limits, its failing calls and its user.
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
        case kFolderAsInput:
            return [] { ::dup2(::open(".", O_RDONLY | O_DIRECTORY), STDIN_FILENO); };
        case kClosedMirror:
        case kHardLinkOutsideInPlace:
            return becomeNobody;
        default:
            return {};
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
    void stopsCleanlyOnASignal_data();
    void stopsCleanlyOnASignal();
    void answersWithoutCompressing_data();
    void answersWithoutCompressing();
};

void CompressProgramTest::compressesWhatItIsAskedFor_data() {
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
    const auto nulEnded = [](const QByteArrayList &names) {
        QByteArray list;
        for (const QByteArray &name : names) list += name + '\0';
        return list;
    };

    row("in place: pages of the tree, a link's page once")
        << QStringList{s("site")} << QByteArray() << 0 << QByteArray() << inPlace
        << s("4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。\n") << 0;
    row("in place, one job at a time, quiet") << QStringList{s("-qj1"), s("site")} << QByteArray()
                                              << 0 << QByteArray() << inPlace << QString() << 0;
    row("a file named on its own, whatever its extension")
        << QStringList{s("site/notes.txt")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("site/notes.txt<site/notes.txt")}
        << s("1 个文件：1 个已改写；7 字节 → 3 字节，节省 57.1%。\n") << 0;
    row("--ext instead of the page extensions")
        << QStringList{s("--ext"), s(".TXT, htm"), s("site")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("site/notes.txt<site/notes.txt")}
        << s("2 个文件：1 个已改写，1 个无需改写；17 字节 → 13 字节，节省 23.5%。\n") << 0;
    row("--output-dir: a mirror, up-to-date files left alone, a link's page once")
        << QStringList{s("--output-dir"), s("out"), s("site")} << QByteArray() << 0 << QByteArray()
        << QStringList{s("out/a.html<site/a.html"), s("out/b.htm<site/b.htm"),
                       s("out/gb.html<site/gb.html"), s("out/sub/c.HTML<site/sub/c.HTML")}
        << s("4 个文件：2 个已写入，2 个无需写入；37 字节 → 29 字节，节省 21.6%。\n") << 0;
    row("--output-dir, the mirror up to date: nothing written")
        << QStringList{s("--output-dir"), s("out"), s("site/gb.html")} << QByteArray() << 0
        << QByteArray() << QStringList{s("out/gb.html<site/gb.html")}
        << s("1 个文件：0 个已写入，1 个无需写入；10 字节 → 6 字节，节省 40.0%。\n") << 0;
    row("-o") << QStringList{s("-o"), s("single.html"), s("site/a.html")} << QByteArray() << 0
              << QByteArray() << QStringList{s("single.html<site/a.html")}
              << s("1 个文件：1 个已写入；14 字节 → 10 字节，节省 28.6%。\n") << 0;
    row("-o - with a file") << QStringList{s("-o-"), s("site/a.html")} << QByteArray() << 0
                            << QByteArray("<p>a</p>\r\n") << QStringList()
                            << s("1 个文件：1 个已写入；14 字节 → 10 字节，节省 28.6%。\n") << 0;
    // The page cannot all go into the pipe before the test reads it, so the run lasts until
    // the bar has shown.
    for (const int columns : {40, 8})
        QTest::addRow("-o - on a terminal of %d columns: the bar fits, and goes", columns)
            << int(kNone) << QStringList{s("-o-"), s("long/page.html")} << QByteArray() << 0
            << kLongPageCompressed << QStringList()
            << s("1 个文件：1 个已写入；1050000 字节 → 450000 字节，节省 57.1%。\n") << columns;
    row("--check lists the pages that would change")
        << QStringList{s("--check"), s("site")} << QByteArray() << 1
        << QByteArray("site/a.html\nsite/gb.html\nsite/sub/c.HTML\n") << QStringList()
        << s("4 个文件：3 个需要压缩，1 个无需压缩；37 字节 → 29 字节，可节省 21.6%。\n") << 0;
    row("--check on a compressed page")
        << QStringList{s("--check"), s("site/b.htm")} << QByteArray() << 0 << QByteArray()
        << QStringList()
        << s("1 个文件：0 个需要压缩，1 个无需压缩；10 字节 → 10 字节，可节省 0.0%。\n") << 0;
    row("standard input to standard output")
        << QStringList{s("-")} << QByteArray("  x  \r\n  y") << 0 << QByteArray("x\r\ny\r\n")
        << QStringList() << s("1 个文件：1 个已写入；10 字节 → 6 字节，节省 40.0%。\n") << 0;
    row("standard input that grows")
        << QStringList{s("-")} << QByteArray("a\rb") << 0 << QByteArray("a\r\nb\r\n")
        << QStringList() << s("1 个文件：1 个已写入；3 字节 → 6 字节，增加 100.0%。\n") << 0;
    row("standard input to -o") << QStringList{s("-o"), s("single.html"), s("-")}
                                << QByteArray("  x  ") << 0 << QByteArray()
                                << QStringList{s("single.html<-")}
                                << s("1 个文件：1 个已写入；5 字节 → 3 字节，节省 40.0%。\n") << 0;
    row("standard input, a page of LF lines with a pre")
        << QStringList{s("-")} << QByteArray("  <pre>\n  a  \n</pre>  \n  b  ") << 0
        << QByteArray("<pre>\n  a  \n</pre>\nb\n") << QStringList()
        << s("1 个文件：1 个已写入；28 字节 → 21 字节，节省 25.0%。\n") << 0;
    row("standard input, --check of a page of LF lines")
        << QStringList{s("--check"), s("-")} << QByteArray(" x\n") << 1 << QByteArray("-\n")
        << QStringList() << s("1 个文件：1 个需要压缩；3 字节 → 2 字节，可节省 33.3%。\n") << 0;
    row("standard input, --check of a trimmed page of LF lines")
        << QStringList{s("--check"), s("-")} << QByteArray("<pre>\n  x  \n</pre>\n") << 0
        << QByteArray() << QStringList()
        << s("1 个文件：0 个需要压缩，1 个无需压缩；19 字节 → 19 字节，可节省 0.0%。\n") << 0;
    row("standard input, --check")
        << QStringList{s("--check"), s("-")} << QByteArray(" x") << 1 << QByteArray("-\n")
        << QStringList() << s("1 个文件：1 个需要压缩；2 字节 → 3 字节，会增加 50.0%。\n") << 0;
    row("in place: both names of a hard-linked page, which stay one file", kHardLink)
        << QStringList{s("site")} << QByteArray() << 0 << QByteArray()
        << inPlace + QStringList{s("site/hard.html<site/a.html")}
        << s("5 个文件：4 个已改写，1 个无需改写；51 字节 → 39 字节，节省 23.5%。\n") << 0;
    row("--check lists both names of a hard-linked page", kHardLink)
        << QStringList{s("--check"), s("site")} << QByteArray() << 1
        << QByteArray("site/a.html\nsite/hard.html\nsite/gb.html\nsite/sub/c.HTML\n")
        << QStringList()
        << s("5 个文件：4 个需要压缩，1 个无需压缩；51 字节 → 39 字节，可节省 23.5%。\n") << 0;
    row("in place: a page with a name outside gets a file of its own", kHardLinkOutside)
        << QStringList{s("site")} << QByteArray() << 0 << QByteArray() << inPlace
        << s("4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。\n") << 0;
    row("--check -0 ends each name with a NUL")
        << QStringList{s("--check"), s("-0"), s("site")} << QByteArray() << 1
        << nulEnded({"site/a.html", "site/gb.html", "site/sub/c.HTML"}) << QStringList()
        << s("4 个文件：3 个需要压缩，1 个无需压缩；37 字节 → 29 字节，可节省 21.6%。\n") << 0;
    row("--check --null, on a page and standard input alike")
        << QStringList{s("--check"), s("--null"), s("-")} << QByteArray(" x") << 1
        << nulEnded({"-"}) << QStringList()
        << s("1 个文件：1 个需要压缩；2 字节 → 3 字节，会增加 50.0%。\n") << 0;
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
    row("--output-dir inside the tree, which is not walked", kMirrorInside)
        << QStringList{s("--output-dir"), s("site/min"), s("site")} << QByteArray() << 0
        << QByteArray()
        << QStringList{s("site/min/a.html<site/a.html"), s("site/min/b.htm<site/b.htm"),
                       s("site/min/gb.html<site/gb.html"), s("site/min/sub/c.HTML<site/sub/c.HTML")}
        << s("4 个文件：3 个已写入，1 个无需写入；37 字节 → 29 字节，节省 21.6%。\n") << 0;
    row("a temporary file left behind is reported and never taken for a page", kLeftover)
        << QStringList{s("--ext"), s("htm,html,tmp"), s("site")} << QByteArray() << 0
        << QByteArray() << inPlace
        << s("发现临时文件：site/.a.html.zerediz-Ab12Cd.tmp（Zerediz "
             "的保存被中断时留下的，没有删除）\n"
             "4 个文件：3 个已改写，1 个无需改写；37 字节 → 29 字节，节省 21.6%。\n")
        << 0;
}

void CompressProgramTest::compressesWhatItIsAskedFor() {
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
    const Snapshot before = snapshotOf(tree.root());
    if (terminalColumns == 0) {
        const ProgramRun run = runCompress(tree.root(), arguments, input);
        QCOMPARE(QString::fromUtf8(run.standardError), summary);
        QCOMPARE(run.standardOutput, standardOutput);
        QCOMPARE(run.exitCode, exitCode);
        verifyTree(tree, before, compressed, input);
        const auto inode = [&](const char *path) {
            struct stat status {};
            ::lstat(QFile::encodeName(tree.path(path)).constData(), &status);
            return status.st_ino;
        };
        if (trouble == kHardLink) QCOMPARE(inode("site/hard.html"), inode("site/a.html"));
        if (trouble == kHardLinkOutside) QVERIFY(inode("other/a-too.html") != inode("site/a.html"));
        return;
    }
    // Whatever the bar drew, only the summary stays on the screen: every line of the bar fitted
    // and was taken away.
    PseudoTerminal terminal(terminalColumns);
    bool barShown = false;
    const ProgramRun run = runCompress(
        tree.root(), arguments, input, [&] { terminal.becomeStandardError(); },
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

void CompressProgramTest::goesOnPastAFailingFile_data() {
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
    row("a PATH that does not exist", kNone, {s("missing.html"), s("site")},
        s("无法打开文件：missing.html：文件不存在"), inPlace, inPlaceSummary);
    row("a page whose name is not UTF-8", kGbkName, {s("site")},
        s("无法打开文件：site/\xef\xbf\xbd\xef\xbf\xbd.html：文件名不是 UTF-8"), inPlace,
        inPlaceSummary);
    row("a folder where the mirror's file goes", kFolderAtTarget,
        {s("--output-dir"), s("out"), s("site")}, s("无法保存文件：out/a.html：这是一个文件夹"),
        {s("out/b.htm<site/b.htm"), s("out/gb.html<site/gb.html"),
         s("out/sub/c.HTML<site/sub/c.HTML")},
        s("4 个文件：1 个已写入，2 个无需写入，1 个失败；23 字节 → 19 字节，节省 17.4%。"));
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
void CompressProgramTest::goesOnPastAFailingFile() {
    QFETCH(int, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(QString, errorLine);
    QFETCH(QStringList, compressed);
    QFETCH(QString, summary);
    if (needsRoot(Trouble(trouble)) && geteuid() != 0)
        QSKIP("device nodes and running as nobody need root");
    Tree tree;
    makeTrouble(tree, Trouble(trouble));
    const Snapshot before = snapshotOf(tree.root());
    const ProgramRun run = runCompress(tree.root(), arguments, {}, childSetUp(Trouble(trouble)));
    QStringList lines = QString::fromUtf8(run.standardError).split(u'\n');
    QVERIFY2(lines.size() >= 2, run.standardError.constData());
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.takeLast(), summary);
    errorLine.replace(QStringLiteral("ROOT"), QFileInfo(tree.root()).canonicalFilePath());
    QVERIFY2(lines.contains(errorLine), qPrintable(lines.join(u'\n')));
    // A folder that could not be read or synced fails the run too, though it is no file.
    const bool failed =
        summary.contains(QStringLiteral("失败")) || summary.contains(QStringLiteral("无法"));
    QCOMPARE(run.exitCode, failed ? 1 : 0);
    verifyTree(tree, before, compressed, {});
}

void CompressProgramTest::stopsCleanlyOnASignal_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("name");
    QTest::newRow("SIGINT, Ctrl+C") << SIGINT << QStringLiteral("SIGINT");
    QTest::newRow("SIGTERM, kill") << SIGTERM << QStringLiteral("SIGTERM");
    QTest::newRow("SIGHUP, the terminal gone") << SIGHUP << QStringLiteral("SIGHUP");
}

// A run over many pages, stopped by a signal once it has compressed one: it ends with 128 + the
// signal, every page holds its old or its new content, no other file is left, and the summary
// counts the pages that were done.
void CompressProgramTest::stopsCleanlyOnASignal() {
    QFETCH(int, signal);
    QFETCH(QString, name);
    Tree tree;
    const QByteArray page = QByteArray("    <p>line</p>    \r\n").repeated(1000);
    QStringList pages;
    for (int i = 0; i < 3000; ++i) {
        const QByteArray path =
            "many/" + QByteArray::number(i / 100) + "/p" + QByteArray::number(i % 100) + ".html";
        tree.add(path.constData(), page);
        pages.append(QString::fromLatin1(path));
    }
    const QByteArray compressed = referenceTrim(page);
    const QString first = tree.path("many/0/p0.html");
    const ProgramRun run = runCompress(
        tree.root(), {QStringLiteral("-j1"), QStringLiteral("many")}, {}, {},
        [&](qint64 processId) {
            // Not for ever: a run that never gets there fails below.
            for (int wait = 0; wait < 10000 && readFileBytes(first) != compressed; ++wait)
                QThread::msleep(1);
            ::kill(pid_t(processId), signal);
        });
    QCOMPARE(run.exitCode, 128 + signal);

    QStringList found;
    QDirIterator it(tree.path("many"),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!QFileInfo(path).isDir()) found.append(QDir(tree.root()).relativeFilePath(path));
    }
    found.sort();
    pages.sort();
    QCOMPARE(found, pages);
    qsizetype done = 0;
    for (const QString &path : pages) {
        const QByteArray bytes = readFileBytes(tree.path(path.toLatin1().constData()));
        QVERIFY2(bytes == page || bytes == compressed, qPrintable(path));
        done += bytes == compressed;
    }
    QVERIFY2(done > 0 && done < pages.size(), "the run was stopped while it went on");
    const QString summary = QString::fromUtf8(run.standardError).trimmed().split(u'\n').last();
    QVERIFY2(summary.startsWith(QStringLiteral("已中断（%1），还有 %2 个文件没有处理。%3 个文件：")
                                    .arg(name)
                                    .arg(pages.size() - done)
                                    .arg(done)),
             qPrintable(summary));
}

void CompressProgramTest::answersWithoutCompressing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("answer");  // the start of standard output, or else of standard error
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QString usage = s("zerediz-compress：");

    QTest::newRow("--help") << QStringList{s("--help")} << 0
                            << s("用法：") + compressProgram().path + s(" [选项] PATH...\n");
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
