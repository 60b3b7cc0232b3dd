#include "batch_measurements.h"

#include <unistd.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <cstdio>
#include <stdexcept>

#include "page_generator.h"
#include "run_program.h"
#include "timing.h"

namespace {

constexpr int kPages = 2000;
constexpr int kPagesPerFolder = 100;
constexpr int kRounds = 5;
constexpr int kStandardInputRuns = 9;
// Pages at a time for a run whose threads mostly wait for the disk.
constexpr int kManyJobs = 16;

// Line by line, as a script would do it: a line ends at a CR, whose LF, if one follows, is the
// start of the next record and is dropped there; a last record without a CR that is empty after
// that was no line.
const char kPerlTrim[] =
    "BEGIN { $/ = \"\\r\" } s/^\\n// if $n++; $n = 0 if eof; $e = chomp; s/^ +//; s/ +\\z//; "
    "$_ = $e || length ? \"$_\\r\\n\" : \"\"";

struct Tree {
    QString root;
    QStringList pages;  // relative to root
    qint64 size = 0;
};

// Pages of 34 to 76 KiB, about 100 MiB together, every other one in GB18030, a hundred a folder.
Tree generateTree(const QString &root) {
    Tree tree{root, {}, 0};
    for (int i = 0; i < kPages; ++i) {
        const QString relative = QStringLiteral("section-%1/page-%2.html")
                                     .arg(i / kPagesPerFolder, 2, 10, QLatin1Char('0'))
                                     .arg(i, 4, 10, QLatin1Char('0'));
        QByteArray page = generatePage((34 + (i * 37) % 43) * 1024);
        if (i % 2) page = toGb18030(page);
        QDir(root).mkpath(QFileInfo(relative).path());
        QFile file(QDir(root).filePath(relative));
        if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.flush())
            throw std::runtime_error("cannot write the tree");
        tree.pages.append(relative);
        tree.size += page.size();
    }
    return tree;
}

QByteArray contentOf(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

// Every run writes a tree of its own, and none is removed before the last run: on a disk whose
// filesystem takes a while to reuse what was just freed, a tree removed right before a run slows
// that run's creates by as much as the run itself takes, and by more on one run than on the next.
class Runs {
public:
    Runs(const Tree &tree, const QString &folder)
        : tree_(tree),
          folder_(folder),
          eatmydata_(QStandardPaths::findExecutable(QStringLiteral("eatmydata"))) {}

    bool canSkipSyncs() const { return !eatmydata_.isEmpty(); }

    double batch(int jobs = 0) {
        settle();
        return runSeconds(QStringLiteral(ZEREDIZ_COMPRESS_PROGRAM), batchArguments(jobs));
    }
    double batchNoSync() {
        settle();
        return runSeconds(eatmydata_,
                          QStringList{QStringLiteral(ZEREDIZ_COMPRESS_PROGRAM)} + batchArguments());
    }
    double copy() {
        settle();
        return runSeconds(QStringLiteral("cp"), {QStringLiteral("-r"), tree_.root, newTree()});
    }
    double perl() {
        perlTree_ = newTree();
        runSeconds(QStringLiteral("cp"), {QStringLiteral("-r"), tree_.root, perlTree_});
        settle();
        return runSeconds(QStringLiteral("perl"),
                          QStringList{QStringLiteral("-pi"), QStringLiteral("-e"),
                                      QString::fromLatin1(kPerlTrim)} +
                              tree_.pages,
                          perlTree_);
    }

    // Before Perl's time counts for anything, it must have written what zerediz-compress writes.
    void checkPerlWritesTheSame() {
        batch();
        const QString mirror = mirror_;
        perl();
        for (const QString &page : tree_.pages) {
            if (contentOf(QDir(perlTree_).filePath(page)) != contentOf(QDir(mirror).filePath(page)))
                throw std::runtime_error("Perl's trim differs on " + page.toStdString());
        }
    }

    // The trees of the runs, once they are all done.
    void removeTrees() {
        for (int run = 1; run <= runs_; ++run) QDir(treePath(run)).removeRecursively();
    }

private:
    // Each run starts with nothing of an earlier run left to write back: a sync would otherwise
    // wait for the writes of the run before it, and cp would compete with them.
    static void settle() { ::sync(); }

    QString treePath(int run) const {
        return QDir(folder_).filePath(QStringLiteral("run-%1").arg(run));
    }
    QString newTree() { return treePath(++runs_); }

    QStringList batchArguments(int jobs = 0) {
        mirror_ = newTree();
        QStringList arguments{QStringLiteral("-q"), QStringLiteral("--output-dir"), mirror_,
                              tree_.root};
        if (jobs > 0) arguments.append(QStringLiteral("-j%1").arg(jobs));
        return arguments;
    }

    const Tree &tree_;
    QString folder_;
    QString eatmydata_;
    int runs_ = 0;
    QString mirror_, perlTree_;  // the last ones written
};

}  // namespace

BatchMeasurements measureBatch(const QString &folder, const QString &largePage) {
    BatchMeasurements measured;
    // Before the trees of the runs below are written and removed: the disk's work on a removal
    // goes on for a while behind it.
    std::fprintf(stderr, "bench: zerediz-compress, standard input\n");
    measured.standardInputSize = QFileInfo(largePage).size();
    measured.standardInput = medianOf(kStandardInputRuns, [&] {
        return runSeconds(QStringLiteral(ZEREDIZ_COMPRESS_PROGRAM),
                          {QStringLiteral("-q"), QStringLiteral("-")}, {}, largePage);
    });

    std::fprintf(stderr, "bench: zerediz-compress, cp and perl on %d pages\n", kPages);
    const Tree tree = generateTree(QDir(folder).filePath(QStringLiteral("tree")));
    Runs runs(tree, folder);
    runs.checkPerlWritesTheSame();

    measured.pages = kPages;
    measured.treeSize = tree.size;
    std::vector<std::function<double()>> samples{
        [&] { return runs.batch(); }, [&] { return runs.copy(); }, [&] { return runs.perl(); },
        [&] { return runs.batch(kManyJobs); }};
    if (runs.canSkipSyncs()) samples.push_back([&] { return runs.batchNoSync(); });
    const std::vector<double> medians = interleavedMedians(kRounds, samples);
    measured.batch = medians[0];
    measured.copy = medians[1];
    measured.perl = medians[2];
    measured.batchManyJobs = medians[3];
    if (runs.canSkipSyncs()) measured.batchNoSync = medians[4];
    runs.removeTrees();

    return measured;
}
