#include "core/site/site_copy.h"

#include <QDir>
#include <QFileInfo>

#include "core/files/page_file.h"
#include "core/site/folder_walk.h"

namespace {

void walk(const QString &folder, const QString &copy, const QStringList &extensions,
          bool belowDotFolder, OtherFiles &found) {
    auto listed = listFolder(folder);
    if (const auto *error = std::get_if<FileError>(&listed)) {
        found.unreadableFolders.push_back({folder, *error});
        return;
    }
    for (const FolderEntry &entry : std::get<std::vector<FolderEntry>>(listed)) {
        const QString path = folder + u'/' + entry.name;
        const QString target = copy + u'/' + entry.name;
        if (entry.isFolder) {
            if (entry.isLink) continue;
            found.folders.append(target);
            walk(path, target, extensions, belowDotFolder || entry.name.startsWith(u'.'), found);
        } else if (!isTemporaryFileName(entry.name) &&
                   (belowDotFolder || !isPageName(entry.name, extensions))) {
            found.files.push_back({path, target});
        }
    }
}

}  // namespace

Result<QString> makeCopyFolder(const QString &folder) {
    const QFileInfo site(QDir::cleanPath(folder));
    const QString stem = site.absolutePath() + u'/' + site.fileName() + QStringLiteral("-压缩");
    for (int number = 1;; ++number) {
        const QString path = number == 1 ? stem : QStringLiteral("%1 (%2)").arg(stem).arg(number);
        const auto there = statusOf(path, Links::Keep);
        if (!failed(there)) continue;
        if (std::get<FileError>(there).kind != FileError::Kind::NotFound)
            return std::get<FileError>(there);
        const Result<Done> made = makeFolders(path);
        if (const auto *error = std::get_if<FileError>(&made)) return *error;
        return path;
    }
}

OtherFiles otherFilesOf(const QString &folder, const QStringList &extensions, const QString &copy) {
    OtherFiles found;
    walk(QDir::cleanPath(folder), QDir::cleanPath(copy), extensions, false, found);
    return found;
}

CopyOutcome copyOtherFile(const OtherFile &file, const QString &within) {
    CopyOutcome outcome;
    auto opened = openToCopy(file.source);
    if (const auto *error = std::get_if<FileError>(&opened)) {
        outcome.failure = PageFailure{PageFailure::Step::Open, file.source, *error};
        return outcome;
    }
    const FileToCopy &source = std::get<FileToCopy>(opened);
    // Checked on the file that is open, so that no link swapped in meanwhile can lead elsewhere.
    if (!within.isEmpty() &&
        !source.resolvedPath().startsWith(within.endsWith(u'/') ? within : within + u'/')) {
        outcome.skipped = true;
        return outcome;
    }
    const Result<Done> copied = copyToNewFile(source, file.target);
    if (const auto *error = std::get_if<FileError>(&copied))
        outcome.failure = PageFailure{PageFailure::Step::Save, file.target, *error};
    return outcome;
}
