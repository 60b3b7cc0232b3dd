#include <QTest>
#include <cerrno>

#include "core/file_error.h"
#include "ui/main/file_error_text.h"

// What the user reads for each failure the system reports, reading a file and writing one.
class FileErrorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void explainsSystemErrors_data();
    void explainsSystemErrors();
};

void FileErrorTest::explainsSystemErrors_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("writing");

    const QString notFound = QStringLiteral("文件不存在");
    const QString folderMissing = QStringLiteral("文件夹不存在");
    const QString noRead = QStringLiteral("没有读取权限");
    const QString noWrite = QStringLiteral("没有写入权限");
    const QString notRegular = QStringLiteral("不是普通文件");
    const QString full = QStringLiteral("磁盘空间不足");
    QTest::newRow("ENOENT") << ENOENT << notFound << folderMissing;
    QTest::newRow("ENOTDIR") << ENOTDIR << notFound << folderMissing;
    QTest::newRow("EACCES") << EACCES << noRead << noWrite;
    QTest::newRow("EPERM") << EPERM << noRead << noWrite;
    QTest::newRow("EROFS") << EROFS << QString() << noWrite;
    QTest::newRow("EISDIR") << EISDIR << QStringLiteral("这是一个文件夹")
                            << QStringLiteral("这是一个文件夹");
    QTest::newRow("ENOSPC") << ENOSPC << QString() << full;
    QTest::newRow("EDQUOT") << EDQUOT << QString() << full;
    QTest::newRow("EFBIG") << EFBIG << QStringLiteral("文件太大") << full;
    QTest::newRow("ENXIO, a FIFO without a reader or a socket")
        << ENXIO << notRegular << notRegular;
    QTest::newRow("ETXTBSY, a running program") << ETXTBSY << QString() << noWrite;
    QTest::newRow("unknown") << 4095 << QString() << QString();
}

// An empty reason stands for the system's own text.
void FileErrorTest::explainsSystemErrors() {
    QFETCH(int, error);
    QFETCH(QString, reading);
    QFETCH(QString, writing);
    const QString system = systemErrorText(error);
    QCOMPARE(fileErrorText(readErrorFromErrno(error)), reading.isEmpty() ? system : reading);
    QCOMPARE(fileErrorText(writeErrorFromErrno(error)), writing.isEmpty() ? system : writing);
}

QTEST_APPLESS_MAIN(FileErrorTest)
#include "file_error_test.moc"
