#pragma once

#include <sys/types.h>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// A page found on the command line or in a folder below it.
struct FoundPage {
    QString path;       // to open, starting with the PATH it was found under
    QString relative;   // below that PATH, or the file's own name for a file PATH
    QString errorLine;  // for a page that cannot be taken: the line that says why
    // For a page found in a folder PATH: that folder, every link resolved. A link there is
    // followed only to a file inside it, which only the opened file can tell.
    QString within = {};
};

// Collects the pages that the PATHs of a command line name: a file PATH is taken whatever its
// name; a folder PATH is walked to the bottom in name order, taking the files whose names end in
// one of the extensions. Folders whose names start with a dot are not entered, nor is a link to a
// folder, so no walk goes round in a loop; a link to a file is taken like the file. A save's
// temporary file is never taken for a page: one that a killed run left behind is reported.
class PageFinder {
public:
    // skippedFolder, when not empty, is never entered: the output folder, which may lie in the
    // tree that is walked.
    PageFinder(QStringList extensions, const QString &skippedFolder);

    void addPath(const QString &path);

    const std::vector<FoundPage> &pages() const { return pages_; }
    // One line for each folder that could not be read.
    const QStringList &errors() const { return errors_; }
    // One line for each temporary file found, which is left where it is.
    const QStringList &notices() const { return notices_; }

private:
    struct FileId {
        dev_t device;
        ino_t inode;
    };

    void walk(const QString &folder, const QString &relative, const QString &within);
    bool isPage(const QString &name) const;
    bool isSkipped(const QString &folder) const;

    QStringList extensions_;
    std::optional<FileId> skipped_;
    std::vector<FoundPage> pages_;
    QStringList errors_;
    QStringList notices_;
};
