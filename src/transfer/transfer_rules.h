#pragma once
// The rules every request of a transfer follows: how long it may take,
// what an announced length must look like, how slow a body may be, how
// much of it to ask for at a time, and how often its progress is worth a
// notification.
#include <cstdint>
#include <optional>
#include <string_view>

// How long a transfer may take before a server is given up on.
struct TransferLimits {
    uint32_t ConnectMillis = 15000;      // to resolve, connect and send the request
    uint32_t IdleMillis = 30000;         // for the answer, and between two pieces of the body
    uint32_t FloorWindowMillis = 30000;  // averaged under FloorBytesPerSecond over it: too slow (0: no floor)
    uint64_t FloorBytesPerSecond = 1024;
};

// The value of a Content-Length header: decimal digits only, no sign, no
// white space, no overflow. Anything else is no length at all.
std::optional<uint64_t> ParseContentLength(std::string_view text);

// The slowest transfer still worth waiting for. A server that sends a byte
// now and then never trips the idle limit, yet would hold a run (and its
// single-instance mutex) for hours: a transfer that averages under the
// floor's rate over a whole window fails as a stalled one does.
class CSpeedFloor {
public:
    // A window of 0 switches the floor off.
    CSpeedFloor(uint64_t windowMillis, uint64_t minBytesPerSecond, uint64_t startMillis)
        : windowMillis_(windowMillis), minBytesPerSecond_(minBytesPerSecond), windowStart_(startMillis) {}

    // When the current window ends: a wait for data should not run past it,
    // so that a transfer that sends nothing at all is judged on time as well.
    uint64_t WindowEnd() const { return windowStart_ + windowMillis_; }

    // `received` counts from the floor's start. False once a window has
    // passed with fewer bytes than the rate asks for; a window that held
    // enough starts the next one.
    bool Holds(uint64_t received, uint64_t nowMillis);

private:
    uint64_t windowMillis_;
    uint64_t minBytesPerSecond_;
    uint64_t windowStart_;
    uint64_t windowStartBytes_ = 0;
};

// How much of a body to ask WinHTTP for at a time. A read may wait until
// all it asked for has arrived (Wine's does), so on a slow link a large one
// would hide the data that does arrive: the idle limit would strike a link
// that is merely slow, and progress would stall. Asking only for what has
// arrived is safe but, on a fast link, takes many small reads. So reads
// take what has arrived until that is plenty; then they ask for a fixed
// size, doubling it while such reads complete quickly, and go back to what
// has arrived after one that did not. A large read could only be mistaken
// for silence if the link slowed down several hundredfold within it.
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

// Decides when a transfer's progress is worth a notification: at most one per
// 64 KiB and per 100 ms, so that a fast transfer does not flood the receiver
// with messages and a slow one does not repaint for every packet.
class CProgressThrottle {
public:
    static constexpr uint64_t kMinBytes = 64 * 1024;
    static constexpr uint64_t kMinMillis = 100;

    // `total` 0 means unknown: no progress is ever due then.
    CProgressThrottle(uint64_t total, uint64_t startMillis) : total_(total), lastMillis_(startMillis) {}

    // True when a notification (received, total) should go out now; it is
    // then counted as sent. Never true for received >= total: the equal pair
    // is the completion notice and belongs to the file's end alone.
    bool IsDue(uint64_t received, uint64_t nowMillis);

private:
    uint64_t total_;
    uint64_t lastBytes_ = 0;
    uint64_t lastMillis_;
};
