#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <csignal>

#include "byte_samples.h"
#include "form1_harness.h"
#include "unprivileged.h"

namespace {

QStringList entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

mode_t modeOf(const QString &path) {
    struct stat status {};
    ::stat(QFile::encodeName(path).constData(), &status);
    return status.st_mode & 07777;
}

void setMode(const QString &path, mode_t mode) {
    ::chmod(QFile::encodeName(path).constData(), mode);
}

// Lets files grow to at most limit bytes, as a full disk would, while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, SIG_IGN);
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
    void init();
    void savesLoadedPageUnderItsOwnName();
    void writesExactlyTheTrimmedBytes_data();
    void writesExactlyTheTrimmedBytes();
    void writesTypedTextUnchanged_data();
    void writesTypedTextUnchanged();
    void cancelTouchesNothing();
    void failureKeepsTargetAndText_data();
    void failureKeepsTargetAndText();
    void writesInPlaceWhereFolderTakesNoNewFile();
    void keepsPermissionBits_data();
    void keepsPermissionBits();
    void followsSymbolicLink();

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
    QCOMPARE(window.messages.shown.size(), 1);
    const auto &box = window.messages.shown.first();
    QCOMPARE(box.icon, MessageService::Icon::None);
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
    QCOMPARE(window.messages.shown.size(), 3 * 150);
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
}

void SaveCommandTest::writesTypedTextUnchanged() {
    QFETCH(QByteArray, loaded);
    QFETCH(QString, typed);
    QFETCH(QByteArray, file);
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), "old content");
    Form1Harness window;
    if (!loaded.isEmpty()) window.open(writeFile(*dir_, QStringLiteral("page.htm"), loaded));
    const QByteArray utf8 = typed.toUtf8();
    window.text().SendScintilla(QsciScintillaBase::SCI_ADDTEXT, static_cast<uintptr_t>(utf8.size()),
                                utf8.constData());
    window.save(target);
    QCOMPARE(readFile(target), file);
    QCOMPARE(window.messages.shown.last().text, QStringLiteral("压缩完成：）"));
}

void SaveCommandTest::cancelTouchesNothing() {
    const QString page = writeFile(*dir_, QStringLiteral("page.htm"), "  untouched  ");
    Form1Harness window;
    window.open(page);
    window.save(std::nullopt);
    QCOMPARE(readFile(page), QByteArray("  untouched  "));
    QVERIFY(window.messages.shown.isEmpty());
    QCOMPARE(entries(dir_->path()), QStringList{QStringLiteral("page.htm")});
}

void SaveCommandTest::failureKeepsTargetAndText_data() {
    QTest::addColumn<QString>("target");  // relative to the test folder
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing folder") << "missing/out.htm" << QStringLiteral("文件夹不存在");
    QTest::newRow("target is a folder") << "folder" << QStringLiteral("这是一个文件夹");
    QTest::newRow("path through a file") << "old.htm/out.htm" << QStringLiteral("文件夹不存在");
    QTest::newRow("disk full") << "old.htm" << QStringLiteral("磁盘空间不足");
    QTest::newRow("read-only file") << "readonly.htm" << QStringLiteral("没有写入权限");
    QTest::newRow("device") << "/dev/null" << QStringLiteral("不是普通文件");
}

void SaveCommandTest::failureKeepsTargetAndText() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QDir(dir_->path()).mkdir(QStringLiteral("folder"));
    const QByteArray oldBytes("old content that must survive\r\n");
    setMode(writeFile(*dir_, QStringLiteral("old.htm"), oldBytes), 0666);
    setMode(writeFile(*dir_, QStringLiteral("readonly.htm"), oldBytes), 0444);
    const QString path = QDir(dir_->path()).filePath(target);

    Form1Harness window;
    const QByteArray text(100000, 'x');  // larger than the disk-full limit below
    const QString page = writeFile(*dir_, QStringLiteral("page.htm"), text);
    window.open(page);
    const QStringList before = entries(dir_->path());
    {
        std::optional<FileSizeLimit> fullDisk;
        if (qstrcmp(QTest::currentDataTag(), "disk full") == 0) fullDisk.emplace(4096);
        Unprivileged user;
        window.save(path);
    }
    QCOMPARE(entries(dir_->path()), before);
    QCOMPARE(readFile(dir_->filePath(QStringLiteral("old.htm"))), oldBytes);
    QCOMPARE(readFile(dir_->filePath(QStringLiteral("readonly.htm"))), oldBytes);
    QCOMPARE(window.textBytes(), text + "\r\n");
    QCOMPARE(window.messages.shown.size(), 1);
    const auto &box = window.messages.shown.first();
    QCOMPARE(box.icon, MessageService::Icon::Warning);
    QCOMPARE(box.title, QStringLiteral("Zerediz"));
    QCOMPARE(box.text, QStringLiteral("无法保存文件：") + path + u'\n' + reason);
    window.save(std::nullopt);
    QCOMPARE(window.dialogs.startPaths.last(), page);
}

void SaveCommandTest::writesInPlaceWhereFolderTakesNoNewFile() {
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), "old");
    setMode(target, 0666);
    Form1Harness window;
    window.setText("new\r\n");
    setMode(dir_->path(), 0555);
    {
        Unprivileged user;
        window.save(target);
    }
    setMode(dir_->path(), 0777);
    QCOMPARE(readFile(target), QByteArray("new\r\n"));
    QCOMPARE(window.messages.shown.last().text, QStringLiteral("压缩完成：）"));
    QCOMPARE(entries(dir_->path()), QStringList{QStringLiteral("target.htm")});
}

void SaveCommandTest::keepsPermissionBits_data() {
    QTest::addColumn<uint>("mode");
    QTest::newRow("private") << 0600u;
    QTest::newRow("group readable") << 0640u;
    QTest::newRow("executable") << 0755u;
}

void SaveCommandTest::keepsPermissionBits() {
    QFETCH(uint, mode);
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), "old");
    setMode(target, mode);
    Form1Harness window;
    window.setText("new");
    window.save(target);
    QCOMPARE(readFile(target), QByteArray("new"));
    QCOMPARE(uint(modeOf(target)), mode);
}

void SaveCommandTest::followsSymbolicLink() {
    QDir(dir_->path()).mkdir(QStringLiteral("real"));
    const QString real = writeFile(*dir_, QStringLiteral("real/page.htm"), "old");
    const QString link = dir_->filePath(QStringLiteral("link.htm"));
    QVERIFY(QFile::link(QStringLiteral("real/page.htm"), link));
    Form1Harness window;
    window.setText("through the link");
    window.save(link);
    QCOMPARE(readFile(real), QByteArray("through the link"));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), QFileInfo(real).absoluteFilePath());
    QCOMPARE(entries(dir_->filePath(QStringLiteral("real"))),
             QStringList{QStringLiteral("page.htm")});
}

QTEST_MAIN(SaveCommandTest)
#include "save_command_test.moc"
