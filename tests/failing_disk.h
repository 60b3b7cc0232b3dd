#pragma once

#include <QStringList>
#include <functional>
#include <mutex>
#include <optional>

#include "core/files/file_system.h"

// A disk that fails on demand: the system's own primitives, except that one call fails with the
// fault a test names, as a disk that fills up, breaks down or refuses the caller does. Calls are
// counted from 1 among those that can fail (whatever answers a Result); the others go through
// untouched. A write that fails leaves the first half of its bytes written, as a disk that fills
// up on the way does. It also answers for targets that a test cannot make on every system: a
// folder that takes no new file, and a file that cannot be replaced, only written in place (a file
// mounted on its own).
class FailingDisk final : public FileSystem {
public:
    enum class Fault { DiskFull, DeviceError, NoRights, NameTaken };

    explicit FailingDisk(FileSystem &system = systemFileSystem()) : system_(system) {}

    // Fails the call-th call with fault; 0 fails none.
    void failCall(int call, Fault fault) {
        failingCall_ = call;
        fault_ = fault;
    }
    void closeFolders() { foldersClosed_ = true; }
    void refuseReplacing() { replacingRefused_ = true; }

    // The calls so far, by the name of their primitive, in order.
    QStringList calls() const;
    // What the failing call answered, once it was made.
    std::optional<FileError> failure() const;

    Result<OpenedFile> openToRead(const QString &path) override;
    Result<QString> resolvedPath(const OpenedFile &file, const QString &path) override;
    Result<qint64> read(const FileHandle &file, char *data, qint64 size,
                        std::optional<qint64> offset) override;
    Result<Done> write(const FileHandle &file, QByteArrayView bytes,
                       std::optional<qint64> offset) override;
    Result<Done> syncData(const FileHandle &file) override;
    void startSync(const FileHandle &file) override { system_.startSync(file); }
    Result<Done> close(FileHandle file) override;
    Result<SaveTarget> openTarget(const QString &path) override;
    bool folderTakesNewFiles(const SaveTarget &target) override {
        return !foldersClosed_ && system_.folderTakesNewFiles(target);
    }
    Result<Folder> openFolder(const QString &path) override;
    Result<std::optional<FileHandle>> createNew(const Folder &folder, const QString &name,
                                                NewFileRights rights,
                                                const FileFacts *like) override;
    Result<Done> takeOwner(const FileHandle &file, const SaveTarget &target) override;
    Result<QList<LostAttribute>> keepRights(const FileHandle &file,
                                            const SaveTarget &target) override;
    Result<Done> keepLooks(const FileHandle &file, const OpenedFile &source) override;
    Result<FileFacts> lookAt(const Folder &folder, const QString &name) override;
    Result<Replacement> replace(const Folder &folder, const QString &name,
                                const QString &target) override;
    Result<Done> rename(const Folder &folder, const QString &name, const QString &target) override;
    void remove(const Folder &folder, const QString &name) override {
        system_.remove(folder, name);
    }
    Result<Done> syncFolder(const Folder &folder) override;
    Result<Overwriting> openToOverwrite(const QString &path) override;
    Result<FileFacts> factsOf(const FileHandle &file) override;
    bool sizeLimitAllows(qint64 length) override { return system_.sizeLimitAllows(length); }
    Result<Reservation> reserve(const FileHandle &file, qint64 oldSize, qint64 size) override;
    Result<Done> setLength(const FileHandle &file, qint64 length) override;
    Result<Done> putTimesBack(const FileHandle &file, const FileFacts &facts) override;

private:
    // Counts a call of primitive, and says the fault it is to fail with, if it is the one.
    std::optional<Fault> fails(const char *primitive);
    // The error a fault gives, for a primitive that reads or one that writes.
    FileError errorOf(Fault fault, bool reading);
    // Counts a call, and answers its error if it is the one to fail.
    std::optional<FileError> failsWith(const char *primitive, bool reading);

    FileSystem &system_;
    mutable std::mutex mutex_;  // the counts: pages are stored on threads of their own
    QStringList calls_;
    int failingCall_ = 0;
    Fault fault_ = Fault::DiskFull;
    std::optional<FileError> failure_;
    bool foldersClosed_ = false;
    bool replacingRefused_ = false;
};

// The name of a fault, for the rows.
const char *faultName(FailingDisk::Fault fault);

// Whether a save goes another way around a failing call, as it is made to: a temporary name that
// is taken is drawn anew, and an existing target whose folder takes no new file, or whose new file
// could not be given its owner, is written in place. Every other failure reaches the user.
bool routedAround(const QString &primitive, FailingDisk::Fault fault, bool targetExists);

// The table of a test of save paths: the columns "path", "call" (the one that fails, from 1; 0
// for none) and "fault", ints. For each path, cleanRun runs it once on a disk that does not fail
// and answers its calls; a row is added for that run, and one for each call and each fault that
// call can meet (a name is taken only where one is made), named "<path>: call 3 of 12
// (createNew), full disk". Answers the calls of each clean run.
QList<QStringList> addFaultTable(const QList<const char *> &paths,
                                 const std::function<QStringList(int path)> &cleanRun);
