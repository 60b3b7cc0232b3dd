#include "core/text_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "core/file_encoding.h"
#include "core/in_place_writer.h"
#include "core/temporary_file_name.h"
#include "core/utf8_check.h"

namespace {

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
std::variant<Target, FileError> openTarget(const QString &path) {
    Target target;
    target.path = followLinks(path);
    target.file = FileDescriptor(::open(QFile::encodeName(target.path).constData(),
                                        O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW));
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

// The line that offset lies on, counted from 1 the way the text area shows lines: CR LF, CR and
// LF each end one.
qsizetype lineOf(QByteArrayView document, qsizetype offset) {
    qsizetype line = 1;
    for (qsizetype i = 0; i < offset; ++i) {
        if (document[i] == '\r') {
            ++line;
            if (i + 1 < offset && document[i + 1] == '\n') ++i;
        } else if (document[i] == '\n') {
            ++line;
        }
    }
    return line;
}

// Why an encoding that did not run to its end failed.
FileError encodeError(const EncodeResult &result, QByteArrayView document,
                      const FileEncoding &encoding) {
    if (result.status != EncodeResult::Status::Unencodable)
        return FileError{FileError::Kind::NoConverter, {}};
    const qsizetype at = result.unencodableAt;
    const int length = utf8SequenceLength(document.data() + at, document.data() + document.size());
    FileError error{FileError::Kind::Unencodable, {}};
    error.character = QString::fromUtf8(document.sliced(at, length));
    error.line = lineOf(document, at);
    error.encoding = QString::fromLatin1(encoding.name());
    return error;
}

// Where the file is written in place its new length must be known before the first byte.
WriteResult overwriteEncoded(const Target &target, QByteArrayView document,
                             const FileEncoding &encoding) {
    const FileIdentity identity = FileIdentity::of(target.status);
    std::optional<FileError> error;
    if (encoding == FileEncoding::Utf8) {
        error = overwriteInPlace(target.path, identity, document);
    } else {
        QByteArray bytes;
        const EncodeResult result = encodeDocument(document, encoding, [&](QByteArrayView piece) {
            bytes.append(piece);
            return true;
        });
        if (!result) return encodeError(result, document, encoding);
        error = overwriteInPlace(target.path, identity, bytes);
    }
    if (error) return *error;
    return Written{};
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

    // Makes it, named after the file that it is to replace; 0 or the errno of the failure.
    int create(const QByteArray &target, mode_t mode) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = temporaryFileName(target);
            file_ = FileDescriptor(::openat(folder_, name.constData(),
                                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                                            mode));
            if (file_.get() >= 0) {
                name_ = name;
                return 0;
            }
            if (errno != EEXIST) return errno;
        }
        return EEXIST;
    }
    int get() const { return file_.get(); }
    int close() { return file_.close(); }
    // Puts it in target's place; 0 or the errno of the failure.
    int replace(const QByteArray &target) {
        if (::renameat(folder_, name_.constData(), folder_, target.constData()) != 0) return errno;
        kept_ = true;
        return 0;
    }

private:
    int folder_;
    FileDescriptor file_{-1};
    QByteArray name_;
    bool kept_ = false;
};

// Where a new file cannot take the target's place as it was, the target is written in place.
struct InPlaceInstead {};
using Replacement = std::variant<Written, FileError, InPlaceInstead>;

// Writes a new file beside the target and renames it over the target once every byte is on the
// disk, each step checked, the last write and the close included.
Replacement replaceAtomically(const Target &target, QByteArrayView document,
                              const FileEncoding &encoding, const TargetRule &rule) {
    const QFileInfo info(target.path);
    const FileDescriptor folder(::open(QFile::encodeName(info.absolutePath()).constData(),
                                       O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) return writeErrorFromErrno(errno);
    const QByteArray name = QFile::encodeName(info.fileName());
    TemporaryFile file(folder.get());
    // Until it has the old file's rights, a new file is its writer's alone.
    if (const int error = file.create(name, target.exists() ? 0600 : 0666))
        return writeErrorFromErrno(error);

    Written written;
    if (target.exists()) {
        // Belonging to someone else than the old file did, the old file's owner might lose it,
        // and another group gain it.
        if (!takeOwner(file.get(), target.status)) return InPlaceInstead{};
        auto copied = copyAttributes(target.file.get(), target.status, file.get());
        if (const auto *error = std::get_if<FileError>(&copied)) return *error;
        written.lostAttributes = std::get<QList<LostAttribute>>(std::move(copied));
    }

    int error = 0;
    off_t offset = 0;
    const EncodeResult encoded = encodeDocument(document, encoding, [&](QByteArrayView piece) {
        error = writeAllAt(file.get(), piece, offset);
        offset += piece.size();
        return error == 0;
    });
    // Some file systems report a full disk only when the data reaches it, some only on close.
    if (encoded && error == 0 && ::fdatasync(file.get()) != 0 && errno != EINVAL) error = errno;
    if (encoded && error == 0) error = file.close();
    if (!encoded && error == 0) return encodeError(encoded, document, encoding);
    if (error != 0) return writeErrorFromErrno(error);

    if (rule.readAs) {
        struct stat now {};
        if (::fstatat(folder.get(), name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
            FileIdentity::of(now) != *rule.readAs)
            return FileError{FileError::Kind::Replaced, {}};
    }
    if (const int renameError = file.replace(name)) {
        // A file mounted in its own place cannot be renamed over, only written.
        if (renameError == EBUSY && target.exists()) return InPlaceInstead{};
        return writeErrorFromErrno(renameError);
    }
    return written;
}

WriteResult writeTo(const QString &path, QByteArrayView document, const FileEncoding &encoding,
                    const TargetRule &rule) {
    if (path.isEmpty()) return FileError{FileError::Kind::FolderMissing, {}};
    auto opened = openTarget(path);
    if (const auto *error = std::get_if<FileError>(&opened)) return *error;
    const Target &target = std::get<Target>(opened);
    if (rule.readAs && (!target.exists() || FileIdentity::of(target.status) != *rule.readAs))
        return FileError{FileError::Kind::Replaced, {}};

    // A file of several names is written through them all, unless this name is to go alone.
    const bool linked = target.exists() && target.status.st_nlink > 1;
    if (!target.exists() || (folderTakesNewFiles(target.path) && (!linked || rule.nameAlone))) {
        Replacement replaced = replaceAtomically(target, document, encoding, rule);
        if (auto *written = std::get_if<Written>(&replaced)) return std::move(*written);
        if (const auto *error = std::get_if<FileError>(&replaced)) return *error;
    }
    if (linked && rule.nameAlone) return FileError{FileError::Kind::LinkedElsewhere, {}};
    return overwriteEncoded(target, document, encoding);
}

}  // namespace

WriteResult TextWriter::write(const QString &path, QByteArrayView document,
                              const FileEncoding &encoding) {
    return writeTo(path, document, encoding, {});
}

WriteResult TextWriter::writeBytes(const QString &path, QByteArrayView bytes,
                                   const TargetRule &rule) {
    // A UTF-8 document is stored as it is, byte for byte, whether it is valid UTF-8 or not.
    return writeTo(path, bytes, FileEncoding::Utf8, rule);
}
