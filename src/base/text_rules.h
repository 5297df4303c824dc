#pragma once
// The rules by which the updater compares its GBK texts: names without
// regard to ASCII case, and file names against '*' and '?' patterns. A GBK
// character is one byte, or a lead byte (0x81-0xFE) followed by a trail
// byte that may look like an ASCII letter, '\' or '|': every rule here
// walks by character so that a trail byte is never taken for one of those.
#include <cstddef>
#include <string>
#include <string_view>

constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The byte length of the character that starts at text[at]: 2 for a lead
// byte with a byte after it, otherwise 1.
constexpr size_t GbkCharLength(std::string_view text, size_t at) {
    return IsGbkLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// ASCII letters folded to lower case; other characters, and the trail bytes
// of double-byte ones, stay as they are. Names of sections, keys, files and
// switches are compared in this form.
std::string FoldAsciiCase(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool EndsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix);

// Whether a file name matches a pattern of '*' (any run of characters) and
// '?' (one character), ASCII letters without regard to case, a GBK
// double-byte character counting as one character. "*.*" matches every
// name, as on Windows; unlike FindFirstFile, short 8.3 names never match
// ("*.bak" does not take in "a.bak1").
bool MatchesWildcard(std::string_view name, std::string_view pattern);
