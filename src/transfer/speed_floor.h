#pragma once
// The slowest transfer still worth waiting for. A server that sends a byte
// now and then never trips the idle limit, yet would hold a run (and its
// single-instance mutex) for hours: a transfer that averages under the
// floor's rate over a whole window fails as a stalled one does.
#include <cstdint>

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
