#include "cli/page_compressor.h"

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <semaphore>
#include <set>
#include <system_error>
#include <thread>
#include <variant>

#include "core/file_error.h"
#include "core/file_error_text.h"
#include "core/line_trim.h"
#include "core/line_trim_loader.h"
#include "core/page_file.h"

namespace {

std::atomic<int> stopRequested{0};

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    return set;
}

// How a page's source and target are named in an error line: "-" as the stream it stands for.
QString sourceName(const QString &source) {
    return source == u'-' ? QStringLiteral("标准输入") : source;
}

QString targetName(const QString &target) {
    return target == u'-' ? QStringLiteral("标准输出") : target;
}

PageOutcome failure(const QString &what, const FileError &why) {
    PageOutcome outcome;
    outcome.failed = true;
    outcome.errorLine = what + u'：' + fileErrorText(why);
    return outcome;
}

// A page near the size limit, on several threads at once, may not fit in memory.
PageOutcome outOfMemory(const PageJob &job) {
    return failure(cannotOpenText(sourceName(job.source)), {FileError::Kind::OutOfMemory, {}});
}

// Standard input redirected from a file can be read in one go.
qint64 expectedInputSize() {
    struct stat status {};
    if (::fstat(STDIN_FILENO, &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    return qMax<qint64>(status.st_size - ::lseek(STDIN_FILENO, 0, SEEK_CUR), 0);
}

// Reads a page as the window's loader does: a file, with where it lies, links resolved, or
// standard input to its end.
std::variant<ReadFile, FileError> readPage(const QString &source) {
    if (source != u'-') return readResolvedFile(source, kMaxDocumentSize);
    auto read = readToEnd(STDIN_FILENO, expectedInputSize(), kMaxDocumentSize);
    if (const auto *error = std::get_if<FileError>(&read)) return *error;
    return ReadFile{std::move(std::get<QByteArray>(read)), {}, {}};
}

// The compressed form of a page's bytes, exactly what opening the page in the window and saving
// it right away writes: that is what the window guarantees for every byte string, so the page
// need not be decoded. Refused as too large where the window would refuse it.
std::variant<QByteArray, FileError> compressedBytes(QByteArrayView page) {
    QByteArray compressed = trimLines(page);
    if (compressed.size() > kMaxDocumentSize)
        return FileError{FileError::Kind::TrimmedTooLarge, {}};
    return compressed;
}

// A page read and compressed, waiting to be stored where its job says.
struct CompressedPage {
    PageOutcome outcome;  // failed already, or what storing it will report
    QByteArray bytes;
    bool store = false;  // whether anything is left to write
    // Compressed in place: the file that was read, where it lies, links resolved, so that what
    // is written is that file and no other, whatever links change meanwhile.
    QString resolvedPath;
    FileIdentity identity;
};

CompressedPage failedPage(PageOutcome outcome) {
    CompressedPage page;
    page.outcome = std::move(outcome);
    return page;
}

bool isInside(const QString &path, const QString &folder) {
    return folder == u'/' || path.startsWith(folder + u'/');
}

CompressedPage compress(const PageJob &job) {
    using Output = CompressRequest::Output;
    auto read = readPage(job.source);
    if (const auto *error = std::get_if<FileError>(&read))
        return failedPage(failure(cannotOpenText(sourceName(job.source)), *error));
    ReadFile &file = std::get<ReadFile>(read);
    // Checked on the file that is open, so that no link swapped in meanwhile can lead elsewhere.
    if (!job.within.isEmpty() && !isInside(file.resolvedPath, job.within)) {
        CompressedPage skipped;
        skipped.outcome.skipped = true;
        skipped.outcome.noticeLine =
            QStringLiteral("跳过链接：%1：它指向的 %2 不在要压缩的文件夹里")
                .arg(job.source, file.resolvedPath);
        return skipped;
    }
    const QByteArray page = std::move(file.bytes);
    auto compressed = compressedBytes(page);
    if (const auto *error = std::get_if<FileError>(&compressed))
        return failedPage(failure(cannotCompressText(sourceName(job.source)), *error));

    CompressedPage result;
    result.resolvedPath = file.resolvedPath;
    result.identity = file.identity;
    result.bytes = std::move(std::get<QByteArray>(compressed));
    result.outcome.sizeBefore = page.size();
    result.outcome.sizeAfter = result.bytes.size();
    result.outcome.changed = result.bytes != page;
    // The page was just read: no need to read it again to know that it holds its result.
    result.store =
        job.output != Output::Check && (job.output != Output::InPlace || result.outcome.changed);
    return result;
}

// Reads the page of a job and compresses it: the work that keeps a core busy. A page found in a
// folder PATH that is, links followed, not inside that folder is skipped.
CompressedPage compressPage(const PageJob &job) {
    if (!job.errorLine.isEmpty()) {
        PageOutcome outcome;
        outcome.failed = true;
        outcome.errorLine = job.errorLine;
        return failedPage(outcome);
    }
    try {
        return compress(job);
    } catch (const std::bad_alloc &) {
        return failedPage(outOfMemory(job));
    }
}

// What storing a page did: wrote it, and what the file it replaced could not keep, or found it
// held already.
struct Stored {
    bool written = false;
    QList<LostAttribute> lostAttributes;
    QString unsyncedFolder;
};

std::variant<Stored, FileError> storedBy(const WriteResult &written) {
    if (const auto *error = std::get_if<FileError>(&written)) return *error;
    const Written &done = std::get<Written>(written);
    return Stored{true, done.lostAttributes, done.unsyncedFolder};
}

// Whether the file at path holds exactly bytes; only a file of the same size is read.
bool holds(const QString &path, const QByteArray &bytes) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size != bytes.size())
        return false;
    const auto content = readRegularFile(path, bytes.size());
    const auto *held = std::get_if<QByteArray>(&content);
    return held && *held == bytes;
}

std::optional<FileError> writeToStandardOutput(QByteArrayView bytes) {
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), static_cast<size_t>(bytes.size()));
        if (n < 0) {
            if (errno == EINTR) continue;
            return writeErrorFromErrno(errno);
        }
        bytes = bytes.sliced(n);
    }
    return std::nullopt;
}

std::optional<FileError> makeFolderFor(const QString &target) {
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(QFileInfo(target).path()).toStdString()), error);
    if (error) return writeErrorFromErrno(error.value());
    return std::nullopt;
}

// Writes the compressed bytes of a page through the window's writer: in place, into the file that
// was read; elsewhere, unless the target holds exactly these bytes already, so that it keeps its
// time stamp. Standard output is always written. A run writes many pages into few folders, so each
// folder is synced once at its end rather than behind every page.
std::variant<Stored, FileError> storeBytes(const PageJob &job, const CompressedPage &page) {
    using Output = CompressRequest::Output;
    TargetRule rule;
    rule.syncFolder = false;
    if (job.output == Output::InPlace) {
        rule.readAs = page.identity;
        rule.nameAlone = job.nameAlone;
        return storedBy(writeRegularFile(page.resolvedPath, page.bytes, rule));
    }
    if (job.target == u'-') {
        if (const auto error = writeToStandardOutput(page.bytes)) return *error;
        return Stored{true, {}, {}};
    }
    if (holds(job.target, page.bytes)) return Stored{};
    if (job.output == Output::Mirror) {
        if (const auto error = makeFolderFor(job.target)) return *error;
    }
    return storedBy(writeRegularFile(job.target, page.bytes, rule));
}

// Stores a compressed page where its job says: mostly waiting for the disk. The outcome is the
// one compressing left, with what was written and a word on what its file lost; or a failure.
PageOutcome storePage(const PageJob &job, const CompressedPage &page) {
    if (page.outcome.failed || !page.store) return page.outcome;
    const QString &target =
        job.output == CompressRequest::Output::InPlace ? job.source : job.target;
    try {
        const auto stored = storeBytes(job, page);
        if (const auto *error = std::get_if<FileError>(&stored))
            return failure(cannotSaveText(targetName(target)), *error);
        const Stored &done = std::get<Stored>(stored);
        PageOutcome outcome = page.outcome;
        outcome.written = done.written;
        outcome.unsyncedFolder = done.unsyncedFolder;
        if (!done.lostAttributes.isEmpty())
            outcome.noticeLine =
                cannotKeepAttributesText(target) + u'：' + lostAttributesText(done.lostAttributes);
        return outcome;
    } catch (const std::bad_alloc &) {
        return outOfMemory(job);
    }
}

}  // namespace

void catchStopSignals() {
    const sigset_t set = stopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // It only ever touches the flag, so it may be left waiting when the program ends. A signal
    // that comes after the first finds the run stopping already.
    std::thread([set] {
        int signal = 0;
        if (sigwait(&set, &signal) == 0) stopRequested.store(signal);
    }).detach();
}

int stopSignal() {
    return stopRequested.load();
}

void compressAll(const std::vector<PageJob> &jobs, int threads, RunReport &report) {
    const auto total = static_cast<qsizetype>(jobs.size());
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::optional<PageOutcome>> outcomes(jobs.size());  // guarded by mutex
    qsizetype done = 0;                                             // guarded by mutex
    qsizetype working = 0;                                          // guarded by mutex
    std::atomic<qsizetype> next = 0;

    // Reading and trimming keep a core busy, so no more pages than asked for are compressed at a
    // time. Storing a page mostly waits until its bytes are on the disk, and a journalling file
    // system commits many such waits together, so that many pages stored at once take far less
    // time than the same pages stored a few at a time. So more threads run than compress at once.
    constexpr qsizetype kStoredAtOnce = 16;
    std::counting_semaphore<> compressing(threads);
    const auto work = [&] {
        // A page once taken is finished, so that it is either old or new.
        for (qsizetype i = 0; stopSignal() == 0 && (i = next++) < total;) {
            compressing.acquire();
            CompressedPage page = compressPage(jobs[i]);
            compressing.release();
            PageOutcome outcome = storePage(jobs[i], page);
            {
                const std::lock_guard lock(mutex);
                outcomes[i] = std::move(outcome);
                ++done;
            }
            finished.notify_one();
        }
        {
            const std::lock_guard lock(mutex);
            --working;
        }
        finished.notify_one();
    };
    // However many are asked for: each thread holds a page and its result in memory, and a
    // system that cannot start one more would end the program.
    constexpr qsizetype kMostThreads = 256;
    std::vector<std::jthread> workers;
    const qsizetype count = std::max(qsizetype(threads), kStoredAtOnce);
    // Counted before the first one starts, since the first ones may be done before the last start.
    const qsizetype started = std::min({count, total, kMostThreads});
    working = started;
    for (qsizetype i = 0; i < started; ++i) workers.emplace_back(work);

    std::set<QString> unsynced;  // the folders of the pages reported, still to be synced
    std::unique_lock lock(mutex);
    qsizetype reported = 0;
    while (reported < total) {
        using namespace std::chrono_literals;
        finished.wait_for(lock, 100ms,
                          [&] { return outcomes[reported].has_value() || working == 0; });
        // Stopped, every worker gone: what is not reported now never will be.
        if (!outcomes[reported] && working == 0) break;
        std::vector<PageOutcome> ready;
        const qsizetype first = reported;
        for (; reported < total && outcomes[reported]; ++reported) {
            ready.push_back(std::move(*outcomes[reported]));
            outcomes[reported].reset();
        }
        const qsizetype doneNow = done;
        lock.unlock();
        for (std::size_t i = 0; i < ready.size(); ++i) {
            if (!ready[i].unsyncedFolder.isEmpty()) unsynced.insert(ready[i].unsyncedFolder);
            report.page(jobs[first + i], ready[i]);
        }
        report.progress(doneNow);
        lock.lock();
    }
    lock.unlock();
    // Stopped or not, what was reported as written is on the disk when the run ends.
    for (const QString &folder : unsynced) {
        if (const auto error = syncFolder(folder))
            report.unsyncedFolder(cannotSyncFolderText(folder) + u'：' + fileErrorText(*error));
    }
}
