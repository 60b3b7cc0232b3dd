#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRandomGenerator>

#include "app/application_setup.h"
#include "byte_samples.h"
#include "file_rights.h"
#include "form1_harness.h"
#include "tiny_file_system.h"
#include "unprivileged.h"

namespace {

QStringList entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// Every file and folder below folder, for spotting a temporary file left behind.
QStringList tree(const QString &folder) {
    QStringList paths;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) paths.append(it.next());
    paths.sort();
    return paths;
}

void setMode(const QString &path, mode_t mode) {
    ::chmod(QFile::encodeName(path).constData(), mode);
}

// Lets files grow to at most limit bytes while it lives. The window must cope with the signal that
// a write past the limit raises by itself, as its start-up sets it to.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

}  // namespace

class SaveCommandTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUpApplication(*qApp); }
    void init();
    void savesLoadedPageUnderItsOwnName();
    void writesExactlyTheTrimmedBytes_data();
    void writesExactlyTheTrimmedBytes();
    void writesTypedTextUnchanged_data();
    void writesTypedTextUnchanged();
    void cancelTouchesNothing();
    void refusesCharacterTheEncodingCannotHold_data();
    void refusesCharacterTheEncodingCannotHold();
    void failureKeepsTargetAndText_data();
    void failureKeepsTargetAndText();
    void writesInPlaceWhereFolderTakesNoNewFile_data();
    void writesInPlaceWhereFolderTakesNoNewFile();
    void keepsPermissionBits_data();
    void keepsPermissionBits();
    void followsLinks_data();
    void followsLinks();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void SaveCommandTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    setMode(dir_->path(), 0777);
}

void SaveCommandTest::savesLoadedPageUnderItsOwnName() {
    const QByteArray original("<html>\r\n    <body>  \r\n  \xe4\xb8\xad  \r\n</html>  ");
    const QString page = writeFile(*dir_, QStringLiteral("page.htm"), original);
    Form1Harness window;
    window.open(page);
    window.save(page);  // the dialog is confirmed with the name it started with
    QCOMPARE(window.dialogs.startPaths.last(), page);
    QCOMPARE(readFile(page), referenceTrim(original));
    QCOMPARE(window.dialogs.shown.size(), 1);
    const auto &box = window.dialogs.shown.first();
    QCOMPARE(box.icon, PlatformDialogs::Icon::None);
    QCOMPARE(box.title, QStringLiteral("Zerediz"));
    QCOMPARE(box.text, QStringLiteral("压缩完成：）"));
    QCOMPARE(window.textBytes(), referenceTrim(original));
    QCOMPARE(entries(dir_->path()), QStringList{QStringLiteral("page.htm")});
}

void SaveCommandTest::writesExactlyTheTrimmedBytes_data() {
    addGeneratedPageRows();
}

void SaveCommandTest::writesExactlyTheTrimmedBytes() {
    QFETCH(bool, gb18030);
    QRandomGenerator random(gb18030 ? 936 : 65001);
    const QString source = dir_->filePath(QStringLiteral("source.htm"));
    const QString target = dir_->filePath(QStringLiteral("target.htm"));
    Form1Harness window;
    for (int round = 0; round < 150; ++round) {
        const QByteArray file = randomPageBytes(random, gb18030);
        writeFile(*dir_, QStringLiteral("source.htm"), file);
        window.open(source);
        window.save(target);
        const QByteArray saved = readFile(target);
        QVERIFY2(saved == referenceTrim(file), file.toHex(' ').constData());
        window.save(target);
        QCOMPARE(readFile(target), saved);
        // A saved page loads back to itself: compressing it again changes nothing.
        window.open(target);
        window.save(target);
        QCOMPARE(readFile(target), saved);
    }
    QCOMPARE(window.dialogs.shown.size(), 3 * 150);
}

void SaveCommandTest::writesTypedTextUnchanged_data() {
    QTest::addColumn<QByteArray>("loaded");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("from scratch, every kind of line break")
        << QByteArray() << QStringLiteral("  a \r\n b\rc\nd  ") << QByteArray("  a \r\n b\rc\nd  ");
    QTest::newRow("empty text gives an empty file") << QByteArray() << QString() << QByteArray();
    QTest::newRow("typed into a UTF-8 page stays UTF-8")
        << QByteArray("x") << QStringLiteral("中") << QByteArray("中x\r\n");
    QTest::newRow("typed into a GB18030 page is GB18030")
        << QByteArray("\xd6\xd0") << QStringLiteral("文€")
        << QByteArray("\xce\xc4\xa2\xe3\xd6\xd0\r\n");
    QTest::newRow("typed into a UTF-8 page with a stray byte is UTF-8")
        << QByteArray("<p>中文</p>\xff") << QStringLiteral("文")
        << QByteArray("文<p>中文</p>\xff\r\n");
    QTest::newRow("typed into a Big5 page is Big5")
        << QByteArray("<meta charset=big5>\xa4\xa4") << QStringLiteral("文")
        << QByteArray("\xa4\xe5<meta charset=big5>\xa4\xa4\r\n");
    QTest::newRow("typed into a windows-1252 page is windows-1252")
        << QByteArray("<meta charset=\"windows-1252\">caf\xe9") << QStringLiteral("€")
        << QByteArray("\x80<meta charset=\"windows-1252\">caf\xe9\r\n");
}

void SaveCommandTest::writesTypedTextUnchanged() {
    QFETCH(QByteArray, loaded);
    QFETCH(QString, typed);
    QFETCH(QByteArray, file);
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), "old content");
    Form1Harness window;
    if (!loaded.isEmpty()) window.open(writeFile(*dir_, QStringLiteral("page.htm"), loaded));
    // Put in as it is: only what the user types or pastes gets the document's line ends.
    const qsizetype caret = window.text().caret();
    window.text().document().replace(caret, caret, typed.toUtf8());
    window.save(target);
    QCOMPARE(readFile(target), file);
    QCOMPARE(window.dialogs.shown.last().text, QStringLiteral("压缩完成：）"));
}

void SaveCommandTest::cancelTouchesNothing() {
    const QString page = writeFile(*dir_, QStringLiteral("page.htm"), "  untouched  ");
    Form1Harness window;
    window.open(page);
    window.save(std::nullopt);
    QCOMPARE(readFile(page), QByteArray("  untouched  "));
    QVERIFY(window.dialogs.shown.isEmpty());
    QCOMPARE(entries(dir_->path()), QStringList{QStringLiteral("page.htm")});
}

// A save that would put a character into the file in another encoding than the page's own is
// refused, and nothing changes.
void SaveCommandTest::refusesCharacterTheEncodingCannotHold_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<int>("line");  // where the text is typed, at the start of the line
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("inPlace");  // the target's folder takes no new file

    const QByteArray latin("<meta charset=\"windows-1252\">\r\ncaf\xe9\r\n\xff\r\n");
    const auto reason = [](int line, const char *character, const char *code, const char *name) {
        return QStringLiteral("第 %1 行的字符“%2”（U+%3）无法用这个网页的编码 %4 保存")
            .arg(line)
            .arg(QString::fromUtf8(character), QString::fromLatin1(code),
                 QString::fromLatin1(name));
    };
    QTest::newRow("Chinese in a windows-1252 page")
        << latin << 2 << QStringLiteral("中") << reason(2, "中", "4E2D", "WINDOWS-1252") << false;
    QTest::newRow("the first of several is named, after raw bytes")
        << latin << 4 << QStringLiteral("é∑中") << reason(4, "∑", "2211", "WINDOWS-1252") << false;
    QTest::newRow("character beyond the BMP in a Shift_JIS page")
        << QByteArray("<meta charset=shift_jis>\r\n\x93\xfa\r\n") << 2 << QStringLiteral("😀")
        << reason(2, "😀", "1F600", "CP932") << false;
    // glibc's GB18030 has no code for the 24 private-use characters that GB18030-2005 gave
    // to characters of their own.
    QTest::newRow("private-use character in a GB18030 page")
        << QByteArray("\xd6\xd0\xce\xc4\r\n") << 1 << QStringLiteral("\ue78d")
        << reason(1, "\ue78d", "E78D", "GB18030") << false;
    QTest::newRow("written in place")
        << latin << 3 << QStringLiteral("中") << reason(3, "中", "4E2D", "WINDOWS-1252") << true;
}

void SaveCommandTest::refusesCharacterTheEncodingCannotHold() {
    QFETCH(QByteArray, page);
    QFETCH(int, line);
    QFETCH(QString, typed);
    QFETCH(QString, reason);
    QFETCH(bool, inPlace);
    const QByteArray oldBytes("old content that must survive\r\n");
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), oldBytes);
    setMode(Unprivileged::giveToUser(target),
            0666);  // the saver's own: replaced, or written in place
    Form1Harness window;
    window.open(writeFile(*dir_, QStringLiteral("page.htm"), page));
    const qsizetype lineStart = window.text().document().lineStart(line - 1);
    window.text().document().replace(lineStart, lineStart, typed.toUtf8());
    const QByteArray text = window.textBytes();
    const QStringList before = tree(dir_->path());
    if (inPlace) setMode(dir_->path(), 0555);
    {
        Unprivileged user;
        window.save(target);
    }
    setMode(dir_->path(), 0777);
    QCOMPARE(readFile(target), oldBytes);
    QCOMPARE(tree(dir_->path()), before);
    QCOMPARE(window.textBytes(), text);
    QCOMPARE(window.dialogs.shown.size(), 1);
    const auto &box = window.dialogs.shown.first();
    QCOMPARE(box.icon, PlatformDialogs::Icon::Warning);
    QCOMPARE(box.text, QStringLiteral("无法保存文件：") + target + u'\n' + reason);
}

// What stands in the way of a save besides the target itself.
enum Trouble {
    kNone = 0,
    kSizeLimit = 1,       // files may not grow beyond 4096 bytes, or 20 KiB for a long target
    kFullFileSystem = 2,  // the folder "mounted" is a file system with 8 KiB left
    kClosedFolder = 4,    // the target's folder takes no new file: it is written in place
    kNoReservation = 8,   // the folder "mounted" is a file system that cannot reserve space
    kWriteOnly = 16,      // the target may be written, not read
    kLongTarget = 32,     // the target is a page of 52,800 bytes
};

void SaveCommandTest::failureKeepsTargetAndText_data() {
    QTest::addColumn<QString>("target");  // relative to the test folder
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("trouble");
    QTest::addColumn<int>("textSize");  // what the page and its text take on disk
    QTest::addColumn<bool>("gb18030");

    const auto row = [](const char *name, const char *target, const QString &reason,
                        int trouble = kNone, int textSize = 100000, bool gb18030 = false) {
        QTest::newRow(name) << QString::fromUtf8(target) << reason << trouble << textSize
                            << gb18030;
    };
    const QString full = QStringLiteral("磁盘空间不足");
    const QString limit = QStringLiteral("超出了文件大小限制");
    row("missing folder", "missing/out.htm", QStringLiteral("文件夹不存在"));
    row("target is a folder", "folder", QStringLiteral("这是一个文件夹"));
    row("path through a file", "old.htm/out.htm", QStringLiteral("文件夹不存在"));
    row("read-only file", "readonly.htm", QStringLiteral("没有写入权限"));
    row("new file in a folder that takes none", "closed/new.htm", QStringLiteral("没有写入权限"),
        kClosedFolder);
    row("device", "/dev/null", QStringLiteral("不是普通文件"));
    row("FIFO without a reader", "fifo", QStringLiteral("不是普通文件"));
    // Texts smaller than Qt's 16 KiB write buffer as well as larger ones.
    row("size limit, 100000 bytes", "old.htm", limit, kSizeLimit);
    row("size limit, 5000 bytes", "old.htm", limit, kSizeLimit, 5000);
    row("size limit, 12 KiB GB18030", "old.htm", limit, kSizeLimit, 12 << 10, true);
    row("size limit, 20 KiB", "old.htm", limit, kSizeLimit, 20 << 10);
    row("full file system, 12 KiB", "mounted/old.htm", full, kFullFileSystem, 12 << 10);
    row("full file system, 12 KiB GB18030", "mounted/old.htm", full, kFullFileSystem, 12 << 10,
        true);
    row("full file system, 100000 bytes", "mounted/old.htm", full, kFullFileSystem);
    row("in place, size limit, 5000 bytes", "old.htm", limit, kSizeLimit | kClosedFolder, 5000);
    row("in place, size limit, 20 KiB GB18030", "old.htm", limit, kSizeLimit | kClosedFolder,
        20 << 10, true);
    row("in place, full file system", "mounted/old.htm", full, kFullFileSystem | kClosedFolder);
    row("in place, nothing reserved, size limit", "mounted/old.htm", limit,
        kNoReservation | kSizeLimit | kClosedFolder);
    // The file is longer than its new text, so the space is there, yet every write past the limit
    // fails; nothing of the file could be put back.
    row("in place, write-only, 43200 bytes under a 20 KiB limit", "old.htm", limit,
        kLongTarget | kWriteOnly | kSizeLimit | kClosedFolder, 43200);
    // Putting the old bytes back, should writing fail, would run into the limit.
    row("in place, shrinking a page longer than the limit", "old.htm", limit,
        kLongTarget | kSizeLimit | kClosedFolder, 5000);
    row("in place, write-only, nothing reserved", "mounted/old.htm",
        QStringLiteral("文件不可读且无法预留空间，不能安全地原地写入"),
        kWriteOnly | kNoReservation | kClosedFolder, 5000);
    row("in place, write-only, full file system", "mounted/old.htm", full,
        kLongTarget | kWriteOnly | kFullFileSystem | kClosedFolder);
}

void SaveCommandTest::failureKeepsTargetAndText() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QFETCH(int, trouble);
    QFETCH(int, textSize);
    QFETCH(bool, gb18030);
    const QDir dir(dir_->path());
    std::optional<TinyFileSystem> fileSystem;
    if (trouble & (kFullFileSystem | kNoReservation)) {
        fileSystem.emplace(dir.filePath(QStringLiteral("mounted")), trouble & kFullFileSystem
                                                                        ? TinyFileSystem::Tmpfs
                                                                        : TinyFileSystem::Ramfs);
        if (!fileSystem->isMounted()) QSKIP("mounting a file system for the test needs root");
    }
    dir.mkdir(QStringLiteral("folder"));
    dir.mkdir(QStringLiteral("closed"));
    ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0);
    setMode(dir.filePath(QStringLiteral("fifo")), 0666);
    const QByteArray oldBytes("old content that must survive\r\n");
    const QString path = dir.filePath(target);
    const QString folder = QFileInfo(path).absolutePath();
    // The saver's own files, which a new file may replace.
    const auto saversFile = [&](const QString &name, const QByteArray &bytes, mode_t mode) {
        setMode(Unprivileged::giveToUser(writeFile(*dir_, name, bytes)), mode);
    };
    saversFile(QStringLiteral("old.htm"), oldBytes, 0666);
    saversFile(QStringLiteral("readonly.htm"), oldBytes, 0444);
    // A target of its own: on the mounted file system, write-only or long.
    const bool ownTarget = fileSystem || (trouble & (kWriteOnly | kLongTarget));
    const QByteArray targetBytes = trouble & kLongTarget ? indentedLines(1200) : oldBytes;
    if (ownTarget) {
        saversFile(target, targetBytes, trouble & kWriteOnly ? 0222 : 0666);
        if (trouble & kFullFileSystem) fileSystem->fillUpTo(8 << 10);
    }

    Form1Harness window;
    const QByteArray page =
        gb18030 ? QByteArray("\xd6\xd0").repeated(textSize / 2 - 1) : QByteArray(textSize - 2, 'x');
    window.open(writeFile(*dir_, QStringLiteral("page.htm"), page));
    QCOMPARE(window.encodedText().size(), textSize);
    const QStringList before = tree(dir_->path());
    {
        std::optional<FileSizeLimit> sizeLimit;
        if (trouble & kSizeLimit) sizeLimit.emplace(trouble & kLongTarget ? 20 << 10 : 4096);
        if (trouble & kClosedFolder) setMode(folder, 0555);
        Unprivileged user;
        window.save(path);
    }
    if (trouble & kClosedFolder) setMode(folder, 0777);
    QCOMPARE(tree(dir_->path()), before);
    if (ownTarget) QCOMPARE(readFile(path), targetBytes);
    if (!ownTarget || path != dir.filePath(QStringLiteral("old.htm")))
        QCOMPARE(readFile(dir_->filePath(QStringLiteral("old.htm"))), oldBytes);
    QCOMPARE(readFile(dir_->filePath(QStringLiteral("readonly.htm"))), oldBytes);
    QCOMPARE(window.encodedText(), referenceTrim(page));
    QCOMPARE(window.dialogs.shown.size(), 1);
    const auto &box = window.dialogs.shown.first();
    QCOMPARE(box.icon, PlatformDialogs::Icon::Warning);
    QCOMPARE(box.title, QStringLiteral("Zerediz"));
    QCOMPARE(box.text, QStringLiteral("无法保存文件：") + path + u'\n' + reason);
    window.save(std::nullopt);
    QCOMPARE(window.dialogs.startPaths.last(), dir.filePath(QStringLiteral("page.htm")));
}

// Where a new file could not take the target's place as it was.
enum InPlaceReason {
    kFolderClosed,          // the folder takes no new file
    kStickyFolder,          // a folder such as /tmp, where only a file's owner may replace it
    kAnotherUsersFile,      // another user's writable file: a new one would be the saver's
    kLinkIntoClosedFolder,  // the target is a link into a folder that takes no new file
    kMountedFile,           // a file mounted in its own place, which cannot be renamed over
};

void SaveCommandTest::writesInPlaceWhereFolderTakesNoNewFile_data() {
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<int>("reason");
    const QByteArray longer = indentedLines(1200);
    const auto row = [](const char *name, const QByteArray &old, const QByteArray &text, uint mode,
                        InPlaceReason reason = kFolderClosed) {
        QTest::newRow(name) << old << text << mode << int(reason);
    };
    row("grows", "old", "new\r\n", 0666);
    row("shrinks, its old tail cut off", longer, "new\r\n", 0666);
    row("write-only file, grows", "old", longer, 0222);
    row("write-only file, shrinks", longer, "new\r\n", 0222);
    row("in a sticky folder", "old", "new\r\n", 0666, kStickyFolder);
    row("another user's file, which stays his", "old", "new\r\n", 0666, kAnotherUsersFile);
    row("through a link into a folder that takes no new file", "old", "new\r\n", 0666,
        kLinkIntoClosedFolder);
    row("a file mounted in its own place", "old", "new\r\n", 0666, kMountedFile);
}

void SaveCommandTest::writesInPlaceWhereFolderTakesNoNewFile() {
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, text);
    QFETCH(uint, mode);
    QFETCH(int, reason);
    const QDir dir(dir_->path());
    const bool intoClosedFolder = reason == kFolderClosed || reason == kLinkIntoClosedFolder;
    dir.mkdir(QStringLiteral("real"));
    QString target = writeFile(*dir_, QStringLiteral("real/target.htm"), old);
    setMode(target, mode);
    std::optional<BindMount> mounted;
    if (reason == kMountedFile) {
        // The saver's own file, which a new one could otherwise replace.
        Unprivileged::giveToUser(target);
        const QString elsewhere = writeFile(*dir_, QStringLiteral("real/elsewhere.htm"), old);
        setMode(Unprivileged::giveToUser(elsewhere), mode);
        mounted.emplace(elsewhere, target);
        if (!mounted->isMounted()) QSKIP("mounting a file needs root");
    }
    const QString saved = target;
    if (reason == kLinkIntoClosedFolder) {
        target = dir.filePath(QStringLiteral("link.htm"));
        QVERIFY(QFile::link(QStringLiteral("real/target.htm"), target));
    }
    const FileRights rights = rightsOf(saved);
    const QString folder = dir.filePath(QStringLiteral("real"));
    setMode(folder, intoClosedFolder ? 0555 : reason == kStickyFolder ? 01777 : 0777);
    Form1Harness window;
    window.setText(text);
    {
        Unprivileged user;
        window.save(target);
    }
    setMode(folder, 0777);
    QCOMPARE(readFile(saved), text);
    QVERIFY(rightsOf(saved) == rights);
    QCOMPARE(window.dialogs.shown.last().text, QStringLiteral("压缩完成：）"));
    QStringList files{QStringLiteral("target.htm")};
    if (mounted) files.prepend(QStringLiteral("elsewhere.htm"));
    QCOMPARE(entries(folder), files);
}

void SaveCommandTest::keepsPermissionBits_data() {
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("othersFile");    // the file belongs to nobody, and root saves it
    QTest::addColumn<QStringList>("setUp");  // commands run on the file before it is saved
    QTest::addColumn<QString>("lost");       // what the file loses, and so the warning says
    const auto row = [](const char *name, uint mode, bool othersFile, const QStringList &setUp = {},
                        const QString &lost = {}) {
        QTest::newRow(name) << mode << othersFile << setUp << lost;
    };
    const QString acl = QStringLiteral("setfacl -m u:daemon:rw");
    row("private", 0600, false);
    row("group readable", 0640, false);
    row("executable", 0755, false);
    row("another user's, group readable", 0640, true);
    row("another user's, set-group-ID", 02750, true);
    // The list's mask shows as the group's bits: a new file without the list would give the
    // group what the mask lets through.
    row("an access control list", 0640, false, {acl});
    row("an attribute of the user's", 0644, false,
        {QStringLiteral("setfattr -n user.origin -v zerediz")});
    row("another user's, with an access control list", 0640, true, {acl});
    // Its owner may write the file but not read it, nor so its attribute.
    row("a write-only file's attribute, which cannot be read", 0222, true,
        {QStringLiteral("setfattr -n user.origin -v zerediz")},
        QStringLiteral("user.origin（没有读取权限）"));
}

// The saved file gives the same rights to the same people as the file it replaced.
void SaveCommandTest::keepsPermissionBits() {
    QFETCH(uint, mode);
    QFETCH(bool, othersFile);
    QFETCH(QStringList, setUp);
    QFETCH(QString, lost);
    if (othersFile && geteuid() != 0) QSKIP("only root can save another user's file");
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), "old");
    const QByteArray name = QFile::encodeName(target);
    if (othersFile) QVERIFY(::chown(name.constData(), Unprivileged::kNobody, 65534) == 0);
    setMode(target, mode);
    for (const QString &command : setUp) QVERIFY2(runOn(command, target), qPrintable(command));
    FileRights rights = rightsOf(target);
    Form1Harness window;
    window.setText("new");
    {
        // The file's owner saves what is lost; root saves the rest.
        std::optional<Unprivileged> owner;
        if (!lost.isEmpty()) owner.emplace();
        window.save(target);
    }
    QCOMPARE(readFile(target), QByteArray("new"));
    if (!lost.isEmpty()) rights.attributes.remove(lost.section(u'（', 0, 0).toLatin1());
    QVERIFY(rightsOf(target) == rights);
    QCOMPARE(window.dialogs.shown.first().text, QStringLiteral("压缩完成：）"));
    QCOMPARE(window.dialogs.shown.size(), lost.isEmpty() ? 1 : 2);
    if (!lost.isEmpty())
        QCOMPARE(window.dialogs.shown.last().text,
                 QStringLiteral("未能保留扩展属性：") + target + u'\n' + lost);
}

void SaveCommandTest::followsLinks_data() {
    QTest::addColumn<bool>("hardLink");
    QTest::newRow("symbolic link, which stays a link") << false;
    QTest::newRow("hard link: both names get the text and stay one file") << true;
}

void SaveCommandTest::followsLinks() {
    QFETCH(bool, hardLink);
    QDir(dir_->path()).mkdir(QStringLiteral("real"));
    const QString real = writeFile(*dir_, QStringLiteral("real/page.htm"), "old");
    const QString link = dir_->filePath(QStringLiteral("link.htm"));
    if (hardLink)
        QVERIFY(::link(QFile::encodeName(real).constData(), QFile::encodeName(link).constData()) ==
                0);
    else
        QVERIFY(QFile::link(QStringLiteral("real/page.htm"), link));
    Form1Harness window;
    window.setText("through the link");
    window.save(link);
    QCOMPARE(readFile(real), QByteArray("through the link"));
    QCOMPARE(readFile(link), QByteArray("through the link"));
    if (hardLink) {
        struct stat status {};
        ::stat(QFile::encodeName(link).constData(), &status);
        QCOMPARE(status.st_nlink, nlink_t(2));
    } else {
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), QFileInfo(real).absoluteFilePath());
    }
    QCOMPARE(entries(dir_->filePath(QStringLiteral("real"))),
             QStringList{QStringLiteral("page.htm")});
}

QTEST_MAIN(SaveCommandTest)
#include "save_command_test.moc"
