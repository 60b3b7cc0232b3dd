#include "corpus_measurements.h"

#include <unistd.h>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <stdexcept>

#include "core/pages/open_page.h"
#include "run_program.h"
#include "timing.h"

namespace {

constexpr int kOpenRounds = 9;
// Fewer: each run needs a copy of the tree of its own.
constexpr int kCompressRounds = 5;

// What zerediz-compress takes from a folder when no --ext is given.
const QStringList kPageNames{QStringLiteral("*.htm"), QStringLiteral("*.html"),
                             QStringLiteral("*.xhtml"), QStringLiteral("*.shtml")};

struct Tree {
    QStringList pages;  // absolute
    qint64 pagesSize = 0;
    qint64 size = 0;
};

// The copy is made with every link followed: the tree links to scripts of other packages, which a
// copy of its own must hold.
void copyTree(const QString &from, const QString &to) {
    runSeconds(QStringLiteral("cp"), {QStringLiteral("-rL"), from, to});
}

// Files of folders whose names start with "." are left out, as zerediz-compress leaves them.
Tree treeAt(const QString &root) {
    Tree tree;
    QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) tree.size += QFileInfo(files.next()).size();
    QDirIterator pages(root, kPageNames, QDir::Files, QDirIterator::Subdirectories);
    while (pages.hasNext()) {
        const QString page = pages.next();
        tree.pages.append(page);
        tree.pagesSize += QFileInfo(page).size();
    }
    tree.pages.sort();
    if (tree.pages.isEmpty()) throw std::runtime_error("no pages in " + root.toStdString());
    return tree;
}

// Every page opened as the window opens it, each document freed before the next page, as the
// window frees the one it replaces.
double openEverySeconds(const QStringList &pages) {
    return secondsOf([&] {
        for (const QString &page : pages) {
            if (!std::holds_alternative<TextBuffer>(openPage(page)))
                throw std::runtime_error("the window cannot open " + page.toStdString());
        }
    });
}

// Each run compresses a copy of its own. None is removed by the bench before it ends: on a disk
// whose filesystem takes a while to reuse what was just freed, a removal slows the creates of
// whatever runs next (see the batch figures).
class InPlaceRuns {
public:
    InPlaceRuns(const QString &tree, const QString &folder)
        : tree_(tree),
          folder_(folder),
          eatmydata_(QStandardPaths::findExecutable(QStringLiteral("eatmydata"))) {}

    bool canSkipSyncs() const { return !eatmydata_.isEmpty(); }

    double compress() {
        return runSeconds(QStringLiteral(ZEREDIZ_COMPRESS_PROGRAM), arguments(newCopy()));
    }
    double compressNoSync() {
        return runSeconds(eatmydata_, QStringList{QStringLiteral(ZEREDIZ_COMPRESS_PROGRAM)} +
                                          arguments(newCopy()));
    }

private:
    static QStringList arguments(const QString &tree) { return {QStringLiteral("-q"), tree}; }

    QString copyPath(int run) const {
        return QDir(folder_).filePath(QStringLiteral("corpus-run-%1").arg(run));
    }
    // The copy is not timed, and is on the disk before the run starts: its write-back would
    // otherwise compete with the run's syncs.
    QString newCopy() {
        const QString copy = copyPath(++runs_);
        copyTree(tree_, copy);
        ::sync();
        return copy;
    }

    QString tree_;
    QString folder_;
    QString eatmydata_;
    int runs_ = 0;
};

}  // namespace

CorpusMeasurements measureCorpus(const QString &folder) {
    const QString source = QString::fromLatin1(kCorpusFolder);
    if (!QFileInfo(source).isDir())
        throw std::runtime_error("no corpus at " + source.toStdString() +
                                 ": install python3-doc (scripts/setup.sh)");
    std::fprintf(stderr, "bench: corpus, copying %s\n", kCorpusFolder);
    const QString root = QDir(folder).filePath(QStringLiteral("corpus"));
    copyTree(source, root);
    const Tree tree = treeAt(root);

    CorpusMeasurements measured;
    measured.pages = static_cast<int>(tree.pages.size());
    measured.pagesSize = tree.pagesSize;
    measured.treeSize = tree.size;

    std::fprintf(stderr, "bench: corpus, opening its %d pages\n", measured.pages);
    measured.open = medianOf(kOpenRounds, [&] { return openEverySeconds(tree.pages); });

    std::fprintf(stderr, "bench: corpus, zerediz-compress in place\n");
    InPlaceRuns runs(root, folder);
    std::vector<std::function<double()>> samples{[&] { return runs.compress(); }};
    if (runs.canSkipSyncs()) samples.push_back([&] { return runs.compressNoSync(); });
    const std::vector<double> medians = interleavedMedians(kCompressRounds, samples);
    measured.compress = medians[0];
    if (runs.canSkipSyncs()) measured.compressNoSync = medians[1];
    // What the runs without syncs wrote goes to the disk now, not during what is measured next.
    ::sync();
    return measured;
}
