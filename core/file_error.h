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
        Other,  // systemMessage says what the system reported
    };

    Kind kind = Kind::Other;
    QString systemMessage;

    friend bool operator==(const FileError &, const FileError &) = default;
};

// The error for a failed open, read or stat of a file that was to be read.
FileError readErrorFromErrno(int error);

// The error for a failed create, write, flush or rename of a file that was to be written.
FileError writeErrorFromErrno(int error);

// The system's own text for an errno value.
QString systemErrorText(int error);
