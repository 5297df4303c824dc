#pragma once
// Base64 with the standard alphabet and '=' padding (RFC 4648, section 4).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

std::string EncodeBase64(const uint8_t* bytes, size_t count);
inline std::string EncodeBase64(std::string_view bytes) {
    return EncodeBase64(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Accepts only the one canonical spelling of some bytes: a length that is a
// multiple of four, nothing outside the alphabet (no blanks or line ends),
// padding only at the end and unused bits zero. So a signature or key has
// exactly one text, and anything else is refused rather than guessed at.
bool DecodeBase64(std::string_view text, std::string& bytes);
