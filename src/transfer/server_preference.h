#pragma once
// What a run learns about its servers as it goes, shared by its threads.
//
// The order in which a run asks its servers for a file. It starts in list
// order; once a server has shown that it is down or overloaded (no
// connection, a time-out, a 5xx answer), the rest of the run asks the server
// after it first, so that thousands of files do not each wait out the same
// dead server. Shared by the threads of one run.
#include <atomic>
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

// Whether a server is worth asking for a file's optional form (its .gz, or
// a patch): a mirror that copies only the files it knows has none, and
// asking it for each would double its requests.
class CFormsSeen {
public:
    static constexpr unsigned kMissesToGiveUp = 3;

    explicit CFormsSeen(size_t servers) : found_(servers), missing_(servers) {}

    // Safe from any thread.
    void Found(size_t server) { ++found_[server]; }
    void Missing(size_t server) { ++missing_[server]; }
    // False once the server said "missing" kMissesToGiveUp times and gave none.
    bool WorthAsking(size_t server) const { return found_[server] > 0 || missing_[server] < kMissesToGiveUp; }

private:
    std::vector<std::atomic<unsigned>> found_;
    std::vector<std::atomic<unsigned>> missing_;
};
