#include "select/work_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using selection::WorkPool;

// A run's threads: as asked, or every core (at least one) for 0. Every index
// runs once; the exception of the lowest failing index comes out, after all
// have run.
TEST(WorkPool, ForEachRunsEveryIndexOnceAndThrowsTheFirstFailure) {
    EXPECT_GE(selection::runThreads(0), 1);
    for (int threads : {1, 2, 7}) {
        SCOPED_TRACE(threads);
        WorkPool pool(selection::runThreads(threads));
        EXPECT_EQ(pool.threads(), threads);
        std::vector<std::atomic<int>> runs(100);
        pool.forEach(100, [&runs](int k) { ++runs[static_cast<size_t>(k)]; });
        for (auto const& r : runs) EXPECT_EQ(r.load(), 1);
        std::atomic<int> ran{0};
        try {
            pool.forEach(50, [&ran](int k) {
                ++ran;
                if (k % 20 == 7) throw std::runtime_error("task " + std::to_string(k));
            });
            ADD_FAILURE() << "nothing thrown";
        } catch (std::runtime_error const& e) {
            EXPECT_STREQ(e.what(), "task 7");
        }
        EXPECT_EQ(ran.load(), 50);
    }
}

}  // namespace
