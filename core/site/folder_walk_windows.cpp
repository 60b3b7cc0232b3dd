// Folders on Windows.
#include <windows.h>
#include <QString>
#include <QStringList>
#include <algorithm>

#include "core/files/file_error_windows.h"
#include "core/files/path_windows.h"
#include "core/site/folder_walk.h"

namespace {

// Symbolic links and junctions lead elsewhere; other reparse points (a cloud file not yet
// downloaded, a deduplicated file) are the files themselves.
bool isLinkTag(DWORD tag) {
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT;
}

// The name is text as it stands: no lone half of a surrogate pair, which UTF-8 cannot hold.
bool isWholeText(const QString &name) {
    return QString::fromUtf8(name.toUtf8()) == name;
}

bool isFolder(const std::wstring &path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

Result<std::vector<FolderEntry>> listFolder(const QString &path) {
    const auto folder = systemPath(path);
    if (const auto *error = std::get_if<FileError>(&folder)) return *error;
    const std::wstring pattern = std::get<std::wstring>(folder) + L"\\*";
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                           FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE) return readErrorFromCode(::GetLastError());
    std::vector<FolderEntry> entries;
    DWORD stop = ERROR_NO_MORE_FILES;
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        if (name == u'.' || name == QStringLiteral("..")) continue;
        const bool link =
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && isLinkTag(found.dwReserved0);
        // A link to a folder is marked as a folder itself.
        entries.push_back({name, isWholeText(name),
                           (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, link});
    } while (::FindNextFileW(search, &found) || (stop = ::GetLastError()) != ERROR_NO_MORE_FILES);
    ::FindClose(search);
    if (stop != ERROR_NO_MORE_FILES) return readErrorFromCode(stop);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry &a, const FolderEntry &b) { return a.name < b.name; });
    return entries;
}

Result<FileStatus> statusOf(const QString &path, Links links) {
    const auto system = systemPath(path);
    if (const auto *error = std::get_if<FileError>(&system)) return *error;
    const Handle file = openExisting(std::get<std::wstring>(system), FILE_READ_ATTRIBUTES,
                                     links == Links::Keep ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    if (!file.isOpen()) return readErrorFromCode(::GetLastError());
    const auto facts = factsOf(file.get());
    if (const auto *error = std::get_if<FileError>(&facts)) return *error;
    const FileFacts &known = std::get<FileFacts>(facts);
    FileStatus status;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if ((known.attributes & FILE_ATTRIBUTE_REPARSE_POINT) && links == Links::Keep &&
        ::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
        isLinkTag(tag.ReparseTag))
        status.kind = FileStatus::Kind::Link;
    else if (known.attributes & FILE_ATTRIBUTE_DIRECTORY)
        status.kind = FileStatus::Kind::Folder;
    else if (::GetFileType(file.get()) == FILE_TYPE_DISK)
        status.kind = FileStatus::Kind::RegularFile;
    status.identity = known.identity;
    status.links = known.names;
    status.size = known.size;
    return status;
}

QString resolvedPath(const QString &path) {
    const auto system = systemPath(path);
    if (failed(system)) return {};
    const Handle file = openExisting(std::get<std::wstring>(system), FILE_READ_ATTRIBUTES);
    if (!file.isOpen()) return {};
    const auto final = resolvedPathOf(file.get(), path);
    return failed(final) ? QString() : std::get<QString>(final);
}

Result<Done> makeFolders(const QString &path) {
    const auto system = systemPath(path);
    if (const auto *error = std::get_if<FileError>(&system)) return *error;
    // The folders missing below the deepest one there, made from the top down.
    std::vector<std::wstring> missing;
    for (std::wstring folder = std::get<std::wstring>(system); !isFolder(folder);) {
        missing.push_back(folder);
        const std::size_t above = folder.rfind(L'\\');
        if (above == std::wstring::npos) break;
        folder.resize(above);
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        if (::CreateDirectoryW(folder->c_str(), nullptr)) continue;
        const DWORD code = ::GetLastError();
        if (!isFolder(*folder)) return writeErrorFromCode(code);
    }
    return Done{};
}
