#include "core/site/page_finder.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "core/files/page_file.h"
#include "core/site/folder_walk.h"

namespace {

// A page found on the command line or in a folder below it.
struct FoundPage {
    QString path;                    // to open, starting with the PATH it was found under
    QString relative;                // below that PATH, or the file's own name for a file PATH
    std::optional<FileError> unfit;  // why a page that cannot be taken cannot
    // For a page found in a folder PATH: that folder, every link resolved.
    QString within = {};
    // For a page found in a folder PATH that is no link: its path, every link resolved, known
    // from the folder's, since the walk enters no linked folder.
    QString resolved = {};
    bool isLink = false;  // known for a page found in a folder PATH
};

bool isFolder(const QString &path) {
    const auto status = statusOf(path);
    const auto *found = std::get_if<FileStatus>(&status);
    return found && found->kind == FileStatus::Kind::Folder;
}

// Which file a path leads to, links followed; nullopt where it leads nowhere.
std::optional<FileStatus> fileAt(const QString &path) {
    auto status = statusOf(path);
    if (auto *found = std::get_if<FileStatus>(&status)) return *found;
    return std::nullopt;
}

QString joined(const QString &folder, const QString &name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// Collects the pages of the PATHs, and the lines for what it met on the way.
class PageFinder {
public:
    // skippedFolder, when not empty, is never entered.
    PageFinder(QStringList extensions, const QString &skippedFolder);

    void addPath(const QString &path);

    const std::vector<FoundPage> &pages() const { return pages_; }
    const std::vector<FolderFailure> &errors() const { return errors_; }
    const QStringList &leftovers() const { return leftovers_; }

private:
    void walk(const QString &folder, const QString &relative, const QString &within);
    bool isPage(const QString &name) const;
    bool isSkipped(const QString &folder) const;

    QStringList extensions_;
    std::optional<FileIdentity> skipped_;
    std::vector<FoundPage> pages_;
    std::vector<FolderFailure> errors_;
    QStringList leftovers_;
};

PageFinder::PageFinder(QStringList extensions, const QString &skippedFolder)
    : extensions_(std::move(extensions)) {
    if (skippedFolder.isEmpty()) return;
    if (const auto status = fileAt(skippedFolder)) skipped_ = status->identity;
}

void PageFinder::addPath(const QString &path) {
    // A PATH that is missing or cannot be read is taken as a file: reading it reports why.
    if (isFolder(path))
        walk(path, {}, resolvedPath(path));
    else
        pages_.push_back({path, QFileInfo(path).fileName(), {}});
}

void PageFinder::walk(const QString &folder, const QString &relative, const QString &within) {
    auto listed = listFolder(folder);
    if (const auto *error = std::get_if<FileError>(&listed)) {
        errors_.push_back({folder, *error});
        return;
    }
    for (const FolderEntry &entry : std::get<std::vector<FolderEntry>>(listed)) {
        const QString path = joined(folder, entry.name);
        const QString below = relative.isEmpty() ? entry.name : relative + u'/' + entry.name;
        if (entry.isFolder) {
            if (!entry.isLink && !entry.name.startsWith(u'.') && !isSkipped(path))
                walk(path, below, within);
        } else if (isTemporaryFileName(entry.name)) {
            leftovers_.append(path);
        } else if (isPage(entry.name)) {
            // Paths go through QString, whose file names are UTF-8: another name (from an old
            // GBK system, say) would lead to no file or, worse, to the wrong one.
            std::optional<FileError> unfit;
            if (!entry.nameIsUtf8) unfit = FileError{FileError::Kind::NameNotUtf8, {}};
            pages_.push_back({path, below, unfit, within,
                              entry.isLink ? QString() : joined(within, below), entry.isLink});
        }
    }
}

bool PageFinder::isPage(const QString &name) const {
    return isPageName(name, extensions_);
}

bool PageFinder::isSkipped(const QString &folder) const {
    if (!skipped_) return false;
    const auto status = fileAt(folder);
    return status && status->identity == *skipped_;
}

// Which file a path leads to, links followed; a path that leads nowhere stands for itself.
using FileKey = std::pair<std::pair<quint64, quint64>, QString>;

FileKey keyOf(const QString &path, const std::optional<FileStatus> &status) {
    if (status) return {{status->identity.device, status->identity.index}, {}};
    return {{0, 0}, QDir::cleanPath(path)};
}

bool isLink(const QString &path) {
    const auto status = statusOf(path, Links::Keep);
    const auto *found = std::get_if<FileStatus>(&status);
    return found && found->kind == FileStatus::Kind::Link;
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
    qint64 links = 1;
    bool named = false;  // a PATH named it, or a link to it, on the command line
};

// The jobs for the pages found, or the usage error of two of them that cannot both be written.
std::variant<std::vector<PageJob>, PlanRefusal> jobsFor(const PageSearch &search,
                                                        const std::vector<FoundPage> &pages) {
    std::map<FileKey, File> files;
    std::vector<const File *> fileOf(pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const FoundPage &page = pages[i];
        if (page.unfit) continue;
        // A site has thousands of pages: each is asked about once, and what the walk knows
        // already is not asked again.
        const std::optional<FileStatus> status = fileAt(page.path);
        File &file = files[keyOf(page.path, status)];
        fileOf[i] = &file;
        // A path that leads nowhere has a name of its own.
        if (file.names.empty()) file.links = status ? status->links : 1;
        file.named = file.named || page.within.isEmpty();
        const bool foundInFolder = !page.within.isEmpty();
        const Name name{foundInFolder && !page.isLink ? page.resolved : resolvedPath(page.path), i,
                        foundInFolder ? page.isLink : isLink(page.path)};
        const auto same = std::find_if(file.names.begin(), file.names.end(), [&](const Name &n) {
            return !name.resolved.isEmpty() && n.resolved == name.resolved;
        });
        if (same == file.names.end())
            file.names.push_back(name);
        else if (same->link && !name.link)
            *same = name;
    }

    using Output = PageOutput;
    const Output output = search.output;
    std::vector<PageJob> jobs;
    std::map<QString, QString> sourceOf;  // target in the mirror: the page that goes there
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const FoundPage &page = pages[i];
        const File *file = fileOf[i];
        PageJob job{output, page.path, {}, page.unfit, {}, {}, false};
        if (file) {
            const auto name = std::find_if(file->names.begin(), file->names.end(),
                                           [&](const Name &n) { return n.page == i; });
            if (name == file->names.end()) continue;  // the file goes by another page
            // Named on the command line, a link is followed wherever it leads.
            if (!file->named) job.within = page.within;
            // A file with names beyond those found must not be written through them: each name
            // found becomes a file of its own, as sed -i makes it. A mirror has a file for
            // each name anyway. Otherwise the file is compressed once, for all its names.
            job.nameAlone =
                output == Output::InPlace && file->links > qsizetype(file->names.size());
            const bool alone = job.nameAlone || output == Output::Mirror;
            if (!alone && name != file->names.begin()) continue;
            if (!alone)
                for (auto other = file->names.begin() + 1; other != file->names.end(); ++other)
                    job.otherNames.append(pages[other->page].path);
        }
        if (output == Output::File) job.target = search.outputPath;
        if (output == Output::Mirror && !page.unfit) {
            job.target = QDir::cleanPath(search.outputPath + u'/' + page.relative);
            const auto [known, added] = sourceOf.try_emplace(job.target, page.path);
            if (!added)
                return PlanRefusal{QStringLiteral("“%1”和“%2”都要写到“%3”。")
                                       .arg(known->second, page.path, job.target)};
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// What stands where the output folder, or a folder above it, should be, though it is no folder.
std::optional<QString> nonFolderOnTheWay(const QString &folder) {
    for (QString path = QDir::cleanPath(folder);; path = QFileInfo(path).path()) {
        const auto own = statusOf(path, Links::Keep);
        if (!failed(own)) {
            if (isFolder(path)) return std::nullopt;
            return path;  // a file, or a link that leads nowhere or not to a folder
        }
        // Whatever else stops the look, making the folders will report it.
        if (std::get<FileError>(own).kind != FileError::Kind::NotFound ||
            QFileInfo(path).path() == path)
            return std::nullopt;
    }
}

}  // namespace

bool isPageName(const QString &name, const QStringList &extensions) {
    return std::any_of(extensions.begin(), extensions.end(), [&](const QString &extension) {
        return name.size() > extension.size() && name.endsWith(extension, Qt::CaseInsensitive) &&
               name[name.size() - extension.size() - 1] == u'.';
    });
}

std::variant<JobPlan, PlanRefusal> planJobs(const PageSearch &search) {
    using Output = PageOutput;
    JobPlan plan;
    if (search.readsStandardInput()) {
        PageJob job{Output::Check, QStringLiteral("-"), {}, {}, {}, {}, false};
        if (search.output != Output::Check) {
            // Without a file of its own the page goes to standard output.
            job.output = Output::File;
            job.target = search.output == Output::File ? search.outputPath : QStringLiteral("-");
        }
        plan.jobs.push_back(std::move(job));
        return plan;
    }
    if (search.output == Output::File && QFileInfo(search.paths[0]).isDir())
        return PlanRefusal{
            QStringLiteral("-o 只能用于一个文件，“%1”是文件夹。").arg(search.paths[0])};
    const bool mirror = search.output == Output::Mirror;
    if (mirror) {
        if (const auto obstacle = nonFolderOnTheWay(search.outputPath))
            return PlanRefusal{
                QStringLiteral("--output-dir 要的是文件夹，“%1”不是文件夹。").arg(*obstacle)};
    }
    PageFinder finder(search.extensions, mirror ? search.outputPath : QString());
    for (const QString &path : search.paths) finder.addPath(path);
    auto jobs = jobsFor(search, finder.pages());
    if (const auto *conflict = std::get_if<PlanRefusal>(&jobs)) return *conflict;
    plan.jobs = std::move(std::get<std::vector<PageJob>>(jobs));
    plan.unreadableFolders = finder.errors();
    plan.leftovers = finder.leftovers();
    return plan;
}
