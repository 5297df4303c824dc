#include "transfer/ordered_jobs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

namespace {
using namespace std::chrono_literals;

// Waits for `condition` up to a generous limit; false when it never held.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Runs the jobs on a thread of its own, so that a run that never ends fails
// the test instead of hanging it.
OrderedResult RunWithin(const OrderedJobs& jobs, std::chrono::seconds limit = 30s) {
    auto result = std::async(std::launch::async, [&] { return RunJobsInOrder(jobs); });
    if (result.wait_for(limit) != std::future_status::ready) {
        ADD_FAILURE() << "the run did not end";
        std::abort();
    }
    return result.get();
}

struct Recorder {
    std::mutex lock;
    std::vector<size_t> completed;
    std::vector<uint64_t> sizes;
    std::vector<size_t> started;
};

TEST(OrderedJobsTest, CompletionsComeInListOrderWhateverOrderJobsEndIn) {
    constexpr size_t kJobs = 40;
    std::vector<int> delays(kJobs);
    std::mt19937 random(7);
    for (int& delay : delays) delay = static_cast<int>(random() % 15);
    std::atomic<int> running{0}, mostAtOnce{0};
    Recorder record;
    OrderedJobs jobs;
    jobs.Count = kJobs;
    jobs.Threads = 4;
    jobs.Run = [&](size_t index, JobProgress&, const JobCancelled&) -> std::optional<uint64_t> {
        const int now = ++running;
        for (int most = mostAtOnce; now > most && !mostAtOnce.compare_exchange_weak(most, now);) {}
        std::this_thread::sleep_for(std::chrono::milliseconds(delays[index]));
        --running;
        return index * 10;
    };
    jobs.Completed = [&](size_t index, uint64_t size) {
        record.completed.push_back(index);
        record.sizes.push_back(size);
    };
    EXPECT_EQ(RunWithin(jobs), OrderedResult::Completed);
    ASSERT_EQ(record.completed.size(), kJobs);
    for (size_t i = 0; i < kJobs; ++i) {
        EXPECT_EQ(record.completed[i], i);
        EXPECT_EQ(record.sizes[i], i * 10);
    }
    EXPECT_LE(mostAtOnce.load(), 4);
}

TEST(OrderedJobsTest, JobsRunSideBySideUpToTheThreadCount) {
    constexpr size_t kThreads = 5;
    std::atomic<size_t> running{0};
    OrderedJobs jobs;
    jobs.Count = 12;
    jobs.Threads = kThreads;
    // Every job of the first round waits until the whole round is running:
    // with fewer threads than promised, the round would never be complete.
    jobs.Run = [&](size_t index, JobProgress&, const JobCancelled&) -> std::optional<uint64_t> {
        ++running;
        if (index < kThreads && !WaitFor([&] { return running.load() >= kThreads; })) return std::nullopt;
        return 1;
    };
    EXPECT_EQ(RunWithin(jobs), OrderedResult::Completed);
}

TEST(OrderedJobsTest, TheFirstFailureInListOrderEndsTheRunAndCancelsWhatFollows) {
    // Job 3 fails once job 5 runs, and before job 2 ends; job 5 and those
    // after it run until they are cancelled.
    Recorder record;
    std::atomic<bool> fifthRuns{false}, fifthCancelled{false}, secondMayEnd{false};
    OrderedJobs jobs;
    jobs.Count = 100;
    jobs.Threads = 6;
    jobs.Run = [&](size_t index, JobProgress&, const JobCancelled& cancelled) -> std::optional<uint64_t> {
        {
            const std::lock_guard<std::mutex> hold(record.lock);
            record.started.push_back(index);
        }
        if (index == 3) {
            WaitFor([&] { return fifthRuns.load(); });
            secondMayEnd = true;
            return std::nullopt;
        }
        if (index == 5) {
            fifthRuns = true;
            fifthCancelled = WaitFor([&] { return cancelled(); });
            return std::nullopt;
        }
        if (index == 2) {
            WaitFor([&] { return secondMayEnd.load(); });
            std::this_thread::sleep_for(20ms);
        }
        if (index > 5) {
            WaitFor([&] { return cancelled(); });
            return std::nullopt;
        }
        return 1;
    };
    jobs.Completed = [&](size_t index, uint64_t) { record.completed.push_back(index); };
    EXPECT_EQ(RunWithin(jobs), OrderedResult::Failed);
    EXPECT_EQ(record.completed, (std::vector<size_t>{0, 1, 2}));
    EXPECT_TRUE(fifthCancelled) << "a job after the failed one learns that it is not wanted";
    // Six threads: once the failure is known, no thread starts another job.
    for (const size_t started : record.started) EXPECT_LT(started, 12u);
}

TEST(OrderedJobsTest, AStopEndsTheRunAtOnceAndCancelsEveryRunningJob) {
    std::atomic<int> cancelledJobs{0};
    std::atomic<bool> stop{false};
    Recorder record;
    OrderedJobs jobs;
    jobs.Count = 50;
    jobs.Threads = 4;
    // Jobs from 3 on would never end by themselves.
    jobs.Run = [&](size_t index, JobProgress&, const JobCancelled& cancelled) -> std::optional<uint64_t> {
        if (index < 3) return 1;
        while (!cancelled()) std::this_thread::sleep_for(1ms);
        ++cancelledJobs;
        return std::nullopt;
    };
    jobs.Completed = [&](size_t index, uint64_t) {
        record.completed.push_back(index);
        if (index == 2) stop = true;
    };
    jobs.StopRequested = [&] { return stop.load(); };
    EXPECT_EQ(RunWithin(jobs), OrderedResult::Stopped);
    EXPECT_EQ(record.completed, (std::vector<size_t>{0, 1, 2}));
    EXPECT_GE(cancelledJobs.load(), 1);
    EXPECT_LE(cancelledJobs.load(), 4);
}

TEST(OrderedJobsTest, ProgressIsShownForTheFirstJobNotYetCompleteOnly) {
    std::vector<std::pair<size_t, uint64_t>> shown;
    size_t completions = 0;
    bool progressOfOtherJob = false;
    std::atomic<bool> firstMayEnd{false};
    OrderedJobs jobs;
    jobs.Count = 3;
    jobs.Threads = 3;
    jobs.Run = [&](size_t index, JobProgress& progress, const JobCancelled&) -> std::optional<uint64_t> {
        progress.Total = 100;
        progress.Received = 10 * (index + 1);
        if (index == 0) {
            WaitFor([&] { return firstMayEnd.load(); });
            progress.Received = 50;
            std::this_thread::sleep_for(3 * std::chrono::milliseconds(kPollMillis));
        }
        return 100;
    };
    jobs.Progress = [&](size_t index, uint64_t received, uint64_t total) {
        progressOfOtherJob = progressOfOtherJob || index != completions;
        if (total == 100) shown.emplace_back(index, received);
        firstMayEnd = true;
    };
    jobs.Completed = [&](size_t, uint64_t) { ++completions; };
    EXPECT_EQ(RunWithin(jobs), OrderedResult::Completed);
    EXPECT_FALSE(progressOfOtherJob);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), (std::pair<size_t, uint64_t>{0, 10}));
    EXPECT_NE(std::find(shown.begin(), shown.end(), std::pair<size_t, uint64_t>{0, 50}), shown.end());
}

TEST(OrderedJobsTest, OneAtATimeRunsOnTheCallingThreadAndStillStops) {
    const std::thread::id caller = std::this_thread::get_id();
    bool elsewhere = false;
    int progressCalls = 0;
    std::vector<size_t> completed;
    OrderedJobs jobs;
    jobs.Count = 5;
    jobs.Threads = 1;
    jobs.Run = [&](size_t index, JobProgress& progress, const JobCancelled& cancelled) -> std::optional<uint64_t> {
        elsewhere = elsewhere || std::this_thread::get_id() != caller;
        progress.Total = 10;
        progress.Received = 5;
        if (index == 3) {
            // The cancel test is where progress and the stop are taken care of.
            while (!cancelled()) std::this_thread::sleep_for(1ms);
            return std::nullopt;
        }
        cancelled();
        return 10;
    };
    jobs.Progress = [&](size_t, uint64_t, uint64_t) { ++progressCalls; };
    jobs.Completed = [&](size_t index, uint64_t) { completed.push_back(index); };
    jobs.StopRequested = [&] { return completed.size() == 3; };
    EXPECT_EQ(RunJobsInOrder(jobs), OrderedResult::Stopped);
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(completed, (std::vector<size_t>{0, 1, 2}));
    EXPECT_GE(progressCalls, 3);
}

TEST(OrderedJobsTest, NothingRunsForAnEmptyListOrAStopBeforeTheStart) {
    bool ran = false;
    OrderedJobs jobs;
    jobs.Threads = 4;
    jobs.Run = [&](size_t, JobProgress&, const JobCancelled&) -> std::optional<uint64_t> {
        ran = true;
        return 1;
    };
    EXPECT_EQ(RunJobsInOrder(jobs), OrderedResult::Completed);
    jobs.Count = 3;
    jobs.StopRequested = [] { return true; };
    EXPECT_EQ(RunJobsInOrder(jobs), OrderedResult::Stopped);
    EXPECT_FALSE(ran);
}
}  // namespace
