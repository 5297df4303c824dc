#include "manifest/name_check.h"

#include "base/text_rules.h"

#include <array>
#include <string>

namespace {

bool IsForbiddenByte(unsigned char c) {
    if (c < 0x20 || c == 0x7f) return true;
    switch (c) {
        case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*':
            return true;
        default:
            return false;
    }
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, with or without an
// extension ("nul.txt" opens the device too).
bool IsReservedDeviceName(std::string_view component) {
    const std::string stem = FoldAsciiCase(component.substr(0, component.find('.')));
    static constexpr std::array<const char*, 4> kPlain = {"con", "prn", "aux", "nul"};
    for (const char* name : kPlain) {
        if (stem == name) return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// GBK lead bytes (0x81-0xFE) take the next byte as their trail, and a trail
// byte may be '\' (0x5C) or '|' (0x7C): those are not separators or
// forbidden characters, so the name is walked by character, not by byte.
const char* WhyUnsafeComponent(std::string_view component) {
    if (component.empty()) return "an empty name or folder";
    if (component == "." || component == "..") return "a \".\" or \"..\" folder";
    const unsigned char last = static_cast<unsigned char>(component.back());
    if (last == '.' || last == ' ') return "a name that ends in a dot or a blank";
    for (size_t i = 0; i < component.size(); i += GbkCharLength(component, i)) {
        const auto c = static_cast<unsigned char>(component[i]);
        if (IsGbkLeadByte(c)) {
            if (i + 1 >= component.size()) return "a GBK lead byte without its trail";
            continue;
        }
        if (IsForbiddenByte(c)) return "a character that Windows forbids in names";
    }
    return IsReservedDeviceName(component) ? "a name that Windows reserves for a device" : nullptr;
}

}  // namespace

const char* WhyUnsafeManifestName(std::string_view name) {
    if (name.empty()) return "an empty name";
    for (const std::string_view suffix : {std::string_view(kBackupSuffix), std::string_view(kInstallTempSuffix)}) {
        if (EndsWithIgnoringAsciiCase(name, suffix)) return "a name the updater keeps for its own files";
    }
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); i += i < name.size() ? GbkCharLength(name, i) : 1) {
        if (i < name.size() && name[i] != '\\') continue;
        if (const char* why = WhyUnsafeComponent(name.substr(start, i - start))) return why;
        start = i + 1;
    }
    return nullptr;
}

bool IsSafeManifestName(std::string_view name) { return WhyUnsafeManifestName(name) == nullptr; }

bool IsSafePackageName(std::string_view name) { return WhyUnsafeComponent(name) == nullptr; }
