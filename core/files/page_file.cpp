#include "core/files/page_file.h"

#include <QRandomGenerator>
#include <atomic>
#include <limits>

namespace {

constexpr char kTemporaryMark[] = ".zerediz-";
constexpr char kTemporaryEnd[] = ".tmp";
constexpr int kRandomLetters = 6;
// Names are drawn anew while they are taken, up to this many times.
constexpr int kNameAttempts = 100;

// The program's mark, random letters and .tmp: what a temporary name has after its page's name.
QString temporaryNameSuffix() {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString random(kRandomLetters, Qt::Uninitialized);
    for (QChar &letter : random)
        letter =
            QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
    return QLatin1String(kTemporaryMark) + random + QLatin1String(kTemporaryEnd);
}

// Why a step failed; null where it did not.
template <typename T>
const FileError *errorOf(const Result<T> &result) {
    return std::get_if<FileError>(&result);
}

// Reads what an open file or stream holds from where it stands to its end; more than maxSize
// bytes are refused as too large. expectedSize is how much is likely to come.
Result<QByteArray> readToEnd(FileSystem &files, const FileHandle &file, qint64 expectedSize,
                             qint64 maxSize) {
    // One spare byte lets the final read that reports the end happen without growing.
    QByteArray content(qMin(expectedSize, maxSize) + 1, Qt::Uninitialized);
    qint64 used = 0;
    for (;;) {
        if (used == content.size()) {
            if (used > maxSize) return FileError{FileError::Kind::TooLarge, {}};
            content.resize(used + qMax<qint64>(used / 2, 64 * 1024));
        }
        const auto got =
            files.read(file, content.data() + used, content.size() - used, std::nullopt);
        if (const auto *error = errorOf(got)) return *error;
        if (std::get<qint64>(got) == 0) break;
        used += std::get<qint64>(got);
    }
    if (used > maxSize) return FileError{FileError::Kind::TooLarge, {}};
    content.truncate(used);
    return content;
}

// Opens a regular file of at most maxSize bytes for reading. Anything else is refused before a
// byte is read from it, so that a FIFO or /dev/zero cannot block or fill memory.
Result<OpenedFile> openRegularFile(FileSystem &files, const QString &path, qint64 maxSize) {
    if (path.isEmpty()) return FileError{FileError::Kind::NotFound, {}};
    auto opened = files.openToRead(path);
    if (const auto *error = errorOf(opened)) return *error;
    const FileFacts &facts = std::get<OpenedFile>(opened).facts;
    if (facts.kind == FileFacts::Kind::Folder) return FileError{FileError::Kind::IsDirectory, {}};
    if (facts.kind != FileFacts::Kind::Regular)
        return FileError{FileError::Kind::NotRegularFile, {}};
    if (facts.size > maxSize) return FileError{FileError::Kind::TooLarge, {}};
    return opened;
}

// A new file in a folder, which is removed again unless it took another one's place.
class Temporary {
public:
    Temporary(FileSystem &files, const Folder &folder) : files_(files), folder_(folder) {}
    ~Temporary() { remove(); }
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;

    // Makes it, named after the file that it is to stand in for, under a name no file has.
    Result<Done> create(const QString &beside, NewFileRights rights, const FileFacts *like) {
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const QString name = temporaryFileName(beside);
            auto created = files_.createNew(folder_, name, rights, like);
            if (const auto *error = errorOf(created)) return *error;
            if (auto &file = std::get<std::optional<FileHandle>>(created)) {
                file_ = std::move(*file);
                name_ = name;
                return Done{};
            }
        }
        return takenNameError();
    }
    const FileHandle &file() const { return file_; }
    const QString &name() const { return name_; }
    // Closes it once it holds everything; some file systems report a failed write only here.
    Result<Done> close() { return files_.close(std::move(file_)); }
    // It took a file's place, or a new name: nothing to remove any more.
    void keep() { name_.clear(); }
    // Removes it, closed first, as a failed save or one that goes in place instead does.
    void remove() {
        file_ = FileHandle();
        if (!name_.isEmpty()) files_.remove(folder_, name_);
        name_.clear();
    }

private:
    FileSystem &files_;
    const Folder &folder_;
    FileHandle file_;
    QString name_;
};

// Reads the whole old content of a file open to be overwritten.
Result<QByteArray> readFromStart(FileSystem &files, const FileHandle &file, qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    qint64 used = 0;
    while (used < size) {
        const auto got = files.read(file, bytes.data() + used, size - used, used);
        if (const auto *error = errorOf(got)) return *error;
        if (std::get<qint64>(got) == 0) break;  // shorter than it was a moment ago
        used += std::get<qint64>(got);
    }
    bytes.truncate(used);
    return bytes;
}

// Overwrites an existing regular file with bytes (see writeRegularFile). The file at path, whose
// links were followed already, must be the one that expected names.
Result<Done> overwriteInPlace(FileSystem &files, const QString &path, const FileIdentity &expected,
                              QByteArrayView bytes) {
    auto opened = files.openToOverwrite(path);
    if (const auto *error = errorOf(opened)) return *error;
    FileSystem::Overwriting &overwriting = std::get<FileSystem::Overwriting>(opened);
    const FileHandle &file = overwriting.file;
    const auto known = files.factsOf(file);
    if (const auto *error = errorOf(known)) return *error;
    const FileFacts &facts = std::get<FileFacts>(known);
    if (facts.kind != FileFacts::Kind::Regular)
        return FileError{FileError::Kind::NotRegularFile, {}};
    if (facts.identity != expected) return FileError{FileError::Kind::Replaced, {}};
    const qint64 oldSize = facts.size;

    // Every check comes before anything touches the file. Putting the old bytes back writes as
    // far as the old length, so that must be within the size limit too.
    if (!files.sizeLimitAllows(bytes.size()) ||
        (overwriting.readable && !files.sizeLimitAllows(oldSize)))
        return FileError{FileError::Kind::SizeLimit, {}};

    std::optional<QByteArray> old;
    if (overwriting.readable) {
        auto read = readFromStart(files, file, oldSize);
        if (const auto *error = errorOf(read)) return *error;
        old = std::get<QByteArray>(std::move(read));
    }
    const auto reserved = files.reserve(file, oldSize, bytes.size());
    if (const auto *error = errorOf(reserved)) {
        // A file system that gave part of the space may have grown the file by it.
        (void)files.setLength(file, oldSize);
        return *error;
    }
    // Without its old bytes a file must not be touched unless no write can fail.
    if (std::get<Reservation>(reserved) == Reservation::NotSupported && !old)
        return FileError{FileError::Kind::UnsafeInPlace, {}};

    Result<Done> written = files.write(file, bytes, 0);
    if (!failed(written) && bytes.size() < oldSize) written = files.setLength(file, bytes.size());
    if (!failed(written)) written = files.syncData(file);
    if (failed(written)) {
        if (old) (void)files.write(file, *old, 0);
        (void)files.setLength(file, oldSize);
        // Put back as it was, time stamp included, so that build tools see nothing new.
        (void)files.putTimesBack(file, facts);
        return written;
    }
    return files.close(std::move(overwriting.file));
}

// Writes an existing target in place, where a new file cannot take its place as it was; a file
// whose other names must not change cannot be written so.
WriteResult writeInPlace(FileSystem &files, const SaveTarget &target, QByteArrayView bytes,
                         const TargetRule &rule) {
    if (rule.nameAlone && target.facts->names > 1)
        return FileError{FileError::Kind::LinkedElsewhere, {}};
    const Result<Done> written =
        overwriteInPlace(files, target.path, target.facts->identity, bytes);
    if (const auto *error = errorOf(written)) return *error;
    return Written{};
}

}  // namespace

// A new file beside the target, written, on its way to the disk.
struct StartedWrite::Steps {
    Steps(FileSystem &files, SaveTarget target, QByteArrayView bytes, const TargetRule &rule,
          Folder folder)
        : files(files),
          target(std::move(target)),
          bytes(bytes),
          rule(rule),
          folder(std::move(folder)),
          file(files, this->folder) {}

    FileSystem &files;
    SaveTarget target;
    QByteArrayView bytes;
    TargetRule rule;
    Folder folder;
    Temporary file;  // removed with the steps unless it took the target's place
    Written written;
};

StartedWrite::StartedWrite(WriteResult done) : done_(std::move(done)) {}
StartedWrite::StartedWrite(std::unique_ptr<Steps> steps) : steps_(std::move(steps)) {}
StartedWrite::StartedWrite(StartedWrite &&) noexcept = default;
StartedWrite &StartedWrite::operator=(StartedWrite &&) noexcept = default;
StartedWrite::~StartedWrite() = default;

namespace {

// Writes a new file beside the target, with the target's rights, and starts its bytes on their
// way to the disk; the rest of the replacement is finishReplacing's.
StartedWrite startReplacing(FileSystem &files, SaveTarget target, QByteArrayView bytes,
                            const TargetRule &rule) {
    auto opened = files.openFolder(target.folder);
    if (const auto *error = errorOf(opened)) return StartedWrite(*error);
    auto steps = std::make_unique<StartedWrite::Steps>(files, std::move(target), bytes, rule,
                                                       std::get<Folder>(std::move(opened)));
    const SaveTarget &old = steps->target;
    Temporary &file = steps->file;
    // Until it has the old file's rights, a new file is its writer's alone.
    const Result<Done> created =
        file.create(old.name, old.facts ? NewFileRights::OwnerOnly : NewFileRights::Usual, nullptr);
    if (const auto *error = errorOf(created)) {
        // A folder that takes no new file leaves writing the file itself.
        if (old.facts && error->kind == FileError::Kind::NoWritePermission)
            return StartedWrite(writeInPlace(files, old, bytes, rule));
        return StartedWrite(*error);
    }
    // Belonging to someone else than the old file did, the old file's owner might lose it, and
    // another group gain it.
    if (old.facts && failed(files.takeOwner(file.file(), old))) {
        file.remove();
        return StartedWrite(writeInPlace(files, old, bytes, rule));
    }
    auto kept = files.keepRights(file.file(), old);
    if (const auto *error = errorOf(kept)) return StartedWrite(*error);
    steps->written.lostAttributes = std::get<QList<LostAttribute>>(std::move(kept));

    const Result<Done> stored = files.write(file.file(), bytes, 0);
    if (const auto *error = errorOf(stored)) return StartedWrite(*error);
    // Only a hint: the sync that finishing makes waits for the bytes and reports what failed.
    files.startSync(file.file());
    return StartedWrite(std::move(steps));
}

// Puts the new file in the target's place once every byte is on the disk, each step checked, the
// last write and the close included, and syncs the folder behind it.
WriteResult finishReplacing(StartedWrite::Steps &steps) {
    FileSystem &files = steps.files;
    const SaveTarget &target = steps.target;
    Temporary &file = steps.file;
    // Some file systems report a full disk only when the data reaches it, some only on close.
    Result<Done> stored = files.syncData(file.file());
    if (!failed(stored)) stored = file.close();
    if (const auto *error = errorOf(stored)) return *error;

    if (!target.facts) {
        const Result<Done> renamed = files.rename(steps.folder, file.name(), target.name);
        if (const auto *error = errorOf(renamed)) return *error;
    } else {
        if (steps.rule.readAs) {
            const auto now = files.lookAt(steps.folder, target.name);
            if (const auto *error = errorOf(now); error && error->kind != FileError::Kind::NotFound)
                return *error;
            if (failed(now) || std::get<FileFacts>(now).identity != *steps.rule.readAs)
                return FileError{FileError::Kind::Replaced, {}};
        }
        const auto replaced = files.replace(steps.folder, file.name(), target.name);
        if (const auto *error = errorOf(replaced)) return *error;
        if (std::get<Replacement>(replaced) == Replacement::OnlyInPlace) {
            file.remove();
            return writeInPlace(files, target, steps.bytes, steps.rule);
        }
    }
    file.keep();
    // Renamed, the new file is the target already: a folder that did not reach the disk is
    // reported all the same, since the save is not kept until it does.
    if (!steps.rule.syncFolder) {
        steps.written.unsyncedFolder = steps.folder.path;
        return steps.written;
    }
    const Result<Done> synced = files.syncFolder(steps.folder);
    if (const auto *error = errorOf(synced)) return *error;
    return steps.written;
}

}  // namespace

WriteResult writeRegularFile(const QString &path, QByteArrayView bytes, const TargetRule &rule) {
    return finishWrite(startWrite(path, bytes, rule));
}

StartedWrite startWrite(const QString &path, QByteArrayView bytes, const TargetRule &rule) {
    FileSystem &files = fileSystem();
    if (path.isEmpty()) return StartedWrite(FileError{FileError::Kind::FolderMissing, {}});
    auto opened = files.openTarget(path);
    if (const auto *error = errorOf(opened)) return StartedWrite(*error);
    SaveTarget &target = std::get<SaveTarget>(opened);
    if (rule.readAs && (!target.facts || target.facts->identity != *rule.readAs))
        return StartedWrite(FileError{FileError::Kind::Replaced, {}});

    // A file of several names is written through them all, unless this name is to go alone; so
    // is a file whose folder takes no new file.
    const bool linked = target.facts && target.facts->names > 1;
    if (target.facts && ((linked && !rule.nameAlone) || !files.folderTakesNewFiles(target)))
        return StartedWrite(writeInPlace(files, target, bytes, rule));
    return startReplacing(files, std::move(target), bytes, rule);
}

WriteResult finishWrite(StartedWrite write) {
    if (write.done_) return *std::move(write.done_);
    return finishReplacing(*write.steps_);
}

Result<QByteArray> readRegularFile(const QString &path, qint64 maxSize) {
    FileSystem &files = fileSystem();
    auto opened = openRegularFile(files, path, maxSize);
    if (const auto *error = errorOf(opened)) return *error;
    const OpenedFile &file = std::get<OpenedFile>(opened);
    // The file may change while it is read; read until the end, whatever its size is now.
    return readToEnd(files, file.file, file.facts.size, maxSize);
}

Result<FileAsRead> readResolvedFile(const QString &path, qint64 maxSize) {
    FileSystem &files = fileSystem();
    auto opened = openRegularFile(files, path, maxSize);
    if (const auto *error = errorOf(opened)) return *error;
    const OpenedFile &file = std::get<OpenedFile>(opened);
    auto resolved = files.resolvedPath(file, path);
    if (const auto *error = errorOf(resolved)) return *error;
    auto bytes = readToEnd(files, file.file, file.facts.size, maxSize);
    if (const auto *error = errorOf(bytes)) return *error;
    return FileAsRead{std::get<QByteArray>(std::move(bytes)),
                      std::get<QString>(std::move(resolved)), file.facts.identity};
}

Result<QByteArray> readStandardInput(qint64 maxSize) {
    const StandardInput input = standardInput();
    return readToEnd(fileSystem(), input.file, input.expectedSize, maxSize);
}

Result<Done> writeStandardOutput(QByteArrayView bytes) {
    return fileSystem().write(standardOutput(), bytes, std::nullopt);
}

Result<FileToCopy> openToCopy(const QString &path) {
    FileSystem &files = fileSystem();
    auto opened = openRegularFile(files, path, std::numeric_limits<qint64>::max());
    if (const auto *error = errorOf(opened)) return *error;
    OpenedFile &file = std::get<OpenedFile>(opened);
    auto resolved = files.resolvedPath(file, path);
    if (const auto *error = errorOf(resolved)) return *error;
    return FileToCopy(std::move(file), std::get<QString>(std::move(resolved)));
}

Result<Done> copyToNewFile(const FileToCopy &source, const QString &target) {
    FileSystem &files = fileSystem();
    const OpenedFile &from = source.opened_;
    const auto place = locationOf(target);
    if (const auto *error = errorOf(place)) return *error;
    const QString &name = std::get<FileLocation>(place).name;
    auto opened = files.openFolder(std::get<FileLocation>(place).folder);
    if (const auto *error = errorOf(opened)) return *error;
    const Folder &folder = std::get<Folder>(opened);
    Temporary file(files, folder);
    if (const auto created = file.create(name, NewFileRights::Copied, &from.facts); failed(created))
        return created;

    // A piece at a time, so that a film in a site takes no more memory than a page; a small file
    // takes a piece of its own size, and its end is told by the read after it.
    QByteArray piece(qBound(qint64{1}, from.facts.size + 1, qint64{1} << 20), Qt::Uninitialized);
    for (qint64 offset = 0;;) {
        const auto got = files.read(from.file, piece.data(), piece.size(), offset);
        if (const auto *error = errorOf(got)) return *error;
        const qint64 length = std::get<qint64>(got);
        if (length == 0) break;
        const auto stored = files.write(file.file(), QByteArrayView(piece.data(), length), offset);
        if (failed(stored)) return stored;
        offset += length;
    }
    // Given once the last byte is written, which would otherwise take the time of now.
    Result<Done> stored = files.keepLooks(file.file(), from);
    if (!failed(stored)) stored = files.syncData(file.file());
    if (!failed(stored)) stored = file.close();
    if (!failed(stored)) stored = files.rename(folder, file.name(), name);
    if (failed(stored)) return stored;
    file.keep();
    return files.syncFolder(folder);
}

Result<Done> syncFolder(const QString &path) {
    FileSystem &files = fileSystem();
    const auto opened = files.openFolder(path);
    if (const auto *error = errorOf(opened)) return *error;
    return files.syncFolder(std::get<Folder>(opened));
}

QString temporaryFileName(const QString &name) {
    const QString suffix = temporaryNameSuffix();
    const qsizetype room = kLongestName - 1 - nameLength(suffix);
    // Every unit counts at least one, so the name is cut to the room first, then a character at a
    // time from its end, none cut in two.
    QStringView kept = QStringView(name).left(room);
    if (kept.size() < name.size() && !kept.isEmpty() && kept.back().isHighSurrogate()) kept.chop(1);
    while (nameLength(kept) > room) {
        kept.chop(1);
        if (!kept.isEmpty() && kept.back().isHighSurrogate()) kept.chop(1);
    }
    return QLatin1Char('.') + kept.toString() + suffix;
}

bool isTemporaryFileName(const QString &name) {
    // ".NAME.zerediz-LETTERS.tmp", the letters ASCII letters and digits. Matched by hand: a
    // regular expression matched on a thread leaves Qt a stack of that thread's own to free as
    // it ends, and under Wine that end can keep the whole process from ending.
    constexpr QStringView middle = u".zerediz-";
    constexpr QStringView end = u".tmp";
    const qsizetype lettersAt = name.size() - end.size() - kRandomLetters;
    const qsizetype middleAt = lettersAt - middle.size();
    if (middleAt < 2 || !name.startsWith(u'.') || !name.endsWith(end) ||
        QStringView(name).sliced(middleAt, middle.size()) != middle)
        return false;
    for (const QChar c : QStringView(name).sliced(lettersAt, kRandomLetters)) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')))
            return false;
    }
    return true;
}

namespace {

std::atomic<FileSystem *> inUse = nullptr;

}  // namespace

FileSystem &fileSystem() {
    FileSystem *files = inUse.load();
    return files ? *files : systemFileSystem();
}

FileSystemInUse::FileSystemInUse(FileSystem &files) : previous_(inUse.exchange(&files)) {}

FileSystemInUse::~FileSystemInUse() {
    inUse.store(previous_);
}
