#include "engine/update_area.h"

#include "base/directory_ex.h"
#include "base/text_rules.h"

namespace {
constexpr char kAreaName[] = "UPDATE";
constexpr char kProgramStaging[] = "Program";
constexpr char kRunLogName[] = "update.log";
constexpr char kMarkerSuffix[] = ".install";
constexpr char kRememberedDigestsSuffix[] = ".digests";
constexpr char kTemporarySuffix[] = ".tmp";
constexpr char kKeptFiles[] = "Previous";
constexpr char kKeptRecordSuffix[] = ".kept";
}  // namespace

CUpdateArea::CUpdateArea(std::string applicationFolder) : root_(std::move(applicationFolder) + kAreaName + "\\") {}

std::string CUpdateArea::StagingFolder(int32_t type, const std::string& packageName) const {
    return root_ + (type == 1 ? std::string(kProgramStaging) : packageName) + "\\";
}

std::string CUpdateArea::InstallMarkerPath(const std::string& stagingFolder) {
    return WithoutTrailingSeparators(stagingFolder) + kMarkerSuffix;
}

std::string CUpdateArea::RememberedDigestsPath(const std::string& stagingFolder) {
    return WithoutTrailingSeparators(stagingFolder) + kRememberedDigestsSuffix;
}

std::string CUpdateArea::RunLogPath() const { return root_ + kRunLogName; }

std::string CUpdateArea::KeptFilesFolder() const { return root_ + kKeptFiles + "\\"; }

std::string CUpdateArea::KeptReleasePath() const { return root_ + kKeptFiles + kKeptRecordSuffix; }

bool CUpdateArea::Contains(std::string_view path) const {
    return path.size() > root_.size() && EqualsIgnoringAsciiCase(path.substr(0, root_.size()), root_);
}

bool IsReservedPackageName(std::string_view name) {
    return EqualsIgnoringAsciiCase(name, kAreaName) || EqualsIgnoringAsciiCase(name, kProgramStaging) ||
           EqualsIgnoringAsciiCase(name, kRunLogName) || EqualsIgnoringAsciiCase(name, kKeptFiles) ||
           EqualsIgnoringAsciiCase(name, std::string(kKeptFiles) + kKeptRecordSuffix) || EndsWithIgnoringAsciiCase(name, kMarkerSuffix) ||
           EndsWithIgnoringAsciiCase(name, kRememberedDigestsSuffix) ||
           EndsWithIgnoringAsciiCase(name, kTemporarySuffix);
}
