#include "core/files/file_error_windows.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

using Kind = FileError::Kind;

// Codes that mingw-w64's headers lack, with the numbers Windows gives them.
constexpr DWORD kDirectoryNotSupported = 336;  // ERROR_DIRECTORY_NOT_SUPPORTED
constexpr DWORD kDiskQuotaExceeded = 1295;     // ERROR_DISK_QUOTA_EXCEEDED
constexpr DWORD kVirusInfected = 225;          // ERROR_VIRUS_INFECTED
constexpr DWORD kVirusDeleted = 226;           // ERROR_VIRUS_DELETED

// The errors that mean the same whether the file was to be read or written.
std::optional<Kind> commonKind(DWORD code) {
    switch (code) {
        case kDirectoryNotSupported:
            return Kind::IsDirectory;
        case ERROR_WRITE_PROTECT:
            return Kind::ReadOnlyFileSystem;
        case ERROR_FILE_READ_ONLY:
            return Kind::ReadOnlyFile;
        case ERROR_SHARING_VIOLATION:  // another program holds the file for itself
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
            return Kind::InUse;
        case ERROR_CRC:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE:
        case ERROR_FILE_CORRUPT:
        case ERROR_DISK_CORRUPT:
            return Kind::DeviceError;
        case ERROR_BUFFER_OVERFLOW:  // a name longer than the file system takes
            return Kind::NameTooLong;
        case ERROR_FILENAME_EXCED_RANGE:
            return Kind::PathTooLong;
        case ERROR_INVALID_NAME:  // characters such as ':' or '?' in a name
        case ERROR_BAD_PATHNAME:
            return Kind::InvalidName;
        case ERROR_CANT_RESOLVE_FILENAME:
            return Kind::LinkLoop;
        case ERROR_TOO_MANY_OPEN_FILES:
            return Kind::TooManyOpenFiles;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
        case ERROR_NO_SYSTEM_RESOURCES:
            return Kind::OutOfMemory;
        case ERROR_NOT_READY:  // a drive without its medium
        case ERROR_DEV_NOT_EXIST:
        case ERROR_NETNAME_DELETED:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_SEM_TIMEOUT:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_NETWORK_UNREACHABLE:
            return Kind::Disconnected;
        default:
            return std::nullopt;
    }
}

FileError errorOfKind(Kind kind) {
    return {kind, {}};
}

FileError otherError(DWORD code) {
    if (const auto kind = commonKind(code)) return errorOfKind(*kind);
    return {Kind::Other, systemErrorName(code)};
}

struct NamedCode {
    DWORD code;
    const char *name;
};

#define ZEREDIZ_NAMED(code) \
    { code, #code }
// The codes that a file's reading or writing may end in, as the documentation names them.
constexpr NamedCode kNames[] = {
    ZEREDIZ_NAMED(ERROR_INVALID_FUNCTION),
    ZEREDIZ_NAMED(ERROR_FILE_NOT_FOUND),
    ZEREDIZ_NAMED(ERROR_PATH_NOT_FOUND),
    ZEREDIZ_NAMED(ERROR_TOO_MANY_OPEN_FILES),
    ZEREDIZ_NAMED(ERROR_ACCESS_DENIED),
    ZEREDIZ_NAMED(ERROR_INVALID_HANDLE),
    ZEREDIZ_NAMED(ERROR_NOT_ENOUGH_MEMORY),
    ZEREDIZ_NAMED(ERROR_OUTOFMEMORY),
    ZEREDIZ_NAMED(ERROR_INVALID_DRIVE),
    ZEREDIZ_NAMED(ERROR_NOT_SAME_DEVICE),
    ZEREDIZ_NAMED(ERROR_WRITE_PROTECT),
    ZEREDIZ_NAMED(ERROR_NOT_READY),
    ZEREDIZ_NAMED(ERROR_CRC),
    ZEREDIZ_NAMED(ERROR_SECTOR_NOT_FOUND),
    ZEREDIZ_NAMED(ERROR_WRITE_FAULT),
    ZEREDIZ_NAMED(ERROR_READ_FAULT),
    ZEREDIZ_NAMED(ERROR_GEN_FAILURE),
    ZEREDIZ_NAMED(ERROR_SHARING_VIOLATION),
    ZEREDIZ_NAMED(ERROR_LOCK_VIOLATION),
    ZEREDIZ_NAMED(ERROR_HANDLE_EOF),
    ZEREDIZ_NAMED(ERROR_HANDLE_DISK_FULL),
    ZEREDIZ_NAMED(ERROR_NOT_SUPPORTED),
    ZEREDIZ_NAMED(ERROR_BAD_NETPATH),
    ZEREDIZ_NAMED(ERROR_NETWORK_BUSY),
    ZEREDIZ_NAMED(ERROR_DEV_NOT_EXIST),
    ZEREDIZ_NAMED(ERROR_UNEXP_NET_ERR),
    ZEREDIZ_NAMED(ERROR_NETNAME_DELETED),
    ZEREDIZ_NAMED(ERROR_BAD_NET_NAME),
    ZEREDIZ_NAMED(ERROR_FILE_EXISTS),
    ZEREDIZ_NAMED(ERROR_INVALID_PARAMETER),
    ZEREDIZ_NAMED(ERROR_BROKEN_PIPE),
    ZEREDIZ_NAMED(ERROR_BUFFER_OVERFLOW),
    ZEREDIZ_NAMED(ERROR_DISK_FULL),
    ZEREDIZ_NAMED(ERROR_CALL_NOT_IMPLEMENTED),
    ZEREDIZ_NAMED(ERROR_SEM_TIMEOUT),
    ZEREDIZ_NAMED(ERROR_INVALID_NAME),
    ZEREDIZ_NAMED(ERROR_DIR_NOT_EMPTY),
    ZEREDIZ_NAMED(ERROR_BAD_PATHNAME),
    ZEREDIZ_NAMED(ERROR_ALREADY_EXISTS),
    ZEREDIZ_NAMED(ERROR_FILENAME_EXCED_RANGE),
    ZEREDIZ_NAMED(ERROR_FILE_TOO_LARGE),
    {kVirusInfected, "ERROR_VIRUS_INFECTED"},
    {kVirusDeleted, "ERROR_VIRUS_DELETED"},
    ZEREDIZ_NAMED(ERROR_NO_DATA),
    ZEREDIZ_NAMED(ERROR_DIRECTORY),
    ZEREDIZ_NAMED(ERROR_DELETE_PENDING),
    {kDirectoryNotSupported, "ERROR_DIRECTORY_NOT_SUPPORTED"},
    ZEREDIZ_NAMED(ERROR_IO_DEVICE),
    ZEREDIZ_NAMED(ERROR_DEVICE_NOT_CONNECTED),
    ZEREDIZ_NAMED(ERROR_UNABLE_TO_REMOVE_REPLACED),
    ZEREDIZ_NAMED(ERROR_UNABLE_TO_MOVE_REPLACEMENT),
    ZEREDIZ_NAMED(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2),
    ZEREDIZ_NAMED(ERROR_USER_MAPPED_FILE),
    ZEREDIZ_NAMED(ERROR_NETWORK_UNREACHABLE),
    {kDiskQuotaExceeded, "ERROR_DISK_QUOTA_EXCEEDED"},
    ZEREDIZ_NAMED(ERROR_PRIVILEGE_NOT_HELD),
    ZEREDIZ_NAMED(ERROR_FILE_CORRUPT),
    ZEREDIZ_NAMED(ERROR_DISK_CORRUPT),
    ZEREDIZ_NAMED(ERROR_NO_SYSTEM_RESOURCES),
    ZEREDIZ_NAMED(ERROR_CANT_ACCESS_FILE),
    ZEREDIZ_NAMED(ERROR_CANT_RESOLVE_FILENAME),
    ZEREDIZ_NAMED(ERROR_ENCRYPTION_FAILED),
    ZEREDIZ_NAMED(ERROR_FILE_READ_ONLY),
};
#undef ZEREDIZ_NAMED

}  // namespace

QString systemErrorName(DWORD code) {
    const auto named = std::find_if(std::begin(kNames), std::end(kNames),
                                    [code](const NamedCode &entry) { return entry.code == code; });
    if (named != std::end(kNames)) return QString::fromLatin1(named->name);
    return QString::number(code);
}

FileError readErrorFromCode(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:  // a path through a file
            return errorOfKind(Kind::NotFound);
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return errorOfKind(Kind::NoReadPermission);
        case ERROR_FILE_TOO_LARGE:
            return errorOfKind(Kind::TooLarge);
        default:
            return otherError(code);
    }
}

FileError writeErrorFromCode(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            return errorOfKind(Kind::FolderMissing);
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return errorOfKind(Kind::NoWritePermission);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return errorOfKind(Kind::DiskFull);
        case ERROR_FILE_TOO_LARGE:  // beyond the largest file the file system takes
            return errorOfKind(Kind::SizeLimit);
        case kDiskQuotaExceeded:
            return errorOfKind(Kind::QuotaExceeded);
        default:
            return otherError(code);
    }
}
