#include <windows.h>
#include <QTest>

#include "core/files/file_error_text.h"
#include "core/files/file_error_windows.h"

// What the user reads, in Chinese, for each failure Windows reports (GetLastError's code),
// reading a file and writing one.
class FileErrorWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void explainsSystemErrors_data();
    void explainsSystemErrors();
};

void FileErrorWindowsTest::explainsSystemErrors_data() {
    QTest::addColumn<uint>("code");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("writing");

    const auto both = [](const char *name, DWORD code, const QString &reason) {
        QTest::newRow(name) << uint(code) << reason << reason;
    };
    const QString inUse = QStringLiteral("文件正在使用中");
    QTest::newRow("ERROR_FILE_NOT_FOUND")
        << uint(ERROR_FILE_NOT_FOUND) << QStringLiteral("文件不存在")
        << QStringLiteral("文件夹不存在");
    QTest::newRow("ERROR_PATH_NOT_FOUND")
        << uint(ERROR_PATH_NOT_FOUND) << QStringLiteral("文件不存在")
        << QStringLiteral("文件夹不存在");
    QTest::newRow("ERROR_ACCESS_DENIED")
        << uint(ERROR_ACCESS_DENIED) << QStringLiteral("没有读取权限")
        << QStringLiteral("没有写入权限");
    QTest::newRow("ERROR_FILE_TOO_LARGE, beyond what the file system takes when writing")
        << uint(ERROR_FILE_TOO_LARGE) << QStringLiteral("文件太大（最大 1 GiB）")
        << QStringLiteral("超出了文件大小限制");
    QTest::newRow("ERROR_DISK_FULL, never met reading")
        << uint(ERROR_DISK_FULL) << QStringLiteral("系统错误（ERROR_DISK_FULL）")
        << QStringLiteral("磁盘空间不足");
    QTest::newRow("ERROR_HANDLE_DISK_FULL, never met reading")
        << uint(ERROR_HANDLE_DISK_FULL) << QStringLiteral("系统错误（ERROR_HANDLE_DISK_FULL）")
        << QStringLiteral("磁盘空间不足");
    QTest::newRow("ERROR_DISK_QUOTA_EXCEEDED, never met reading")
        << 1295u << QStringLiteral("系统错误（ERROR_DISK_QUOTA_EXCEEDED）")
        << QStringLiteral("超出了磁盘配额");
    both("ERROR_SHARING_VIOLATION, a file another program holds", ERROR_SHARING_VIOLATION, inUse);
    both("ERROR_LOCK_VIOLATION", ERROR_LOCK_VIOLATION, inUse);
    both("ERROR_UNABLE_TO_REMOVE_REPLACED, a replaced file another program holds",
         ERROR_UNABLE_TO_REMOVE_REPLACED, inUse);
    both("ERROR_WRITE_PROTECT", ERROR_WRITE_PROTECT, QStringLiteral("磁盘是只读的"));
    both("ERROR_FILE_READ_ONLY", ERROR_FILE_READ_ONLY, QStringLiteral("文件是只读的"));
    both("ERROR_DIRECTORY_NOT_SUPPORTED", 336, QStringLiteral("这是一个文件夹"));
    both("ERROR_CRC", ERROR_CRC, QStringLiteral("读写磁盘时出错"));
    both("ERROR_FILENAME_EXCED_RANGE", ERROR_FILENAME_EXCED_RANGE, QStringLiteral("路径太长"));
    both("ERROR_BUFFER_OVERFLOW, a name too long", ERROR_BUFFER_OVERFLOW,
         QStringLiteral("文件名太长"));
    both("ERROR_INVALID_NAME, a name with ? or :", ERROR_INVALID_NAME,
         QStringLiteral("文件名无效"));
    both("ERROR_CANT_RESOLVE_FILENAME", ERROR_CANT_RESOLVE_FILENAME,
         QStringLiteral("符号链接太多或形成了循环"));
    both("ERROR_TOO_MANY_OPEN_FILES", ERROR_TOO_MANY_OPEN_FILES, QStringLiteral("打开的文件太多"));
    both("ERROR_NOT_ENOUGH_MEMORY", ERROR_NOT_ENOUGH_MEMORY, QStringLiteral("内存不足"));
    both("ERROR_NETNAME_DELETED, a share gone", ERROR_NETNAME_DELETED,
         QStringLiteral("网络或设备已断开"));
    both("ERROR_NOT_READY, a drive without its medium", ERROR_NOT_READY,
         QStringLiteral("网络或设备已断开"));
    both("an error without a reason of its own", 225,
         QStringLiteral("系统错误（ERROR_VIRUS_INFECTED）"));
    both("an error that has no name here", 4095, QStringLiteral("系统错误（4095）"));
}

void FileErrorWindowsTest::explainsSystemErrors() {
    QFETCH(uint, code);
    QFETCH(QString, reading);
    QFETCH(QString, writing);
    QCOMPARE(fileErrorText(readErrorFromCode(code)), reading);
    QCOMPARE(fileErrorText(writeErrorFromCode(code)), writing);
}

QTEST_APPLESS_MAIN(FileErrorWindowsTest)
#include "file_error_windows_test.moc"
