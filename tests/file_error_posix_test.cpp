#include <QTest>
#include <cerrno>

#include "core/files/file_error_posix.h"
#include "core/files/file_error_text.h"

// What the user reads, in Chinese, for each failure Linux reports (an errno), reading a file and
// writing one.
class FileErrorPosixTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void explainsSystemErrors_data();
    void explainsSystemErrors();
};

void FileErrorPosixTest::explainsSystemErrors_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("writing");

    const auto both = [](const char *name, int error, const QString &reason) {
        QTest::newRow(name) << error << reason << reason;
    };
    const QString noRead = QStringLiteral("没有读取权限");
    const QString noWrite = QStringLiteral("没有写入权限");
    QTest::newRow("ENOENT") << ENOENT << QStringLiteral("文件不存在")
                            << QStringLiteral("文件夹不存在");
    QTest::newRow("ENOTDIR") << ENOTDIR << QStringLiteral("文件不存在")
                             << QStringLiteral("文件夹不存在");
    QTest::newRow("EACCES") << EACCES << noRead << noWrite;
    QTest::newRow("EPERM") << EPERM << noRead << noWrite;
    QTest::newRow("EFBIG, a file-size limit when writing")
        << EFBIG << QStringLiteral("文件太大（最大 1 GiB）")
        << QStringLiteral("超出了文件大小限制");
    QTest::newRow("ENOSPC, never met reading")
        << ENOSPC << QStringLiteral("系统错误（ENOSPC）") << QStringLiteral("磁盘空间不足");
    QTest::newRow("EDQUOT, never met reading")
        << EDQUOT << QStringLiteral("系统错误（EDQUOT）") << QStringLiteral("超出了磁盘配额");
    both("EROFS", EROFS, QStringLiteral("磁盘是只读的"));
    both("EISDIR", EISDIR, QStringLiteral("这是一个文件夹"));
    both("ENXIO, a FIFO without a reader or a socket", ENXIO, QStringLiteral("不是普通文件"));
    both("ETXTBSY, a running program", ETXTBSY, QStringLiteral("文件正在使用中"));
    both("EIO", EIO, QStringLiteral("读写磁盘时出错"));
    both("ENAMETOOLONG", ENAMETOOLONG, QStringLiteral("文件名太长"));
    both("EINVAL, a name FAT does not take", EINVAL, QStringLiteral("文件名无效"));
    both("ELOOP", ELOOP, QStringLiteral("符号链接太多或形成了循环"));
    both("EMFILE", EMFILE, QStringLiteral("打开的文件太多"));
    both("ENOMEM", ENOMEM, QStringLiteral("内存不足"));
    both("ENOTCONN, a FUSE file system gone", ENOTCONN, QStringLiteral("网络或设备已断开"));
    both("an error without a reason of its own", EBADMSG, QStringLiteral("系统错误（EBADMSG）"));
    both("an error the system has no name for", 4095, QStringLiteral("系统错误（4095）"));
}

void FileErrorPosixTest::explainsSystemErrors() {
    QFETCH(int, error);
    QFETCH(QString, reading);
    QFETCH(QString, writing);
    QCOMPARE(fileErrorText(readErrorFromErrno(error)), reading);
    QCOMPARE(fileErrorText(writeErrorFromErrno(error)), writing);
}

QTEST_APPLESS_MAIN(FileErrorPosixTest)
#include "file_error_posix_test.moc"
