#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <optional>
#include <utility>

#include "core/files/file_error.h"

// The primitives that reading and saving page files are made of, each one step the system takes:
// open, read, write, sync, rename, and what a save needs to keep a file's rights. The steps of a
// read, a save and a copy are written once above them (page_file.cpp); each system supplies these
// (page_file_posix.cpp, page_file_windows.cpp), as ninja's DiskInterface and SQLite's VFS do.
// Every primitive that can fail says why in a FileError, as the user is to read it; what a code of
// the system means for the steps (a name taken, a file that only takes writing in place) it says
// in its answer.

// Which file a file is, whatever name it is reached by: its device and its number there (on
// Windows, its volume's serial number and its file index).
struct FileIdentity {
    quint64 device = 0;
    quint64 index = 0;

    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// An extended attribute that a new file could not be given, and why.
struct LostAttribute {
    QString name;
    FileError why;
    friend bool operator==(const LostAttribute &, const LostAttribute &) = default;
};

// When a file was last read, written, made and changed, as the system counts time; only the
// system's primitives read them, to give them back.
struct FileTimes {
    qint64 accessed = 0;
    qint64 modified = 0;
    qint64 created = 0;
    qint64 changed = 0;
};

// What the system tells of a file.
struct FileFacts {
    enum class Kind { Regular, Folder, Other };  // Other: a FIFO, device, socket or pipe
    Kind kind = Kind::Regular;
    FileIdentity identity;
    qint64 names = 1;  // hard links
    qint64 size = 0;
    // In the system's own words, for its primitives alone: on POSIX the owner, the group and the
    // mode; on Windows the attributes. The times where the system tells them with the rest (on
    // POSIX always; on Windows only factsOf asks for them).
    quint32 owner = 0;
    quint32 group = 0;
    quint32 mode = 0;
    quint32 attributes = 0;
    FileTimes times;
};

// A file or folder as the system holds it open: a descriptor, or a HANDLE, closed when this goes
// out of scope unless it was closed with FileSystem::close, whose answer a writer checks.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(std::intptr_t handle) : handle_(handle) {}
    // One the process holds for as long as it runs, such as standard input: never closed here.
    static FileHandle borrowed(std::intptr_t handle) {
        FileHandle file(handle);
        file.owned_ = false;
        return file;
    }
    ~FileHandle() { forget(); }
    FileHandle(FileHandle &&other) noexcept { *this = std::move(other); }
    FileHandle &operator=(FileHandle &&other) noexcept {
        if (this != &other) {
            forget();
            handle_ = other.handle_;
            owned_ = other.owned_;
            other.handle_ = kNone;
        }
        return *this;
    }

    bool isOpen() const { return handle_ != kNone; }
    std::intptr_t handle() const { return handle_; }
    // Hands the handle over to be closed by whoever takes it.
    std::intptr_t release() { return std::exchange(handle_, kNone); }

private:
    static constexpr std::intptr_t kNone = -1;  // no descriptor, and INVALID_HANDLE_VALUE
    void forget();                              // closes it unchecked; the platform's

    std::intptr_t handle_ = kNone;
    bool owned_ = true;
};

// A regular file open to be read, with what the system told of it on opening.
struct OpenedFile {
    FileHandle file;
    FileFacts facts;
};

// A file that a save is to write, as the system found it.
struct SaveTarget {
    QString path;    // links followed
    QString folder;  // the folder it lies in, and its name there
    QString name;
    FileHandle file;                 // held open where the system wants it for keepRights
    std::optional<FileFacts> facts;  // where a file is there already
};

// A folder open to make, rename and remove files in, and to be synced.
struct Folder {
    FileHandle file;  // where the system works in folders by handle
    QString path;
};

// Who may use a new file until it takes its place.
enum class NewFileRights {
    OwnerOnly,  // its writer alone, until it is given the rights of the file it replaces
    Usual,      // what any program's new file gets
    Copied,     // those of the file it copies, as a file manager gives them
};

// What replacing a file did: replaced it, or found that it cannot be replaced but only written
// in place (a file mounted on its own; a folder whose rights forbid removing it).
enum class Replacement { Done, OnlyInPlace };

// What reserving disk space for a file did.
enum class Reservation { Made, NotSupported };

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Reading. openToRead opens what path leads to for reading, without reading from it or
    // waiting for a FIFO's writer, and tells what it is.
    virtual Result<OpenedFile> openToRead(const QString &path) = 0;
    // The path the open file lies at, every link resolved, as the system resolved it on opening.
    virtual Result<QString> resolvedPath(const OpenedFile &file, const QString &path) = 0;
    // Reads at most size bytes into data, at offset or where a stream stands: how many, 0 at the
    // end.
    virtual Result<qint64> read(const FileHandle &file, char *data, qint64 size,
                                std::optional<qint64> offset) = 0;

    // Writing. write writes all of bytes, at offset or where a stream stands.
    virtual Result<Done> write(const FileHandle &file, QByteArrayView bytes,
                               std::optional<qint64> offset) = 0;
    // Puts the file's data on the disk: the last step whose failure a written file reports.
    virtual Result<Done> syncData(const FileHandle &file) = 0;
    // Starts the file's data on its way to the disk without waiting for it, where the system can.
    virtual void startSync(const FileHandle &file) = 0;
    // Closes the file: some file systems report a failed write only here.
    virtual Result<Done> close(FileHandle file) = 0;

    // A save's target: opened, where it is there, as writing it asks of it (the caller's rights,
    // another program's hold), and refused where only a regular file may be written.
    virtual Result<SaveTarget> openTarget(const QString &path) = 0;
    // Whether the caller may make new files in the target's folder, where the system can tell
    // beforehand; otherwise true, and making one says.
    virtual bool folderTakesNewFiles(const SaveTarget &target) = 0;
    virtual Result<Folder> openFolder(const QString &path) = 0;
    // Makes the file name in folder, which must not be there yet; nullopt where it is. Copied
    // takes the rights of like.
    virtual Result<std::optional<FileHandle>> createNew(const Folder &folder, const QString &name,
                                                        NewFileRights rights,
                                                        const FileFacts *like) = 0;
    // Gives a new file the owner and group of the target; fails where the caller may not.
    virtual Result<Done> takeOwner(const FileHandle &file, const SaveTarget &target) = 0;
    // Gives a new file what the target gives whom, or what a new file shows where there is no
    // target; answers what could not be kept.
    virtual Result<QList<LostAttribute>> keepRights(const FileHandle &file,
                                                    const SaveTarget &target) = 0;
    // Gives a copy the modification time of the file it copies, and what else a file manager's
    // copy keeps of it (on Windows whether it is hidden, a system file, left out of the index).
    virtual Result<Done> keepLooks(const FileHandle &file, const OpenedFile &source) = 0;
    // What the entry name of folder is, a link not followed.
    virtual Result<FileFacts> lookAt(const Folder &folder, const QString &name) = 0;
    // Puts the file name of folder in the place of the existing file target there.
    virtual Result<Replacement> replace(const Folder &folder, const QString &name,
                                        const QString &target) = 0;
    // Gives the file name of folder the name target there, whatever had it.
    virtual Result<Done> rename(const Folder &folder, const QString &name,
                                const QString &target) = 0;
    // Removes the file name of folder, as a failed save cleans up: nothing to report.
    virtual void remove(const Folder &folder, const QString &name) = 0;
    // Makes the renames in the folder survive a power cut.
    virtual Result<Done> syncFolder(const Folder &folder) = 0;

    // Writing in place. openToOverwrite opens the file at path, links not followed, for reading
    // and writing where the caller may read it, else for writing: readable says which.
    struct Overwriting {
        FileHandle file;
        bool readable = false;
    };
    virtual Result<Overwriting> openToOverwrite(const QString &path) = 0;
    virtual Result<FileFacts> factsOf(const FileHandle &file) = 0;
    // Whether the process may make a file of length bytes (POSIX's file-size limit).
    virtual bool sizeLimitAllows(qint64 length) = 0;
    // Gives the file the disk space for size bytes, of which it holds oldSize, without changing
    // what it holds.
    virtual Result<Reservation> reserve(const FileHandle &file, qint64 oldSize, qint64 size) = 0;
    virtual Result<Done> setLength(const FileHandle &file, qint64 length) = 0;
    // Gives the file back the times that facts (from factsOf) tell.
    virtual Result<Done> putTimesBack(const FileHandle &file, const FileFacts &facts) = 0;
};

// What every read and save goes through: the system's own primitives, unless a test put others
// in their place.
FileSystem &fileSystem();

// The system's own primitives, as fileSystem() answers them unless a test put others in their
// place. The platform's.
FileSystem &systemFileSystem();

// Puts files in place of the primitives in use for as long as it lives: a test's disk that fails
// on demand. Set before the reads and saves it is for start, on any thread.
class FileSystemInUse {
public:
    explicit FileSystemInUse(FileSystem &files);
    ~FileSystemInUse();
    FileSystemInUse(const FileSystemInUse &) = delete;
    FileSystemInUse &operator=(const FileSystemInUse &) = delete;

private:
    FileSystem *previous_;
};

// Standard input, with how much of it is likely to come, and standard output. The platform's.
struct StandardInput {
    FileHandle file;
    qint64 expectedSize = 0;
};
StandardInput standardInput();
FileHandle standardOutput();

// The folder a path lies in, and its name there, as the system reads the path; why the system
// would take no such path. The platform's.
struct FileLocation {
    QString folder;
    QString name;
};
Result<FileLocation> locationOf(const QString &path);

// Why a new file could not be made where every name drawn for it was taken. The platform's.
FileError takenNameError();

// How long a name is where the file system counts: its bytes on POSIX, its UTF-16 units on
// Windows. The platform's.
qsizetype nameLength(QStringView name);
inline constexpr qsizetype kLongestName = 255;  // NAME_MAX of the usual file systems
