#include "settings/newest_published.h"

#include "base/number_text.h"
#include "base/text_rules.h"

#include <limits>
#include <vector>

namespace {
constexpr std::string_view kPrefix = "newestpublished.";
constexpr std::string_view kProgram = "program";
constexpr std::string_view kPackage = "package";

// The type a key names (folded to lower case), or 0 for any other key.
int32_t TypeOfKey(std::string_view folded) {
    if (!folded.starts_with(kPrefix)) return 0;
    const std::string_view target = folded.substr(kPrefix.size());
    if (target == kProgram) return 1;
    if (!target.starts_with(kPackage)) return 0;
    const std::string_view digits = target.substr(kPackage.size());
    const std::optional<uint64_t> type = ParseDecimalCount(digits);
    if (!type || digits[0] == '0' || *type < 2 || *type > std::numeric_limits<int32_t>::max()) return 0;
    return static_cast<int32_t>(*type);
}
}  // namespace

std::string NewestPublishedKey(int32_t type) {
    return type == 1 ? "NewestPublished.program" : "NewestPublished.package" + std::to_string(type);
}

NewestPublishedTimes ReadNewestPublished(const CCryptConfigFile& config) {
    std::vector<std::string> keys;
    config.ReadSection("Update", keys);
    NewestPublishedTimes times;
    for (const std::string& key : keys) {
        const int32_t type = TypeOfKey(FoldAsciiCase(key));
        if (type == 0) continue;
        // A hand-edited file may name the key twice: the time only grows, so
        // the greatest binds, and a write keeps that one alone.
        std::vector<std::string> values;
        config.ReadValues("Update", key, values);
        for (const std::string& value : values) {
            const std::optional<UtcTime> time = ParseUtcTime(value);
            if (!time) continue;
            const auto [held, added] = times.emplace(type, *time);
            if (!added && held->second < *time) held->second = *time;
        }
    }
    return times;
}

NewestPublishedWrite WriteNewestPublished(CCryptConfigFile& config, int32_t type, UtcTime time) {
    if (config.State() == CryptConfigState::Unreadable) return NewestPublishedWrite::ConfigUnreadable;
    const NewestPublishedTimes stored = ReadNewestPublished(config);
    if (const auto found = stored.find(type); found != stored.end() && found->second >= time) {
        return NewestPublishedWrite::AlreadyNewer;
    }
    return config.WriteString("Update", NewestPublishedKey(type), FormatUtcTime(time)) == 0
               ? NewestPublishedWrite::Written
               : NewestPublishedWrite::NotWritten;
}
