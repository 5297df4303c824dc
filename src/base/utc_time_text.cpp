#include "base/utc_time_text.h"

#include <cstdio>

namespace {
constexpr std::string_view kForm = "0000-00-00T00:00:00Z";  // '0' stands for any digit

int DigitsAt(std::string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}
}  // namespace

std::optional<UtcTime> ParseUtcTime(std::string_view text) {
    using namespace std::chrono;
    if (text.size() != kForm.size()) return std::nullopt;
    for (size_t i = 0; i < kForm.size(); ++i) {
        const bool wanted = kForm[i] == '0' ? text[i] >= '0' && text[i] <= '9' : text[i] == kForm[i];
        if (!wanted) return std::nullopt;
    }
    const year_month_day date{year{DigitsAt(text, 0, 4)}, month{static_cast<unsigned>(DigitsAt(text, 5, 2))},
                              day{static_cast<unsigned>(DigitsAt(text, 8, 2))}};
    const int hour = DigitsAt(text, 11, 2);
    const int minute = DigitsAt(text, 14, 2);
    const int second = DigitsAt(text, 17, 2);
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return sys_days{date} + hours{hour} + minutes{minute} + seconds{second};
}

std::string FormatUtcTime(UtcTime time) {
    using namespace std::chrono;
    const sys_days midnight = floor<days>(time);
    const year_month_day date{midnight};
    const long long second = (time - midnight).count();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), second / 3600,
                  second / 60 % 60, second % 60);
    return text;
}
