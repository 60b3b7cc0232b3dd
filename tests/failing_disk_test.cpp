#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <memory>

#include "core/files/file_error_text.h"
#include "core/files/page_file.h"
#include "core/site/folder_walk.h"
#include "core/site/page_compressor.h"
#include "core/site/page_finder.h"
#include "core/site/page_outcome.h"
#include "core/site/site_copy.h"
#include "failing_disk.h"
#include "test_folder.h"

namespace {

// The ways zerediz-compress and the window's site job write a file.
enum SitePath {
    kInPlace,    // zerediz-compress SITE
    kOutputDir,  // zerediz-compress --output-dir DIST SITE
    kOtherFile,  // a file that is no page, copied into the site job's new folder
    kEmptyFile,  // the same, with nothing in it
};

const QList<const char *> kSitePathNames{"zerediz-compress in place",
                                         "zerediz-compress --output-dir",
                                         "the copy of another file", "the copy of an empty file"};

const QByteArray kPage("<p>  \r\n  a page  \r\n</p>  \r\n");
const QByteArray kCompressed("<p>\r\na page\r\n</p>\r\n");
const QByteArray kStyleSheet("p {\n  color: navy;\n}\n");

// What the run of a path meets, and what it tells, as zerediz-compress prints it on standard
// error and the site job lists it.
class SiteRun final : public CompressionReport {
public:
    SiteRun(SitePath path, const QTemporaryDir &dir) : path_(path), dir_(dir) {
        QDir(dir.path()).mkpath(QStringLiteral("site"));
        QDir(dir.path()).mkpath(QStringLiteral("dist"));
        if (path == kInPlace || path == kOutputDir) {
            source_ = writeFile(dir, QStringLiteral("site/a.html"), kPage);
            PageSearch search;
            search.paths = {dir.filePath(QStringLiteral("site"))};
            if (path == kOutputDir) {
                search.output = PageOutput::Mirror;
                search.outputPath = dir.filePath(QStringLiteral("dist"));
            }
            jobs_ = std::get<JobPlan>(planJobs(search)).jobs;
            target_ = path == kInPlace ? jobs_.front().source : jobs_.front().target;
        } else {
            source_ = writeFile(dir, QStringLiteral("site/style.css"),
                                path == kEmptyFile ? QByteArray() : kStyleSheet);
            target_ = dir.filePath(QStringLiteral("dist/style.css"));
        }
    }

    // Runs it, as both programs do, on the disk that the test put in place.
    void run() {
        if (path_ == kInPlace || path_ == kOutputDir) {
            CompressionRun run;
            compressAll(jobs_, run, *this);
            return;
        }
        const CopyOutcome copied =
            copyOtherFile({source_, target_}, resolvedPath(dir_.filePath(QStringLiteral("site"))));
        if (copied.failure) lines.append(pageFailureText(*copied.failure));
    }

    void page(const PageJob &, const PageOutcome &outcome) override {
        if (outcome.failure) lines.append(pageFailureText(*outcome.failure));
    }
    void progress(qsizetype) override {}
    void unsyncedFolder(const QString &folder, const FileError &why) override {
        lines.append(cannotSyncFolderText(folder) + u'：' + fileErrorText(why));
    }

    const QString &source() const { return source_; }
    const QString &target() const { return target_; }
    QByteArray sourceBytes() const {
        if (path_ == kInPlace || path_ == kOutputDir) return kPage;
        return path_ == kEmptyFile ? QByteArray() : kStyleSheet;
    }
    QByteArray newBytes() const {
        return path_ == kInPlace || path_ == kOutputDir ? kCompressed : sourceBytes();
    }
    // What the target holds where the run fails before it is written.
    std::optional<QByteArray> oldBytes() const {
        if (path_ == kInPlace) return kPage;
        return std::nullopt;
    }

    QStringList lines;  // on standard error, or in the site job's summary

private:
    SitePath path_;
    const QTemporaryDir &dir_;
    QString source_;
    QString target_;
    std::vector<PageJob> jobs_;
};

}  // namespace

// zerediz-compress, in place and into --output-dir, and the site job's copy of other files, each
// run with a disk that fails at each of its steps in turn: compressAll and copyOtherFile driven in
// this process, as both programs drive them.
class FailingDiskTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ignoreFileSizeSignal(); }
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void survivesFailingDisk_data();
    void survivesFailingDisk();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QList<QStringList> cleanRuns_;  // the calls of each path, counted by a run that does not fail
};

void FailingDiskTest::survivesFailingDisk_data() {
    cleanRuns_ = addFaultTable(kSitePathNames, [](int path) {
        const QTemporaryDir dir;
        SiteRun run(SitePath(path), dir);
        FailingDisk disk;
        const FileSystemInUse failing(disk);
        run.run();
        return disk.calls();
    });
}

// Whichever step fails, the file holds its old bytes or exactly its new ones, nothing is left
// behind, and the line that the program prints says why; or the run went another way around.
void FailingDiskTest::survivesFailingDisk() {
    QFETCH(int, path);
    QFETCH(int, call);
    QFETCH(int, fault);
    SiteRun run(SitePath(path), *dir_);
    const QStringList before = tree(dir_->path());
    FailingDisk disk;
    disk.failCall(call, FailingDisk::Fault(fault));
    {
        const FileSystemInUse failing(disk);
        run.run();
    }

    const QByteArray held = readFile(run.target());
    const bool there = QFileInfo::exists(run.target());
    if (const auto old = run.oldBytes())
        QVERIFY2(held == *old || held == run.newBytes(), held.constData());
    else
        QVERIFY2(!there || held == run.newBytes(), held.constData());
    if (run.target() != run.source()) QCOMPARE(readFile(run.source()), run.sourceBytes());
    QStringList after = tree(dir_->path());
    if (run.target() != run.source()) after.removeOne(run.target());
    QCOMPARE(after, before);

    const QStringList &calls = cleanRuns_[path];
    QCOMPARE(disk.calls().mid(0, call), calls.mid(0, call));
    const QString primitive = calls.value(call - 1);
    if (call == 0 ||
        routedAround(primitive, FailingDisk::Fault(fault), run.oldBytes().has_value())) {
        QCOMPARE(run.lines, QStringList());
        QVERIFY(there);
        QCOMPARE(held, run.newBytes());
        return;
    }
    QVERIFY(disk.failure());
    const QString reason = fileErrorText(*disk.failure());
    // Up to the first step of writing, the source was being read; once the file took its place,
    // only the folder was left to be synced, at the end of the run.
    const qsizetype reading =
        std::find_if(calls.cbegin(), calls.cend(),
                     [](const QString &name) {
                         return name != u"openToRead" && name != u"resolvedPath" && name != u"read";
                     }) -
        calls.cbegin();
    const qsizetype placed = std::max(calls.lastIndexOf(QStringLiteral("replace")),
                                      calls.lastIndexOf(QStringLiteral("rename")));
    QString line;
    if (call - 1 < reading)
        line = cannotOpenText(run.source());
    else if (call - 1 > placed && (path == kInPlace || path == kOutputDir))
        line = cannotSyncFolderText(resolvedPath(QFileInfo(run.target()).absolutePath()));
    else
        line = cannotSaveText(run.target());
    QCOMPARE(run.lines, QStringList{line + u'：' + reason});
}

QTEST_GUILESS_MAIN(FailingDiskTest)
#include "failing_disk_test.moc"
