#include "transfer/read_pacing.h"

#include <algorithm>

void CReadPacing::Record(uint32_t bytes, uint64_t micros) {
    if (micros > kQuickMicros) {
        next_ = 0;
        return;
    }
    const uint64_t doubled = std::max<uint64_t>(2ull * bytes, kFirstFixedBytes);
    next_ = static_cast<uint32_t>(std::min<uint64_t>(doubled, maxBytes_));
}
