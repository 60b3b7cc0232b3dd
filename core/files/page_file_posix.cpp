// The primitives of page files on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>

#include "core/files/file_attributes_posix.h"
#include "core/files/file_error_posix.h"
#include "core/files/file_system.h"

namespace {

int fd(const FileHandle &file) {
    return int(file.handle());
}

qint64 nanoseconds(const timespec &time) {
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

timespec timeOf(qint64 nanoseconds) {
    // Before 1970 too: the nanoseconds of a second are never negative.
    qint64 seconds = nanoseconds / 1000000000;
    qint64 rest = nanoseconds % 1000000000;
    if (rest < 0) {
        rest += 1000000000;
        --seconds;
    }
    return {time_t(seconds), long(rest)};
}

FileFacts factsFrom(const struct stat &status) {
    FileFacts facts;
    facts.kind = S_ISREG(status.st_mode)   ? FileFacts::Kind::Regular
                 : S_ISDIR(status.st_mode) ? FileFacts::Kind::Folder
                                           : FileFacts::Kind::Other;
    facts.identity = {quint64(status.st_dev), quint64(status.st_ino)};
    facts.names = qint64(status.st_nlink);
    facts.size = qint64(status.st_size);
    facts.owner = status.st_uid;
    facts.group = status.st_gid;
    facts.mode = status.st_mode & 07777;
    facts.times.accessed = nanoseconds(status.st_atim);
    facts.times.modified = nanoseconds(status.st_mtim);
    return facts;
}

QByteArray systemName(const QString &path) {
    return QFile::encodeName(path);
}

// The file that path leads to, links followed, as an absolute path. A chain of links that does
// not end is left as it is, and opening it says so.
QString followLinks(const QString &path) {
    QFileInfo file(path);
    for (int depth = 0; depth < 40 && file.isSymLink(); ++depth) file.setFile(file.symLinkTarget());
    return file.absoluteFilePath();
}

// Opens a folder so that files can be made and renamed in it and, where the caller may read it,
// so that it can be synced too.
int openFolderAt(const QByteArray &name) {
    const int folder = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0 || errno != EACCES) return folder;
    return ::open(name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

class PosixFileSystem final : public FileSystem {
public:
    Result<OpenedFile> openToRead(const QString &path) override {
        // O_NONBLOCK: opening a FIFO must not wait for a writer. It has no effect on regular files.
        OpenedFile opened{FileHandle(::open(systemName(path).constData(),
                                            O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)),
                          {}};
        if (!opened.file.isOpen()) return readErrorFromErrno(errno);
        struct stat status {};
        if (::fstat(fd(opened.file), &status) != 0) return readErrorFromErrno(errno);
        opened.facts = factsFrom(status);
        return opened;
    }

    // As the system resolved it when it was opened: whatever links are swapped since, this is
    // the file that was opened. Where the system cannot say (no /proc), the path's own resolution
    // is taken, provided it leads to that same file.
    Result<QString> resolvedPath(const OpenedFile &file, const QString &path) override {
        const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd(file.file));
        char buffer[4096];
        const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
        if (length > 0 && length < ssize_t(sizeof buffer) && buffer[0] == '/')
            return QFile::decodeName(QByteArray(buffer, length));
        const QString canonical = QFileInfo(path).canonicalFilePath();
        struct stat now {};
        if (canonical.isEmpty() || ::stat(systemName(canonical).constData(), &now) != 0 ||
            factsFrom(now).identity != file.facts.identity)
            return FileError{FileError::Kind::Replaced, {}};
        return canonical;
    }

    Result<qint64> read(const FileHandle &file, char *data, qint64 size,
                        std::optional<qint64> offset) override {
        for (;;) {
            const ssize_t got = offset ? ::pread(fd(file), data, size_t(size), off_t(*offset))
                                       : ::read(fd(file), data, size_t(size));
            if (got >= 0) return qint64(got);
            if (errno != EINTR) return readErrorFromErrno(errno);
        }
    }

    Result<Done> write(const FileHandle &file, QByteArrayView bytes,
                       std::optional<qint64> offset) override {
        while (!bytes.isEmpty()) {
            const ssize_t n =
                offset ? ::pwrite(fd(file), bytes.data(), size_t(bytes.size()), off_t(*offset))
                       : ::write(fd(file), bytes.data(), size_t(bytes.size()));
            if (n < 0) {
                if (errno == EINTR) continue;
                return writeErrorFromErrno(errno);
            }
            bytes = bytes.sliced(n);
            if (offset) *offset += n;
        }
        return Done{};
    }

    // Some file systems report a full disk only here; one that cannot sync says EINVAL, and has
    // nothing to lose by it.
    Result<Done> syncData(const FileHandle &file) override {
        if (::fdatasync(fd(file)) == 0 || errno == EINVAL) return Done{};
        return writeErrorFromErrno(errno);
    }

    void startSync(const FileHandle &file) override {
        ::sync_file_range(fd(file), 0, 0, SYNC_FILE_RANGE_WRITE);
    }

    Result<Done> close(FileHandle file) override {
        if (::close(int(file.release())) == 0) return Done{};
        return writeErrorFromErrno(errno);
    }

    // An existing target must take writing as it is: a read-only file stays unchanged even where
    // its folder would let it be replaced. Opening it for writing, without truncating, asks the
    // system exactly that, with the caller's own rights; O_NONBLOCK keeps a FIFO without a reader
    // from blocking. Only regular files are replaced: a device or FIFO must never be swapped for a
    // file.
    Result<SaveTarget> openTarget(const QString &path) override {
        const auto open = [](const QString &name) {
            return FileHandle(::open(systemName(name).constData(),
                                     O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
        };
        // Mostly the path is no link, which opening it without following one tells at once; only
        // a link (ELOOP, EMLINK on some systems) is looked at and followed.
        SaveTarget target;
        target.path = QFileInfo(path).absoluteFilePath();
        target.file = open(target.path);
        if (!target.file.isOpen() && (errno == ELOOP || errno == EMLINK)) {
            target.path = followLinks(path);
            target.file = open(target.path);
        }
        const int error = target.file.isOpen() ? 0 : errno;
        const QFileInfo info(target.path);
        target.folder = info.absolutePath();
        target.name = info.fileName();
        if (error == ENOENT) return target;  // a new file; its folder is checked on creation
        if (error != 0) return writeErrorFromErrno(error);
        struct stat status {};
        if (::fstat(fd(target.file), &status) != 0) return writeErrorFromErrno(errno);
        if (!S_ISREG(status.st_mode)) return FileError{FileError::Kind::NotRegularFile, {}};
        target.facts = factsFrom(status);
        return target;
    }

    // Asked with the caller's effective rights.
    bool folderTakesNewFiles(const SaveTarget &target) override {
        return ::faccessat(AT_FDCWD, systemName(target.folder).constData(), W_OK | X_OK,
                           AT_EACCESS) == 0;
    }

    Result<Folder> openFolder(const QString &path) override {
        Folder folder{FileHandle(openFolderAt(systemName(path))), path};
        if (!folder.file.isOpen()) return writeErrorFromErrno(errno);
        return folder;
    }

    Result<std::optional<FileHandle>> createNew(const Folder &folder, const QString &name,
                                                NewFileRights rights,
                                                const FileFacts *like) override {
        const mode_t mode = rights == NewFileRights::OwnerOnly ? 0600
                            : rights == NewFileRights::Copied  ? mode_t(like->mode & 0777)
                                                               : 0666;
        FileHandle file(::openat(fd(folder.file), systemName(name).constData(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
        if (file.isOpen()) return std::optional<FileHandle>(std::move(file));
        if (errno == EEXIST) return std::optional<FileHandle>();
        return writeErrorFromErrno(errno);
    }

    Result<Done> takeOwner(const FileHandle &file, const SaveTarget &target) override {
        return ::takeOwner(fd(file), target.facts->owner, target.facts->group);
    }

    Result<QList<LostAttribute>> keepRights(const FileHandle &file,
                                            const SaveTarget &target) override {
        if (!target.facts) return QList<LostAttribute>();
        return copyAttributes(fd(target.file), target.facts->mode, fd(file));
    }

    // The time is what a person sorts a folder by, and what upload tools compare; a file system
    // that refuses to take it (some network shares) still gets the file. Its permission bits it
    // took when it was made.
    Result<Done> keepLooks(const FileHandle &file, const OpenedFile &source) override {
        const timespec times[2] = {{0, UTIME_OMIT}, timeOf(source.facts.times.modified)};
        ::futimens(fd(file), times);
        return Done{};
    }

    Result<FileFacts> lookAt(const Folder &folder, const QString &name) override {
        struct stat status {};
        if (::fstatat(fd(folder.file), systemName(name).constData(), &status,
                      AT_SYMLINK_NOFOLLOW) != 0)
            return readErrorFromErrno(errno);
        return factsFrom(status);
    }

    // A file mounted in its own place cannot be renamed over (EBUSY), only written.
    Result<Replacement> replace(const Folder &folder, const QString &name,
                                const QString &target) override {
        const Result<Done> renamed = rename(folder, name, target);
        if (const auto *error = std::get_if<FileError>(&renamed))
            return error->kind == FileError::Kind::InUse
                       ? Result<Replacement>(Replacement::OnlyInPlace)
                       : Result<Replacement>(*error);
        return Replacement::Done;
    }

    Result<Done> rename(const Folder &folder, const QString &name, const QString &target) override {
        if (::renameat(fd(folder.file), systemName(name).constData(), fd(folder.file),
                       systemName(target).constData()) != 0)
            return writeErrorFromErrno(errno);
        return Done{};
    }

    void remove(const Folder &folder, const QString &name) override {
        ::unlinkat(fd(folder.file), systemName(name).constData(), 0);
    }

    // A folder opened for its path alone cannot be synced (EBADF), nor can a folder on a file
    // system that does not sync folders (EINVAL).
    Result<Done> syncFolder(const Folder &folder) override {
        if (::fsync(fd(folder.file)) == 0 || errno == EBADF || errno == EINVAL) return Done{};
        return writeErrorFromErrno(errno);
    }

    // O_NONBLOCK: a FIFO put in the file's place must not block the window. The path is one whose
    // links were followed already: a link put in its place is not followed.
    Result<Overwriting> openToOverwrite(const QString &path) override {
        const QByteArray name = systemName(path);
        constexpr int kFlags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;
        Overwriting opened{FileHandle(::open(name.constData(), O_RDWR | kFlags)), true};
        if (!opened.file.isOpen() && errno == EACCES) {
            opened.file = FileHandle(::open(name.constData(), O_WRONLY | kFlags));
            opened.readable = false;
        }
        if (!opened.file.isOpen()) return writeErrorFromErrno(errno);
        return opened;
    }

    Result<FileFacts> factsOf(const FileHandle &file) override {
        struct stat status {};
        if (::fstat(fd(file), &status) != 0) return writeErrorFromErrno(errno);
        return factsFrom(status);
    }

    // The limit applies to every write that reaches past it, however long the file already is.
    bool sizeLimitAllows(qint64 length) override {
        rlimit limit{};
        if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
        return static_cast<rlim_t>(length) <= limit.rlim_cur;
    }

    // The first size bytes of the file get their blocks.
    Result<Reservation> reserve(const FileHandle &file, qint64, qint64 size) override {
        if (size == 0) return Reservation::Made;
        int result;
        do {
            result = ::fallocate(fd(file), 0, 0, size);
        } while (result != 0 && errno == EINTR);
        if (result == 0) return Reservation::Made;
        if (errno == EOPNOTSUPP || errno == ENOSYS) return Reservation::NotSupported;
        return writeErrorFromErrno(errno);
    }

    Result<Done> setLength(const FileHandle &file, qint64 length) override {
        if (::ftruncate(fd(file), off_t(length)) != 0) return writeErrorFromErrno(errno);
        return Done{};
    }

    Result<Done> putTimesBack(const FileHandle &file, const FileFacts &facts) override {
        const timespec times[2] = {timeOf(facts.times.accessed), timeOf(facts.times.modified)};
        if (::futimens(fd(file), times) != 0) return writeErrorFromErrno(errno);
        return Done{};
    }
};

}  // namespace

void FileHandle::forget() {
    if (isOpen() && owned_) ::close(int(handle_));
    handle_ = kNone;
}

FileSystem &systemFileSystem() {
    static PosixFileSystem files;
    return files;
}

StandardInput standardInput() {
    // Standard input redirected from a file can be read in one go.
    StandardInput input{FileHandle::borrowed(STDIN_FILENO), 0};
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode))
        input.expectedSize = qMax<qint64>(status.st_size - ::lseek(STDIN_FILENO, 0, SEEK_CUR), 0);
    return input;
}

FileHandle standardOutput() {
    return FileHandle::borrowed(STDOUT_FILENO);
}

Result<FileLocation> locationOf(const QString &path) {
    const QFileInfo info(QFileInfo(path).absoluteFilePath());
    return FileLocation{info.absolutePath(), info.fileName()};
}

FileError takenNameError() {
    return writeErrorFromErrno(EEXIST);
}

qsizetype nameLength(QStringView name) {
    return QFile::encodeName(name.toString()).size();
}

void ignoreFileSizeSignal() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}
