#include "manifest/listed_patches.h"

#include "base/number_text.h"

#include <algorithm>
#include <optional>

namespace {
constexpr size_t kMd5HexDigits = 32;

std::optional<ListedPatch> ParseEntry(std::string_view entry) {
    const size_t colon = entry.find(':');
    if (colon == std::string_view::npos || !IsLowerHexMd5(entry.substr(0, colon))) return std::nullopt;
    const std::optional<uint64_t> bytes = ParseDecimalCount(entry.substr(colon + 1));
    if (!bytes || *bytes == 0) return std::nullopt;
    return ListedPatch{std::string(entry.substr(0, colon)), *bytes};
}
}  // namespace

bool IsLowerHexMd5(std::string_view text) {
    return text.size() == kMd5HexDigits && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

ListedPatches ParseListedPatches(std::string_view value) {
    ListedPatches listed;
    while (!value.empty()) {
        const size_t comma = value.find(',');
        const std::string_view entry = value.substr(0, comma);
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
        const std::optional<ListedPatch> patch = ParseEntry(entry);
        const auto sameBase = [&](const ListedPatch& earlier) { return earlier.BaseMd5 == patch->BaseMd5; };
        if (patch && std::none_of(listed.Patches.begin(), listed.Patches.end(), sameBase)) {
            listed.Patches.push_back(*patch);
        } else {
            listed.Unusable.emplace_back(entry);
        }
    }
    return listed;
}

std::string FormatListedPatches(const std::vector<ListedPatch>& patches) {
    std::string text;
    for (const ListedPatch& patch : patches) {
        text += (text.empty() ? "" : ",") + patch.BaseMd5 + ":" + std::to_string(patch.Bytes);
    }
    return text;
}

std::string PatchFileName(std::string_view fileName, std::string_view baseMd5) {
    return std::string(fileName) + "." + std::string(baseMd5) + kPatchSuffix;
}
