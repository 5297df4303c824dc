#pragma once
// Instants in UTC to the second, written "YYYY-MM-DDTHH:MM:SSZ". Calendar
// arithmetic only: no time zone and none of the C library's local-time
// functions, so every machine reads and writes the same text for the same
// instant.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

using UtcTime = std::chrono::sys_seconds;

// Exactly that form: four-digit year, a date of the calendar, hours 00-23,
// minutes and seconds 00-59 (no leap second). Anything else is no time.
std::optional<UtcTime> ParseUtcTime(std::string_view text);

// The same form. An instant outside the years 0000-9999 gives a text that
// ParseUtcTime refuses rather than one that reads as another instant.
std::string FormatUtcTime(UtcTime time);
