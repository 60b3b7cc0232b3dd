#include "cli/batch_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/page_compressor.h"

void compressAll(const std::vector<PageJob> &jobs, int threads,
                 const std::function<void(const PageJob &, const PageOutcome &)> &report,
                 const std::function<void(qsizetype done)> &progress) {
    const auto total = static_cast<qsizetype>(jobs.size());
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::optional<PageOutcome>> outcomes(jobs.size());  // guarded by mutex
    qsizetype done = 0;                                             // guarded by mutex
    std::atomic<qsizetype> next = 0;

    const auto work = [&] {
        for (qsizetype i = next++; i < total; i = next++) {
            PageOutcome outcome = compressPage(jobs[i]);
            {
                const std::lock_guard lock(mutex);
                outcomes[i] = std::move(outcome);
                ++done;
            }
            finished.notify_one();
        }
    };
    // However many are asked for: each thread holds a page and its result in memory, and a
    // system that cannot start one more would end the program.
    constexpr qsizetype kMostThreads = 256;
    std::vector<std::jthread> workers;
    for (qsizetype i = 0; i < std::min({qsizetype(threads), total, kMostThreads}); ++i)
        workers.emplace_back(work);

    std::unique_lock lock(mutex);
    for (qsizetype reported = 0; reported < total;) {
        using namespace std::chrono_literals;
        finished.wait_for(lock, 100ms, [&] { return outcomes[reported].has_value(); });
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
}
