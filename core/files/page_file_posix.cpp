// Page files on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <limits>
#include <utility>

#include "core/files/file_attributes_posix.h"
#include "core/files/file_error_posix.h"
#include "core/files/page_file.h"

namespace {

FileIdentity identityOf(const struct stat &status) {
    return {quint64(status.st_dev), quint64(status.st_ino)};
}

// An open file descriptor that is closed when it goes out of scope, unless close() was called
// and its answer checked, as a writer must: some file systems report a failed write only there.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor &operator=(FileDescriptor &&other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }

    int get() const { return fd_; }

    // Closes the descriptor, and says why that failed.
    Result<Done> close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) == 0) return Done{};
        return writeErrorFromErrno(errno);
    }

private:
    int fd_;
};

// Writes all of bytes to fd at offset, and says why a call failed.
Result<Done> writeAllAt(int fd, QByteArrayView bytes, off_t offset) {
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::pwrite(fd, p, static_cast<size_t>(left), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return writeErrorFromErrno(errno);
        }
        p += n;
        left -= n;
        offset += n;
    }
    return Done{};
}

// Puts a file's data on the disk, and says why that failed. Some file systems report a full disk
// only here; one that cannot sync says EINVAL, and has nothing to lose by it.
Result<Done> syncData(int fd) {
    if (::fdatasync(fd) == 0 || errno == EINVAL) return Done{};
    return writeErrorFromErrno(errno);
}

// Whether the file-size limit lets a file hold length bytes: the limit applies to every write that
// reaches past it, however long the file already is.
bool fileSizeLimitAllows(qint64 length) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
    return static_cast<rlim_t>(length) <= limit.rlim_cur;
}

constexpr qsizetype kLongestName = 255;  // NAME_MAX of the usual Linux file systems

// A new temporary name for the file called name (the bytes of its last path component), unlikely
// to exist yet. A long name is cut so that the result stays within the file system's limit.
QByteArray temporaryFileName(const QByteArray &name) {
    const qsizetype room = kLongestName - 1 - kTemporarySuffixLength;
    return '.' + name.left(room) + temporaryNameSuffix().toLatin1();
}

// Opens a regular file of at most maxSize bytes for reading. Anything else is refused before a
// byte is read from it.
Result<FileDescriptor> openRegularFile(const QString &path, qint64 maxSize, struct stat &status) {
    if (path.isEmpty()) return FileError{FileError::Kind::NotFound, {}};

    // O_NONBLOCK: opening a FIFO must not wait for a writer. It has no effect on regular files.
    FileDescriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) return readErrorFromErrno(errno);

    if (::fstat(file.get(), &status) != 0) return readErrorFromErrno(errno);
    if (S_ISDIR(status.st_mode)) return FileError{FileError::Kind::IsDirectory, {}};
    if (!S_ISREG(status.st_mode)) return FileError{FileError::Kind::NotRegularFile, {}};
    if (status.st_size > maxSize) return FileError{FileError::Kind::TooLarge, {}};
    return file;
}

// The path of the file open as fd, as the system resolved it when it was opened; whatever links
// are swapped since, this is the file that was opened. Where the system cannot say (no /proc),
// the path's own resolution is taken, provided it leads to that same file.
std::optional<QString> resolvedPathOf(int fd, const QString &path, const struct stat &status) {
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    char buffer[4096];
    const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
    if (length > 0 && length < ssize_t(sizeof buffer) && buffer[0] == '/')
        return QFile::decodeName(QByteArray(buffer, length));
    const QString canonical = QFileInfo(path).canonicalFilePath();
    struct stat now {};
    if (canonical.isEmpty() || ::stat(QFile::encodeName(canonical).constData(), &now) != 0 ||
        identityOf(now) != identityOf(status))
        return std::nullopt;
    return canonical;
}

// Read and write where the file allows it, so that the old bytes can be kept; write only where it
// does not. O_NONBLOCK: a FIFO put in the file's place must not block the window. The path is
// one whose links were followed already: a link put in its place is not followed.
int openForOverwrite(const QString &path, bool &readable) {
    const QByteArray name = QFile::encodeName(path);
    constexpr int kFlags = O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;
    int fd = ::open(name.constData(), O_RDWR | kFlags);
    readable = fd >= 0;
    if (fd < 0 && errno == EACCES) fd = ::open(name.constData(), O_WRONLY | kFlags);
    return fd;
}

// The whole old content; nullopt with errno set where it cannot be read.
std::optional<QByteArray> readAll(int fd, qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 used = 0;
    while (used < size) {
        const ssize_t n = ::pread(fd, bytes.data() + used, static_cast<size_t>(size - used), used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;  // shorter than it was a moment ago
        used += n;
    }
    bytes.truncate(used);
    return bytes;
}

enum class Reservation { Made, NotSupported, Failed };

// Makes sure that the first size bytes of the file have their blocks, without changing what the
// file holds, so that overwriting them cannot run out of space half-way. Failed leaves errno set.
Reservation reserve(int fd, qint64 size) {
    if (size == 0) return Reservation::Made;
    int result;
    do {
        result = ::fallocate(fd, 0, 0, size);
    } while (result != 0 && errno == EINTR);
    if (result == 0) return Reservation::Made;
    return errno == EOPNOTSUPP || errno == ENOSYS ? Reservation::NotSupported : Reservation::Failed;
}

// Overwrites an existing regular file with bytes (see writeRegularFile). The file at path, whose
// links were followed already, must be the one that expected names.
Result<Done> overwriteInPlace(const QString &path, const FileIdentity &expected,
                              QByteArrayView bytes) {
    bool readable = false;
    FileDescriptor file(openForOverwrite(path, readable));
    if (file.get() < 0) return writeErrorFromErrno(errno);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return writeErrorFromErrno(errno);
    if (!S_ISREG(status.st_mode)) return FileError{FileError::Kind::NotRegularFile, {}};
    if (identityOf(status) != expected) return FileError{FileError::Kind::Replaced, {}};
    const qint64 oldSize = status.st_size;

    // Every check comes before anything touches the file. Putting the old bytes back writes as
    // far as the old length, so that must be within the size limit too.
    if (!fileSizeLimitAllows(bytes.size()) || (readable && !fileSizeLimitAllows(oldSize)))
        return FileError{FileError::Kind::SizeLimit, {}};

    std::optional<QByteArray> old;
    if (readable) {
        old = readAll(file.get(), oldSize);
        if (!old) return writeErrorFromErrno(errno);
    }
    switch (reserve(file.get(), bytes.size())) {
        case Reservation::Made:
            break;
        case Reservation::NotSupported:
            // Without its old bytes a file must not be touched unless no write can fail.
            if (!old) return FileError{FileError::Kind::UnsafeInPlace, {}};
            break;
        case Reservation::Failed: {
            const int error = errno;
            // A file system that gave part of the space may have grown the file by it.
            (void)::ftruncate(file.get(), oldSize);
            return writeErrorFromErrno(error);
        }
    }

    Result<Done> written = writeAllAt(file.get(), bytes, 0);
    if (!failed(written) && bytes.size() < oldSize && ::ftruncate(file.get(), bytes.size()) != 0)
        written = writeErrorFromErrno(errno);
    if (!failed(written)) written = syncData(file.get());
    if (failed(written)) {
        if (old) (void)writeAllAt(file.get(), *old, 0);
        (void)::ftruncate(file.get(), oldSize);
        // Put back as it was, time stamp included, so that build tools see nothing new.
        const timespec times[2] = {status.st_atim, status.st_mtim};
        (void)::futimens(file.get(), times);
        return written;
    }
    return file.close();
}

// The file that path leads to, links followed, as an absolute path. A chain of links that does
// not end is left as it is, and opening it says so.
QString followLinks(const QString &path) {
    QFileInfo file(path);
    for (int depth = 0; depth < 40 && file.isSymLink(); ++depth) file.setFile(file.symLinkTarget());
    return file.absoluteFilePath();
}

// The file to be written, and what it is now, when there is one.
struct Target {
    QString path;  // links followed
    FileDescriptor file{-1};
    struct stat status {};

    bool exists() const { return file.get() >= 0; }
};

// An existing target must take writing as it is: a read-only file stays unchanged even where its
// folder would let it be replaced. Opening it for writing, without truncating, asks the system
// exactly that, with the caller's own rights; O_NONBLOCK keeps a FIFO without a reader from
// blocking. Only regular files are replaced: a device or FIFO must never be swapped for a file.
Result<Target> openTarget(const QString &path) {
    const auto open = [](const QString &name) {
        return FileDescriptor(::open(QFile::encodeName(name).constData(),
                                     O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
    };
    // Mostly the path is no link, which opening it without following one tells at once; only a
    // link (ELOOP, EMLINK on some systems) is looked at and followed.
    Target target;
    target.path = QFileInfo(path).absoluteFilePath();
    target.file = open(target.path);
    if (!target.exists() && (errno == ELOOP || errno == EMLINK)) {
        target.path = followLinks(path);
        target.file = open(target.path);
    }
    if (!target.exists()) {
        if (errno == ENOENT) return target;  // a new file; its folder is checked on creation
        return writeErrorFromErrno(errno);
    }
    if (::fstat(target.file.get(), &target.status) != 0) return writeErrorFromErrno(errno);
    if (!S_ISREG(target.status.st_mode)) return FileError{FileError::Kind::NotRegularFile, {}};
    return target;
}

// Whether a new file can be made in the folder of path, asked with the caller's effective rights.
bool folderTakesNewFiles(const QString &path) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                       W_OK | X_OK, AT_EACCESS) == 0;
}

// A new file in a folder, which is removed again unless it took another one's place.
class TemporaryFile {
public:
    explicit TemporaryFile(int folder) : folder_(folder) {}
    ~TemporaryFile() {
        if (!name_.isEmpty() && !kept_) ::unlinkat(folder_, name_.constData(), 0);
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    // Makes it, named after the file that it is to replace, and says why that failed.
    Result<Done> create(const QByteArray &target, mode_t mode) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = temporaryFileName(target);
            file_ = FileDescriptor(::openat(folder_, name.constData(),
                                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                                            mode));
            if (file_.get() >= 0) {
                name_ = name;
                return Done{};
            }
            if (errno != EEXIST) return writeErrorFromErrno(errno);
        }
        return writeErrorFromErrno(EEXIST);
    }
    int get() const { return file_.get(); }
    Result<Done> close() { return file_.close(); }
    // Puts it in target's place, and says why that failed.
    Result<Done> replace(const QByteArray &target) {
        if (::renameat(folder_, name_.constData(), folder_, target.constData()) != 0)
            return writeErrorFromErrno(errno);
        kept_ = true;
        return Done{};
    }
    // Removes it again, before the target is written in place instead.
    void remove() {
        file_ = FileDescriptor(-1);
        if (!name_.isEmpty()) ::unlinkat(folder_, name_.constData(), 0);
        name_.clear();
    }

private:
    int folder_;
    FileDescriptor file_{-1};
    QByteArray name_;
    bool kept_ = false;
};

// Opens a folder so that files can be made and renamed in it and, where the caller may read it,
// so that it can be synced too.
int openFolder(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != EACCES) return fd;
    return ::open(name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// Makes what a rename in the folder open as fd did survive a power cut, and says why that failed.
// A folder opened for its path alone cannot be synced (EBADF), nor can a folder on a file system
// that does not sync folders (EINVAL).
Result<Done> syncOpenFolder(int fd) {
    if (::fsync(fd) == 0 || errno == EBADF || errno == EINVAL) return Done{};
    return writeErrorFromErrno(errno);
}

// Writes an existing target in place, where a new file cannot take its place as it was; a file
// whose other names must not change cannot be written so.
WriteResult writeInPlace(const Target &target, QByteArrayView bytes, const TargetRule &rule) {
    if (rule.nameAlone && target.status.st_nlink > 1)
        return FileError{FileError::Kind::LinkedElsewhere, {}};
    const Result<Done> written = overwriteInPlace(target.path, identityOf(target.status), bytes);
    if (const auto *error = std::get_if<FileError>(&written)) return *error;
    return Written{};
}

}  // namespace

// A new file beside the target, written, on its way to the disk.
struct StartedWrite::Steps {
    Steps(Target target, QByteArrayView bytes, const TargetRule &rule, FileDescriptor folder)
        : target(std::move(target)),
          bytes(bytes),
          rule(rule),
          folder(std::move(folder)),
          file(this->folder.get()) {}

    Target target;
    QByteArrayView bytes;
    TargetRule rule;
    QString folderPath;
    QByteArray name;
    FileDescriptor folder;
    TemporaryFile file;  // removed with the steps unless it took the target's place
    Written written;
};

void StartedWrite::EndSteps::operator()(Steps *steps) const {
    delete steps;
}

namespace {

// Writes a new file beside the target, and starts its bytes on their way to the disk; the rest of
// the replacement is finishReplacing's.
StartedWrite startReplacing(Target target, QByteArrayView bytes, const TargetRule &rule) {
    const QFileInfo info(target.path);
    FileDescriptor folder(openFolder(info.absolutePath()));
    if (folder.get() < 0) return StartedWrite(writeErrorFromErrno(errno));
    auto steps =
        std::make_unique<StartedWrite::Steps>(std::move(target), bytes, rule, std::move(folder));
    steps->folderPath = info.absolutePath();
    steps->name = QFile::encodeName(info.fileName());
    const Target &old = steps->target;
    TemporaryFile &file = steps->file;
    // Until it has the old file's rights, a new file is its writer's alone.
    if (const auto created = file.create(steps->name, old.exists() ? 0600 : 0666); failed(created))
        return StartedWrite(std::get<FileError>(created));

    if (old.exists()) {
        // Belonging to someone else than the old file did, the old file's owner might lose it,
        // and another group gain it.
        if (failed(takeOwner(file.get(), old.status))) {
            file.remove();
            return StartedWrite(writeInPlace(old, bytes, rule));
        }
        auto copied = copyAttributes(old.file.get(), old.status, file.get());
        if (const auto *error = std::get_if<FileError>(&copied)) return StartedWrite(*error);
        steps->written.lostAttributes = std::get<QList<LostAttribute>>(std::move(copied));
    }

    const Result<Done> stored = writeAllAt(file.get(), bytes, 0);
    if (const auto *error = std::get_if<FileError>(&stored)) return StartedWrite(*error);
    // Only a hint: the sync that finishing makes waits for the bytes and reports what failed.
    ::sync_file_range(file.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    return StartedWrite(steps.release());
}

// Renames the new file over the target once every byte is on the disk, each step checked, the
// last write and the close included.
WriteResult finishReplacing(StartedWrite::Steps &steps) {
    const Target &target = steps.target;
    TemporaryFile &file = steps.file;
    // Some file systems report a full disk only when the data reaches it, some only on close.
    Result<Done> stored = syncData(file.get());
    if (!failed(stored)) stored = file.close();
    if (const auto *error = std::get_if<FileError>(&stored)) return *error;

    if (steps.rule.readAs) {
        struct stat now {};
        if (::fstatat(steps.folder.get(), steps.name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
            identityOf(now) != *steps.rule.readAs)
            return FileError{FileError::Kind::Replaced, {}};
    }
    const Result<Done> renamed = file.replace(steps.name);
    if (const auto *error = std::get_if<FileError>(&renamed)) {
        // A file mounted in its own place cannot be renamed over (EBUSY), only written.
        if (error->kind != FileError::Kind::InUse || !target.exists()) return *error;
        file.remove();
        return writeInPlace(target, steps.bytes, steps.rule);
    }
    // Renamed, the new file is the target already: a folder that did not reach the disk is
    // reported all the same, since the save is not kept until it does.
    if (!steps.rule.syncFolder) {
        steps.written.unsyncedFolder = steps.folderPath;
        return steps.written;
    }
    const Result<Done> synced = syncOpenFolder(steps.folder.get());
    if (const auto *error = std::get_if<FileError>(&synced)) return *error;
    return steps.written;
}

// Reads what an open descriptor holds from its position to its end, a pipe's included; more than
// maxSize bytes are refused as too large. expectedSize is how much is likely to come.
Result<QByteArray> readToEnd(int fd, qint64 expectedSize, qint64 maxSize) {
    // One spare byte lets the final read that reports the end happen without growing.
    QByteArray content(qMin(expectedSize, maxSize) + 1, Qt::Uninitialized);
    qint64 used = 0;
    for (;;) {
        if (used == content.size()) {
            if (used > maxSize) return FileError{FileError::Kind::TooLarge, {}};
            content.resize(used + qMax<qint64>(used / 2, 64 * 1024));
        }
        const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return readErrorFromErrno(errno);
        }
        if (n == 0) break;
        used += n;
    }
    if (used > maxSize) return FileError{FileError::Kind::TooLarge, {}};
    content.truncate(used);
    return content;
}

}  // namespace

Result<Done> syncFolder(const QString &path) {
    const FileDescriptor folder(openFolder(path));
    if (folder.get() < 0) return writeErrorFromErrno(errno);
    return syncOpenFolder(folder.get());
}

StartedWrite startWrite(const QString &path, QByteArrayView bytes, const TargetRule &rule) {
    if (path.isEmpty()) return StartedWrite(FileError{FileError::Kind::FolderMissing, {}});
    auto opened = openTarget(path);
    if (const auto *error = std::get_if<FileError>(&opened)) return StartedWrite(*error);
    Target &target = std::get<Target>(opened);
    if (rule.readAs && (!target.exists() || identityOf(target.status) != *rule.readAs))
        return StartedWrite(FileError{FileError::Kind::Replaced, {}});

    // A file of several names is written through them all, unless this name is to go alone.
    const bool linked = target.exists() && target.status.st_nlink > 1;
    if (!target.exists() || (folderTakesNewFiles(target.path) && (!linked || rule.nameAlone)))
        return startReplacing(std::move(target), bytes, rule);
    return StartedWrite(writeInPlace(target, bytes, rule));
}

Result<QByteArray> readRegularFile(const QString &path, qint64 maxSize) {
    struct stat status {};
    auto opened = openRegularFile(path, maxSize, status);
    if (auto *error = std::get_if<FileError>(&opened)) return *error;
    // The file may change while it is read; read until the end, whatever its size is now.
    return readToEnd(std::get<FileDescriptor>(opened).get(), status.st_size, maxSize);
}

Result<FileAsRead> readResolvedFile(const QString &path, qint64 maxSize) {
    struct stat status {};
    auto opened = openRegularFile(path, maxSize, status);
    if (auto *error = std::get_if<FileError>(&opened)) return *error;
    const int fd = std::get<FileDescriptor>(opened).get();
    const auto resolved = resolvedPathOf(fd, path, status);
    if (!resolved) return FileError{FileError::Kind::Replaced, {}};
    auto bytes = readToEnd(fd, status.st_size, maxSize);
    if (auto *error = std::get_if<FileError>(&bytes)) return *error;
    return FileAsRead{std::get<QByteArray>(std::move(bytes)), *resolved, identityOf(status)};
}

struct FileToCopy::Opened {
    FileDescriptor file;
    struct stat status;  // as it was opened
};

void FileToCopy::End::operator()(Opened *opened) const {
    delete opened;
}

Result<FileToCopy> openToCopy(const QString &path) {
    struct stat status {};
    auto opened = openRegularFile(path, std::numeric_limits<qint64>::max(), status);
    if (auto *error = std::get_if<FileError>(&opened)) return *error;
    FileDescriptor &file = std::get<FileDescriptor>(opened);
    const auto resolved = resolvedPathOf(file.get(), path, status);
    if (!resolved) return FileError{FileError::Kind::Replaced, {}};
    return FileToCopy(new FileToCopy::Opened{std::move(file), status}, *resolved);
}

Result<Done> copyToNewFile(const FileToCopy &source, const QString &target) {
    const int from = source.opened_->file.get();
    const struct stat &status = source.opened_->status;
    const QFileInfo info(QFileInfo(target).absoluteFilePath());
    const FileDescriptor folder(openFolder(info.absolutePath()));
    if (folder.get() < 0) return writeErrorFromErrno(errno);
    TemporaryFile file(folder.get());
    const QByteArray name = QFile::encodeName(info.fileName());
    if (const auto created = file.create(name, status.st_mode & 0777); failed(created))
        return created;

    // A piece at a time, so that a film in a site takes no more memory than a page; a small file
    // takes a piece of its own size, and its end is told by the read after it.
    QByteArray piece(qBound(qint64{1}, qint64(status.st_size) + 1, qint64{1} << 20),
                     Qt::Uninitialized);
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(from, piece.data(), size_t(piece.size()), offset);
        if (got < 0) {
            if (errno == EINTR) continue;
            return readErrorFromErrno(errno);
        }
        if (got == 0) break;
        const auto stored = writeAllAt(file.get(), QByteArrayView(piece.data(), got), offset);
        if (failed(stored)) return stored;
        offset += got;
    }
    // The time is what a person sorts a folder by, and what upload tools compare; a file system
    // that refuses to take it (some network shares) still gets the file.
    const timespec times[2] = {{0, UTIME_OMIT}, status.st_mtim};
    ::futimens(file.get(), times);

    Result<Done> stored = syncData(file.get());
    if (!failed(stored)) stored = file.close();
    if (!failed(stored)) stored = file.replace(name);
    if (!failed(stored)) stored = syncOpenFolder(folder.get());
    return stored;
}

Result<QByteArray> readStandardInput(qint64 maxSize) {
    // Standard input redirected from a file can be read in one go.
    struct stat status {};
    qint64 expected = 0;
    if (::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode))
        expected = qMax<qint64>(status.st_size - ::lseek(STDIN_FILENO, 0, SEEK_CUR), 0);
    return readToEnd(STDIN_FILENO, expected, maxSize);
}

Result<Done> writeStandardOutput(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), static_cast<size_t>(bytes.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            return writeErrorFromErrno(errno);
        }
        bytes = bytes.sliced(n);
    }
    return Done{};
}

void ignoreFileSizeSignal() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

WriteResult StartedWrite::finish(Steps &steps) {
    return finishReplacing(steps);
}
