#include <QFileInfo>
#include <QTest>
#include <memory>

#include "core/files/page_file.h"
#include "core/pages/save_page.h"
#include "page_results.h"
#include "test_files.h"
#include "test_folder.h"

// Opening and saving page files as both programs do, the ways that every system has: a failure
// leaves the file as it was and no temporary file behind, and a file's other names are kept. The
// ways of one system alone are in page_file_posix_test.cpp and page_file_windows_test.cpp.
class PageFileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ignoreFileSizeSignal(); }
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void openFailure_data();
    void openFailure();
    void failureKeepsTarget_data();
    void failureKeepsTarget();
    void followsLinks_data();
    void followsLinks();
    void temporaryNames_data();
    void temporaryNames();
    void tellsTemporaryNames_data();
    void tellsTemporaryNames();

private:
    QTemporaryDir openDir_;  // the pages of the open rows, made once for all of them
    std::unique_ptr<QTemporaryDir> dir_;
};

void PageFileTest::openFailure_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");

    const QString file = writeFile(openDir_, QStringLiteral("plain.txt"), "x");
    const QString huge = openDir_.filePath(QStringLiteral("huge.htm"));
    QFile(huge).open(QIODevice::WriteOnly);
    QFile(huge).resize(kMaxDocumentSize + 1);  // sparse on Linux: costs no disk

    QTest::newRow("missing file") << openDir_.filePath(QStringLiteral("missing.htm"))
                                  << QStringLiteral("文件不存在");
    QTest::newRow("path through a file")
        << file + QStringLiteral("/page.htm") << QStringLiteral("文件不存在");
    QTest::newRow("folder") << openDir_.path() << QStringLiteral("这是一个文件夹");
    QTest::newRow("too large") << huge << QStringLiteral("文件太大（最大 1 GiB）");
}

void PageFileTest::openFailure() {
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QCOMPARE(failure(openPage(path)), reason);
}

void PageFileTest::failureKeepsTarget_data() {
    QTest::addColumn<QString>("target");  // relative to the test folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder")
        << QStringLiteral("missing/out.htm") << QStringLiteral("文件夹不存在");
    QTest::newRow("target is a folder")
        << QStringLiteral("folder") << QStringLiteral("这是一个文件夹");
    QTest::newRow("path through a file")
        << QStringLiteral("old.htm/out.htm") << QStringLiteral("文件夹不存在");
}

// A failed save leaves every file as it was, the target included, and no temporary file.
void PageFileTest::failureKeepsTarget() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QDir(dir_->path()).mkdir(QStringLiteral("folder"));
    const QByteArray oldBytes("old content that must survive\r\n");
    const QString old = writeFile(*dir_, QStringLiteral("old.htm"), oldBytes);
    const QStringList before = tree(dir_->path());
    const WriteResult result = savePage(dir_->filePath(target), "new\r\n", FileEncoding::Utf8);
    QCOMPARE(tree(dir_->path()), before);
    QCOMPARE(readFile(old), oldBytes);
    QCOMPARE(failure(result), reason);
}

void PageFileTest::followsLinks_data() {
    QTest::addColumn<bool>("hardLink");
    QTest::newRow("symbolic link, which stays a link") << false;
    QTest::newRow("hard link: both names get the text and stay one file") << true;
}

void PageFileTest::followsLinks() {
    QFETCH(bool, hardLink);
    QDir(dir_->path()).mkdir(QStringLiteral("real"));
    const QString real = writeFile(*dir_, QStringLiteral("real/page.htm"), "old");
    const QString link = dir_->filePath(QStringLiteral("link.htm"));
    if (hardLink)
        QVERIFY(makeHardLink(real, link));
    else if (!makeSymbolicLink(QStringLiteral("real/page.htm"), link))
        QSKIP("the system makes no symbolic links here (Wine 8 makes none)");
    QCOMPARE(failure(savePage(link, "through the link", FileEncoding::Utf8)), QString());
    QCOMPARE(readFile(real), QByteArray("through the link"));
    QCOMPARE(readFile(link), QByteArray("through the link"));
    if (hardLink) {
        QCOMPARE(nameCount(link), 2);
        QCOMPARE(fileIdentity(link), fileIdentity(real));
    } else {
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QFileInfo(link).symLinkTarget(), QFileInfo(real).absoluteFilePath());
    }
    QCOMPARE(entries(dir_->filePath(QStringLiteral("real"))),
             QStringList{QStringLiteral("page.htm")});
}

void PageFileTest::temporaryNames_data() {
    QTest::addColumn<QString>("name");
    // Whether every system takes the page and its temporary file: Wine keeps Windows' names in
    // UTF-8 on Linux's file systems, where a long Chinese name's temporary file does not fit.
    QTest::addColumn<bool>("saved");
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    QTest::newRow("a short name, whole") << QStringLiteral("index.html") << true;
    QTest::newRow("a long name, cut") << QString(250, u'a') + QStringLiteral(".htm") << true;
    QTest::newRow("a long Chinese name, cut at a character's end")
        << QString(83, u'中') + QStringLiteral(".htm") << false;
    QTest::newRow("characters beyond the BMP, cut at a character's end")
        << emoji.repeated(62) + QStringLiteral(".htm") << false;
    QTest::newRow("characters beyond the BMP, long for UTF-16 too")
        << emoji.repeated(126) + QStringLiteral(".htm") << false;
}

// A temporary file is named after its page, cut where the name would be too long for the file
// system, never inside a character, so that a person and zerediz-compress can tell what it is.
void PageFileTest::temporaryNames() {
    QFETCH(QString, name);
    QFETCH(bool, saved);
    const QString temporary = temporaryFileName(name);
    QVERIFY(isTemporaryFileName(temporary));
    QVERIFY(nameLength(temporary) <= kLongestName);
    QVERIFY(QStringView(temporary).isValidUtf16());
    // The page's name, cut no shorter than it must be.
    const QString kept = temporary.mid(1, temporary.size() - 1 - temporaryFileName({}).size() + 1);
    QVERIFY(name.startsWith(kept));
    if (kept.size() < name.size()) {
        const qsizetype next = name[kept.size()].isHighSurrogate() ? 2 : 1;
        QVERIFY(nameLength(temporary) + nameLength(QStringView(name).sliced(kept.size(), next)) >
                kLongestName);
    }
    if (!saved) return;
    const QString page = dir_->filePath(name);
    QCOMPARE(failure(savePage(page, "page", FileEncoding::Utf8)), QString());
    QCOMPARE(failure(savePage(page, "saved over", FileEncoding::Utf8)), QString());
    QCOMPARE(readFile(page), QByteArray("saved over"));
    QCOMPARE(entries(dir_->path()), QStringList{name});
}

// What a folder's walk leaves out as a save's leftover, and only that: a person's own files may
// look alike.
void PageFileTest::tellsTemporaryNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("temporary");
    QTest::newRow("one of ours") << temporaryFileName(QStringLiteral("index.html")) << true;
    QTest::newRow("one of ours, for a name of one letter")
        << QStringLiteral(".a.zerediz-Zz09aZ.tmp") << true;
    QTest::newRow("one of ours, for a Chinese name")
        << temporaryFileName(QStringLiteral("首页.htm")) << true;
    QTest::newRow("a page") << QStringLiteral("index.html") << false;
    QTest::newRow("no name before the letters") << QStringLiteral("..zerediz-Zz09aZ.tmp") << false;
    QTest::newRow("not hidden") << QStringLiteral("a.zerediz-Zz09aZ.tmp") << false;
    QTest::newRow("a letter short") << QStringLiteral(".a.zerediz-Zz09a.tmp") << false;
    QTest::newRow("a letter over") << QStringLiteral(".a.zerediz-Zz09aZZ.tmp") << false;
    QTest::newRow("a letter that is no ASCII letter")
        << QStringLiteral(".a.zerediz-Zz09a中.tmp") << false;
    QTest::newRow("a dash among the letters") << QStringLiteral(".a.zerediz-Zz-9aZ.tmp") << false;
    QTest::newRow("another ending") << QStringLiteral(".a.zerediz-Zz09aZ.tmp~") << false;
    QTest::newRow("another program's") << QStringLiteral(".a.zerediy-Zz09aZ.tmp") << false;
}

void PageFileTest::tellsTemporaryNames() {
    QFETCH(QString, name);
    QFETCH(bool, temporary);
    QCOMPARE(isTemporaryFileName(name), temporary);
}

QTEST_GUILESS_MAIN(PageFileTest)
#include "page_file_test.moc"
