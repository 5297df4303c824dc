#pragma once
// Runs the jobs of a list on a few threads at once while the calling thread
// sees them end in list order, as if they had run one after the other: the
// k-th completion it reports is job k's, whatever order the jobs finish in;
// the first failed job in list order ends the run, and nothing after it is
// reported; a stop ends the run at once. Jobs after a failed one are
// cancelled, since their results can no longer be reported.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

// What a running job shows of itself, written by the job and read by the
// calling thread at any time.
struct JobProgress {
    std::atomic<uint64_t> Received{0};
    std::atomic<uint64_t> Total{0};  // 0: unknown
};

// Whether a running job's result is still wanted; the job asks it often and
// returns soon after it turns true.
using JobCancelled = std::function<bool()>;

// The jobs of a run as the workers that divide them among themselves see
// them (OrderedJobs::Work): each job is ended once, by whichever worker
// performs it. Safe from any thread.
class JobItems {
public:
    virtual JobProgress& Progress(size_t index) = 0;
    virtual void Succeeded(size_t index, uint64_t size) = 0;
    virtual void Failed(size_t index) = 0;
    // Whether job `index`'s result is no longer wanted: after a stop, or
    // after an earlier job in list order failed (Cancelled(0): a stop).
    virtual bool Cancelled(size_t index) const = 0;

protected:
    ~JobItems() = default;
};

struct OrderedJobs {
    size_t Count = 0;
    size_t Threads = 1;  // at most this many jobs run at once
    // On a worker thread: performs job `index` and gives its size, or
    // nullopt when it failed or was cancelled.
    std::function<std::optional<uint64_t>(size_t index, JobProgress& progress, const JobCancelled& cancelled)> Run;
    // Instead of Run, for work that is not one job at a time (a request
    // that brings several files): on each worker thread, called until it
    // returns false, performs the next piece of work, ending every job it
    // takes through `items`. With Work, the jobs always run on workers.
    std::function<bool(JobItems& items)> Work;
    // The rest is called on the calling thread only, never while a lock is
    // held, so they may take their time (a sent window message) and the
    // workers carry on meanwhile.
    // The first job not yet reported, whenever its progress has changed.
    std::function<void(size_t index, uint64_t received, uint64_t total)> Progress;
    // Job `index` has ended well; called in list order.
    std::function<void(size_t index, uint64_t size)> Completed;
    // Asked between reports and at least every kPollMillis; true ends the run.
    std::function<bool()> StopRequested;
};

enum class OrderedResult {
    Completed,  // every job, in order (an empty list included)
    Failed,     // the first failed job in list order was reached
    Stopped,    // StopRequested said so
};

constexpr unsigned kPollMillis = 50;

// Returns once every worker thread has ended. With one thread or one job,
// the jobs run on the calling thread itself.
OrderedResult RunJobsInOrder(const OrderedJobs& jobs);
