#include "transfer/transfer_rules.h"

#include "base/number_text.h"

#include <algorithm>

std::optional<uint64_t> ParseContentLength(std::string_view text) { return ParseDecimalCount(text); }

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

void CReadPacing::Record(uint32_t asked, uint32_t got, uint64_t micros) {
    const bool quick = micros <= kQuickMicros;
    if (asked == 0) {
        next_ = quick && got >= kPlentyBytes ? std::min(kFirstFixedBytes, maxBytes_) : 0;
    } else {
        next_ = quick && got == asked ? static_cast<uint32_t>(std::min<uint64_t>(2ull * asked, maxBytes_)) : 0;
    }
}

bool CProgressThrottle::IsDue(uint64_t received, uint64_t nowMillis) {
    if (total_ == 0 || received >= total_) return false;
    if (received - lastBytes_ < kMinBytes || nowMillis - lastMillis_ < kMinMillis) return false;
    lastBytes_ = received;
    lastMillis_ = nowMillis;
    return true;
}
