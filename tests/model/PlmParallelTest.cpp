#include "model/PlmParallel.h"

#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

TEST(PlmParallelTest, everyIndexIsDoneOnceAndTheFirstFailureInOrderIsRethrown)
{
    std::vector<std::atomic<int>> done(10001);
    PlmParallel::forRuns(10001, 64, [&](qsizetype begin, qsizetype end) {
        for (qsizetype i = begin; i < end; ++i)
            ++done[size_t(i)];
    });
    for (const std::atomic<int>& count : done)
        ASSERT_EQ(count.load(), 1);

    try {
        PlmParallel::forRuns(1000, 10, [](qsizetype begin, qsizetype) {
            if (begin == 120 || begin == 870)
                throw std::runtime_error(std::to_string(begin));
        });
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "120");
    }
}

// Called from every thread of the pool at once, no run waits for a free thread.
TEST(PlmParallelTest, callsFromAFullPoolFinish)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    std::atomic<qsizetype> total{0};
    for (int t = 0; t < pool->maxThreadCount(); ++t)
        pool->start([&] {
            PlmParallel::forRuns(1000, 7, [&](qsizetype begin, qsizetype end) { total += end - begin; });
        });
    pool->waitForDone();
    EXPECT_EQ(total.load(), qsizetype(1000) * pool->maxThreadCount());
}
