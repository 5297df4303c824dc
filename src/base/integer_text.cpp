#include "base/integer_text.h"

#include <cctype>
#include <limits>
#include <string_view>

int32_t ParseLeadingInteger(const std::string& text, size_t maxChars) {
    const std::string_view digits = std::string_view(text).substr(0, maxChars);
    size_t i = 0;
    while (i < digits.size() && std::isspace(static_cast<unsigned char>(digits[i]))) ++i;
    bool negative = false;
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) negative = digits[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < digits.size() && std::isdigit(static_cast<unsigned char>(digits[i])); ++i) {
        value = value * 10 + (digits[i] - '0');
        if (value > kLimit) value = kLimit;  // bounded, so any number of digits is safe
    }
    if (negative) return static_cast<int32_t>(-value);  // -2^31 at the most, which fits
    return value > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}
