#include "core/site/page_compressor.h"

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <thread>
#include <variant>

#include "core/files/file_error.h"
#include "core/files/page_file.h"
#include "core/pages/linked_style_sheets.h"
#include "core/site/folder_walk.h"
#include "core/site/render_check.h"
#include "core/trim/line_trim.h"

namespace {

PageOutcome failure(PageFailure::Step step, const QString &file, const FileError &why) {
    PageOutcome outcome;
    outcome.failure = PageFailure{step, file, why};
    return outcome;
}

// A page near the size limit, on several threads at once, may not fit in memory.
PageOutcome outOfMemory(const PageJob &job) {
    return failure(PageFailure::Step::Open, job.source, {FileError::Kind::OutOfMemory, {}});
}

// Reads a page as the window's loader does: a file, with where it lies, links resolved, or
// standard input to its end.
Result<FileAsRead> readPage(const QString &source) {
    if (source != u'-') return readResolvedFile(source, kMaxDocumentSize);
    auto read = readStandardInput(kMaxDocumentSize);
    if (const auto *error = std::get_if<FileError>(&read)) return *error;
    return FileAsRead{std::move(std::get<QByteArray>(read)), {}, {}};
}

// The compressed form of a page's bytes, exactly what opening the page in the window and saving
// it right away writes: that is what the window guarantees for every byte string, so the page
// need not be decoded. Refused as too large where the window's trim refuses it. The window also
// refuses a page whose decoded text grows past the largest document, which only a page near that
// size in another encoding than UTF-8 can do; here, where nothing is decoded, it is compressed.
Result<QByteArray> checkedSize(QByteArray compressed) {
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
    QByteArray original;  // where it is to be shown beside its compressed form: the page as read
};

CompressedPage failedPage(PageOutcome outcome) {
    CompressedPage page;
    page.outcome = std::move(outcome);
    return page;
}

// Whether path lies inside folder, both resolved: below it, not merely named alike (site2 is not
// inside site).
bool isInside(const QString &path, const QString &folder) {
    return path.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

CompressedPage compress(const PageJob &job, bool verifying, bool comparing, TrimLevel level) {
    using Output = PageOutput;
    auto read = readPage(job.source);
    if (const auto *error = std::get_if<FileError>(&read))
        return failedPage(failure(PageFailure::Step::Open, job.source, *error));
    FileAsRead &file = std::get<FileAsRead>(read);
    // Checked on the file that is open, so that no link swapped in meanwhile can lead elsewhere.
    if (!job.within.isEmpty() && !isInside(file.resolvedPath, job.within)) {
        CompressedPage skipped;
        skipped.outcome.skipped = true;
        skipped.outcome.linkTarget = file.resolvedPath;
        return skipped;
    }
    // Only a check and a page compressed in place ask whether the page changes, unless the run
    // wants to know. Elsewhere the page is trimmed in the buffer it was read into, so that a big
    // one is never held twice and its result needs no fresh memory.
    const bool compares =
        verifying || comparing || job.output == Output::Check || job.output == Output::InPlace;
    const qsizetype sizeBefore = file.bytes.size();
    // The style sheets it links lie beside the page as the window opens it: the page's path as
    // the job names it, links not resolved.
    std::vector<UnreadStyleSheet> unread;
    const PageContext context =
        readPageContext(file.bytes, job.source == u'-' ? QString() : job.source, {}, unread);
    // The deep trim has no version in the page's own buffer: it is asked for, and most pages
    // are small.
    auto compressed = checkedSize(compares || level == TrimLevel::Deep
                                      ? trimLines(file.bytes, context, level)
                                      : trimLinesInPlace(std::move(file.bytes), context));
    if (const auto *error = std::get_if<FileError>(&compressed))
        return failedPage(failure(PageFailure::Step::Compress, job.source, *error));

    CompressedPage result;
    result.resolvedPath = file.resolvedPath;
    result.identity = file.identity;
    result.bytes = std::move(std::get<QByteArray>(compressed));
    result.outcome.sizeBefore = sizeBefore;
    result.outcome.unreadSheets = std::move(unread);
    result.outcome.sizeAfter = result.bytes.size();
    result.outcome.changed = compares && result.bytes != file.bytes;
    if (verifying && result.outcome.changed) result.original = std::move(file.bytes);
    // The page was just read: no need to read it again to know that it holds its result.
    result.store =
        job.output != Output::Check && (job.output != Output::InPlace || result.outcome.changed);
    return result;
}

// A page that the browser leaves stays as it is; a copy of the site gets it as it is, so that the
// copy lacks no page.
void keepAsItIs(const PageJob &job, CompressedPage &page) {
    page.store = job.output == PageOutput::Mirror;
    if (page.store) page.bytes = std::move(page.original);
}

// Reads the page of a job and compresses it: the work that keeps a core busy. A page found in a
// folder PATH that is, links followed, not inside that folder is skipped.
CompressedPage compressPage(const PageJob &job, bool verifying, bool comparing, TrimLevel level) {
    if (job.unfit) return failedPage(failure(PageFailure::Step::Open, job.source, *job.unfit));
    try {
        return compress(job, verifying, comparing, level);
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

Result<Stored> storedBy(const WriteResult &written) {
    if (const auto *error = std::get_if<FileError>(&written)) return *error;
    const Written &done = std::get<Written>(written);
    return Stored{true, done.lostAttributes, done.unsyncedFolder};
}

// Whether the file at path holds exactly bytes; only a file of the same size is read.
bool holds(const QString &path, const QByteArray &bytes) {
    const auto status = statusOf(path);
    const auto *found = std::get_if<FileStatus>(&status);
    if (!found || found->kind != FileStatus::Kind::RegularFile || found->size != bytes.size())
        return false;
    const auto content = readRegularFile(path, bytes.size());
    const auto *held = std::get_if<QByteArray>(&content);
    return held && *held == bytes;
}

// Storing a page, begun: done already (written to standard output, found in place, or failed), or
// its file on the way to the disk.
using StoreStart = std::variant<Result<Stored>, StartedWrite>;

// Starts writing the compressed bytes of a page through the window's writer: in place, into the
// file that was read; elsewhere, unless the target holds exactly these bytes already, so that it
// keeps its time stamp. Standard output is always written. A run writes many pages into few
// folders, so each folder is synced once at its end rather than behind every page.
StoreStart startStoring(const PageJob &job, const CompressedPage &page) {
    using Output = PageOutput;
    TargetRule rule;
    rule.syncFolder = false;
    if (job.output == Output::InPlace) {
        rule.readAs = page.identity;
        rule.nameAlone = job.nameAlone;
        return startWrite(page.resolvedPath, page.bytes, rule);
    }
    if (job.target == u'-') {
        const Result<Done> written = writeStandardOutput(page.bytes);
        if (const auto *error = std::get_if<FileError>(&written)) return Result<Stored>(*error);
        return Result<Stored>(Stored{true, {}, {}});
    }
    if (holds(job.target, page.bytes)) return Result<Stored>(Stored{});
    if (job.output == Output::Mirror) {
        const Result<Done> made = makeFolders(QFileInfo(job.target).path());
        if (const auto *error = std::get_if<FileError>(&made)) return Result<Stored>(*error);
    }
    return startWrite(job.target, page.bytes, rule);
}

// Waits for what storing a page began: mostly for the disk.
Result<Stored> finishStoring(StoreStart started) {
    if (auto *done = std::get_if<Result<Stored>>(&started)) return std::move(*done);
    return storedBy(finishWrite(std::get<StartedWrite>(std::move(started))));
}

// The outcome of storing a page: the one compressing left, with what was written and a word on
// what its file lost; or a failure.
PageOutcome storedOutcome(const PageJob &job, const CompressedPage &page,
                          const Result<Stored> &stored) {
    const QString &target = job.output == PageOutput::InPlace ? job.source : job.target;
    if (const auto *error = std::get_if<FileError>(&stored))
        return failure(PageFailure::Step::Save, target, *error);
    const Stored &done = std::get<Stored>(stored);
    PageOutcome outcome = page.outcome;
    outcome.written = done.written;
    outcome.unsyncedFolder = done.unsyncedFolder;
    outcome.lostAttributes = done.lostAttributes;
    return outcome;
}

// A page whose storing has begun, to be finished in turn.
struct PageInFlight {
    qsizetype index;
    CompressedPage page;  // its bytes stay where they are while they are written
    StoreStart store;
};

// At most a given number of holders at a time. std::counting_semaphore would do, but GCC 12's can
// miss a release where the system has no futex (mingw-w64), and a worker then waits for ever.
class Slots {
public:
    explicit Slots(int count) : free_(count) {}

    void acquire() {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return free_ > 0; });
        --free_;
    }
    void release() {
        {
            const std::lock_guard lock(mutex_);
            ++free_;
        }
        released_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    int free_;  // guarded by mutex_
};

}  // namespace

void compressAll(const std::vector<PageJob> &jobs, const CompressionRun &run,
                 CompressionReport &report) {
    RenderCheck *const check = run.check;
    const int threads = run.threads;
    const auto total = static_cast<qsizetype>(jobs.size());
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::optional<PageOutcome>> outcomes(jobs.size());  // guarded by mutex
    qsizetype done = 0;                                             // guarded by mutex
    qsizetype working = 0;                                          // guarded by mutex
    std::deque<PageInFlight> inFlight;  // guarded by mutex, oldest first
    qsizetype bytesInFlight = 0;        // guarded by mutex
    std::atomic<qsizetype> next = 0;

    // Reading and trimming keep a core busy, so no more pages than asked for are compressed at a
    // time. Storing a page mostly waits until its bytes are on the disk, and a journalling file
    // system commits many such waits together, so that many pages stored at once take far less
    // time than the same pages stored a few at a time. So more threads run than compress at once,
    // and each page's way to the disk starts as soon as it is written, long before its writer
    // waits for it: the oldest pages are finished only once more than a window of them, by count
    // and by size, are on their way.
    constexpr qsizetype kStoredAtOnce = 16;
    constexpr qsizetype kMostInFlight = 64;
    constexpr qsizetype kMostBytesInFlight = qsizetype{64} << 20;
    Slots compressing(threads);
    const auto record = [&](qsizetype index, PageOutcome outcome) {
        {
            const std::lock_guard lock(mutex);
            outcomes[index] = std::move(outcome);
            ++done;
        }
        finished.notify_one();
    };
    const auto finish = [&](PageInFlight page) {
        const PageJob &job = jobs[page.index];
        try {
            const Result<Stored> stored = finishStoring(std::move(page.store));
            record(page.index, storedOutcome(job, page.page, stored));
        } catch (const std::bad_alloc &) {
            record(page.index, outOfMemory(job));
        }
    };
    // Takes the oldest pages in flight while there are too many of them, or all of them.
    const auto takeOldest = [&](bool all) {
        std::vector<PageInFlight> taken;
        const std::lock_guard lock(mutex);
        while (!inFlight.empty() && (all || qsizetype(inFlight.size()) > kMostInFlight ||
                                     bytesInFlight > kMostBytesInFlight)) {
            bytesInFlight -= inFlight.front().page.bytes.size();
            taken.push_back(std::move(inFlight.front()));
            inFlight.pop_front();
        }
        return taken;
    };
    const auto work = [&] {
        // A page once taken is finished, so that it is either old or new.
        const auto goesOn = [&] { return !run.stopped() && !(check && check->gaveUp()); };
        for (qsizetype i = 0; goesOn() && (i = next++) < total;) {
            compressing.acquire();
            CompressedPage page = compressPage(jobs[i], check != nullptr, run.compares, run.level);
            compressing.release();
            // Shown in the browser outside the slots of the cores: it waits for the browser.
            if (check && page.original.isEmpty()) check->skip(i);
            if (check && !page.original.isEmpty() &&
                !check->passes(i, jobs[i], page.original, page.bytes, page.outcome))
                keepAsItIs(jobs[i], page);
            page.original = QByteArray();
            if (page.outcome.failure || !page.store) {
                record(i, std::move(page.outcome));
                continue;
            }
            try {
                StoreStart store = startStoring(jobs[i], page);
                const std::lock_guard lock(mutex);
                bytesInFlight += page.bytes.size();
                inFlight.push_back({i, std::move(page), std::move(store)});
            } catch (const std::bad_alloc &) {
                record(i, outOfMemory(jobs[i]));
            }
            for (PageInFlight &oldest : takeOldest(false)) finish(std::move(oldest));
        }
        for (PageInFlight &oldest : takeOldest(true)) finish(std::move(oldest));
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
        const Result<Done> synced = syncFolder(folder);
        if (const auto *error = std::get_if<FileError>(&synced))
            report.unsyncedFolder(folder, *error);
    }
}
