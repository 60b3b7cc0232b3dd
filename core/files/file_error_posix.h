#pragma once

#include <QString>

#include "core/files/file_error.h"

// What the POSIX side of the seams reports a failed system call as.

// The error for a failed open, read or stat of a file that was to be read.
FileError readErrorFromErrno(int error);

// The error for a failed create, write, sync or rename of a file that was to be written.
FileError writeErrorFromErrno(int error);

// The system's name for an errno value, such as "EIO", or its number where it has none.
QString systemErrorName(int error);
