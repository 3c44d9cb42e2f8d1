#include "model/PlmParallel.h"

#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

namespace PlmParallel {

namespace {

// Shared with the pool's tasks, which may start after the call has returned: they then find
// no run left and touch nothing else.
struct Runs {
    qsizetype count = 0;
    qsizetype chunk = 1;
    qsizetype total = 0;
    const std::function<void(qsizetype, qsizetype)>* work = nullptr;
    std::atomic<qsizetype> next{0};
    std::atomic<qsizetype> finished{0};
    std::vector<std::exception_ptr> errors;
    std::mutex mutex;
    std::condition_variable allDone;

    void take()
    {
        for (;;) {
            const qsizetype run = next.fetch_add(1);
            if (run >= total)
                return;
            const qsizetype begin = run * chunk;
            try {
                (*work)(begin, std::min(count, begin + chunk));
            } catch (...) {
                errors[size_t(run)] = std::current_exception();
            }
            if (finished.fetch_add(1) + 1 == total) {
                const std::lock_guard<std::mutex> lock(mutex);
                allDone.notify_all();
            }
        }
    }
};

} // namespace

void forRuns(qsizetype count, qsizetype chunk, const std::function<void(qsizetype, qsizetype)>& work)
{
    if (count <= 0)
        return;
    chunk = std::max<qsizetype>(chunk, 1);
    auto runs = std::make_shared<Runs>();
    runs->count = count;
    runs->chunk = chunk;
    runs->total = (count + chunk - 1) / chunk;
    runs->work = &work;
    runs->errors.resize(size_t(runs->total));
    QThreadPool* pool = QThreadPool::globalInstance();
    const qsizetype helpers = std::min<qsizetype>(runs->total - 1, std::max(0, pool->maxThreadCount() - 1));
    for (qsizetype i = 0; i < helpers; ++i)
        pool->start([runs] { runs->take(); });
    runs->take();
    {
        std::unique_lock<std::mutex> lock(runs->mutex);
        runs->allDone.wait(lock, [&] { return runs->finished.load() == runs->total; });
    }
    for (const std::exception_ptr& error : runs->errors)
        if (error)
            std::rethrow_exception(error);
}

} // namespace PlmParallel
