#pragma once
#include <string_view>

// Whether a file name matches a pattern of '*' (any run of characters) and
// '?' (one character), ASCII letters without regard to case, a GBK
// double-byte character counting as one character. "*.*" matches every
// name, as on Windows; unlike FindFirstFile, short 8.3 names never match
// ("*.bak" does not take in "a.bak1").
bool MatchesWildcard(std::string_view name, std::string_view pattern);
