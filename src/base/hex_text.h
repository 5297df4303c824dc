#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Two lowercase hexadecimal digits per byte, as md5sum prints them.
std::string LowerHex(const uint8_t* bytes, size_t count);

// The bytes that text spells in hexadecimal digits of either case; false
// (bytes unspecified) unless text is exactly 2 * count digits.
bool ParseHex(std::string_view text, uint8_t* bytes, size_t count);
