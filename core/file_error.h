#pragma once

#include <QString>

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

// The error for a failed open, read or stat of a file that was to be read.
FileError readErrorFromErrno(int error);

// The error for a failed create, write, sync or rename of a file that was to be written.
FileError writeErrorFromErrno(int error);

// The system's name for an errno value, such as "EIO", or its number where it has none.
QString systemErrorName(int error);
