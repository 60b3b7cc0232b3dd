#include "cli/job_plan.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace {

// Which file a path leads to, links followed; a path that leads nowhere stands for itself.
using FileKey = std::pair<std::pair<dev_t, ino_t>, QString>;

FileKey keyOf(const QString &path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        return {{status.st_dev, status.st_ino}, {}};
    return {{0, 0}, QDir::cleanPath(path)};
}

bool isLink(const QString &path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISLNK(status.st_mode);
}

// How many names the file at path has; a path that leads nowhere has its own.
nlink_t linksOf(const QString &path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_nlink : 1;
}

PageJob::Kind kindOf(CompressRequest::Output output) {
    switch (output) {
        case CompressRequest::Output::Check:
            return PageJob::Kind::Check;
        case CompressRequest::Output::File:
            return PageJob::Kind::ToFile;
        case CompressRequest::Output::Mirror:
            return PageJob::Kind::ToMirror;
        case CompressRequest::Output::InPlace:
            break;
    }
    return PageJob::Kind::InPlace;
}

// One name of a file, and the page it goes by: the first found that is no link, or else the
// first, so that a mirror holds a page under its own name rather than under that of a link to it.
struct Name {
    QString resolved;  // the name, every link followed
    std::size_t page;
    bool link;
};

// The names of one file that were found. A link is a way to a name, no name of its own; hard
// links are names of their own.
struct File {
    std::vector<Name> names;
    nlink_t links = 1;
    bool named = false;  // a PATH named it, or a link to it, on the command line
};

}  // namespace

std::variant<std::vector<PageJob>, QString> planJobs(const CompressRequest &request,
                                                     const std::vector<FoundPage> &pages) {
    std::map<FileKey, File> files;
    std::vector<const File *> fileOf(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const FoundPage &page = pages[i];
        if (!page.errorLine.isEmpty()) continue;
        File &file = files[keyOf(page.path)];
        fileOf[i] = &file;
        if (file.names.empty()) file.links = linksOf(page.path);
        file.named = file.named || page.within.isEmpty();
        const Name name{QFileInfo(page.path).canonicalFilePath(), i, isLink(page.path)};
        const auto same = std::find_if(file.names.begin(), file.names.end(), [&](const Name &n) {
            return !name.resolved.isEmpty() && n.resolved == name.resolved;
        });
        if (same == file.names.end())
            file.names.push_back(name);
        else if (same->link && !name.link)
            *same = name;
    }

    const PageJob::Kind kind = kindOf(request.output);
    std::vector<PageJob> jobs;
    std::map<QString, QString> sourceOf;  // target in the mirror: the page that goes there
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const FoundPage &page = pages[i];
        const File *file = fileOf[i];
        PageJob job{kind, page.path, {}, page.errorLine, {}, {}, false};
        if (file) {
            const auto name = std::find_if(file->names.begin(), file->names.end(),
                                           [&](const Name &n) { return n.page == i; });
            if (name == file->names.end()) continue;  // the file goes by another page
            // Named on the command line, a link is followed wherever it leads.
            if (!file->named) job.within = page.within;
            // A file with names beyond those found must not be written through them: each name
            // found becomes a file of its own, as sed -i makes it. A mirror has a file for
            // each name anyway. Otherwise the file is compressed once, for all its names.
            job.nameAlone = kind == PageJob::Kind::InPlace &&
                            qsizetype(file->links) > qsizetype(file->names.size());
            const bool alone = job.nameAlone || kind == PageJob::Kind::ToMirror;
            if (!alone && name != file->names.begin()) continue;
            if (!alone)
                for (auto other = file->names.begin() + 1; other != file->names.end(); ++other)
                    job.otherNames.append(pages[other->page].path);
        }
        if (kind == PageJob::Kind::ToFile) job.target = request.outputPath;
        if (kind == PageJob::Kind::ToMirror && page.errorLine.isEmpty()) {
            job.target = QDir::cleanPath(request.outputPath + u'/' + page.relative);
            const auto [known, added] = sourceOf.try_emplace(job.target, page.path);
            if (!added)
                return QStringLiteral("“%1”和“%2”都要写到“%3”。")
                    .arg(known->second, page.path, job.target);
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}
