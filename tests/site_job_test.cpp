#include <QDirIterator>
#include <QLabel>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

#include "app/command_line.h"
#include "browser_check.h"
#include "compress_program.h"
#include "core/files/page_file.h"
#include "form1_harness.h"
#include "ui/main/platform_dialogs.h"
#include "ui/main/site_job.h"
#ifdef Q_OS_UNIX
#include "file_rights_posix.h"
#include "unprivileged_posix.h"
#endif

// A folder, or pages dropped together, compressed whole from the window: what lands on the disk is
// what zerediz-compress writes for the same folder, and the window's own text is left alone.
namespace {

using Place = PlatformDialogs::SitePlace;
using Files = QMap<QString, QByteArray>;  // relative path: bytes

// A small site: pages that change, one that does not, and files that are no pages.
const Files kSite{
    {QStringLiteral("index.html"), "  <p>a</p>  \r\n\t\r\n  b\r\n"},
    {QStringLiteral("done.html"), "done\r\n"},
    {QStringLiteral("sub/b.htm"), "\t x \n  y  \n"},
    {QStringLiteral("sub/deeper/c.XHTML"), "  <pre>\n  kept  \n</pre>  \n  z  "},
    {QStringLiteral("style.css"), "  body { }  \n"},
    {QStringLiteral("logo.png"), QByteArray("\x89PNG\r\n\x1a\n  \0\0  ", 14)},
    {QStringLiteral(".nojekyll"), QByteArray()},
    // Not walked for pages, but part of the site.
    {QStringLiteral(".git/config"), "  [core]  \n"},
    {QStringLiteral(".git/page.html"), "  not a page here  \n"},
};

void writeTree(const QString &root, const Files &files) {
    for (auto file = files.begin(); file != files.end(); ++file) {
        const QString path = root + u'/' + file.key();
        QDir().mkpath(QFileInfo(path).path());
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(file.value()) != file.value().size())
            qFatal("cannot write");
    }
}

Files filesBelow(const QString &root) {
    Files files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(root).relativeFilePath(path), readFile(path));
    }
    return files;
}

QMimeData *urlsOf(const QStringList &paths) {
    auto *data = new QMimeData;
    QList<QUrl> urls;
    for (const QString &path : paths) urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

bool dropOn(Form1Harness &window, const QStringList &paths) {
    std::unique_ptr<QMimeData> data(urlsOf(paths));
    return window.drop(*data, window.text().geometry().center(), Qt::CopyAction);
}

QString bytesText(const Files &files) {
    qint64 size = 0;
    for (const QByteArray &bytes : files) size += bytes.size();
    return QLocale().formattedDataSize(size, 1, QLocale::DataSizeTraditionalFormat);
}

}  // namespace

class SiteJobTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void writesWhatZeredizCompressWrites_data();
    void writesWhatZeredizCompressWrites();
    void cancelLeavesEveryPageOldOrNew_data();
    void cancelLeavesEveryPageOldOrNew();
    void closingDuringAJobAsksFirst();
    void saysWhenThereIsNoPage_data();
    void saysWhenThereIsNoPage();
    void progressSaysTheTimeLeft_data();
    void progressSaysTheTimeLeft();
#ifdef Q_OS_UNIX
    void namesEachPageThatFailed_data();
    void namesEachPageThatFailed();
    void leavesPagesThatLookDifferent_data();
    void leavesPagesThatLookDifferent();
#endif

private:
    std::optional<QTemporaryDir> dir_;
    QString site_;
};

void SiteJobTest::init() {
    dir_.emplace();
    site_ = dir_->filePath(QStringLiteral("site"));
    writeTree(site_, kSite);
}

void SiteJobTest::writesWhatZeredizCompressWrites_data() {
    QTest::addColumn<QString>("way");      // "drop", "command line", "pages"
    QTest::addColumn<Place>("place");      // the answer to the question
    QTest::addColumn<int>("namesTaken");   // copies of the site there already
    QTest::addColumn<QString>("copy");     // the folder written, beside the site
    QTest::addColumn<QString>("summary");  // what the summary starts with
    QTest::addColumn<bool>("openFolder");  // 打开文件夹 is clicked
    QTest::addColumn<bool>("hasFilm");     // the site holds a file larger than any page
    QTest::addColumn<bool>("deep");        // 深度压缩 is ticked

    const QString four = QStringLiteral("已处理 4 个网页：3 个已压缩，1 个无需改动，0 个失败。");
    const QString two = QStringLiteral("已处理 2 个网页：1 个已压缩，1 个无需改动，0 个失败。");
    QTest::newRow("a folder dropped, into a new folder")
        << "drop" << Place::NewFolder << 0 << QStringLiteral("site-压缩") << four << true << false
        << false;
    QTest::newRow("a folder dropped, in place")
        << "drop" << Place::InPlace << 0 << QStringLiteral("site") << four << true << false
        << false;
    QTest::newRow("the new folder's name taken once")
        << "drop" << Place::NewFolder << 1 << QStringLiteral("site-压缩 (2)") << four << false
        << false << false;
    QTest::newRow("the new folder's name taken twice")
        << "drop" << Place::NewFolder << 2 << QStringLiteral("site-压缩 (3)") << four << false
        << false << false;
    QTest::newRow("zerediz FOLDER, into a new folder")
        << "command line" << Place::NewFolder << 0 << QStringLiteral("site-压缩") << four << false
        << false << false;
    QTest::newRow("several pages dropped, into a new folder")
        << "pages" << Place::NewFolder << 0 << QStringLiteral("site-压缩") << two << false << false
        << false;
    QTest::newRow("several pages dropped, in place")
        << "pages" << Place::InPlace << 0 << QStringLiteral("site") << two << false << false
        << false;
    QTest::newRow("a film larger than any page, into a new folder")
        << "drop" << Place::NewFolder << 0 << QStringLiteral("site-压缩") << four << false << true
        << false;
    // Tabs and lines left empty go too, as zerediz-compress --deep takes them.
    QTest::newRow("a folder dropped, deeply, into a new folder")
        << "drop" << Place::NewFolder << 0 << QStringLiteral("site-压缩") << four << false << false
        << true;
    QTest::newRow("several pages dropped, deeply, in place")
        << "pages" << Place::InPlace << 0 << QStringLiteral("site") << two << false << false
        << true;
}

void SiteJobTest::writesWhatZeredizCompressWrites() {
    QFETCH(QString, way);
    QFETCH(Place, place);
    QFETCH(int, namesTaken);
    QFETCH(QString, copy);
    QFETCH(QString, summary);
    QFETCH(bool, openFolder);
    QFETCH(bool, hasFilm);
    QFETCH(bool, deep);
    const QStringList pages{site_ + QStringLiteral("/index.html"),
                            site_ + QStringLiteral("/done.html")};
    const QStringList paths = way == u"pages" ? pages : QStringList{site_};
    const QStringList takenNames{QStringLiteral("site-压缩"), QStringLiteral("site-压缩 (2)")};
    for (int i = 0; i < namesTaken; ++i) QVERIFY(QDir().mkpath(dir_->filePath(takenNames[i])));

    // What zerediz-compress writes for a copy of the same folder.
    const QString reference = dir_->filePath(QStringLiteral("reference"));
    writeTree(reference + QStringLiteral("/site"), kSite);
    QStringList arguments;
    if (place == Place::NewFolder)
        arguments << QStringLiteral("--output-dir") << QStringLiteral("out");
    if (deep) arguments << QStringLiteral("--deep");
    for (const QString &path : paths) arguments << QStringLiteral("site") + path.mid(site_.size());
    QCOMPARE(runCompress(reference, arguments).exitCode, 0);
    Files expected = filesBelow(
        reference + (place == Place::NewFolder ? QStringLiteral("/out") : QStringLiteral("/site")));
    // Beside the pages, a copy of a folder holds its other files as they are.
    if (place == Place::NewFolder && way != u"pages")
        for (const QString &other :
             {QStringLiteral("style.css"), QStringLiteral("logo.png"), QStringLiteral(".nojekyll"),
              QStringLiteral(".git/config"), QStringLiteral(".git/page.html")})
            expected.insert(other, kSite[other]);

    // A copy keeps what a file manager's copy keeps: the time, and on Linux the rights.
    const QDateTime longAgo(QDate(2001, 2, 3), QTime(4, 5, 6, 7), Qt::UTC);
    QFile logo(site_ + QStringLiteral("/logo.png"));
    QVERIFY(logo.open(QIODevice::ReadWrite));
    QVERIFY(logo.setFileTime(longAgo, QFile::FileModificationTime));
    logo.close();
#ifdef Q_OS_UNIX
    setMode(site_ + QStringLiteral("/style.css"), 0640);
#endif
    const QString film = site_ + QStringLiteral("/film.mp4");
    if (hasFilm) {
        // Sparse where the system allows it: only the copy costs the disk.
        QFile big(film);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(kMaxDocumentSize));
        QVERIFY(big.seek(kMaxDocumentSize) && big.write("end") == 3);
    }

    Form1Harness window;
    window.dialogs.siteAnswers.append({place, false, deep});
    window.dialogs.openFolder = openFolder;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    // Unsaved text, which the job leaves as it is.
    window.text().setFocus();
    QTest::keyClicks(&window.text(), QStringLiteral("typed"));
    const QByteArray typed = window.textBytes();
    QVERIFY(window.text().isModified());

    if (way == u"command line") {
        // As the program starts: the job begins once the window is on the screen.
        const auto parsed = parseStartRequest({QStringLiteral("zerediz"), site_});
        QVERIFY(std::holds_alternative<StartRequest>(parsed));
        startMainWindow(window.form, std::get<StartRequest>(parsed));
        QTRY_COMPARE(window.dialogs.summaries.size(), 1);
    } else {
        QVERIFY(dropOn(window, paths));
    }

    QCOMPARE(window.dialogs.askedSite.size(), 1);
    const QStringList askedPages =
        way == u"pages"
            ? QStringList{QStringLiteral("index.html"), QStringLiteral("done.html")}
            : QStringList{QStringLiteral("index.html"), QStringLiteral("done.html"),
                          QStringLiteral("sub/b.htm"), QStringLiteral("sub/deeper/c.XHTML")};
    Files asked;
    for (const QString &name : askedPages) asked.insert(name, kSite[name]);
    QCOMPARE(
        window.dialogs.askedSite.first().text,
        QStringLiteral("压缩“site”中的 %1 个网页（%2）？").arg(asked.size()).arg(bytesText(asked)));
    QCOMPARE(window.dialogs.progressShown, 1);
    QCOMPARE(window.dialogs.summaries.size(), 1);
    QVERIFY2(window.dialogs.summaries.first().text.startsWith(summary),
             qPrintable(window.dialogs.summaries.first().text));
    QCOMPARE(window.dialogs.summaryDetails.first(), QString());
    const QString written = dir_->filePath(copy);
    if (place == Place::NewFolder && way != u"pages") {
        QCOMPARE(QFileInfo(written + QStringLiteral("/logo.png")).lastModified().toUTC(), longAgo);
#ifdef Q_OS_UNIX
        QCOMPARE(rightsOf(written + QStringLiteral("/style.css")).mode & 0777, mode_t{0640});
#endif
    }
    if (hasFilm) {
        QFile copied(written + QStringLiteral("/film.mp4"));
        QVERIFY(copied.open(QIODevice::ReadOnly));
        QCOMPARE(copied.size(), kMaxDocumentSize + 3);
        QVERIFY(copied.seek(kMaxDocumentSize - 3));
        QCOMPARE(copied.readAll(), QByteArray("\0\0\0end", 6));
        copied.close();
        QVERIFY(copied.remove() && QFile::remove(film));
    }
    QCOMPARE(filesBelow(written), expected);
    if (place == Place::NewFolder) QCOMPARE(filesBelow(site_), kSite);
    QCOMPARE(window.dialogs.foldersShown, openFolder ? QStringList{written} : QStringList());
    // The text area, its unsaved text and the dialog's last name are as they were.
    QCOMPARE(window.textBytes(), typed);
    QVERIFY(window.text().isModified());
    QVERIFY(window.dialogs.asked.isEmpty());
    QVERIFY(window.dialogs.shown.isEmpty());
}

void SiteJobTest::cancelLeavesEveryPageOldOrNew_data() {
    QTest::addColumn<Place>("place");
    QTest::addColumn<int>("cancelAfter");  // reports of progress
    QTest::newRow("取消 at once, in place") << Place::InPlace << 0;
    QTest::newRow("取消 at once, into a new folder") << Place::NewFolder << 0;
    QTest::newRow("取消 after the first report, in place") << Place::InPlace << 1;
    QTest::newRow("取消 after the first report, into a new folder") << Place::NewFolder << 1;
}

void SiteJobTest::cancelLeavesEveryPageOldOrNew() {
    QFETCH(Place, place);
    QFETCH(int, cancelAfter);
    // Enough pages that the job is far from done when 取消 comes at once.
    constexpr int kPages = 300;
    Files before;
    for (int i = 0; i < kPages; ++i)
        before.insert(QStringLiteral("p%1.html").arg(i, 3, 10, QLatin1Char('0')),
                      QByteArray("  line  \r\n").repeated(200 + i));
    const QString big = dir_->filePath(QStringLiteral("big"));
    writeTree(big, before);
    Files after;
    for (auto page = before.begin(); page != before.end(); ++page)
        after.insert(page.key(), QByteArray("line\r\n").repeated(page.value().size() / 10));

    Form1Harness window;
    window.dialogs.siteAnswers.append({place, false});
    window.dialogs.cancelAfter = cancelAfter;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    QVERIFY(dropOn(window, {big}));

    QCOMPARE(window.dialogs.summaries.size(), 1);
    const QString summary = window.dialogs.summaries.first().text;
    QVERIFY2(summary.startsWith(QStringLiteral("已取消，还有 ")), qPrintable(summary));
    const QString written = place == Place::InPlace ? big : big + QStringLiteral("-压缩");
    const Files found = filesBelow(written);
    qsizetype compressed = 0;
    for (auto page = found.begin(); page != found.end(); ++page) {
        QVERIFY2(after.contains(page.key()), qPrintable(page.key()));  // no temporary file
        const bool isNew = page.value() == after[page.key()];
        QVERIFY2(isNew || (place == Place::InPlace && page.value() == before[page.key()]),
                 qPrintable(page.key()));
        compressed += isNew;
    }
    if (place == Place::InPlace) QCOMPARE(found.size(), kPages);
    QVERIFY(summary.contains(QStringLiteral("已处理 %1 个网页：%1 个已压缩").arg(compressed)));
    if (cancelAfter == 0) QVERIFY2(compressed < kPages, qPrintable(summary));
}

void SiteJobTest::closingDuringAJobAsksFirst() {
    Form1Harness window;
    window.dialogs.siteAnswers.append({Place::InPlace, false});
    window.dialogs.stopAnswers = {false, true};
    // Closed twice while the job runs: 继续, then 停止.
    window.dialogs.whileInProgress = [&] {
        QVERIFY(!window.form.close());
        QVERIFY(!window.form.close());
    };
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    QVERIFY(dropOn(window, {site_}));
    QCOMPARE(window.dialogs.askedToStop.size(), 2);
    QCOMPARE(window.dialogs.askedToStop.first().text,
             QStringLiteral("正在压缩网页。要停止并关闭窗口吗？"));
    // The window closes once the job has stopped, with no summary.
    QTRY_VERIFY(!window.form.isVisible());
    QVERIFY(window.dialogs.summaries.isEmpty());
    const Files found = filesBelow(site_);
    QCOMPARE(found.keys(), kSite.keys());
}

void SiteJobTest::saysWhenThereIsNoPage_data() {
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QString>("box");  // %1 is the folder
    QTest::newRow("a folder without pages") << true << QStringLiteral("“空的”中没有网页。");
#ifdef Q_OS_UNIX
    QTest::newRow("a folder that cannot be read")
        << false << QStringLiteral("无法打开文件：%1\n没有读取权限");
#endif
}

void SiteJobTest::saysWhenThereIsNoPage() {
    QFETCH(bool, readable);
    QFETCH(QString, box);
    const QString empty = dir_->filePath(QStringLiteral("空的"));
    writeTree(empty, {{QStringLiteral("a.css"), "  x  "}, {QStringLiteral(".git/b.html"), " y "}});
    if (!readable) writeTree(empty, {{QStringLiteral("a.html"), "  x  "}});
    Form1Harness window;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
#ifdef Q_OS_UNIX
    // As an ordinary user, whom the rights stop.
    std::optional<Unprivileged> user;
    if (!readable) {
        // The folder above it is the user's, so that he finds it is a folder.
        Unprivileged::giveToUser(dir_->path());
        setMode(empty, 0);
        user.emplace();
    }
#endif
    QVERIFY(dropOn(window, {empty}));
#ifdef Q_OS_UNIX
    user.reset();
    setMode(empty, 0755);
#endif
    QVERIFY(window.dialogs.askedSite.isEmpty());
    QCOMPARE(window.dialogs.shown.size(), 1);
    QCOMPARE(window.dialogs.shown.first().text, QString(box).replace(QStringLiteral("%1"), empty));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 2);
}

void SiteJobTest::progressSaysTheTimeLeft_data() {
    QTest::addColumn<bool>("verify");  // in the stand-in browser, slowed down; else on a slow disk
    QTest::newRow("checked in the browser") << true;
#ifdef Q_OS_UNIX
    QTest::newRow("without the browser, on a slow disk") << false;
#endif
}

// The real progress dialog, during a job long enough to tell its pace: once it can, it says how
// many pages a second go and how long the rest takes.
void SiteJobTest::progressSaysTheTimeLeft() {
    QFETCH(bool, verify);
    if (verify && BrowserRun::standIn().isEmpty()) QSKIP("no stand-in browser in this build");
    constexpr int kPages = 32;
    const QString many = dir_->filePath(QStringLiteral("many"));
    Files pages;
    for (int i = 0; i < kPages; ++i)
        pages.insert(QStringLiteral("p%1.html").arg(i, 2, 10, QLatin1Char('0')),
                     "  <p>page</p>  \r\n");
    writeTree(many, pages);
    const BrowserRun browser;
    qputenv("ZEREDIZ_STAND_IN", "slow");
    qputenv("ZEREDIZ_STAND_IN_LOG", QFile::encodeName(dir_->filePath(QStringLiteral("log"))));
#ifdef Q_OS_UNIX
    // Each page is read a third of a second late: strace, following every thread of this
    // process, holds back its opening.
    std::optional<QProcess> slowDisk;
    if (!verify) {
        QStringList arguments{
            QStringLiteral("-f"), QStringLiteral("-qq"),
            QStringLiteral("-o"), QStringLiteral("/dev/null"),
            QStringLiteral("-e"), QStringLiteral("trace=openat"),
            QStringLiteral("-e"), QStringLiteral("inject=openat:delay_exit=300000"),
            QStringLiteral("-p"), QString::number(QCoreApplication::applicationPid())};
        for (auto page = pages.begin(); page != pages.end(); ++page)
            arguments << QStringLiteral("-P") << many + u'/' + page.key();
        slowDisk.emplace();
        slowDisk->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        slowDisk->start(QStringLiteral("strace"), arguments);
        if (!slowDisk->waitForStarted()) QSKIP("no strace");
        QFile status(QStringLiteral("/proc/self/status"));
        bool traced = false;
        for (int wait = 0; !traced && wait < 10000; wait += 10) {
            QThread::msleep(10);
            traced =
                status.open(QIODevice::ReadOnly) && !status.readAll().contains("TracerPid:\t0\n");
            status.close();
        }
        if (!traced) QSKIP("strace cannot follow this process");
    }
#endif
    SiteTask task;
    task.paths = {many};
    task.folder = many;
    task.browser = verify ? BrowserRun::standIn() : QString();
    SiteJob job(task);
    QString told;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget *dialog = QApplication::activeModalWidget())
            for (const QLabel *label : dialog->findChildren<QLabel *>())
                if (label->text().contains(QStringLiteral("剩余约"))) told = label->text();
    });
    watch.start(20);
    job.start();
    QtPlatformDialogs().showProgress(nullptr, QStringLiteral("Zerediz"), job);
    job.wait();
#ifdef Q_OS_UNIX
    if (slowDisk) {
        slowDisk->terminate();
        slowDisk->waitForFinished();
    }
#endif
    qunsetenv("ZEREDIZ_STAND_IN");
    qunsetenv("ZEREDIZ_STAND_IN_LOG");
    static const QRegularExpression line(
        QStringLiteral("^每秒 [\\d.]+ 个网页，剩余约 \\d+ (秒|分钟)$"));
    QVERIFY2(line.match(told).hasMatch(), qPrintable(told));
    QVERIFY2(summaryText(job.summary())
                 .startsWith(QStringLiteral("已处理 %1 个网页：%1 个已压缩").arg(kPages)),
             qPrintable(summaryText(job.summary())));
}

#ifdef Q_OS_UNIX
void SiteJobTest::namesEachPageThatFailed_data() {
    QTest::addColumn<Place>("place");
    QTest::addColumn<QString>("file");     // in the site
    QTest::addColumn<QString>("detail");   // %1 is the site
    QTest::addColumn<QString>("summary");  // how it starts
    const QString page = QStringLiteral("sub/b.htm");
    const QString pageFailed =
        QStringLiteral("已处理 4 个网页：2 个已压缩，1 个无需改动，1 个失败。");
    QTest::newRow("a page that cannot be read, in place")
        << Place::InPlace << page << QStringLiteral("无法打开文件：%1/sub/b.htm：没有读取权限")
        << pageFailed;
    QTest::newRow("a page that cannot be read, into a new folder")
        << Place::NewFolder << page << QStringLiteral("无法打开文件：%1/sub/b.htm：没有读取权限")
        << pageFailed;
    QTest::newRow("a page that cannot be written, in place")
        << Place::InPlace << page << QStringLiteral("无法保存文件：%1/sub/b.htm：没有写入权限")
        << pageFailed;
    QTest::newRow("a file that is no page cannot be read, into a new folder")
        << Place::NewFolder << QStringLiteral("logo.png")
        << QStringLiteral("无法打开文件：%1/logo.png：没有读取权限")
        << QStringLiteral(
               "已处理 4 个网页：3 个已压缩，1 个无需改动，0 个失败。另有 1 "
               "个其他文件没能复制。");
}

// As an ordinary user, since root reads and writes whatever the rights say; the job's threads
// take the identity of the thread that starts them.
void SiteJobTest::namesEachPageThatFailed() {
    QFETCH(Place, place);
    QFETCH(QString, file);
    QFETCH(QString, detail);
    QFETCH(QString, summary);
    const bool unreadable = detail.startsWith(QStringLiteral("无法打开"));
    QDirIterator it(dir_->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) Unprivileged::giveToUser(it.next());
    Unprivileged::giveToUser(dir_->path());
    const QString page = site_ + u'/' + file;
    if (unreadable) {
        setMode(page, 0200);
    } else {
        // Neither the file nor its folder takes a write.
        setMode(page, 0444);
        setMode(site_ + QStringLiteral("/sub"), 0555);
    }

    Form1Harness window;
    window.dialogs.siteAnswers.append({place, false});
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    {
        Unprivileged user;
        QVERIFY(dropOn(window, {site_}));
    }
    setMode(site_ + QStringLiteral("/sub"), 0755);
    QCOMPARE(window.dialogs.summaries.size(), 1);
    QVERIFY2(window.dialogs.summaries.first().text.startsWith(summary),
             qPrintable(window.dialogs.summaries.first().text));
    QCOMPARE(window.dialogs.summaryDetails.first(),
             QString(detail).replace(QStringLiteral("%1"), site_));
    setMode(page, 0644);
    QCOMPARE(readFile(page), kSite[file]);
    // A copy that failed leaves nothing half-made behind.
    if (place == Place::NewFolder)
        QVERIFY(!QFileInfo::exists(dir_->filePath(QStringLiteral("site-压缩/")) + file));
}

void SiteJobTest::leavesPagesThatLookDifferent_data() {
    QTest::addColumn<Place>("place");
    QTest::addColumn<bool>("verify");    // the box is left checked
    QTest::addColumn<QString>("words");  // what the stand-in is asked to do
    QTest::newRow("checked in the browser, into a new folder")
        << Place::NewFolder << true << QString();
    QTest::newRow("checked in the browser, in place") << Place::InPlace << true << QString();
    QTest::newRow("the check unticked") << Place::InPlace << false << QString();
    QTest::newRow("a browser that does not start: nothing is written")
        << Place::NewFolder << true << QStringLiteral("refuse");
}

// The stand-in browser, found where the window looks for a browser: on PATH, as chromium.
void SiteJobTest::leavesPagesThatLookDifferent() {
    QFETCH(Place, place);
    QFETCH(bool, verify);
    QFETCH(QString, words);
    if (BrowserRun::standIn().isEmpty()) QSKIP("no stand-in browser in this build");
    const QString bin = dir_->filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QFile::link(BrowserRun::standIn(), bin + QStringLiteral("/chromium")));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ':' + path);
    const QByteArray differs("  <p>stand-in:text-differs</p>  \r\n");
    writeTree(site_, {{QStringLiteral("index.html"), differs}});

    qputenv("ZEREDIZ_STAND_IN", words.toUtf8());

    Form1Harness window;
    window.dialogs.siteAnswers.append({place, verify});
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    QVERIFY(dropOn(window, {site_}));
    qputenv("PATH", path);
    qunsetenv("ZEREDIZ_STAND_IN");

    QCOMPARE(window.dialogs.offeredVerify, QList<bool>{true});
    QCOMPARE(window.dialogs.summaries.size(), 1);
    const QString summary = window.dialogs.summaries.first().text;
    const QString written = place == Place::InPlace ? site_ : site_ + QStringLiteral("-压缩");
    if (!words.isEmpty()) {
        QVERIFY2(summary.startsWith(QStringLiteral("什么也没做：浏览器")), qPrintable(summary));
        QVERIFY(!QFileInfo::exists(written));
        QCOMPARE(readFile(site_ + QStringLiteral("/index.html")), differs);
        return;
    }
    if (!verify) {
        QVERIFY2(summary.startsWith(QStringLiteral("已处理 4 个网页：3 个已压缩")),
                 qPrintable(summary));
        QCOMPARE(readFile(written + QStringLiteral("/index.html")),
                 QByteArray("<p>stand-in:text-differs</p>\r\n"));
        return;
    }
    QVERIFY2(summary.startsWith(QStringLiteral("已处理 4 个网页：2 个已压缩，1 个无需改动，0 "
                                               "个失败。1 个在浏览器中显示会变，保持原样。")),
             qPrintable(summary));
    QVERIFY2(window.dialogs.summaryDetails.first().startsWith(
                 QStringLiteral("显示会变，保持原样：%1/index.html：").arg(site_)),
             qPrintable(window.dialogs.summaryDetails.first()));
    // Left as it is, in the copy too.
    QCOMPARE(readFile(written + QStringLiteral("/index.html")), differs);
    QCOMPARE(readFile(written + QStringLiteral("/sub/b.htm")), QByteArray("\t x\ny\n"));
}
#endif

QTEST_MAIN(SiteJobTest)
#include "site_job_test.moc"
