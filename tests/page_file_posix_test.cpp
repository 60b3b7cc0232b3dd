#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFileInfo>
#include <QTest>
#include <memory>
#include <optional>

#include "byte_samples.h"
#include "core/encoding/converter.h"
#include "core/pages/save_page.h"
#include "file_rights_posix.h"
#include "page_results.h"
#include "test_folder.h"
#include "tiny_file_system_posix.h"
#include "unprivileged_posix.h"

namespace {

// Lets files grow to at most limit bytes while it lives; a write past it fails with EFBIG, since
// the test case ignores the signal as both programs do.
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

// Opening and saving page files on Linux and its kin: the ways of reading or writing one that fail
// there alone, which leave the file as it was and no temporary file behind, writing in place, and
// what a save keeps of the file it replaces. Many rows need root, for a tiny file system or to act
// as an ordinary user. The ways every system has are in page_file_test.cpp.
class PageFilePosixTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ignoreFileSizeSignal(); }
    void init();
    void openFailure_data();
    void openFailure();
    void refusesCharacterTheEncodingCannotHold_data();
    void refusesCharacterTheEncodingCannotHold();
    void failureKeepsTarget_data();
    void failureKeepsTarget();
    void writesInPlaceWhereFolderTakesNoNewFile_data();
    void writesInPlaceWhereFolderTakesNoNewFile();
    void keepsPermissionBits_data();
    void keepsPermissionBits();

private:
    QTemporaryDir openDir_;  // the pages of the open rows, made once for all of them
    std::unique_ptr<QTemporaryDir> dir_;
};

void PageFilePosixTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    setMode(dir_->path(), 0777);
}

void PageFilePosixTest::openFailure_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("asOrdinaryUser");

    const QString fifo = openDir_.filePath(QStringLiteral("fifo"));
    ::mkfifo(QFile::encodeName(fifo).constData(), 0666);
    const QString locked = writeFile(openDir_, QStringLiteral("locked.htm"), "secret");
    ::chmod(QFile::encodeName(locked).constData(), 0);

    QTest::newRow("FIFO") << fifo << QStringLiteral("不是普通文件") << false;
    QTest::newRow("endless device")
        << QStringLiteral("/dev/zero") << QStringLiteral("不是普通文件") << false;
    QTest::newRow("no read permission") << locked << QStringLiteral("没有读取权限") << true;
}

void PageFilePosixTest::openFailure() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QFETCH(bool, asOrdinaryUser);
    ::chmod(QFile::encodeName(openDir_.path()).constData(), 0755);
    std::optional<Unprivileged> user;
    if (asOrdinaryUser) user.emplace();
    QCOMPARE(failure(openPage(path)), reason);
}

void PageFilePosixTest::refusesCharacterTheEncodingCannotHold_data() {
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
    QTest::newRow("written in place")
        << latin << 3 << QStringLiteral("中") << reason(3, "中", "4E2D", "WINDOWS-1252") << true;
}

void PageFilePosixTest::refusesCharacterTheEncodingCannotHold() {
    QFETCH(QByteArray, page);
    QFETCH(int, line);
    QFETCH(QString, typed);
    QFETCH(QString, reason);
    QFETCH(bool, inPlace);
    const QByteArray oldBytes("old content that must survive\r\n");
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), oldBytes);
    setMode(Unprivileged::giveToUser(target),
            0666);  // the saver's own: replaced, or written in place
    TextBuffer document = opened(writeFile(*dir_, QStringLiteral("page.htm"), page));
    qsizetype lineStart = 0;
    for (int i = 1; i < line; ++i) lineStart = document.bytes.indexOf('\n', lineStart) + 1;
    document.bytes.insert(lineStart, typed.toUtf8());
    const QStringList before = tree(dir_->path());
    if (inPlace) setMode(dir_->path(), 0555);
    WriteResult result;
    {
        Unprivileged user;
        result = savePage(target, document.bytes, document.encoding);
    }
    setMode(dir_->path(), 0777);
    QCOMPARE(readFile(target), oldBytes);
    QCOMPARE(tree(dir_->path()), before);
    QCOMPARE(failure(result), reason);
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

void PageFilePosixTest::failureKeepsTarget_data() {
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
    row("read-only file", "readonly.htm", QStringLiteral("没有写入权限"));
    row("new file in a folder that takes none", "closed/new.htm", QStringLiteral("没有写入权限"),
        kClosedFolder);
    row("device", "/dev/null", QStringLiteral("不是普通文件"));
    row("FIFO without a reader", "fifo", QStringLiteral("不是普通文件"));
    // Texts smaller than a usual write buffer as well as larger ones.
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

// A failed save leaves every file as it was, the target included, and no temporary file.
void PageFilePosixTest::failureKeepsTarget() {
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

    const QByteArray page =
        gb18030 ? QByteArray("\xd6\xd0").repeated(textSize / 2 - 1) : QByteArray(textSize - 2, 'x');
    const TextBuffer document = opened(writeFile(*dir_, QStringLiteral("page.htm"), page));
    const auto stored = encodeDocument(document.bytes, document.encoding);
    QCOMPARE(std::get<QByteArray>(stored).size(), textSize);
    const QStringList before = tree(dir_->path());
    WriteResult result;
    {
        std::optional<FileSizeLimit> sizeLimit;
        if (trouble & kSizeLimit) sizeLimit.emplace(trouble & kLongTarget ? 20 << 10 : 4096);
        if (trouble & kClosedFolder) setMode(folder, 0555);
        Unprivileged user;
        result = savePage(path, document.bytes, document.encoding);
    }
    if (trouble & kClosedFolder) setMode(folder, 0777);
    QCOMPARE(tree(dir_->path()), before);
    if (ownTarget) QCOMPARE(readFile(path), targetBytes);
    if (!ownTarget || path != dir.filePath(QStringLiteral("old.htm")))
        QCOMPARE(readFile(dir_->filePath(QStringLiteral("old.htm"))), oldBytes);
    QCOMPARE(readFile(dir_->filePath(QStringLiteral("readonly.htm"))), oldBytes);
    QCOMPARE(failure(result), reason);
}

// Where a new file could not take the target's place as it was.
enum InPlaceReason {
    kFolderClosed,          // the folder takes no new file
    kStickyFolder,          // a folder such as /tmp, where only a file's owner may replace it
    kAnotherUsersFile,      // another user's writable file: a new one would be the saver's
    kLinkIntoClosedFolder,  // the target is a link into a folder that takes no new file
    kMountedFile,           // a file mounted in its own place, which cannot be renamed over
};

void PageFilePosixTest::writesInPlaceWhereFolderTakesNoNewFile_data() {
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

void PageFilePosixTest::writesInPlaceWhereFolderTakesNoNewFile() {
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
    WriteResult result;
    {
        Unprivileged user;
        result = savePage(target, text, FileEncoding::Utf8);
    }
    setMode(folder, 0777);
    QCOMPARE(failure(result), QString());
    QCOMPARE(readFile(saved), text);
    QVERIFY(rightsOf(saved) == rights);
    QStringList files{QStringLiteral("target.htm")};
    if (mounted) files.prepend(QStringLiteral("elsewhere.htm"));
    QCOMPARE(entries(folder), files);
}

void PageFilePosixTest::keepsPermissionBits_data() {
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("othersFile");    // the file belongs to nobody, and root saves it
    QTest::addColumn<QStringList>("setUp");  // commands run on the file before it is saved
    QTest::addColumn<QString>("lost");       // what the file loses, as the warning says it
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
void PageFilePosixTest::keepsPermissionBits() {
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
    WriteResult result;
    {
        // The file's owner saves what is lost; root saves the rest.
        std::optional<Unprivileged> owner;
        if (!lost.isEmpty()) owner.emplace();
        result = savePage(target, "new", FileEncoding::Utf8);
    }
    QCOMPARE(failure(result), QString());
    QCOMPARE(readFile(target), QByteArray("new"));
    if (!lost.isEmpty()) rights.attributes.remove(lost.section(u'（', 0, 0).toLatin1());
    QVERIFY(rightsOf(target) == rights);
    QCOMPARE(lostAttributesText(std::get<Written>(result).lostAttributes), lost);
}

QTEST_GUILESS_MAIN(PageFilePosixTest)
#include "page_file_posix_test.moc"
