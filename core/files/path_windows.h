#pragma once

#include <windows.h>
#include <QString>
#include <string>
#include <utility>

#include "core/files/file_error.h"
#include "core/files/file_system.h"

// How the Windows side of the seams names the files it opens: wide calls only, every path in the
// form that takes any length, and the names Windows keeps for its devices refused.

// The path in the form the wide calls take whatever its length: absolute, its . and .. resolved,
// with backslashes and the \\?\ prefix (\\?\UNC\ for a share), which lifts the limit of 260
// characters. Such a path is taken as it is, so it is checked first: a name that Windows keeps
// for a device (CON, NUL, COM1, ..., with or without an extension), which would open the device or
// make a file that other programs cannot open, is refused, as is a path beyond the longest the
// system takes.
Result<std::wstring> systemPath(const QString &path);

// A path the system gave back (\\?\C:\a\b.htm), as Qt writes paths (C:/a/b.htm).
QString pathFromSystem(const std::wstring &path);

// The path a file open as handle, opened as path, lies at, every link and junction resolved, as
// the system resolved it when it was opened: whatever is swapped in meanwhile, this is the open
// file. Where the system cannot say (Wine does not for a path beyond 260 characters, nor Windows
// for a volume without a drive letter), the path's own resolution is taken, provided that it
// leads to that same file.
Result<QString> resolvedPathOf(HANDLE handle, const QString &path);

// What GetFileInformationByHandle tells of the file open as handle: which file it is, a folder or
// not, its attributes, names and size; why that cannot be had.
Result<FileFacts> factsOf(HANDLE handle);

// An open handle of a file or folder, closed when it goes out of scope unless close() was called
// and its answer checked, as a writer must.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (isOpen()) ::CloseHandle(handle_);
    }
    Handle(Handle &&other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    Handle &operator=(Handle &&other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }

    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    // Hands the handle over to be closed by whoever takes it.
    HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

    // Closes the handle, and says why that failed.
    Result<Done> close();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Every other opener may read, write, rename and delete the file meanwhile, as on Linux: a
// sharing violation then means that another program holds the file for itself.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens an existing file or folder with the given access, links followed unless flags say
// FILE_FLAG_OPEN_REPARSE_POINT; a handle that is not open leaves the reason in GetLastError.
Handle openExisting(const std::wstring &path, DWORD access, DWORD flags = 0);
