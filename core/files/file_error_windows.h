#pragma once

#include <windows.h>
#include <QString>

#include "core/files/file_error.h"

// What the Windows side of the seams reports a failed call as, from GetLastError's code.

// The error for a failed open, read or query of a file that was to be read.
FileError readErrorFromCode(DWORD code);

// The error for a failed create, write, flush or rename of a file that was to be written.
FileError writeErrorFromCode(DWORD code);

// The system's name for an error code, such as ERROR_CRC, or its number where this has none.
QString systemErrorName(DWORD code);
