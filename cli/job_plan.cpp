#include "cli/job_plan.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <map>
#include <utility>

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

}  // namespace

std::variant<std::vector<PageJob>, QString> planJobs(const CompressRequest &request,
                                                     const std::vector<FoundPage> &pages) {
    // Each file goes by one of its names: the first that is no link, or else the first, so that a
    // mirror holds a page under its own name rather than under that of a link to it.
    struct Name {
        std::size_t page;
        bool link;
    };
    std::map<FileKey, Name> names;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (!pages[i].errorLine.isEmpty()) continue;
        const Name name{i, isLink(pages[i].path)};
        const auto [known, added] = names.try_emplace(keyOf(pages[i].path), name);
        if (!added && known->second.link && !name.link) known->second = name;
    }
    std::vector<bool> taken(pages.size());
    for (const auto &[file, name] : names) taken[name.page] = true;

    const PageJob::Kind kind = kindOf(request.output);
    std::vector<PageJob> jobs;
    std::map<QString, QString> sourceOf;  // target in the mirror: the page that goes there
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const FoundPage &page = pages[i];
        if (page.errorLine.isEmpty() && !taken[i]) continue;
        PageJob job{kind, page.path, {}, page.errorLine};
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
