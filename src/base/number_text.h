#pragma once
// Numbers and bytes written in digits: the counts and sizes of manifests,
// statements and HTTP headers, the atoi-style integers of configuration
// files and command lines, and the hexadecimal digests.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A count written as decimal digits only: no sign, no white space, no
// overflow. Anything else is no count at all.
std::optional<uint64_t> ParseDecimalCount(std::string_view text);

// atoi over at most maxChars characters (leading blanks, a sign, digits),
// saturating at the 32-bit limits instead of overflowing. Text that is no
// number gives 0.
int32_t ParseLeadingInteger(const std::string& text, size_t maxChars);

// Two lowercase hexadecimal digits per byte, as md5sum prints them.
std::string LowerHex(const uint8_t* bytes, size_t count);

// The bytes that text spells in hexadecimal digits of either case; false
// (bytes unspecified) unless text is exactly 2 * count digits.
bool ParseHex(std::string_view text, uint8_t* bytes, size_t count);
