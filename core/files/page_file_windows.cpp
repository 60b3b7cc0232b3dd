// The primitives of page files on Windows.
#include <windows.h>
#include <QFileInfo>
#include <optional>
#include <string>
#include <utility>

#include "core/files/file_error_windows.h"
#include "core/files/file_system.h"
#include "core/files/page_file.h"
#include "core/files/path_windows.h"

namespace {

// The most that one ReadFile or WriteFile moves: they count in DWORDs.
constexpr qsizetype kLargestStep = qsizetype{1} << 30;

HANDLE handleOf(const FileHandle &file) {
    return HANDLE(file.handle());
}

FileHandle taken(Handle handle) {
    return FileHandle(std::intptr_t(handle.release()));
}

OVERLAPPED at(qint64 offset) {
    OVERLAPPED position{};
    position.Offset = DWORD(offset);
    position.OffsetHigh = DWORD(quint64(offset) >> 32);
    return position;
}

Result<Done> setFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void *information,
                                DWORD size) {
    if (::SetFileInformationByHandle(file, kind, information, size)) return Done{};
    return writeErrorFromCode(::GetLastError());
}

// What a new file keeps of the one it replaces or copies besides its rights, which ReplaceFileW
// carries over: whether it is hidden, a system file, or left out of the search index. Written
// anew, it is to be backed up again, as every written file is.
DWORD attributesAfterWriting(DWORD old) {
    return (old &
            (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
           FILE_ATTRIBUTE_ARCHIVE;
}

qint64 timeOf(const LARGE_INTEGER &time) {
    return time.QuadPart;
}

LARGE_INTEGER largeInteger(qint64 value) {
    LARGE_INTEGER large{};
    large.QuadPart = value;
    return large;
}

// The path of the file name in folder, in the form the wide calls take.
Result<std::wstring> pathIn(const Folder &folder, const QString &name) {
    auto system = systemPath(folder.path);
    if (const auto *error = std::get_if<FileError>(&system)) return *error;
    std::wstring &path = std::get<std::wstring>(system);
    if (!path.ends_with(L'\\')) path += L'\\';
    return path + name.toStdWString();
}

bool exists(const std::wstring &path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class WindowsFileSystem final : public FileSystem {
public:
    Result<OpenedFile> openToRead(const QString &path) override {
        const auto system = systemPath(path);
        if (const auto *error = std::get_if<FileError>(&system)) return *error;
        Handle file = openExisting(std::get<std::wstring>(system), GENERIC_READ);
        if (!file.isOpen()) return readErrorFromCode(::GetLastError());
        OpenedFile opened;
        if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
            opened.facts.kind = FileFacts::Kind::Other;
        } else {
            auto facts = ::factsOf(file.get());
            if (const auto *error = std::get_if<FileError>(&facts)) return *error;
            opened.facts = std::get<FileFacts>(facts);
        }
        opened.file = taken(std::move(file));
        return opened;
    }

    Result<QString> resolvedPath(const OpenedFile &file, const QString &path) override {
        return resolvedPathOf(handleOf(file.file), path);
    }

    Result<qint64> read(const FileHandle &file, char *data, qint64 size,
                        std::optional<qint64> offset) override {
        OVERLAPPED position = at(offset.value_or(0));
        DWORD got = 0;
        if (::ReadFile(handleOf(file), data, DWORD(qMin(size, kLargestStep)), &got,
                       offset ? &position : nullptr))
            return qint64(got);
        // The end of a file read at an offset, and a pipe whose writer is gone.
        const DWORD code = ::GetLastError();
        if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) return qint64{0};
        return readErrorFromCode(code);
    }

    Result<Done> write(const FileHandle &file, QByteArrayView bytes,
                       std::optional<qint64> offset) override {
        while (!bytes.isEmpty()) {
            const DWORD step = DWORD(qMin(bytes.size(), kLargestStep));
            OVERLAPPED position = at(offset.value_or(0));
            DWORD written = 0;
            if (!::WriteFile(handleOf(file), bytes.data(), step, &written,
                             offset ? &position : nullptr))
                return writeErrorFromCode(::GetLastError());
            if (written == 0) return writeErrorFromCode(ERROR_WRITE_FAULT);
            bytes = bytes.sliced(written);
            if (offset) *offset += written;
        }
        return Done{};
    }

    // The data and the attributes; some file systems report a full disk only here.
    Result<Done> syncData(const FileHandle &file) override {
        if (::FlushFileBuffers(handleOf(file))) return Done{};
        return writeErrorFromCode(::GetLastError());
    }

    // Windows has no call that starts a file's data on its way to the disk without waiting.
    void startSync(const FileHandle &) override {}

    Result<Done> close(FileHandle file) override {
        if (::CloseHandle(HANDLE(file.release()))) return Done{};
        return writeErrorFromCode(::GetLastError());
    }

    // An existing target must take writing as it is: a read-only file stays unchanged even where
    // its folder would let it be replaced, and a file that another program holds for itself is
    // left to it. Opening it for writing asks the system exactly that, before anything is made.
    // Only regular files are replaced: a device or a pipe must never be swapped for a file.
    Result<SaveTarget> openTarget(const QString &path) override {
        const auto system = systemPath(path);
        if (const auto *error = std::get_if<FileError>(&system)) return *error;
        SaveTarget target;
        const Handle file = openExisting(std::get<std::wstring>(system), FILE_READ_ATTRIBUTES);
        if (!file.isOpen()) {
            // A new file; its folder is checked when the file is made.
            if (::GetLastError() != ERROR_FILE_NOT_FOUND)
                return writeErrorFromCode(::GetLastError());
            target.path = pathFromSystem(std::get<std::wstring>(system));
        } else {
            if (::GetFileType(file.get()) != FILE_TYPE_DISK)
                return FileError{FileError::Kind::NotRegularFile, {}};
            auto facts = ::factsOf(file.get());
            if (const auto *error = std::get_if<FileError>(&facts)) return *error;
            target.facts = std::get<FileFacts>(facts);
            if (target.facts->attributes & FILE_ATTRIBUTE_DIRECTORY)
                return FileError{FileError::Kind::IsDirectory, {}};
            // The system refuses a read-only file to everyone but an administrator who overrides
            // it.
            if (target.facts->attributes & FILE_ATTRIBUTE_READONLY)
                return FileError{FileError::Kind::ReadOnlyFile, {}};
            // Written through a link, the file it leads to is written, and the link stays.
            auto final = resolvedPathOf(file.get(), path);
            if (const auto *error = std::get_if<FileError>(&final)) return *error;
            target.path = std::get<QString>(std::move(final));
            const auto finalSystem = systemPath(target.path);
            if (const auto *error = std::get_if<FileError>(&finalSystem)) return *error;
            if (!openExisting(std::get<std::wstring>(finalSystem), GENERIC_WRITE).isOpen())
                return writeErrorFromCode(::GetLastError());
        }
        auto place = locationOf(target.path);
        if (const auto *error = std::get_if<FileError>(&place)) return *error;
        target.folder = std::get<FileLocation>(place).folder;
        target.name = std::get<FileLocation>(place).name;
        return target;
    }

    // Making one says: a folder that takes none leaves writing the file itself.
    bool folderTakesNewFiles(const SaveTarget &) override { return true; }

    // Files are made in a folder by its path: nothing to open.
    Result<Folder> openFolder(const QString &path) override { return Folder{FileHandle(), path}; }

    // Hidden until it takes its target's place, and no one else may open it meanwhile.
    Result<std::optional<FileHandle>> createNew(const Folder &folder, const QString &name,
                                                NewFileRights, const FileFacts *) override {
        const auto path = pathIn(folder, name);
        if (const auto *error = std::get_if<FileError>(&path)) return *error;
        FileHandle file(std::intptr_t(::CreateFileW(std::get<std::wstring>(path).c_str(),
                                                    GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                                    FILE_ATTRIBUTE_HIDDEN, nullptr)));
        if (file.isOpen()) return std::optional<FileHandle>(std::move(file));
        if (::GetLastError() == ERROR_FILE_EXISTS) return std::optional<FileHandle>();
        return writeErrorFromCode(::GetLastError());
    }

    // A new file belongs to whoever saves it: Windows gives no other owner.
    Result<Done> takeOwner(const FileHandle &, const SaveTarget &) override { return Done{}; }

    // ReplaceFileW carries the access control list over; the attributes are given here.
    Result<QList<LostAttribute>> keepRights(const FileHandle &file,
                                            const SaveTarget &target) override {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = attributesAfterWriting(target.facts ? target.facts->attributes : 0);
        const Result<Done> set =
            setFileInformation(handleOf(file), FileBasicInfo, &basic, sizeof basic);
        if (const auto *error = std::get_if<FileError>(&set)) return *error;
        return QList<LostAttribute>();
    }

    Result<Done> keepLooks(const FileHandle &file, const OpenedFile &source) override {
        FILE_BASIC_INFO old{};
        if (!::GetFileInformationByHandleEx(handleOf(source.file), FileBasicInfo, &old, sizeof old))
            return readErrorFromCode(::GetLastError());
        FILE_BASIC_INFO basic{};
        basic.LastWriteTime = old.LastWriteTime;
        basic.FileAttributes = attributesAfterWriting(old.FileAttributes);
        return setFileInformation(handleOf(file), FileBasicInfo, &basic, sizeof basic);
    }

    Result<FileFacts> lookAt(const Folder &folder, const QString &name) override {
        const auto path = pathIn(folder, name);
        if (const auto *error = std::get_if<FileError>(&path)) return *error;
        const Handle file = openExisting(std::get<std::wstring>(path), FILE_READ_ATTRIBUTES,
                                         FILE_FLAG_OPEN_REPARSE_POINT);
        if (!file.isOpen()) return readErrorFromCode(::GetLastError());
        return ::factsOf(file.get());
    }

    // ReplaceFileW carries the access control list over, and the rest it keeps. The old file is
    // moved aside under a temporary name first, so that a failure half-way can put it back. A file
    // that may be written but not replaced (its folder's rights forbid deleting it) is only
    // written in place.
    Result<Replacement> replace(const Folder &folder, const QString &name,
                                const QString &target) override {
        const auto from = pathIn(folder, name);
        const auto to = pathIn(folder, target);
        const auto aside = pathIn(folder, temporaryFileName(target));
        for (const auto *path : {&from, &to, &aside})
            if (const auto *error = std::get_if<FileError>(path)) return *error;
        const std::wstring &old = std::get<std::wstring>(to);
        const std::wstring &moved = std::get<std::wstring>(aside);
        if (::ReplaceFileW(old.c_str(), std::get<std::wstring>(from).c_str(), moved.c_str(), 0,
                           nullptr, nullptr)) {
            // Nothing more to do if another program holds the old file: a run of
            // zerediz-compress names what is left then.
            ::DeleteFileW(moved.c_str());
            return Replacement::Done;
        }
        const DWORD code = ::GetLastError();
        if (!exists(old) && exists(moved)) ::MoveFileExW(moved.c_str(), old.c_str(), 0);
        const FileError error = writeErrorFromCode(code);
        if (error.kind == FileError::Kind::NoWritePermission) return Replacement::OnlyInPlace;
        return error;
    }

    // Written through, the move is on the disk when this returns.
    Result<Done> rename(const Folder &folder, const QString &name, const QString &target) override {
        const auto from = pathIn(folder, name);
        if (const auto *error = std::get_if<FileError>(&from)) return *error;
        const auto to = pathIn(folder, target);
        if (const auto *error = std::get_if<FileError>(&to)) return *error;
        if (!::MoveFileExW(std::get<std::wstring>(from).c_str(), std::get<std::wstring>(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return writeErrorFromCode(::GetLastError());
        return Done{};
    }

    void remove(const Folder &folder, const QString &name) override {
        const auto path = pathIn(folder, name);
        if (!failed(path)) ::DeleteFileW(std::get<std::wstring>(path).c_str());
    }

    // Windows has no call that syncs a folder: a new file is moved with MOVEFILE_WRITE_THROUGH,
    // and NTFS keeps the renames of ReplaceFileW in its journal.
    Result<Done> syncFolder(const Folder &) override { return Done{}; }

    // A link put in its place meanwhile is not followed.
    Result<Overwriting> openToOverwrite(const QString &path) override {
        const auto system = systemPath(path);
        if (const auto *error = std::get_if<FileError>(&system)) return *error;
        constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT;
        const std::wstring &name = std::get<std::wstring>(system);
        Handle file = openExisting(name, GENERIC_READ | GENERIC_WRITE, kNoFollow);
        const bool readable = file.isOpen();
        if (!readable && ::GetLastError() == ERROR_ACCESS_DENIED)
            file = openExisting(name, GENERIC_WRITE, kNoFollow);
        if (!file.isOpen()) return writeErrorFromCode(::GetLastError());
        return Overwriting{taken(std::move(file)), readable};
    }

    // With the times, to be given back as they were.
    Result<FileFacts> factsOf(const FileHandle &file) override {
        auto facts = ::factsOf(handleOf(file));
        if (const auto *error = std::get_if<FileError>(&facts)) return *error;
        FileFacts &known = std::get<FileFacts>(facts);
        FILE_BASIC_INFO times{};
        if (!::GetFileInformationByHandleEx(handleOf(file), FileBasicInfo, &times, sizeof times))
            return writeErrorFromCode(::GetLastError());
        known.times = {timeOf(times.LastAccessTime), timeOf(times.LastWriteTime),
                       timeOf(times.CreationTime), timeOf(times.ChangeTime)};
        return facts;
    }

    // Windows has no file-size limit.
    bool sizeLimitAllows(qint64) override { return true; }

    Result<Reservation> reserve(const FileHandle &file, qint64 oldSize, qint64 size) override {
        // An allocation below the file's length would cut the file off there.
        if (size <= oldSize) return Reservation::Made;
        FILE_ALLOCATION_INFO allocation{};
        allocation.AllocationSize.QuadPart = size;
        if (::SetFileInformationByHandle(handleOf(file), FileAllocationInfo, &allocation,
                                         sizeof allocation))
            return Reservation::Made;
        const DWORD code = ::GetLastError();
        if (code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
            code == ERROR_INVALID_FUNCTION || code == ERROR_CALL_NOT_IMPLEMENTED)
            return Reservation::NotSupported;
        return writeErrorFromCode(code);
    }

    Result<Done> setLength(const FileHandle &file, qint64 length) override {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = length;
        return setFileInformation(handleOf(file), FileEndOfFileInfo, &end, sizeof end);
    }

    // Zero attributes leave them as they are.
    Result<Done> putTimesBack(const FileHandle &file, const FileFacts &facts) override {
        FILE_BASIC_INFO times{};
        times.LastAccessTime = largeInteger(facts.times.accessed);
        times.LastWriteTime = largeInteger(facts.times.modified);
        times.CreationTime = largeInteger(facts.times.created);
        times.ChangeTime = largeInteger(facts.times.changed);
        return setFileInformation(handleOf(file), FileBasicInfo, &times, sizeof times);
    }
};

}  // namespace

void FileHandle::forget() {
    if (isOpen() && owned_) ::CloseHandle(HANDLE(handle_));
    handle_ = kNone;
}

FileSystem &systemFileSystem() {
    static WindowsFileSystem files;
    return files;
}

// The handles give the bytes as they are: no text mode turns CR LF into LF.
StandardInput standardInput() {
    // Standard input redirected from a file can be read in one go.
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    StandardInput standard{FileHandle::borrowed(std::intptr_t(input)), 0};
    LARGE_INTEGER size{}, position{};
    if (::GetFileType(input) == FILE_TYPE_DISK && ::GetFileSizeEx(input, &size) &&
        ::SetFilePointerEx(input, LARGE_INTEGER{}, &position, FILE_CURRENT))
        standard.expectedSize = qMax<qint64>(size.QuadPart - position.QuadPart, 0);
    return standard;
}

FileHandle standardOutput() {
    return FileHandle::borrowed(std::intptr_t(::GetStdHandle(STD_OUTPUT_HANDLE)));
}

Result<FileLocation> locationOf(const QString &path) {
    const auto system = systemPath(path);
    if (const auto *error = std::get_if<FileError>(&system)) return *error;
    const std::wstring &full = std::get<std::wstring>(system);
    const std::size_t separator = full.rfind(L'\\');
    // A drive's root keeps its separator: C: alone is where drive C stands now.
    std::wstring folder = full.substr(0, separator);
    if (folder.ends_with(L':')) folder += L'\\';
    return FileLocation{pathFromSystem(folder),
                        QString::fromStdWString(full.substr(separator + 1))};
}

FileError takenNameError() {
    return writeErrorFromCode(ERROR_FILE_EXISTS);
}

qsizetype nameLength(QStringView name) {
    return name.size();  // in UTF-16 code units, on NTFS, FAT and exFAT alike
}

// No signal ends a process that writes past a limit on Windows, which has no such limit.
void ignoreFileSizeSignal() {}
