#include "transfer/speed_floor.h"

bool CSpeedFloor::Holds(uint64_t received, uint64_t nowMillis) {
    if (windowMillis_ == 0 || nowMillis < windowStart_ + windowMillis_) return true;
    // Judged over the time that really passed, which may exceed the window
    // when the check comes late.
    const uint64_t elapsed = nowMillis - windowStart_;
    if ((received - windowStartBytes_) * 1000 < minBytesPerSecond_ * elapsed) return false;
    windowStart_ = nowMillis;
    windowStartBytes_ = received;
    return true;
}
