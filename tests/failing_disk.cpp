#include "failing_disk.h"

#include <QTest>

QStringList FailingDisk::calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

std::optional<FileError> FailingDisk::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

std::optional<FailingDisk::Fault> FailingDisk::fails(const char *primitive) {
    const std::lock_guard lock(mutex_);
    calls_.append(QLatin1String(primitive));
    if (calls_.size() != failingCall_) return std::nullopt;
    return fault_;
}

FileError FailingDisk::errorOf(Fault fault, bool reading) {
    FileError error;
    switch (fault) {
        case Fault::DiskFull:
            error = {FileError::Kind::DiskFull, {}};
            break;
        case Fault::DeviceError:
            error = {FileError::Kind::DeviceError, {}};
            break;
        case Fault::NoRights:
            error = {
                reading ? FileError::Kind::NoReadPermission : FileError::Kind::NoWritePermission,
                {}};
            break;
        case Fault::NameTaken:
            error = {FileError::Kind::Other, QStringLiteral("EEXIST")};
            break;
    }
    const std::lock_guard lock(mutex_);
    failure_ = error;
    return error;
}

std::optional<FileError> FailingDisk::failsWith(const char *primitive, bool reading) {
    if (const auto fault = fails(primitive)) return errorOf(*fault, reading);
    return std::nullopt;
}

Result<OpenedFile> FailingDisk::openToRead(const QString &path) {
    if (const auto error = failsWith("openToRead", true)) return *error;
    return system_.openToRead(path);
}

Result<QString> FailingDisk::resolvedPath(const OpenedFile &file, const QString &path) {
    if (const auto error = failsWith("resolvedPath", true)) return *error;
    return system_.resolvedPath(file, path);
}

Result<qint64> FailingDisk::read(const FileHandle &file, char *data, qint64 size,
                                 std::optional<qint64> offset) {
    if (const auto error = failsWith("read", true)) return *error;
    return system_.read(file, data, size, offset);
}

Result<Done> FailingDisk::write(const FileHandle &file, QByteArrayView bytes,
                                std::optional<qint64> offset) {
    if (const auto error = failsWith("write", false)) {
        (void)system_.write(file, bytes.first(bytes.size() / 2), offset);
        return *error;
    }
    return system_.write(file, bytes, offset);
}

Result<Done> FailingDisk::syncData(const FileHandle &file) {
    if (const auto error = failsWith("syncData", false)) return *error;
    return system_.syncData(file);
}

// A close that fails has closed the file all the same, as the systems do.
Result<Done> FailingDisk::close(FileHandle file) {
    if (const auto error = failsWith("close", false)) {
        (void)system_.close(std::move(file));
        return *error;
    }
    return system_.close(std::move(file));
}

Result<SaveTarget> FailingDisk::openTarget(const QString &path) {
    if (const auto error = failsWith("openTarget", false)) return *error;
    return system_.openTarget(path);
}

Result<Folder> FailingDisk::openFolder(const QString &path) {
    if (const auto error = failsWith("openFolder", false)) return *error;
    return system_.openFolder(path);
}

Result<std::optional<FileHandle>> FailingDisk::createNew(const Folder &folder, const QString &name,
                                                         NewFileRights rights,
                                                         const FileFacts *like) {
    if (const auto fault = fails("createNew")) {
        if (*fault == Fault::NameTaken) return std::optional<FileHandle>();
        return errorOf(*fault, false);
    }
    return system_.createNew(folder, name, rights, like);
}

Result<Done> FailingDisk::takeOwner(const FileHandle &file, const SaveTarget &target) {
    if (const auto error = failsWith("takeOwner", false)) return *error;
    return system_.takeOwner(file, target);
}

Result<QList<LostAttribute>> FailingDisk::keepRights(const FileHandle &file,
                                                     const SaveTarget &target) {
    if (const auto error = failsWith("keepRights", false)) return *error;
    return system_.keepRights(file, target);
}

Result<Done> FailingDisk::keepLooks(const FileHandle &file, const OpenedFile &source) {
    if (const auto error = failsWith("keepLooks", false)) return *error;
    return system_.keepLooks(file, source);
}

Result<FileFacts> FailingDisk::lookAt(const Folder &folder, const QString &name) {
    if (const auto error = failsWith("lookAt", true)) return *error;
    return system_.lookAt(folder, name);
}

Result<Replacement> FailingDisk::replace(const Folder &folder, const QString &name,
                                         const QString &target) {
    if (const auto error = failsWith("replace", false)) return *error;
    if (replacingRefused_) return Replacement::OnlyInPlace;
    return system_.replace(folder, name, target);
}

Result<Done> FailingDisk::rename(const Folder &folder, const QString &name, const QString &target) {
    if (const auto error = failsWith("rename", false)) return *error;
    return system_.rename(folder, name, target);
}

Result<Done> FailingDisk::syncFolder(const Folder &folder) {
    if (const auto error = failsWith("syncFolder", false)) return *error;
    return system_.syncFolder(folder);
}

Result<FileSystem::Overwriting> FailingDisk::openToOverwrite(const QString &path) {
    if (const auto error = failsWith("openToOverwrite", false)) return *error;
    return system_.openToOverwrite(path);
}

Result<FileFacts> FailingDisk::factsOf(const FileHandle &file) {
    if (const auto error = failsWith("factsOf", false)) return *error;
    return system_.factsOf(file);
}

Result<Reservation> FailingDisk::reserve(const FileHandle &file, qint64 oldSize, qint64 size) {
    if (const auto error = failsWith("reserve", false)) return *error;
    return system_.reserve(file, oldSize, size);
}

Result<Done> FailingDisk::setLength(const FileHandle &file, qint64 length) {
    if (const auto error = failsWith("setLength", false)) return *error;
    return system_.setLength(file, length);
}

Result<Done> FailingDisk::putTimesBack(const FileHandle &file, const FileFacts &facts) {
    if (const auto error = failsWith("putTimesBack", false)) return *error;
    return system_.putTimesBack(file, facts);
}

const char *faultName(FailingDisk::Fault fault) {
    switch (fault) {
        case FailingDisk::Fault::DiskFull:
            return "full disk";
        case FailingDisk::Fault::DeviceError:
            return "input/output error";
        case FailingDisk::Fault::NoRights:
            return "no rights";
        case FailingDisk::Fault::NameTaken:
            return "a name taken";
    }
    return "";
}

bool routedAround(const QString &primitive, FailingDisk::Fault fault, bool targetExists) {
    using Fault = FailingDisk::Fault;
    if (primitive == u"createNew")
        return fault == Fault::NameTaken || (fault == Fault::NoRights && targetExists);
    return primitive == u"takeOwner";
}

QList<QStringList> addFaultTable(const QList<const char *> &paths,
                                 const std::function<QStringList(int path)> &cleanRun) {
    using Fault = FailingDisk::Fault;
    QTest::addColumn<int>("path");
    QTest::addColumn<int>("call");
    QTest::addColumn<int>("fault");
    QList<QStringList> cleanRuns;
    for (int path = 0; path < paths.size(); ++path) {
        const QStringList calls = cleanRun(path);
        cleanRuns.append(calls);
        QTest::addRow("%s: no failure", paths[path]) << path << 0 << 0;
        for (int call = 1; call <= calls.size(); ++call) {
            const QString &primitive = calls[call - 1];
            QList<Fault> faults{Fault::DiskFull, Fault::DeviceError, Fault::NoRights};
            if (primitive == u"createNew") faults.append(Fault::NameTaken);
            for (const Fault fault : faults)
                QTest::addRow("%s: call %d of %d (%s), %s", paths[path], call, int(calls.size()),
                              qPrintable(primitive), faultName(fault))
                    << path << call << int(fault);
        }
    }
    return cleanRuns;
}
