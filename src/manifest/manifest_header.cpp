#include "manifest/manifest_header.h"

#include "manifest/version_compare.h"

namespace {
constexpr char kVersionSection[] = "Version";
}

ManifestHeader ReadManifestHeader(const CConfigFile& manifest) {
    ManifestHeader header;
    manifest.ReadString(kVersionSection, "VERSION", "", header.Version);
    manifest.ReadString(kVersionSection, "REGION", "", header.Region);
    header.Unconditional = manifest.ReadInteger(kVersionSection, "UNCONDITIONALUPDATE", 0) != 0;
    header.Notify = manifest.ReadInteger(kVersionSection, "NOTIFIY", 0) != 0;
    return header;
}

bool IsUpdateDue(const ManifestHeader& header, const std::string& localVersion, const std::string& localRegion) {
    return header.Unconditional || header.Region != localRegion || IsVersionGreater(header.Version, localVersion);
}

bool ShouldNotify(const ManifestHeader& header, const std::string& localVersion, const std::string& localRegion) {
    if (header.Region != localRegion) return true;
    return IsVersionGreater(header.Version, localVersion) && header.Notify;
}
