#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// A count written as decimal digits only: no sign, no white space, no
// overflow. Anything else is no count at all.
std::optional<uint64_t> ParseDecimalCount(std::string_view text);
