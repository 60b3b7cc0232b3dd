#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>
#include <utility>

#include "core/files/file_error.h"
#include "core/files/file_system.h"

// Page files: reading one, writing one atomically or in place, with the rights and attributes a
// new file takes over from the one it replaces, and copying other files. Every step is written
// here once, for every system, on the primitives of the file system in use (file_system.h).

// The largest page, in bytes, that is read or made. The text area's positions are int-based in
// places, so 2 GiB is a hard wall; half of it keeps well clear and still takes a file far larger
// than any real page.
inline constexpr qint64 kMaxDocumentSize = qint64{1} << 30;

// Reads the whole content of a regular file. Anything else (a folder, FIFO, device or socket) is
// refused without reading from it, so that a FIFO or /dev/zero cannot block or fill memory; so is
// a file of more than maxSize bytes.
Result<QByteArray> readRegularFile(const QString &path, qint64 maxSize);

// A file as it was read: its bytes, the path it lies at with every link resolved, taken from the
// open file itself, and which file it is.
struct FileAsRead {
    QByteArray bytes;
    QString resolvedPath;
    FileIdentity identity;
};

// Reads a file as readRegularFile does, and tells where it really lies.
Result<FileAsRead> readResolvedFile(const QString &path, qint64 maxSize);

// Reads standard input to its end, a pipe's included; more than maxSize bytes are refused as too
// large.
Result<QByteArray> readStandardInput(qint64 maxSize);

// Writes all of bytes to standard output.
Result<Done> writeStandardOutput(QByteArrayView bytes);

// What a save that succeeded could not keep of the file it replaced.
struct Written {
    QList<LostAttribute> lostAttributes;
    // The folder a new file took the target's place in, where the caller syncs it (syncFolder).
    QString unsyncedFolder;
};
using WriteResult = Result<Written>;

// What a caller that read the file before asks of its writing.
struct TargetRule {
    // Written only while the target is still this file, the one that was read.
    std::optional<FileIdentity> readAs;
    // A file with other names (hard links) is replaced under this name alone instead of being
    // written through all of them.
    bool nameAlone = false;
    // The folder a new file is renamed in is synced before the write counts as done. A caller that
    // writes many files may sync each folder once, after the last of them, instead.
    bool syncFolder = true;
};

// Stores bytes in a file, exactly as they are; nothing is added. A symbolic link is followed and
// stays a link. An existing file is replaced by a new one only once everything, the last byte
// included, is on the disk, and the folder is synced behind the rename, so that a save that
// reports success survives a power cut: on failure the file keeps its old content and no temporary
// file is left. The new file keeps the old one's owner, group, permission bits and extended
// attributes, its access control list among them.
//
// An existing file is written in place instead, where a new one could not take its place as it
// was: where its folder takes no new file, where the new file could not get its owner and group,
// where it has other names (which then all get the new bytes) and where it cannot be renamed over
// (a file mounted on its own). Nothing is written then unless the new bytes, and the old ones
// where they may have to be put back, fit within the process's file-size limit; the space for the
// new bytes is reserved before the first old byte is overwritten, and the old bytes are kept in
// memory and put back, time stamp included, if writing fails all the same. A file that may be
// written but not read is written in place only where the space could be reserved, since nothing
// of it could be put back. What this cannot cover: a crash or power cut in the middle; a
// copy-on-write file system where putting the old bytes back needs new space that is not there; a
// device that fails a write after the space for it was reserved, in a file that cannot be read.
//
// On Windows the new file takes the old one's place through ReplaceFileW, which carries its access
// control list over, and keeps whether it was hidden or a system file; a file marked read-only, a
// file another program holds open for itself, a name that Windows keeps for a device and a path
// beyond the longest it takes are refused before anything is made. Windows has no file-size limit,
// and a new file belongs to whoever saves it.
WriteResult writeRegularFile(const QString &path, QByteArrayView bytes,
                             const TargetRule &rule = {});

// A write as writeRegularFile makes it, in two steps, so that a caller writing many files can
// have the disk take many of them at once: startWrite does everything up to the wait for the new
// file's bytes to reach the disk, and starts their way there where the system lets it;
// finishWrite waits for them and puts the file in place, and answers what writeRegularFile would
// have, each failure charged to its own file. A write that needs no wait (in place, or failed) is
// done by startWrite already. bytes must stay where they are until the write is finished; a write
// never finished leaves no temporary file.
class StartedWrite {
public:
    struct Steps;  // how far the writer got, and what it holds to go on

    explicit StartedWrite(WriteResult done);
    explicit StartedWrite(std::unique_ptr<Steps> steps);
    StartedWrite(StartedWrite &&) noexcept;
    StartedWrite &operator=(StartedWrite &&) noexcept;
    ~StartedWrite();

private:
    friend WriteResult finishWrite(StartedWrite write);

    std::optional<WriteResult> done_;
    std::unique_ptr<Steps> steps_;
};

StartedWrite startWrite(const QString &path, QByteArrayView bytes, const TargetRule &rule = {});
WriteResult finishWrite(StartedWrite write);

// A regular file open to be copied, of any size. It is read as the file that was opened,
// whatever links are swapped after.
class FileToCopy {
public:
    FileToCopy(OpenedFile opened, QString resolvedPath)
        : opened_(std::move(opened)), resolvedPath_(std::move(resolvedPath)) {}
    // Where it lies, every link resolved, taken from the open file itself.
    const QString &resolvedPath() const { return resolvedPath_; }

private:
    friend Result<Done> copyToNewFile(const FileToCopy &source, const QString &target);

    OpenedFile opened_;  // and what opening it learned: its size, rights and time
    QString resolvedPath_;
};

// Opens a file as readRegularFile does, but with no limit on its size, to copy it.
Result<FileToCopy> openToCopy(const QString &path);

// Copies an open file to target, a name in a folder that this program is filling, as a file
// manager copies one: every byte, however many, read and written a piece at a time, and its
// modification time; on Linux its permission bits, less the umask, as cp gives them; on Windows
// whether it is hidden, a system file or left out of the search index. The copy takes its name
// only once all of it is on the disk, and the folder is synced behind it; on failure no
// temporary file is left. A file that already has the name is replaced.
Result<Done> copyToNewFile(const FileToCopy &source, const QString &target);

// Makes the renames in the folder at path survive a power cut, and says why that failed.
Result<Done> syncFolder(const QString &path);

// Makes writes past the process's file-size limit (ulimit -f) fail like any other failed write,
// instead of ending the program in the middle of a page. Both programs call it before they write
// any file.
void ignoreFileSizeSignal();

// A new name for a temporary file beside the file called name, unlikely to be taken: hidden, named
// after the file and the program, with random letters, and ending in .tmp. A long name is cut, at
// a character's end, so that the result stays within the longest name the file system takes.
QString temporaryFileName(const QString &name);

// Whether a file's name is one of those that writeRegularFile writes before they replace their
// target, such as ".index.html.zerediz-k3Xw9Q.tmp" beside index.html: hidden, named after the
// page and the program, and ending in .tmp, so that a person can tell what one is and no tool
// takes it for a page. Only a process that was killed leaves one behind.
bool isTemporaryFileName(const QString &name);
