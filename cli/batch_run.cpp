#include "cli/batch_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <semaphore>
#include <thread>

#include "cli/page_compressor.h"

qsizetype compressAll(const std::vector<PageJob> &jobs, int threads,
                      const std::function<void(const PageJob &, const PageOutcome &)> &report,
                      const std::function<void(qsizetype done)> &progress,
                      const std::function<bool()> &stopped) {
    const auto total = static_cast<qsizetype>(jobs.size());
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::optional<PageOutcome>> outcomes(jobs.size());  // guarded by mutex
    qsizetype done = 0;                                             // guarded by mutex
    qsizetype working = 0;                                          // guarded by mutex
    std::atomic<qsizetype> next = 0;

    // Reading and trimming keep a core busy, so no more pages than asked for are compressed at a
    // time. Storing a page mostly waits until its bytes are on the disk, and a journalling file
    // system commits many such waits together: 2,000 pages took 2.7 s written two at a time and
    // 0.4 s sixteen at a time. So more threads run than compress at once.
    constexpr qsizetype kStoredAtOnce = 16;
    std::counting_semaphore<> compressing(threads);
    const auto work = [&] {
        // A page once taken is finished, so that it is either old or new.
        for (qsizetype i = 0; !stopped() && (i = next++) < total;) {
            compressing.acquire();
            CompressedPage page = compressPage(jobs[i]);
            compressing.release();
            PageOutcome outcome = storePage(jobs[i], std::move(page));
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
        for (std::size_t i = 0; i < ready.size(); ++i) report(jobs[first + i], ready[i]);
        progress(doneNow);
        lock.lock();
    }
    return reported;
}
