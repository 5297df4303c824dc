#include "base/base64.h"

#include <array>

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int8_t kNotInAlphabet = -1;

constexpr std::array<int8_t, 256> MakeValues() {
    std::array<int8_t, 256> values{};
    for (int8_t& value : values) value = kNotInAlphabet;
    for (int8_t i = 0; i < 64; ++i) values[static_cast<uint8_t>(kAlphabet[i])] = i;
    return values;
}
constexpr std::array<int8_t, 256> kValues = MakeValues();
}  // namespace

std::string EncodeBase64(const uint8_t* bytes, size_t count) {
    std::string text;
    text.reserve((count + 2) / 3 * 4);
    for (size_t i = 0; i < count; i += 3) {
        const size_t left = count - i;
        const uint32_t group = (uint32_t{bytes[i]} << 16) | (left > 1 ? uint32_t{bytes[i + 1]} << 8 : 0) |
                               (left > 2 ? uint32_t{bytes[i + 2]} : 0);
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
        text += left > 2 ? kAlphabet[group & 63] : '=';
    }
    return text;
}

bool DecodeBase64(std::string_view text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0) return false;
    size_t padding = 0;
    if (!text.empty() && text.back() == '=') padding = text[text.size() - 2] == '=' ? 2 : 1;
    std::string decoded;
    decoded.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const size_t digits = last ? 4 - padding : 4;
        uint32_t group = 0;
        for (size_t j = 0; j < 4; ++j) {
            int8_t value = 0;
            if (j < digits) {
                value = kValues[static_cast<uint8_t>(text[i + j])];
                if (value == kNotInAlphabet) return false;
            }
            group = (group << 6) | static_cast<uint32_t>(value);
        }
        // The bits below the last whole byte must be zero: otherwise two
        // texts would decode to the same bytes.
        if ((digits == 2 && (group & 0xFFFF) != 0) || (digits == 3 && (group & 0xFF) != 0)) return false;
        decoded += static_cast<char>(group >> 16);
        if (digits > 2) decoded += static_cast<char>((group >> 8) & 0xFF);
        if (digits > 3) decoded += static_cast<char>(group & 0xFF);
    }
    bytes = std::move(decoded);
    return true;
}
