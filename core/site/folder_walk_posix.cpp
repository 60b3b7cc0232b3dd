// Folders on Linux and other POSIX systems.
#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/files/file_error_posix.h"
#include "core/site/folder_walk.h"

namespace fs = std::filesystem;

namespace {

fs::path nativePath(const QString &path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

}  // namespace

Result<std::vector<FolderEntry>> listFolder(const QString &path) {
    std::error_code error;
    fs::directory_iterator entries(nativePath(path), error);
    std::vector<fs::directory_entry> sorted;
    for (; !error && entries != fs::directory_iterator(); entries.increment(error))
        sorted.push_back(*entries);
    if (error) return readErrorFromErrno(error.value());
    std::sort(sorted.begin(), sorted.end());

    std::vector<FolderEntry> found;
    found.reserve(sorted.size());
    for (const fs::directory_entry &entry : sorted) {
        const QByteArray bytes = QByteArray::fromStdString(entry.path().filename().native());
        const QString name = QFile::decodeName(bytes);
        std::error_code ignored;
        // A link's target decides, a missing target counting as no folder.
        found.push_back({name, QFile::encodeName(name) == bytes, entry.is_directory(ignored),
                         entry.is_symlink(ignored)});
    }
    return found;
}

Result<FileStatus> statusOf(const QString &path, Links links) {
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    const int result = links == Links::Follow ? ::stat(name.constData(), &status)
                                              : ::lstat(name.constData(), &status);
    if (result != 0) return readErrorFromErrno(errno);
    FileStatus found;
    if (S_ISDIR(status.st_mode))
        found.kind = FileStatus::Kind::Folder;
    else if (S_ISREG(status.st_mode))
        found.kind = FileStatus::Kind::RegularFile;
    else if (S_ISLNK(status.st_mode))
        found.kind = FileStatus::Kind::Link;
    found.identity = {quint64(status.st_dev), quint64(status.st_ino)};
    found.links = qint64(status.st_nlink);
    found.size = qint64(status.st_size);
    return found;
}

QString resolvedPath(const QString &path) {
    return QFileInfo(path).canonicalFilePath();
}

Result<Done> makeFolders(const QString &path) {
    std::error_code error;
    fs::create_directories(nativePath(path), error);
    if (error) return writeErrorFromErrno(error.value());
    return Done{};
}
