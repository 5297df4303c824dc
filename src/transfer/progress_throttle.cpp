#include "transfer/progress_throttle.h"

bool CProgressThrottle::IsDue(uint64_t received, uint64_t nowMillis) {
    if (total_ == 0 || received >= total_) return false;
    if (received - lastBytes_ < kMinBytes || nowMillis - lastMillis_ < kMinMillis) return false;
    lastBytes_ = received;
    lastMillis_ = nowMillis;
    return true;
}
