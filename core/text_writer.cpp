#include "core/text_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

#include "core/file_descriptor.h"
#include "core/file_encoding.h"
#include "core/in_place_writer.h"
#include "core/utf8_check.h"

namespace {

// An existing target must take writing as it is: a read-only file stays unchanged even where its
// folder would let it be replaced. Opening it for writing, without truncating, asks the system
// exactly that, through links and with the caller's own rights; O_NONBLOCK keeps a FIFO without
// a reader from blocking. Only regular files are replaced: a device or FIFO must never be swapped
// for a file. Answers whether the target exists, or why it cannot be written.
std::variant<bool, FileError> checkTarget(const QString &path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return false;  // a new file; its folder is checked on creation
        return writeErrorFromErrno(errno);
    }
    FileDescriptor target(fd);
    struct stat status {};
    if (::fstat(target.get(), &status) != 0) return writeErrorFromErrno(errno);
    if (!S_ISREG(status.st_mode)) return FileError{FileError::Kind::NotRegularFile, {}};
    return true;
}

// Whether a new file can be made in the folder that the file at path, links followed, lies in:
// the temporary file that replaces it goes there. Asked with the caller's effective rights.
bool folderTakesNewFiles(const QString &path) {
    QFileInfo file(path);
    for (int depth = 0; depth < 40 && file.isSymLink(); ++depth) file.setFile(file.symLinkTarget());
    return ::faccessat(AT_FDCWD, QFile::encodeName(file.absolutePath()).constData(), W_OK | X_OK,
                       AT_EACCESS) == 0;
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
std::optional<FileError> overwriteEncoded(const QString &path, QByteArrayView document,
                                          const FileEncoding &encoding) {
    if (encoding == FileEncoding::Utf8) return overwriteInPlace(path, document);
    QByteArray bytes;
    const EncodeResult result = encodeDocument(document, encoding, [&](QByteArrayView piece) {
        bytes.append(piece);
        return true;
    });
    if (!result) return encodeError(result, document, encoding);
    return overwriteInPlace(path, bytes);
}

// QSaveFile tells what failed as text only. Right after its open or commit has failed, errno is
// still that of the failing call: all that follows it there is freeing memory and, after a failed
// rename, removing the temporary file, neither of which sets errno when it succeeds.
FileError saveFileError(const QSaveFile &file, int error) {
    if (error != 0) return writeErrorFromErrno(error);
    return {FileError::Kind::Other, file.errorString()};
}

// QSaveFile gives the new file the permission bits of the one it replaces, but it belongs to
// whoever writes it: root compressing a web server's pages would take them from their owner, who
// might then no longer read them. So the new file gets the old one's owner and group where the
// caller may give them (root may), and its mode again, since a change of owner clears the
// set-user-ID and set-group-ID bits.
void keepOwner(const QString &path, int fd) {
    struct stat target {};
    struct stat written {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0 || ::fstat(fd, &written) != 0 ||
        (written.st_uid == target.st_uid && written.st_gid == target.st_gid))
        return;
    if (::fchown(fd, target.st_uid, target.st_gid) == 0) (void)::fchmod(fd, target.st_mode & 07777);
}

// Writes a new file beside the target and renames it over the target once every byte is on the
// disk. The bytes go to the file through checked system calls of our own, none of them held back
// in a buffer of QSaveFile's, whose commit() would rename the file even when its last write failed.
std::optional<FileError> replaceAtomically(const QString &path, QByteArrayView document,
                                           const FileEncoding &encoding) {
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return saveFileError(file, errno);
    keepOwner(path, file.handle());

    int error = 0;
    off_t offset = 0;
    const EncodeResult written = encodeDocument(document, encoding, [&](QByteArrayView piece) {
        error = writeAllAt(file.handle(), piece, offset);
        offset += piece.size();
        return error == 0;
    });
    // Some file systems report a full disk only when the data reaches it.
    if (written && ::fdatasync(file.handle()) != 0 && errno != EINVAL) error = errno;
    if (!written || error != 0) {
        file.cancelWriting();  // the temporary file is removed, the target never touched
        if (error == 0) return encodeError(written, document, encoding);
        return writeErrorFromErrno(error);
    }
    errno = 0;
    if (!file.commit()) return saveFileError(file, errno);
    return std::nullopt;
}

}  // namespace

std::optional<FileError> TextWriter::write(const QString &path, QByteArrayView document,
                                           const FileEncoding &encoding) {
    if (path.isEmpty()) return FileError{FileError::Kind::FolderMissing, {}};
    const auto target = checkTarget(path);
    if (const auto *error = std::get_if<FileError>(&target)) return *error;
    if (std::get<bool>(target) && !folderTakesNewFiles(path))
        return overwriteEncoded(path, document, encoding);
    return replaceAtomically(path, document, encoding);
}

std::optional<FileError> TextWriter::writeBytes(const QString &path, QByteArrayView bytes) {
    // A UTF-8 document is stored as it is, byte for byte, whether it is valid UTF-8 or not.
    return write(path, bytes, FileEncoding::Utf8);
}
