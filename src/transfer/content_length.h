#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// The value of a Content-Length header: decimal digits only, no sign, no
// white space, no overflow. Anything else is no length at all.
std::optional<uint64_t> ParseContentLength(std::string_view text);
