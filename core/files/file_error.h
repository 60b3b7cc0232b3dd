#pragma once

#include <QString>
#include <variant>

// Why reading or writing a file failed, in terms a user can act on.
struct FileError {
    enum class Kind {
        NotFound,  // nothing at the path, or a path through a file
        NoReadPermission,
        IsDirectory,
        NotRegularFile,  // a FIFO, device or socket
        TooLarge,        // beyond what the text area handles
        NoConverter,     // the system cannot convert the file's encoding
        NoWritePermission,
        FolderMissing,
        DiskFull,
        SizeLimit,  // the process's file-size limit, or the largest file the file system takes
        QuotaExceeded,
        ReadOnlyFileSystem,
        InUse,  // a running program, or a file the system holds busy
        DeviceError,
        NameTooLong,
        InvalidName,  // a name the file system does not take
        LinkLoop,
        TooManyOpenFiles,
        OutOfMemory,
        Disconnected,     // a network or user-space file system that went away
        Unencodable,      // the text holds a character the file's encoding cannot hold
        UnsafeInPlace,    // written in place, a failure could be neither ruled out nor undone
        Replaced,         // another file took its place after it was read
        LinkedElsewhere,  // to be replaced alone, but the folder leaves only writing it in place
        TrimmedTooLarge,  // its compressed form would be beyond what the text area handles
        NameNotUtf8,      // a file name that text cannot hold as it is (from an old GBK system)
        ReadOnlyFile,     // a file marked read-only (Windows' attribute)
        ReservedName,     // a name Windows keeps for a device: CON, NUL, COM1, ...
        PathTooLong,      // beyond the longest path the system takes
        Other,            // systemMessage names what the system reported
    };

    Kind kind = Kind::Other;
    QString systemMessage;
    // For Unencodable: the first such character, the line it is on (from 1) and the encoding.
    QString character = {};
    qsizetype line = 0;
    QString encoding = {};

    friend bool operator==(const FileError &, const FileError &) = default;
};

// Every step that can fail gives its value, or the FileError that says why; a step that has
// nothing to give but its success gives Done.
template <typename T>
using Result = std::variant<T, FileError>;

struct Done {};

template <typename T>
bool failed(const Result<T> &result) {
    return std::holds_alternative<FileError>(result);
}
