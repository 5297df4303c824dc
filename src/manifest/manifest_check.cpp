#include "manifest/manifest_check.h"

#include "base/number_text.h"
#include "base/text_rules.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace {
constexpr char kVersionSection[] = "Version";
constexpr char kFilesSection[] = "FILES";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

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
    return bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark ? bytes.substr(kUtf8Mark.size()) : bytes;
}

// Manifests are GBK, or UTF-8 after its byte-order mark.
bool IsManifestText(std::string_view bytes) {
    if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) return IsWellFormedUtf8(bytes.substr(kUtf8Mark.size()));
    return IsWellFormedGbk(bytes);
}

std::optional<uint64_t> ReadCount(const CConfigFile& manifest, const std::string& section) {
    std::string text;
    manifest.ReadString(section, kFileCountKey, "", text);
    return ParseDecimalCount(text);
}

bool IsMd5Text(const std::string& text) {
    std::array<uint8_t, 16> md5{};
    return ParseHex(text, md5.data(), md5.size());
}

// Every listed file of a marked manifest, and the count it states.
Status CheckMarkedFiles(const CConfigFile& manifest, const std::vector<std::string>& names, uint64_t count) {
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
        std::string size, md5;
        manifest.ReadString(name, "SIZE", "", size);
        manifest.ReadString(name, "MD5", "", md5);
        if (!ParseDecimalCount(size) || !IsMd5Text(md5)) {
            return NotAManifest("the listed file " + name + " has no SIZE or no 32-digit MD5");
        }
    }
    return {};
}
}  // namespace

std::optional<uint64_t> MarkedFileCount(std::string_view bytes) {
    bytes = WithoutUtf8Mark(bytes);
    const std::string_view mark = kFileCountMark;
    if (bytes.substr(0, mark.size()) != mark) return std::nullopt;
    bytes.remove_prefix(mark.size());
    const size_t lineEnd = bytes.find_first_of("\r\n");
    if (lineEnd == std::string_view::npos) return std::nullopt;
    return ParseDecimalCount(bytes.substr(0, lineEnd));
}

Status CheckManifest(std::string_view bytes, const CConfigFile& manifest, ManifestLayout layout) {
    if (bytes.empty()) return NotAManifest("the answer is empty");
    if (!IsManifestText(bytes)) return NotAManifest("it is not GBK or UTF-8 text (UTF-16, compressed or binary?)");
    std::vector<std::string> names;
    if (layout == ManifestLayout::Program) {
        std::string version;
        if (manifest.ReadString(kVersionSection, "VERSION", "", version) != 0) {
            return NotAManifest("it has no [Version] with a VERSION");
        }
        manifest.ReadSection(kFilesSection, names);
    } else {
        manifest.ReadSections(names);
        if (names.empty()) return NotAManifest("it has no file section");
    }
    // A first line that begins like the mark but does not end like it is a
    // mark cut short, not a hand-written manifest.
    if (!WithoutUtf8Mark(bytes).starts_with(kFileCountMark)) return {};
    const std::optional<uint64_t> count = MarkedFileCount(bytes);
    if (!count) return NotAManifest(std::string("its first line \"") + kFileCountMark + "N\" is cut short");
    return CheckMarkedFiles(manifest, names, *count);
}
