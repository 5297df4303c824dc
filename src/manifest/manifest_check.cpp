#include "manifest/manifest_check.h"

#include "base/number_text.h"
#include "base/text_rules.h"
#include "config/config_syntax.h"
#include "manifest/release_vocabulary.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace {

Failure NotAManifest(std::string why) { return Failure{FailureKind::Unreadable, 0, 0, std::move(why)}; }

bool IsGbkTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

bool IsWellFormedGbk(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0 || c == 0x80 || c == 0xFF) return false;
        if (IsGbkLeadByte(c)) {
            if (i + 1 >= text.size() || !IsGbkTrailByte(static_cast<unsigned char>(text[i + 1]))) return false;
            ++i;
        }
    }
    return true;
}

bool IsWellFormedUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (c == 0 || length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return false;
        }
        i += length;
    }
    return true;
}

std::string_view WithoutUtf8Mark(std::string_view bytes) {
    return bytes.starts_with(kUtf8ByteOrderMark) ? bytes.substr(kUtf8ByteOrderMark.size()) : bytes;
}

// Manifests are GBK, or UTF-8 after its byte-order mark.
bool IsManifestText(std::string_view bytes) {
    if (bytes.starts_with(kUtf8ByteOrderMark)) return IsWellFormedUtf8(bytes.substr(kUtf8ByteOrderMark.size()));
    return IsWellFormedGbk(bytes);
}

std::optional<uint64_t> ReadCount(const ConfigDocument& manifest, const std::string& section) {
    const std::string* text = manifest.Find(section, kFileCountKey);
    return text ? ParseDecimalCount(*text) : std::nullopt;
}

bool IsMd5Text(const std::string& text) {
    std::array<uint8_t, 16> md5{};
    return ParseHex(text, md5.data(), md5.size());
}

// Every listed file of a marked manifest, and the count it states.
Status CheckMarkedFiles(const ConfigDocument& manifest, const std::vector<std::string>& names, uint64_t count) {
    if (names.size() != count) {
        return NotAManifest("it lists " + std::to_string(names.size()) + " files but says " + std::to_string(count) +
                            " (cut short?)");
    }
    for (const std::string& name : names) {
        // A section that is missing has no count either.
        if (ReadCount(manifest, name) != count) {
            return NotAManifest("the section of " + name + " is missing or does not end with " + kFileCountKey + "=" +
                                std::to_string(count) + " (cut short?)");
        }
        const std::string* size = manifest.Find(name, kSizeKey);
        const std::string* md5 = manifest.Find(name, kMd5Key);
        if (!size || !ParseDecimalCount(*size) || !md5 || !IsMd5Text(*md5)) {
            return NotAManifest("the listed file " + name + " has no SIZE or no 32-digit MD5");
        }
    }
    return {};
}
}  // namespace

std::optional<std::string_view> MarkedValue(std::string_view bytes, std::string_view mark) {
    bytes = WithoutUtf8Mark(bytes);
    // Marks stand only in the comment lines before the first section; a
    // line without its end is a manifest cut short there.
    for (size_t start = 0; start < bytes.size() && bytes[start] != '[';) {
        const size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) break;
        const std::string_view line = bytes.substr(start, end - start);
        if (line.starts_with(mark)) return line.substr(mark.size());
        start = bytes.find_first_not_of("\r\n", end);
    }
    return std::nullopt;
}

std::optional<uint64_t> MarkedFileCount(std::string_view bytes) {
    bytes = WithoutUtf8Mark(bytes);
    const std::string_view mark = kFileCountMark;
    if (bytes.substr(0, mark.size()) != mark) return std::nullopt;
    bytes.remove_prefix(mark.size());
    const size_t lineEnd = bytes.find_first_of("\r\n");
    if (lineEnd == std::string_view::npos) return std::nullopt;
    return ParseDecimalCount(bytes.substr(0, lineEnd));
}

Status CheckManifest(std::string_view bytes, const ConfigDocument& manifest, bool programLayout,
                     const std::vector<std::string>& names) {
    if (bytes.empty()) return NotAManifest("the answer is empty");
    if (!IsManifestText(bytes)) return NotAManifest("it is not GBK or UTF-8 text (UTF-16, compressed or binary?)");
    // An error page has no [Version]; a hand-written release may well have
    // one without a VERSION, which reads as the empty version.
    if (programLayout && !manifest.HasSection(kVersionSection)) return NotAManifest("it has no [Version] section");
    if (!programLayout && names.empty()) return NotAManifest("it has no file section");
    // A first line that begins like the mark but does not end like it is a
    // mark cut short, not a hand-written manifest.
    if (!WithoutUtf8Mark(bytes).starts_with(kFileCountMark)) return {};
    const std::optional<uint64_t> count = MarkedFileCount(bytes);
    if (!count) return NotAManifest(std::string("its first line \"") + kFileCountMark + "N\" is cut short");
    return CheckMarkedFiles(manifest, names, *count);
}
