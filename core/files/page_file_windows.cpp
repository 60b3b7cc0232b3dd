// Page files on Windows.
#include <windows.h>
#include <QFileInfo>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "core/files/file_error_windows.h"
#include "core/files/page_file.h"
#include "core/files/path_windows.h"

namespace {

// The most that one ReadFile or WriteFile moves: they count in DWORDs.
constexpr qsizetype kLargestStep = qsizetype{1} << 30;

OVERLAPPED at(qint64 offset) {
    OVERLAPPED position{};
    position.Offset = DWORD(offset);
    position.OffsetHigh = DWORD(quint64(offset) >> 32);
    return position;
}

// Writes all of bytes to a file at offset, or, without one, where a stream stands; says why a
// call failed.
Result<Done> writeAll(HANDLE file, QByteArrayView bytes, std::optional<qint64> offset) {
    while (!bytes.isEmpty()) {
        const DWORD step = DWORD(qMin(bytes.size(), kLargestStep));
        OVERLAPPED position = at(offset.value_or(0));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), step, &written, offset ? &position : nullptr))
            return writeErrorFromCode(::GetLastError());
        if (written == 0) return writeErrorFromCode(ERROR_WRITE_FAULT);
        bytes = bytes.sliced(written);
        if (offset) *offset += written;
    }
    return Done{};
}

// Puts a file's data and its attributes on the disk, and says why that failed. Some file systems
// report a full disk only here.
Result<Done> flushFile(HANDLE file) {
    if (::FlushFileBuffers(file)) return Done{};
    return writeErrorFromCode(::GetLastError());
}

Result<Done> setFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void *information,
                                DWORD size) {
    if (::SetFileInformationByHandle(file, kind, information, size)) return Done{};
    return writeErrorFromCode(::GetLastError());
}

Result<Done> setLength(HANDLE file, qint64 length) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = length;
    return setFileInformation(file, FileEndOfFileInfo, &end, sizeof end);
}

// What a new file keeps of the one it replaces besides its rights, which ReplaceFileW carries
// over: whether it is hidden, a system file, or left out of the search index. Written anew, it is
// to be backed up again, as every written file is.
DWORD attributesAfterWriting(DWORD old) {
    return (old &
            (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)) |
           FILE_ATTRIBUTE_ARCHIVE;
}

// Reads what a handle holds from where it stands to its end, a pipe's included; more than maxSize
// bytes are refused as too large. expectedSize is how much is likely to come.
Result<QByteArray> readToEnd(HANDLE file, qint64 expectedSize, qint64 maxSize) {
    // One spare byte lets the final read that reports the end happen without growing.
    QByteArray content(qMin(expectedSize, maxSize) + 1, Qt::Uninitialized);
    qint64 used = 0;
    for (;;) {
        if (used == content.size()) {
            if (used > maxSize) return FileError{FileError::Kind::TooLarge, {}};
            content.resize(used + qMax<qint64>(used / 2, 64 * 1024));
        }
        const DWORD step = DWORD(qMin(content.size() - used, kLargestStep));
        DWORD got = 0;
        if (!::ReadFile(file, content.data() + used, step, &got, nullptr)) {
            // A pipe whose writer is gone has simply ended.
            if (::GetLastError() == ERROR_BROKEN_PIPE) break;
            return readErrorFromCode(::GetLastError());
        }
        if (got == 0) break;
        used += got;
    }
    if (used > maxSize) return FileError{FileError::Kind::TooLarge, {}};
    content.truncate(used);
    return content;
}

// A regular file of at most maxSize bytes, opened for reading, and what it is. Anything else is
// refused before a byte is read from it.
struct OpenedFile {
    Handle handle;
    FileFacts facts;
};

Result<OpenedFile> openRegularFile(const QString &path, qint64 maxSize) {
    const auto system = systemPath(path);
    if (const auto *error = std::get_if<FileError>(&system)) return *error;
    OpenedFile file{openExisting(std::get<std::wstring>(system), GENERIC_READ), {}};
    if (!file.handle.isOpen()) return readErrorFromCode(::GetLastError());
    if (::GetFileType(file.handle.get()) != FILE_TYPE_DISK)
        return FileError{FileError::Kind::NotRegularFile, {}};
    auto facts = factsOf(file.handle.get());
    if (const auto *error = std::get_if<FileError>(&facts)) return *error;
    file.facts = std::get<FileFacts>(facts);
    if (file.facts.attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileError{FileError::Kind::IsDirectory, {}};
    if (file.facts.size > maxSize) return FileError{FileError::Kind::TooLarge, {}};
    return file;
}

// The whole old content, read from the start; why it cannot be.
Result<QByteArray> readFromStart(HANDLE file, qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 used = 0;
    while (used < size) {
        const DWORD step = DWORD(qMin(size - used, kLargestStep));
        OVERLAPPED position = at(used);
        DWORD got = 0;
        if (!::ReadFile(file, bytes.data() + used, step, &got, &position)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;  // shorter than a moment ago
            return writeErrorFromCode(::GetLastError());
        }
        if (got == 0) break;
        used += got;
    }
    bytes.truncate(used);
    return bytes;
}

enum class Reservation { Made, NotSupported, Failed };

// Gives the file the disk space for size bytes without changing what it holds, so that
// overwriting it cannot run out of space half-way. Failed leaves the reason in GetLastError.
Reservation reserve(HANDLE file, qint64 oldSize, qint64 size) {
    // An allocation below the file's length would cut the file off there.
    if (size <= oldSize) return Reservation::Made;
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize.QuadPart = size;
    if (::SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation))
        return Reservation::Made;
    const DWORD code = ::GetLastError();
    const bool unsupported = code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
                             code == ERROR_INVALID_FUNCTION || code == ERROR_CALL_NOT_IMPLEMENTED;
    ::SetLastError(code);
    return unsupported ? Reservation::NotSupported : Reservation::Failed;
}

// Overwrites an existing regular file with bytes (see writeRegularFile). The file at path, whose
// links were followed already, must be the one that expected names.
Result<Done> overwriteInPlace(const std::wstring &path, const FileIdentity &expected,
                              QByteArrayView bytes) {
    // A link put in its place meanwhile is not followed.
    constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT;
    Handle file = openExisting(path, GENERIC_READ | GENERIC_WRITE, kNoFollow);
    const bool readable = file.isOpen();
    if (!readable && ::GetLastError() == ERROR_ACCESS_DENIED)
        file = openExisting(path, GENERIC_WRITE, kNoFollow);
    if (!file.isOpen()) return writeErrorFromCode(::GetLastError());
    const auto facts = factsOf(file.get());
    if (const auto *error = std::get_if<FileError>(&facts)) return *error;
    const FileFacts &found = std::get<FileFacts>(facts);
    if (found.attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileError{FileError::Kind::NotRegularFile, {}};
    if (found.identity != expected) return FileError{FileError::Kind::Replaced, {}};
    FILE_BASIC_INFO times{};
    if (!::GetFileInformationByHandleEx(file.get(), FileBasicInfo, &times, sizeof times))
        return writeErrorFromCode(::GetLastError());

    std::optional<QByteArray> old;
    if (readable) {
        auto read = readFromStart(file.get(), found.size);
        if (const auto *error = std::get_if<FileError>(&read)) return *error;
        old = std::get<QByteArray>(std::move(read));
    }
    switch (reserve(file.get(), found.size, bytes.size())) {
        case Reservation::Made:
            break;
        case Reservation::NotSupported:
            // Without its old bytes a file must not be touched unless no write can fail.
            if (!old) return FileError{FileError::Kind::UnsafeInPlace, {}};
            break;
        case Reservation::Failed: {
            const DWORD code = ::GetLastError();
            // A file system that gave part of the space may have grown the file by it.
            (void)setLength(file.get(), found.size);
            return writeErrorFromCode(code);
        }
    }

    Result<Done> written = writeAll(file.get(), bytes, 0);
    if (!failed(written) && bytes.size() < found.size)
        written = setLength(file.get(), bytes.size());
    if (!failed(written)) written = flushFile(file.get());
    if (failed(written)) {
        if (old) (void)writeAll(file.get(), *old, 0);
        (void)setLength(file.get(), found.size);
        // Put back as it was, time stamps included, so that build tools see nothing new. Zero
        // attributes leave them as they are.
        times.FileAttributes = 0;
        (void)setFileInformation(file.get(), FileBasicInfo, &times, sizeof times);
        return written;
    }
    return file.close();
}

// The file to be written, and what it is now, when there is one.
struct Target {
    std::wstring path;  // links followed
    std::optional<FileFacts> existing;
};

// An existing target must take writing as it is: a read-only file stays unchanged even where its
// folder would let it be replaced, and a file that another program holds for itself is left to
// it. Opening it for writing asks the system exactly that, before anything is made. Only regular
// files are replaced: a device or a pipe must never be swapped for a file.
Result<Target> openTarget(const QString &path) {
    const auto system = systemPath(path);
    if (const auto *error = std::get_if<FileError>(&system)) return *error;
    Target target{std::get<std::wstring>(system), {}};
    const Handle file = openExisting(target.path, FILE_READ_ATTRIBUTES);
    if (!file.isOpen()) {
        // A new file; its folder is checked when the file is made.
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) return target;
        return writeErrorFromCode(::GetLastError());
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK)
        return FileError{FileError::Kind::NotRegularFile, {}};
    auto facts = factsOf(file.get());
    if (const auto *error = std::get_if<FileError>(&facts)) return *error;
    target.existing = std::get<FileFacts>(facts);
    if (target.existing->attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileError{FileError::Kind::IsDirectory, {}};
    // The system refuses a read-only file to everyone but an administrator who overrides it.
    if (target.existing->attributes & FILE_ATTRIBUTE_READONLY)
        return FileError{FileError::Kind::ReadOnlyFile, {}};
    // Written through a link, the file it leads to is written, and the link stays.
    const auto final = resolvedPathOf(file.get(), path);
    if (const auto *error = std::get_if<FileError>(&final)) return *error;
    const auto finalSystem = systemPath(std::get<QString>(final));
    if (const auto *error = std::get_if<FileError>(&finalSystem)) return *error;
    target.path = std::get<std::wstring>(finalSystem);
    if (!openExisting(target.path, GENERIC_WRITE).isOpen())
        return writeErrorFromCode(::GetLastError());
    return target;
}

constexpr qsizetype kLongestName = 255;  // in UTF-16 code units, on NTFS, FAT and exFAT alike

// The folder of a path in the system's form, with its separator, and the file's own name.
std::pair<std::wstring, QString> split(const std::wstring &path) {
    const std::size_t separator = path.rfind(L'\\');
    return {path.substr(0, separator + 1), QString::fromStdWString(path.substr(separator + 1))};
}

// A new temporary name for the file called name, unlikely to exist yet. A long name is cut so
// that the result stays within the file system's limit, never inside a surrogate pair.
std::wstring temporaryFileName(const QString &name) {
    qsizetype room = kLongestName - 1 - kTemporarySuffixLength;
    if (room < name.size() && name[room - 1].isHighSurrogate()) --room;
    return (u'.' + name.left(room) + temporaryNameSuffix()).toStdWString();
}

bool exists(const std::wstring &path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A new file in a folder, which is removed again unless it took another one's place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring folder) : folder_(std::move(folder)) {}
    ~TemporaryFile() { remove(); }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    // Makes it, named after the file that it is to replace, and says why that failed. It is
    // hidden until it takes that file's place, and no one else may open it meanwhile.
    Result<Done> create(const QString &target) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::wstring path = folder_ + temporaryFileName(target);
            file_ = Handle(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                         CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr));
            if (file_.isOpen()) {
                path_ = path;
                return Done{};
            }
            if (::GetLastError() != ERROR_FILE_EXISTS) return writeErrorFromCode(::GetLastError());
        }
        return writeErrorFromCode(ERROR_FILE_EXISTS);
    }
    HANDLE get() const { return file_.get(); }
    Result<Done> close() { return file_.close(); }

    // Puts it in the place of the file at target, which keeps its access control list and the
    // rest of what ReplaceFileW carries over, and says why that failed. The old file is moved
    // aside under a temporary name first, so that a failure half-way can put it back.
    Result<Done> replace(const std::wstring &target) {
        const std::wstring aside = folder_ + temporaryFileName(split(target).second);
        if (::ReplaceFileW(target.c_str(), path_.c_str(), aside.c_str(), 0, nullptr, nullptr)) {
            kept_ = true;
            // Nothing more to do if another program holds the old file: a run of
            // zerediz-compress names what is left then.
            ::DeleteFileW(aside.c_str());
            return Done{};
        }
        const DWORD code = ::GetLastError();
        if (!exists(target) && exists(aside)) ::MoveFileExW(aside.c_str(), target.c_str(), 0);
        return writeErrorFromCode(code);
    }
    // Puts it where no file was a moment ago, and says why that failed. Written through, the
    // move is on the disk when this returns.
    Result<Done> rename(const std::wstring &target) {
        if (!::MoveFileExW(path_.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return writeErrorFromCode(::GetLastError());
        kept_ = true;
        return Done{};
    }
    // Removes it again, before the target is written in place instead.
    void remove() {
        file_ = Handle();
        if (!path_.empty() && !kept_) ::DeleteFileW(path_.c_str());
        path_.clear();
    }

private:
    std::wstring folder_;
    std::wstring path_;
    Handle file_;
    bool kept_ = false;
};

// Writes an existing target in place, where a new file cannot take its place as it was; a file
// whose other names must not change cannot be written so.
WriteResult writeInPlace(const Target &target, QByteArrayView bytes, const TargetRule &rule) {
    if (rule.nameAlone && target.existing->names > 1)
        return FileError{FileError::Kind::LinkedElsewhere, {}};
    const Result<Done> written = overwriteInPlace(target.path, target.existing->identity, bytes);
    if (const auto *error = std::get_if<FileError>(&written)) return *error;
    return Written{};
}

// Whether the file at path is still the one that identity names.
bool isStill(const std::wstring &path, const FileIdentity &identity) {
    const Handle file = openExisting(path, FILE_READ_ATTRIBUTES, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!file.isOpen()) return false;
    const auto facts = factsOf(file.get());
    return !failed(facts) && std::get<FileFacts>(facts).identity == identity;
}

}  // namespace

// A new file beside the target, written; Windows has no call that starts its bytes on their way
// to the disk without waiting for them.
struct StartedWrite::Steps {
    Steps(Target target, QByteArrayView bytes, const TargetRule &rule, std::wstring folder)
        : target(std::move(target)), bytes(bytes), rule(rule), file(std::move(folder)) {}

    Target target;
    QByteArrayView bytes;
    TargetRule rule;
    TemporaryFile file;  // removed with the steps unless it took the target's place
};

void StartedWrite::EndSteps::operator()(Steps *steps) const {
    delete steps;
}

namespace {

// Writes a new file beside the target; the rest of the replacement is finishReplacing's.
StartedWrite startReplacing(Target target, QByteArrayView bytes, const TargetRule &rule) {
    auto [folder, name] = split(target.path);
    auto steps =
        std::make_unique<StartedWrite::Steps>(std::move(target), bytes, rule, std::move(folder));
    const Target &old = steps->target;
    TemporaryFile &file = steps->file;
    if (const auto created = file.create(name); failed(created)) {
        // A folder that takes no new file leaves writing the file itself.
        if (old.existing && std::get<FileError>(created).kind == FileError::Kind::NoWritePermission)
            return StartedWrite(writeInPlace(old, bytes, rule));
        return StartedWrite(std::get<FileError>(created));
    }

    Result<Done> stored = writeAll(file.get(), bytes, 0);
    DWORD attributes = attributesAfterWriting(old.existing ? old.existing->attributes : 0);
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes;
    if (!failed(stored))
        stored = setFileInformation(file.get(), FileBasicInfo, &basic, sizeof basic);
    if (const auto *error = std::get_if<FileError>(&stored)) return StartedWrite(*error);
    return StartedWrite(steps.release());
}

// Puts the new file in the target's place once every byte is on the disk, each step checked, the
// last write and the close included.
WriteResult finishReplacing(StartedWrite::Steps &steps) {
    const Target &target = steps.target;
    TemporaryFile &file = steps.file;
    // Some file systems report a full disk only when the data reaches it, some only on close.
    Result<Done> stored = flushFile(file.get());
    if (!failed(stored)) stored = file.close();
    if (const auto *error = std::get_if<FileError>(&stored)) return *error;

    if (!target.existing) {
        const Result<Done> renamed = file.rename(target.path);
        if (const auto *error = std::get_if<FileError>(&renamed)) return *error;
        return Written{};
    }
    if (steps.rule.readAs && !isStill(target.path, *steps.rule.readAs))
        return FileError{FileError::Kind::Replaced, {}};
    const Result<Done> replaced = file.replace(target.path);
    if (const auto *error = std::get_if<FileError>(&replaced)) {
        // A file that may be written but not replaced (its folder's rights forbid deleting it) is
        // written itself.
        if (error->kind != FileError::Kind::NoWritePermission) return *error;
        file.remove();
        return writeInPlace(target, steps.bytes, steps.rule);
    }
    return Written{};
}

HANDLE standardHandle(DWORD which) {
    return ::GetStdHandle(which);
}

}  // namespace

// Windows has no call that syncs a folder: a new file is moved with MOVEFILE_WRITE_THROUGH, and
// NTFS keeps the renames of ReplaceFileW in its journal.
Result<Done> syncFolder(const QString &) {
    return Done{};
}

StartedWrite startWrite(const QString &path, QByteArrayView bytes, const TargetRule &rule) {
    if (path.isEmpty()) return StartedWrite(FileError{FileError::Kind::FolderMissing, {}});
    auto opened = openTarget(path);
    if (const auto *error = std::get_if<FileError>(&opened)) return StartedWrite(*error);
    Target &target = std::get<Target>(opened);
    if (rule.readAs && (!target.existing || target.existing->identity != *rule.readAs))
        return StartedWrite(FileError{FileError::Kind::Replaced, {}});

    // A file of several names is written through them all, unless this name is to go alone.
    if (target.existing && target.existing->names > 1 && !rule.nameAlone)
        return StartedWrite(writeInPlace(target, bytes, rule));
    return startReplacing(std::move(target), bytes, rule);
}

Result<QByteArray> readRegularFile(const QString &path, qint64 maxSize) {
    auto opened = openRegularFile(path, maxSize);
    if (auto *error = std::get_if<FileError>(&opened)) return *error;
    const OpenedFile &file = std::get<OpenedFile>(opened);
    // The file may change while it is read; read until the end, whatever its size is now.
    return readToEnd(file.handle.get(), file.facts.size, maxSize);
}

Result<FileAsRead> readResolvedFile(const QString &path, qint64 maxSize) {
    auto opened = openRegularFile(path, maxSize);
    if (auto *error = std::get_if<FileError>(&opened)) return *error;
    const OpenedFile &file = std::get<OpenedFile>(opened);
    auto resolved = resolvedPathOf(file.handle.get(), path);
    if (auto *error = std::get_if<FileError>(&resolved)) return *error;
    auto bytes = readToEnd(file.handle.get(), file.facts.size, maxSize);
    if (auto *error = std::get_if<FileError>(&bytes)) return *error;
    return FileAsRead{std::get<QByteArray>(std::move(bytes)),
                      std::get<QString>(std::move(resolved)), file.facts.identity};
}

struct FileToCopy::Opened {
    OpenedFile file;
};

void FileToCopy::End::operator()(Opened *opened) const {
    delete opened;
}

Result<FileToCopy> openToCopy(const QString &path) {
    auto opened = openRegularFile(path, std::numeric_limits<qint64>::max());
    if (auto *error = std::get_if<FileError>(&opened)) return *error;
    OpenedFile &file = std::get<OpenedFile>(opened);
    auto resolved = resolvedPathOf(file.handle.get(), path);
    if (auto *error = std::get_if<FileError>(&resolved)) return *error;
    return FileToCopy(new FileToCopy::Opened{std::move(file)},
                      std::get<QString>(std::move(resolved)));
}

Result<Done> copyToNewFile(const FileToCopy &source, const QString &target) {
    const HANDLE from = source.opened_->file.handle.get();
    FILE_BASIC_INFO old{};
    if (!::GetFileInformationByHandleEx(from, FileBasicInfo, &old, sizeof old))
        return readErrorFromCode(::GetLastError());
    const auto system = systemPath(target);
    if (const auto *error = std::get_if<FileError>(&system)) return *error;
    const std::wstring &path = std::get<std::wstring>(system);
    auto [folder, name] = split(path);
    TemporaryFile file(std::move(folder));
    if (const auto created = file.create(name); failed(created)) return created;

    // A piece at a time, so that a film in a site takes no more memory than a page; a small file
    // takes a piece of its own size, and its end is told by the read after it.
    QByteArray piece(qBound(qint64{1}, source.opened_->file.facts.size + 1, qint64{1} << 20),
                     Qt::Uninitialized);
    for (qint64 offset = 0;;) {
        OVERLAPPED position = at(offset);
        DWORD got = 0;
        if (!::ReadFile(from, piece.data(), DWORD(piece.size()), &got, &position)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            return readErrorFromCode(::GetLastError());
        }
        if (got == 0) break;
        const auto stored = writeAll(file.get(), QByteArrayView(piece.data(), got), offset);
        if (failed(stored)) return stored;
        offset += got;
    }
    // Set once the last byte is written, which would otherwise take the time of now.
    FILE_BASIC_INFO basic{};
    basic.LastWriteTime = old.LastWriteTime;
    basic.FileAttributes = attributesAfterWriting(old.FileAttributes);
    Result<Done> stored = setFileInformation(file.get(), FileBasicInfo, &basic, sizeof basic);
    if (!failed(stored)) stored = flushFile(file.get());
    if (!failed(stored)) stored = file.close();
    if (!failed(stored)) stored = file.rename(path);
    return stored;
}

Result<QByteArray> readStandardInput(qint64 maxSize) {
    // Standard input redirected from a file can be read in one go. The handle gives the bytes as
    // they are: no text mode turns CR LF into LF.
    const HANDLE input = standardHandle(STD_INPUT_HANDLE);
    qint64 expected = 0;
    LARGE_INTEGER size{}, position{};
    if (::GetFileType(input) == FILE_TYPE_DISK && ::GetFileSizeEx(input, &size) &&
        ::SetFilePointerEx(input, LARGE_INTEGER{}, &position, FILE_CURRENT))
        expected = qMax<qint64>(size.QuadPart - position.QuadPart, 0);
    return readToEnd(input, expected, maxSize);
}

Result<Done> writeStandardOutput(QByteArrayView bytes) {
    return writeAll(standardHandle(STD_OUTPUT_HANDLE), bytes, std::nullopt);
}

// No signal ends a process that writes past a limit on Windows, which has no such limit.
void ignoreFileSizeSignal() {}

WriteResult StartedWrite::finish(Steps &steps) {
    return finishReplacing(steps);
}
