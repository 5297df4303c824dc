#include "base/running_work.h"

#include <atomic>
#include <thread>

namespace {
// Trivially destructible, so that it outlives every static object: work
// that ends during the process's own end still finds it.
std::atomic<size_t> running{0};
constexpr std::chrono::milliseconds kPoll{10};
}  // namespace

CRunningWork::CRunningWork() { ++running; }

CRunningWork::~CRunningWork() {
    if (counted_) --running;
}

CRunningWork::CRunningWork(CRunningWork&& other) noexcept { other.counted_ = false; }

size_t RunningWorkCount() { return running.load(); }

bool WaitUntilNoWorkRuns(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (running.load() != 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
}
