#pragma once

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "byte_references.h"
#include "compress_program.h"
#include "test_files.h"

// The trees of pages that the tests of zerediz-compress run it on, and how they check what it did.

struct FileState {
    QByteArray bytes;  // empty for what is not a regular file
    qint64 modified = 0;
    bool regular = true;
    QByteArray identity;
    QByteArray rights;
    friend bool operator==(const FileState &, const FileState &) = default;
};
using Snapshot = QMap<QString, FileState>;

// Every file below root that is not a link, by its path relative to root.
inline Snapshot snapshotOf(const QString &root) {
    Snapshot files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        FileState state{
            {}, modifiedTime(path), QFileInfo(path).isFile(), fileIdentity(path), fileRights(path)};
        if (state.regular) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) state.bytes = file.readAll();
        }
        files.insert(QDir(root).relativeFilePath(path), state);
    }
    return files;
}

inline QByteArray readFileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A page far larger than a pipe holds, and what it compresses to.
inline const QByteArray kLongPage = QByteArray("  x  \r\n").repeated(150000);
inline const QByteArray kLongPageCompressed = QByteArray("x\r\n").repeated(150000);

// The tree each test starts from, every file dated long ago: pages that change, one that does
// not, a GB18030 page, an upper-case extension, a page in a dot folder, a text file, a name that
// ends in an extension without its dot, a link to a page and a link to a folder that would make a
// loop (where the system makes links), two mirror files that are up to date (one of a page that
// changes), and, apart, a long page.
class Tree {
public:
    Tree() {
        add("site/a.html", "  <p>a</p>  \r\n");
        add("site/b.htm", "<p>b</p>\r\n");
        add("site/gb.html", "  \xd6\xd0\xce\xc4  \r\n");
        add("site/notes.txt", "  x  \r\n");
        add("site/ahtml", "  not a page  \r\n");
        add("site/sub/c.HTML", "c \r");  // changes, and keeps its size
        add("site/sub/.git/d.html", " d \r\n");
        add("other/a.html", "a\r\n");
        add("out/b.htm", "<p>b</p>\r\n");
        add("out/gb.html", "\xd6\xd0\xce\xc4\r\n");
        add("long/page.html", kLongPage);
        linked_ = makeSymbolicLink(QStringLiteral("sub/c.HTML"), path("site/link.html")) &&
                  makeSymbolicLink(QStringLiteral("."), path("site/loop"));
    }

    QString root() const { return dir_.path(); }
    QString path(const char *relative) const { return dir_.filePath(QString::fromUtf8(relative)); }
    // Whether the links are there.
    bool linked() const { return linked_; }

    void add(const char *relative, const QByteArray &bytes) {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() ||
            !out.setFileTime(QDateTime(QDate(2004, 4, 9), QTime(0, 0), Qt::UTC),
                             QFileDevice::FileModificationTime))
            qFatal("no tree");
    }

private:
    QTemporaryDir dir_;
    bool linked_ = false;
};

// After a run: each "target<source" of compressed holds the compressed bytes of source ("-" for
// standard input), trimmed deeply where the run was, and each "target=source" the bytes of source
// as they are; every other file is as it was; nothing else
// was written, no temporary file is left; a file whose bytes did not change was not written at all
// (its time stamp stands); every file gives the same rights to the same people; the links are still
// links.
inline void verifyTree(const Tree &tree, const Snapshot &before, const QStringList &compressed,
                       const QByteArray &input, bool deep = false) {
    const Snapshot after = snapshotOf(tree.root());
    QSet<QString> targets;
    for (const QString &pair : compressed) {
        const QChar kind = pair.contains(u'<') ? u'<' : u'=';
        const QString target = pair.section(kind, 0, 0);
        const QString source = pair.section(kind, 1);
        targets.insert(target);
        QVERIFY2(after.contains(target), qPrintable(target));
        const QByteArray &page = source == u'-' ? input : before.value(source).bytes;
        if (kind == u'=')
            QCOMPARE(after[target].bytes, page);
        else
            QCOMPARE(after[target].bytes, deep ? referenceDeepTrim(page) : referenceTrim(page));
    }
    for (auto it = after.begin(); it != after.end(); ++it) {
        QVERIFY2(before.contains(it.key()) || targets.contains(it.key()), qPrintable(it.key()));
        if (!before.contains(it.key())) continue;
        if (!targets.contains(it.key())) {
            QVERIFY2(it->regular == before[it.key()].regular, qPrintable(it.key()));
            QVERIFY2(it->bytes == before[it.key()].bytes, qPrintable(it.key()));
        }
        if (it->bytes == before[it.key()].bytes)
            QVERIFY2(it->modified == before[it.key()].modified, qPrintable(it.key()));
        QVERIFY2(it->rights == before[it.key()].rights, qPrintable(it.key()));
    }
    if (!tree.linked()) return;
    QVERIFY(QFileInfo(tree.path("site/link.html")).symLinkTarget() == tree.path("site/sub/c.HTML"));
    QVERIFY(QFileInfo(tree.path("site/loop")).isSymLink());
}

// Runs the program on tree and checks what it said and did (see verifyTree).
inline void verifyRun(const Tree &tree, const QStringList &arguments, const QByteArray &input,
                      int exitCode, const QByteArray &standardOutput, const QStringList &compressed,
                      const QString &summary) {
    const Snapshot before = snapshotOf(tree.root());
    const ProgramRun run = runCompress(tree.root(), arguments, input);
    QCOMPARE(QString::fromUtf8(run.standardError), summary);
    QCOMPARE(run.standardOutput, standardOutput);
    QCOMPARE(run.exitCode, exitCode);
    verifyTree(tree, before, compressed, input, arguments.contains(QStringLiteral("--deep")));
}

// Runs the program on tree, started as setUp says, where one file fails: errorLine is one of the
// lines on standard error (ROOT standing for the tree's folder as the program resolves it), the
// summary the last; the troublesome file stays as it was and every other page is compressed.
inline void verifyFailingRun(const Tree &tree, const QStringList &arguments,
                             const QString &errorLine, const QStringList &compressed,
                             const QString &summary,
                             const std::function<void(QProcess &)> &setUp = {}) {
    const Snapshot before = snapshotOf(tree.root());
    const ProgramRun run = runCompress(tree.root(), arguments, {}, setUp);
    QStringList lines = QString::fromUtf8(run.standardError).split(u'\n');
    QVERIFY2(lines.size() >= 2, run.standardError.constData());
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.takeLast(), summary);
    QVERIFY2(lines.contains(QString(errorLine).replace(QStringLiteral("ROOT"),
                                                       QFileInfo(tree.root()).canonicalFilePath())),
             qPrintable(lines.join(u'\n')));
    // A folder that could not be read or synced fails the run too, though it is no file.
    const bool failed =
        summary.contains(QStringLiteral("失败")) || summary.contains(QStringLiteral("无法"));
    QCOMPARE(run.exitCode, failed ? 1 : 0);
    verifyTree(tree, before, compressed, {});
}

// A run over many pages, one at a time, to be stopped once it has compressed the first.
class ManyPages {
public:
    ManyPages() {
        for (int i = 0; i < 3000; ++i) {
            const QByteArray path = "many/" + QByteArray::number(i / 100) + "/p" +
                                    QByteArray::number(i % 100) + ".html";
            tree_.add(path.constData(), kPage);
            pages_.append(QString::fromLatin1(path));
        }
    }

    const Tree &tree() const { return tree_; }
    QStringList arguments() const { return {QStringLiteral("-j1"), QStringLiteral("many")}; }

    // Waits until the first page is compressed; not for ever: a run that never gets there fails
    // afterwards. Only its size is asked, since a file that another program holds open cannot
    // be replaced on Windows.
    void waitForFirstPage() const {
        QFileInfo first(tree_.path("many/0/p0.html"));
        for (int wait = 0; wait < 10000 && first.size() != compressed().size(); ++wait) {
            QThread::msleep(1);
            first.refresh();
        }
    }

    // The run ended with exitCode, every page holds its old or its new content, no other file is
    // left, and the summary says which stop it was and counts the pages that were done.
    void verifyStopped(const ProgramRun &run, int exitCode, const QString &name) const {
        QCOMPARE(run.exitCode, exitCode);
        QStringList found;
        QDirIterator it(tree_.path("many"),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!QFileInfo(path).isDir()) found.append(QDir(tree_.root()).relativeFilePath(path));
        }
        found.sort();
        QStringList pages = pages_;
        pages.sort();
        QCOMPARE(found, pages);
        qsizetype done = 0;
        for (const QString &path : pages) {
            const QByteArray bytes = readFileBytes(tree_.path(path.toLatin1().constData()));
            QVERIFY2(bytes == kPage || bytes == compressed(), qPrintable(path));
            done += bytes == compressed();
        }
        QVERIFY2(done > 0 && done < pages.size(), "the run was stopped while it went on");
        const QString summary = QString::fromUtf8(run.standardError).trimmed().split(u'\n').last();
        QVERIFY2(
            summary.startsWith(QStringLiteral("已中断（%1），还有 %2 个文件没有处理。%3 个文件：")
                                   .arg(name)
                                   .arg(pages.size() - done)
                                   .arg(done)),
            qPrintable(summary));
    }

private:
    static inline const QByteArray kPage = QByteArray("    <p>line</p>    \r\n").repeated(1000);
    // Made once: the reference trim is slow by design, and the run's every page is compared with
    // it.
    static const QByteArray &compressed() {
        static const QByteArray page = referenceTrim(kPage);
        return page;
    }

    Tree tree_;
    QStringList pages_;
};
