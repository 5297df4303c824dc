#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Two lowercase hexadecimal digits per byte, as md5sum prints them.
std::string LowerHex(const uint8_t* bytes, size_t count);
