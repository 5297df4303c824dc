#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// atoi over at most maxChars characters (leading blanks, a sign, digits),
// saturating at the 32-bit limits instead of overflowing. Text that is no
// number gives 0.
int32_t ParseLeadingInteger(const std::string& text, size_t maxChars);
