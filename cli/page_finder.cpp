#include "cli/page_finder.h"

#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/file_error.h"
#include "core/file_error_text.h"
#include "core/page_file.h"

namespace fs = std::filesystem;

namespace {

bool isFolder(const QString &path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

QString joined(const QString &folder, const QString &name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

}  // namespace

PageFinder::PageFinder(QStringList extensions, const QString &skippedFolder)
    : extensions_(std::move(extensions)) {
    struct stat status {};
    if (!skippedFolder.isEmpty() &&
        ::stat(QFile::encodeName(skippedFolder).constData(), &status) == 0)
        skipped_ = FileId{status.st_dev, status.st_ino};
}

void PageFinder::addPath(const QString &path) {
    // A PATH that is missing or cannot be read is taken as a file: reading it reports why.
    if (isFolder(path))
        walk(path, {}, QFileInfo(path).canonicalFilePath());
    else
        pages_.push_back({path, QFileInfo(path).fileName(), {}, {}});
}

void PageFinder::walk(const QString &folder, const QString &relative, const QString &within) {
    std::error_code error;
    fs::directory_iterator entries(fs::path(QFile::encodeName(folder).toStdString()), error);
    std::vector<fs::directory_entry> sorted;
    for (; !error && entries != fs::directory_iterator(); entries.increment(error))
        sorted.push_back(*entries);
    if (error) {
        errors_.append(cannotOpenText(folder) + u'：' +
                       fileErrorText(readErrorFromErrno(error.value())));
        return;
    }
    std::sort(sorted.begin(), sorted.end());

    for (const fs::directory_entry &entry : sorted) {
        const QByteArray bytes = QByteArray::fromStdString(entry.path().filename().native());
        const QString name = QFile::decodeName(bytes);
        const QString path = joined(folder, name);
        const QString below = relative.isEmpty() ? name : relative + u'/' + name;
        std::error_code ignored;
        // A link's target decides, a missing target counting as a file: reading it says so.
        if (entry.is_directory(ignored)) {
            if (!entry.is_symlink(ignored) && !name.startsWith(u'.') && !isSkipped(path))
                walk(path, below, within);
        } else if (isTemporaryFileName(name)) {
            notices_.append(
                QStringLiteral("发现临时文件：%1（Zerediz 的保存被中断时留下的，没有删除）")
                    .arg(path));
        } else if (isPage(name)) {
            // Paths go through QString, whose file names are UTF-8: another name (from an old
            // GBK system, say) would lead to no file or, worse, to the wrong one.
            if (QFile::encodeName(name) == bytes)
                pages_.push_back({path, below, {}, within});
            else
                pages_.push_back({path, below,
                                  cannotOpenText(path) + QStringLiteral("：文件名不是 UTF-8"),
                                  within});
        }
    }
}

bool PageFinder::isPage(const QString &name) const {
    return std::any_of(extensions_.begin(), extensions_.end(), [&](const QString &extension) {
        return name.size() > extension.size() && name.endsWith(extension, Qt::CaseInsensitive) &&
               name[name.size() - extension.size() - 1] == u'.';
    });
}

bool PageFinder::isSkipped(const QString &folder) const {
    struct stat status {};
    return skipped_ && ::stat(QFile::encodeName(folder).constData(), &status) == 0 &&
           status.st_dev == skipped_->device && status.st_ino == skipped_->inode;
}
