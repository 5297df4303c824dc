#include "manifest/listed_packs.h"

namespace {
constexpr std::string_view kPackPrefix = "packs/";
static_assert(kPackPrefix.substr(0, kPackPrefix.size() - 1) == std::string_view(kPackFolder));
}  // namespace

std::string PackFileName(std::string_view hexDigits) {
    return std::string(kPackPrefix).append(hexDigits).append(kPackSuffix);
}

bool IsPackFileName(std::string_view name) {
    const std::string_view suffix = kPackSuffix;
    if (name.size() != kPackPrefix.size() + kPackNameHexDigits + suffix.size() || !name.starts_with(kPackPrefix) ||
        !name.ends_with(suffix)) {
        return false;
    }
    return name.substr(kPackPrefix.size(), kPackNameHexDigits).find_first_not_of("0123456789abcdef") ==
           std::string_view::npos;
}
