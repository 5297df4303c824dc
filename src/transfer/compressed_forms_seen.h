#pragma once
// Which servers of a run serve the compressed forms of a release. A mirror
// that copies only the plain files answers "missing" for every NAME.gz, and
// asking it for each one would double the requests of the run (and fill
// its log): after a few misses and no find, it is asked for plain files only.
#include <atomic>
#include <cstddef>
#include <vector>

class CCompressedFormsSeen {
public:
    static constexpr unsigned kMissesToGiveUp = 3;

    explicit CCompressedFormsSeen(size_t servers) : found_(servers), missing_(servers) {}

    // Safe from any thread.
    void Found(size_t server) { ++found_[server]; }
    void Missing(size_t server) { ++missing_[server]; }
    // False once the server said "missing" kMissesToGiveUp times and gave none.
    bool WorthAsking(size_t server) const { return found_[server] > 0 || missing_[server] < kMissesToGiveUp; }

private:
    std::vector<std::atomic<unsigned>> found_;
    std::vector<std::atomic<unsigned>> missing_;
};
