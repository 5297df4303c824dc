#include "transfer/ordered_jobs.h"

#include "base/running_work.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace {
constexpr size_t kNone = std::numeric_limits<size_t>::max();

enum class JobState { Waiting, Succeeded, Failed };

struct JobEnd {
    JobState State = JobState::Waiting;
    uint64_t Size = 0;
};

class CJobBoard final : public JobItems {
public:
    explicit CJobBoard(const OrderedJobs& jobs) : jobs_(jobs), ends_(jobs.Count), progress_(jobs.Count) {}

    void Work() {
        if (jobs_.Work) {
            while (!stopped_.load() && jobs_.Work(*this)) {}
            return;
        }
        for (size_t index = next_++; index < jobs_.Count && !Cancelled(index); index = next_++) {
            const JobCancelled cancelled = [this, index] { return Cancelled(index); };
            const std::optional<uint64_t> size = jobs_.Run(index, progress_[index], cancelled);
            if (size) {
                Succeeded(index, *size);
            } else {
                Failed(index);
            }
        }
    }

    JobProgress& Progress(size_t index) override { return progress_[index]; }
    void Succeeded(size_t index, uint64_t size) override { End(index, {JobState::Succeeded, size}); }
    void Failed(size_t index) override { End(index, {JobState::Failed, 0}); }
    bool Cancelled(size_t index) const override {
        if (stopped_.load()) return true;
        const std::lock_guard<std::mutex> hold(mutex_);
        return index > firstFailure_;
    }

    OrderedResult Report() {
        uint64_t shownReceived = 0, shownTotal = 0;
        std::unique_lock<std::mutex> hold(mutex_);
        for (size_t head = 0;;) {
            if (head == jobs_.Count) return OrderedResult::Completed;
            const JobEnd end = ends_[head];
            if (end.State == JobState::Failed) return OrderedResult::Failed;
            hold.unlock();
            if (jobs_.StopRequested && jobs_.StopRequested()) return OrderedResult::Stopped;
            if (end.State == JobState::Succeeded) {
                if (jobs_.Completed) jobs_.Completed(head, end.Size);
                ++head;
                shownReceived = shownTotal = 0;
                hold.lock();
                continue;
            }
            const uint64_t received = progress_[head].Received.load();
            const uint64_t total = progress_[head].Total.load();
            if (jobs_.Progress && (received != shownReceived || total != shownTotal)) {
                jobs_.Progress(head, received, total);
                shownReceived = received;
                shownTotal = total;
            }
            hold.lock();
            // Woken by any job's end; the time-out is for progress and the stop test.
            if (ends_[head].State == JobState::Waiting) changed_.wait_for(hold, std::chrono::milliseconds(kPollMillis));
        }
    }

    void Stop() { stopped_ = true; }

private:
    void End(size_t index, JobEnd end) {
        {
            const std::lock_guard<std::mutex> hold(mutex_);
            ends_[index] = end;
            if (end.State == JobState::Failed && index < firstFailure_) firstFailure_ = index;
        }
        changed_.notify_one();
    }

    const OrderedJobs& jobs_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<JobEnd> ends_;       // guarded by mutex_
    size_t firstFailure_ = kNone;    // guarded by mutex_
    std::vector<JobProgress> progress_;
    std::atomic<size_t> next_{0};
    std::atomic<bool> stopped_{false};
};

// One job at a time, or a single one, needs no worker: the job runs on the calling thread,
// and its cancel test, which it asks often, shows its progress and asks for
// the stop in between.
OrderedResult RunOneAtATime(const OrderedJobs& jobs) {
    for (size_t index = 0; index < jobs.Count; ++index) {
        JobProgress progress;
        uint64_t shownReceived = 0, shownTotal = 0;
        bool stopped = false;
        const JobCancelled cancelled = [&] {
            const uint64_t received = progress.Received.load(), total = progress.Total.load();
            if (jobs.Progress && (received != shownReceived || total != shownTotal)) {
                jobs.Progress(index, received, total);
                shownReceived = received;
                shownTotal = total;
            }
            stopped = stopped || (jobs.StopRequested && jobs.StopRequested());
            return stopped;
        };
        const std::optional<uint64_t> size = jobs.Run(index, progress, cancelled);
        if (stopped || (jobs.StopRequested && jobs.StopRequested())) return OrderedResult::Stopped;
        if (!size) return OrderedResult::Failed;
        if (jobs.Completed) jobs.Completed(index, *size);
    }
    return OrderedResult::Completed;
}
}  // namespace

OrderedResult RunJobsInOrder(const OrderedJobs& jobs) {
    if (jobs.Count == 0) return OrderedResult::Completed;
    if (jobs.StopRequested && jobs.StopRequested()) return OrderedResult::Stopped;
    if (!jobs.Work && (jobs.Threads <= 1 || jobs.Count == 1)) return RunOneAtATime(jobs);
    CJobBoard board(jobs);
    OrderedResult result;
    {
        std::vector<std::jthread> workers;  // joined at the end of this scope, after the stop below
        const size_t threads = std::clamp<size_t>(jobs.Threads, 1, jobs.Count);
        for (size_t t = 0; t < threads; ++t) workers.push_back(StartCountedThread([&board] { board.Work(); }));
        result = board.Report();
        board.Stop();
    }
    return result;
}
