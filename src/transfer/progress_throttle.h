#pragma once
// Decides when a transfer's progress is worth a notification: at most one per
// 64 KiB and per 100 ms, so that a fast transfer does not flood the receiver
// with messages and a slow one does not repaint for every packet.
#include <cstdint>

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
