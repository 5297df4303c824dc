#pragma once
// The order in which a run asks its servers for a file. It starts in list
// order; once a server has shown that it is down or overloaded (no
// connection, a time-out, a 5xx answer), the rest of the run asks the server
// after it first, so that thousands of files do not each wait out the same
// dead server. Shared by the threads of one run.
#include <cstddef>
#include <mutex>
#include <vector>

class CServerPreference {
public:
    explicit CServerPreference(size_t count) : count_(count) {}

    // Every server index once: the preferred one, then those after it in
    // list order, wrapping around.
    std::vector<size_t> Order() const;

    // Server `index` failed that way. Only the preferred server's failure
    // moves the preference on: several threads that all saw the same server
    // fail move it once, not once each.
    void Demote(size_t index);

private:
    mutable std::mutex mutex_;
    size_t count_;
    size_t first_ = 0;
};
