#include <QFileInfo>
#include <QRandomGenerator>

#include "app/application_setup.h"
#include "byte_samples.h"
#include "core/files/file_error_text.h"
#include "failing_disk.h"
#include "form1_harness.h"
#include "test_files.h"

namespace {

// The ways the window's Save writes a page.
enum SavePath {
    kNewPage,
    kReplaced,
    kHardLink,      // written in place, so that both names get the text
    kClosedFolder,  // a folder that takes no new file: written in place
    kOnlyInPlace,   // a file that cannot be replaced (mounted on its own): written in place after
                    // all
};

const QList<const char *> kSavePathNames{"a new page", "over a page", "over a hard link",
                                         "in a folder that takes no new file",
                                         "over a page that cannot be replaced"};

const QByteArray kOldPage(
    "<p>\r\nthe old page, with a line longer than the new text's\r\n</p>\r\n");

// What the page is to hold: written in place, a file grows in a folder that takes no new file and
// shrinks elsewhere, so that its old tail must be cut off.
QByteArray newText(SavePath path) {
    if (path == kHardLink || path == kOnlyInPlace) return "<p>\r\nnew\r\n</p>";
    return "<p>\r\n  the new text, longer than the old page  \r\n  and its line  \r\n</p>";
}

// Makes what a save of path meets in dir: the page, or its name alone; answers the page's path.
QString setUpSave(SavePath path, const QTemporaryDir &dir, FailingDisk &disk) {
    const QString page = dir.filePath(QStringLiteral("page.htm"));
    if (path != kNewPage) writeFile(dir, QStringLiteral("page.htm"), kOldPage);
    if (path == kHardLink) makeHardLink(page, dir.filePath(QStringLiteral("other name.htm")));
    if (path == kClosedFolder) disk.closeFolders();
    if (path == kOnlyInPlace) disk.refuseReplacing();
    return page;
}

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
    void asksBeforeReplacingAnotherFile_data();
    void asksBeforeReplacingAnotherFile();
    void refusesCharacterTheEncodingCannotHold();
    void failureKeepsTargetAndText_data();
    void failureKeepsTargetAndText();
    void survivesFailingDisk_data();
    void survivesFailingDisk();
    void followsLinks();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void SaveCommandTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
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
    // GB18030 holds every character: the private-use ones too, in their two-byte codes, and the
    // characters that GB18030-2022 moved into those codes in four bytes, as GB18030-2005 has them.
    QTest::newRow("private-use and vertical forms typed into a GB18030 page")
        << QByteArray("\xd6\xd0") << QStringLiteral("\ue78d\ufe10")
        << QByteArray("\xa6\xd9\x84\x31\x82\x36\xd6\xd0\r\n");
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

void SaveCommandTest::asksBeforeReplacingAnotherFile_data() {
    QTest::addColumn<QStringList>("choices");  // the Save dialog's answers in turn; "" cancels
    QTest::addColumn<QList<bool>>("replies");  // to the question whether to replace
    QTest::addColumn<QString>("written");      // the file that gets the text, or none

    const QString page = QStringLiteral("page.htm");
    const QString other = QStringLiteral("other.htm");
    const QString fresh = QStringLiteral("new.htm");
    QTest::newRow("the page shown") << QStringList{page} << QList<bool>{} << page;
    QTest::newRow("a link to the page shown")
        << QStringList{QStringLiteral("link.htm")} << QList<bool>{} << page;
    QTest::newRow("a new name") << QStringList{fresh} << QList<bool>{} << fresh;
    QTest::newRow("another file, 是") << QStringList{other} << QList<bool>{true} << other;
    QTest::newRow("another file, 否, then cancelled")
        << QStringList{other, QString()} << QList<bool>{false} << QString();
    QTest::newRow("another file, 否, then a new name")
        << QStringList{other, fresh} << QList<bool>{false} << fresh;
    QTest::newRow("the file last saved, asked once")
        << QStringList{other, other} << QList<bool>{true} << other;
}

// A slip of the name must not cost an unrelated file; saving over the page itself asks nothing.
void SaveCommandTest::asksBeforeReplacingAnotherFile() {
    QFETCH(QStringList, choices);
    QFETCH(QList<bool>, replies);
    QFETCH(QString, written);
    const QString page = writeFile(*dir_, QStringLiteral("page.htm"), "  page  ");
    writeFile(*dir_, QStringLiteral("other.htm"), "other");
    if (!makeSymbolicLink(QStringLiteral("page.htm"), dir_->filePath(QStringLiteral("link.htm"))) &&
        choices.contains(QStringLiteral("link.htm")))
        QSKIP("the system makes no symbolic links here (Wine 8 makes none)");
    Form1Harness window;
    window.open(page);
    window.text().insertText("typed ");
    const QByteArray text = window.textBytes();
    QMap<QString, QByteArray> files;
    for (const QString &name : {QStringLiteral("page.htm"), QStringLiteral("other.htm")})
        files[name] = readFile(dir_->filePath(name));
    if (!written.isEmpty()) files[written] = text;

    window.dialogs.replaceAnswers = replies;
    for (const QString &choice : choices)
        window.dialogs.files.append(choice.isEmpty() ? std::nullopt
                                                     : std::optional(dir_->filePath(choice)));
    while (!window.dialogs.files.isEmpty()) window.click("Command2");

    for (auto file = files.cbegin(); file != files.cend(); ++file)
        QCOMPARE(readFile(dir_->filePath(file.key())), file.value());
    QCOMPARE(QFileInfo::exists(dir_->filePath(QStringLiteral("new.htm"))), written == u"new.htm");
    QCOMPARE(window.dialogs.askedToReplace.size(), replies.size());
    for (const auto &question : window.dialogs.askedToReplace) {
        QCOMPARE(question.text, QStringLiteral("“other.htm”已存在。要替换它吗？"));
        QCOMPARE(question.title, QStringLiteral("Zerediz"));
        QCOMPARE(question.parent, &window.form);
    }
    // 否 shows the dialog again with the name it gave.
    if (replies == QList<bool>{false})
        QCOMPARE(window.dialogs.startPaths.last(), dir_->filePath(QStringLiteral("other.htm")));
    QCOMPARE(window.text().isModified(), written.isEmpty());
}

// A save that would put a character into the file in another encoding than the page's own is
// refused, and nothing changes. The writer's other such refusals are tested on the core's savePage.
void SaveCommandTest::refusesCharacterTheEncodingCannotHold() {
    const QByteArray oldBytes("old content that must survive\r\n");
    const QString target = writeFile(*dir_, QStringLiteral("target.htm"), oldBytes);
    Form1Harness window;
    window.open(writeFile(*dir_, QStringLiteral("page.htm"),
                          "<meta charset=\"windows-1252\">\r\ncaf\xe9\r\n\xff\r\n"));
    const qsizetype lineStart = window.text().document().lineStart(1);
    window.text().document().replace(lineStart, lineStart, QStringLiteral("中").toUtf8());
    const QByteArray text = window.textBytes();
    const QStringList before = tree(dir_->path());
    window.save(target);
    QCOMPARE(readFile(target), oldBytes);
    QCOMPARE(tree(dir_->path()), before);
    QCOMPARE(window.textBytes(), text);
    QCOMPARE(window.dialogs.shown.size(), 1);
    const auto &box = window.dialogs.shown.first();
    QCOMPARE(box.icon, PlatformDialogs::Icon::Warning);
    QCOMPARE(box.text, QStringLiteral("无法保存文件：") + target +
                           QStringLiteral("\n第 2 行的字符“中”（U+4E2D）无法用这个网页的编码 "
                                          "WINDOWS-1252 保存"));
}

void SaveCommandTest::failureKeepsTargetAndText_data() {
    QTest::addColumn<QString>("target");  // relative to the test folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder")
        << QStringLiteral("missing/out.htm") << QStringLiteral("文件夹不存在");
}

// Why a file cannot be written is the core's to tell; the window shows it and loses nothing.
void SaveCommandTest::failureKeepsTargetAndText() {
    QFETCH(QString, target);
    QFETCH(QString, reason);
    const QString path = dir_->filePath(target);
    const QString page = writeFile(*dir_, QStringLiteral("page.htm"), "  page  ");
    Form1Harness window;
    window.open(page);
    window.text().insertText("typed ");
    const QByteArray text = window.textBytes();
    const QStringList before = tree(dir_->path());
    window.save(path);
    QCOMPARE(tree(dir_->path()), before);
    QCOMPARE(window.textBytes(), text);
    QVERIFY(window.text().isModified());
    QCOMPARE(window.dialogs.shown.size(), 1);
    const auto &box = window.dialogs.shown.first();
    QCOMPARE(box.icon, PlatformDialogs::Icon::Warning);
    QCOMPARE(box.title, QStringLiteral("Zerediz"));
    QCOMPARE(box.text, QStringLiteral("无法保存文件：") + path + u'\n' + reason);
    window.save(std::nullopt);
    QCOMPARE(window.dialogs.startPaths.last(), page);
}

void SaveCommandTest::survivesFailingDisk_data() {
    addFaultTable(kSavePathNames, [](int path) {
        const QTemporaryDir dir;
        FailingDisk disk;
        const QString page = setUpSave(SavePath(path), dir, disk);
        Form1Harness window;
        window.setText(newText(SavePath(path)));
        const FileSystemInUse failing(disk);
        window.save(page);
        return disk.calls();
    });
}

// Whichever step of a save fails, the page holds its old bytes or exactly its new ones, nothing is
// left behind, and the window says why, keeping the text; or the save went another way around.
void SaveCommandTest::survivesFailingDisk() {
    QFETCH(int, path);
    QFETCH(int, call);
    QFETCH(int, fault);
    FailingDisk disk;
    disk.failCall(call, FailingDisk::Fault(fault));
    const QString page = setUpSave(SavePath(path), *dir_, disk);
    const QStringList before = tree(dir_->path());
    const QByteArray text = newText(SavePath(path));
    Form1Harness window;
    window.setText(text);
    {
        const FileSystemInUse failing(disk);
        window.save(page);
    }

    const QByteArray written = readFile(page);
    const QByteArray old = path == kNewPage ? QByteArray() : kOldPage;
    QVERIFY2(written == text || written == old, written.constData());
    if (path == kHardLink)
        QCOMPARE(readFile(dir_->filePath(QStringLiteral("other name.htm"))), written);
    QStringList after = tree(dir_->path());
    if (path == kNewPage) after.removeOne(page);
    QCOMPARE(after, before);

    QCOMPARE(window.dialogs.shown.size(), 1);
    const QString &shown = window.dialogs.shown.first().text;
    if (call == 0 ||
        routedAround(disk.calls().value(call - 1), FailingDisk::Fault(fault), path != kNewPage)) {
        QCOMPARE(shown, QStringLiteral("压缩完成：）"));
        QCOMPARE(written, text);
        return;
    }
    QVERIFY(disk.failure());
    QCOMPARE(shown,
             QStringLiteral("无法保存文件：") + page + u'\n' + fileErrorText(*disk.failure()));
    QCOMPARE(window.textBytes(), text);
}

// A symbolic link stays a link, and the file it points to gets the text.
void SaveCommandTest::followsLinks() {
    QDir(dir_->path()).mkdir(QStringLiteral("real"));
    const QString real = writeFile(*dir_, QStringLiteral("real/page.htm"), "old");
    const QString link = dir_->filePath(QStringLiteral("link.htm"));
    if (!makeSymbolicLink(QStringLiteral("real/page.htm"), link))
        QSKIP("the system makes no symbolic links here (Wine 8 makes none)");
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
