#include <QTest>
#include <memory>
#include <optional>

#include "core/files/page_file.h"
#include "core/pages/save_page.h"
#include "page_results.h"
#include "test_files.h"
#include "test_folder.h"
#include "test_system_windows.h"

// Opening and saving page files on Windows: the ways of reading or writing one that fail there
// alone, which leave the file as it was and no temporary file behind, paths beyond 260 characters,
// and what a save keeps of the file it replaces. The ways every system has are in
// page_file_test.cpp.
class PageFileWindowsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void openFailure_data();
    void openFailure();
    void failureKeepsTarget_data();
    void failureKeepsTarget();
    void worksBeyond260Characters_data();
    void worksBeyond260Characters();
    void keepsAttributes_data();
    void keepsAttributes();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

namespace {

// A page another program holds open without sharing: 0 for none.
constexpr int kNotHeld = -1;

// A path beyond the longest that Windows takes, in a folder that is there.
QString pathBeyondTheLongest(const QTemporaryDir &dir) {
    return dir.filePath(QString(33000, u'x'));
}

}  // namespace

void PageFileWindowsTest::openFailure_data() {
    QTest::addColumn<QString>("name");  // in the test folder, or a whole path
    QTest::addColumn<int>("share");     // what the page's other holder shares; kNotHeld: none
    QTest::addColumn<QString>("reason");
    const QString reserved = QStringLiteral("文件名是 Windows 保留的设备名");
    QTest::newRow("a name Windows keeps for a device")
        << QStringLiteral("CON") << kNotHeld << reserved;
    QTest::newRow("a device's name with an extension, in any case")
        << QStringLiteral("nul.html") << kNotHeld << reserved;
    QTest::newRow("a port's name with spaces before its extension")
        << QStringLiteral("Com1 .htm") << kNotHeld << reserved;
    QTest::newRow("a device by its own path")
        << QStringLiteral("\\\\.\\NUL") << kNotHeld << QStringLiteral("不是普通文件");
    QTest::newRow("a page another program holds for itself")
        << QStringLiteral("page.htm") << 0 << QStringLiteral("文件正在使用中");
    QTest::newRow("a path beyond the longest Windows takes")
        << QString() << kNotHeld << QStringLiteral("路径太长");
}

void PageFileWindowsTest::openFailure() {
    QFETCH(QString, name);
    QFETCH(int, share);
    QFETCH(QString, reason);
    const QString page = writeFile(*dir_, QStringLiteral("page.htm"), "  page  \r\n");
    const QString path = name.isEmpty()           ? pathBeyondTheLongest(*dir_)
                         : name.startsWith(u'\\') ? name
                                                  : dir_->filePath(name);
    std::optional<HeldFile> held;
    if (share != kNotHeld) {
        held.emplace(page, DWORD(share));
        QVERIFY(held->isHeld());
    }
    QCOMPARE(failure(openPage(path)), reason);
}

void PageFileWindowsTest::failureKeepsTarget_data() {
    QTest::addColumn<QString>("target");   // in the test folder; empty: a path beyond the longest
    QTest::addColumn<uint>("attributes");  // of old.htm
    QTest::addColumn<int>("share");        // what another holder of old.htm shares; or kNotHeld
    QTest::addColumn<QString>("reason");
    const QString old = QStringLiteral("old.htm");
    const QString reserved = QStringLiteral("文件名是 Windows 保留的设备名");
    const QString inUse = QStringLiteral("文件正在使用中");
    QTest::newRow("read-only file")
        << old << uint(FILE_ATTRIBUTE_READONLY) << kNotHeld << QStringLiteral("文件是只读的");
    QTest::newRow("read-only and hidden file")
        << old << uint(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN) << kNotHeld
        << QStringLiteral("文件是只读的");
    QTest::newRow("a file another program reads, sharing no writes")
        << old << 0u << int(FILE_SHARE_READ) << inUse;
    // The new text is written in full before the old file turns out to be held.
    QTest::newRow("a file another program reads, sharing writes but no renaming")
        << old << 0u << int(FILE_SHARE_READ | FILE_SHARE_WRITE) << inUse;
    QTest::newRow("a name Windows keeps for a device")
        << QStringLiteral("AUX.htm") << 0u << kNotHeld << reserved;
    QTest::newRow("a device's name as a folder on the way")
        << QStringLiteral("lpt1/page.htm") << 0u << kNotHeld << reserved;
    QTest::newRow("a name Windows would lose its final dot of")
        << QStringLiteral("page.htm.") << 0u << kNotHeld << QStringLiteral("文件名无效");
    QTest::newRow("a device by its own path")
        << QStringLiteral("\\\\.\\NUL") << 0u << kNotHeld << QStringLiteral("不是普通文件");
    QTest::newRow("a path beyond the longest Windows takes")
        << QString() << 0u << kNotHeld << QStringLiteral("路径太长");
}

// A failed save leaves every file as it was, the target included, and no temporary file.
void PageFileWindowsTest::failureKeepsTarget() {
    QFETCH(QString, target);
    QFETCH(uint, attributes);
    QFETCH(int, share);
    QFETCH(QString, reason);
    const QByteArray oldBytes("old content that must survive\r\n");
    const QString old = writeFile(*dir_, QStringLiteral("old.htm"), oldBytes);
    const QString path = target.isEmpty()           ? pathBeyondTheLongest(*dir_)
                         : target.startsWith(u'\\') ? target
                                                    : dir_->filePath(target);
    const QStringList before = tree(dir_->path());
    WriteResult result;
    {
        std::optional<HeldFile> held;
        if (share != kNotHeld) held.emplace(old, DWORD(share));
        QVERIFY(setAttributes(old, attributes));
        result = savePage(path, "new\r\n", FileEncoding::Utf8);
        setAttributes(old, 0);
    }
    QCOMPARE(tree(dir_->path()), before);
    QCOMPARE(readFile(old), oldBytes);
    QCOMPARE(failure(result), reason);
}

void PageFileWindowsTest::worksBeyond260Characters_data() {
    QTest::addColumn<bool>("exists");
    QTest::newRow("over a page that is there") << true;
    QTest::newRow("a new page") << false;
}

// Windows' old limit of 260 characters to a path is none of Zerediz's: a page as deep as that is
// opened and saved, and no temporary file is left beside it.
void PageFileWindowsTest::worksBeyond260Characters() {
    QFETCH(bool, exists);
    const QString folder = dir_->filePath(QString(120, u'd') + u'/' + QString(120, u'e'));
    QVERIFY(QDir().mkpath(folder));
    const QString page = folder + QStringLiteral("/page.htm");
    QVERIFY(page.size() > 260);
    const QString source = writeFile(*dir_, QStringLiteral("source.htm"), "  deep  \r\n");
    QFile::copy(source, page);
    const TextBuffer document = opened(exists ? page : source);
    const QString target = exists ? page : folder + QStringLiteral("/new.htm");
    QCOMPARE(failure(savePage(target, document.bytes, document.encoding)), QString());
    QCOMPARE(readFile(target), QByteArray("deep\r\n"));
    QStringList names{QStringLiteral("page.htm")};
    if (!exists) names.prepend(QStringLiteral("new.htm"));
    QCOMPARE(entries(folder), names);
}

void PageFileWindowsTest::keepsAttributes_data() {
    QTest::addColumn<uint>("attributes");
    QTest::addColumn<QString>("accessControlList");  // SDDL; empty: the folder's
    QTest::newRow("hidden") << uint(FILE_ATTRIBUTE_HIDDEN) << QString();
    QTest::newRow("a hidden system file")
        << uint(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) << QString();
    QTest::newRow("left out of the search index")
        << uint(FILE_ATTRIBUTE_NOT_CONTENT_INDEXED) << QString();
    // Everyone may read it, the built-in users may change it.
    QTest::newRow("an access control list of its own")
        << 0u << QStringLiteral("D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1301bf;;;BU)(A;;FR;;;WD)");
}

// The saved file has the attributes and rights of the file it replaced.
void PageFileWindowsTest::keepsAttributes() {
    QFETCH(uint, attributes);
    QFETCH(QString, accessControlList);
    if (!accessControlList.isEmpty() && runsUnderWine())
        QSKIP(
            "Wine's ReplaceFileW does not carry the access control list over, and Wine makes a "
            "file's list from its Unix permission bits");
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), "old");
    QVERIFY(setAttributes(target, attributes));
    if ((attributesOf(target) & attributes) != attributes && runsUnderWine())
        QSKIP("Wine keeps no attribute of a file but read-only, hidden and system");
    QCOMPARE(attributesOf(target) & attributes, DWORD(attributes));
    if (!accessControlList.isEmpty())
        QVERIFY(setAccessControlList(target, qUtf16Printable(accessControlList)));
    const QByteArray rights = fileRights(target);
    QCOMPARE(failure(savePage(target, "new", FileEncoding::Utf8)), QString());
    QCOMPARE(readFile(target), QByteArray("new"));
    QCOMPARE(fileRights(target), rights);
    setAttributes(target, 0);
    QCOMPARE(entries(dir_->path()), QStringList{QStringLiteral("target.htm")});
}

QTEST_GUILESS_MAIN(PageFileWindowsTest)
#include "page_file_windows_test.moc"
