#pragma once
// The work the updater has started and that has not ended yet: its own
// threads, from before they start until their last statement, and the
// requests it handed to WinHTTP until WinHTTP has said its last word about
// them. A process that ends while such work still runs ends under it
// (static objects destroyed, the system's libraries unloading): the end of
// the process waits for it, for a bounded time, and says when it did not end.
#include <chrono>
#include <cstddef>
#include <thread>
#include <utility>

class CRunningWork {
public:
    CRunningWork();
    ~CRunningWork();
    CRunningWork(CRunningWork&& other) noexcept;
    CRunningWork& operator=(CRunningWork&&) = delete;
    CRunningWork(const CRunningWork&) = delete;
    CRunningWork& operator=(const CRunningWork&) = delete;

private:
    bool counted_ = true;
};

// Starts fn on a thread that counts as running work from before it starts
// until fn has returned.
template <typename Function>
std::jthread StartCountedThread(Function fn) {
    return std::jthread([work = CRunningWork(), fn = std::move(fn)]() mutable {
        fn();
        (void)work;
    });
}

// How many pieces of work have started and not ended.
size_t RunningWorkCount();

// Waits until no work runs, at most `limit`; false when some still does.
bool WaitUntilNoWorkRuns(std::chrono::milliseconds limit);
