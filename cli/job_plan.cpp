#include "cli/job_plan.h"

#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <map>
#include <set>
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
    const PageJob::Kind kind = kindOf(request.output);
    std::vector<PageJob> jobs;
    std::set<FileKey> sources;
    std::map<QString, std::pair<FileKey, QString>> targets;  // target: source key, source path
    for (const FoundPage &page : pages) {
        PageJob job{kind, page.path, {}};
        const FileKey source = keyOf(page.path);
        if (kind == PageJob::Kind::ToMirror) {
            // Every name of the tree gets its file in the mirror, a link's name included.
            job.target = QDir::cleanPath(request.outputPath + u'/' + page.relative);
            const auto [known, added] = targets.try_emplace(job.target, source, page.path);
            if (!added && known->second.first != source)
                return QStringLiteral("“%1”和“%2”都要写到“%3”。")
                    .arg(known->second.second, page.path, job.target);
            if (!added) continue;
        } else {
            if (kind == PageJob::Kind::ToFile) job.target = request.outputPath;
            if (!sources.insert(source).second) continue;
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}
