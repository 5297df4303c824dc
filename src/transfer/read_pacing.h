#pragma once
// How much of a body to ask WinHTTP for at a time. A read may wait until
// all it asked for has arrived (Wine's does), so on a slow link a large one
// would hide the data that does arrive: the idle limit would strike a link
// that is merely slow, and progress would stall. Asking only for what has
// arrived is safe but, on a fast link, takes many small reads. So reads
// take what has arrived until that is plenty; then they ask for a fixed
// size, doubling it while such reads complete quickly, and go back to what
// has arrived after one that did not. A large read could only be mistaken
// for silence if the link slowed down several hundredfold within it.
#include <cstdint>

class CReadPacing {
public:
    static constexpr uint32_t kPlentyBytes = 8 * 1024;       // what has arrived: enough to go on with fixed sizes
    static constexpr uint32_t kFirstFixedBytes = 64 * 1024;
    static constexpr uint64_t kQuickMicros = 50 * 1000;

    explicit CReadPacing(uint32_t maxBytes) : maxBytes_(maxBytes) {}

    // The size of the next read; 0 means as much as has arrived.
    uint32_t Next() const { return next_; }
    // A read that asked for `asked` bytes (0: what had arrived) got `got` in `micros`.
    void Record(uint32_t asked, uint32_t got, uint64_t micros);

private:
    uint32_t maxBytes_;
    uint32_t next_ = 0;
};
