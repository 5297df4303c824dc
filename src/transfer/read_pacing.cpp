#include "transfer/read_pacing.h"

#include <algorithm>

void CReadPacing::Record(uint32_t asked, uint32_t got, uint64_t micros) {
    const bool quick = micros <= kQuickMicros;
    if (asked == 0) {
        next_ = quick && got >= kPlentyBytes ? std::min(kFirstFixedBytes, maxBytes_) : 0;
    } else {
        next_ = quick && got == asked ? static_cast<uint32_t>(std::min<uint64_t>(2ull * asked, maxBytes_)) : 0;
    }
}
