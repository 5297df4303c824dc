#include "engine/install_marker.h"

#include "base/file_io.h"
#include "config/config_syntax.h"

namespace {
constexpr char kSection[] = "Install";
constexpr size_t kMaxMarkerBytes = 64 * 1024;

const char* VersionRecordName(VersionRecord rule) {
    switch (rule) {
    case VersionRecord::Always:
        return "always";
    case VersionRecord::WhenGreater:
        return "greater";
    case VersionRecord::Never:
        return "never";
    }
    return "never";
}

std::optional<VersionRecord> ParseVersionRecord(const std::string& text) {
    for (const VersionRecord rule : {VersionRecord::Always, VersionRecord::WhenGreater, VersionRecord::Never}) {
        if (text == VersionRecordName(rule)) return rule;
    }
    return std::nullopt;
}
}  // namespace

Status WriteInstallMarker(const std::string& path, const InstallMarker& marker) {
    ConfigDocument document;
    const std::pair<const char*, std::string> keys[] = {
        {"Manifest", marker.ManifestFileName},
        {"ManifestMD5", marker.ManifestMD5},
        {"Layout", marker.Layout == ManifestLayout::Program ? "program" : "package"},
        {"NewVersion", marker.NewVersion},
        {"ReleaseId", marker.ReleaseId},
        {"OldVersion", marker.OldVersion},
        {"VersionRecord", VersionRecordName(marker.Version)},
        {"RecordSectionFormat", marker.RecordSectionFormat},
        {"CopiesPackageManifest", marker.CopiesPackageManifest ? "1" : "0"},
        {"Published", marker.Published ? FormatUtcTime(*marker.Published) : std::string()},
    };
    for (const auto& [key, value] : keys) {
        // A version with a line break in it cannot be kept in the marker.
        if (!document.Set(kSection, key, value)) {
            return Failure{FailureKind::BadRequest, 0, 0, std::string("its ") + key + " cannot be written as text"};
        }
    }
    return ReplaceFileAtomically(path, document.Serialize());
}

std::optional<InstallMarker> ReadInstallMarker(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, kMaxMarkerBytes, bytes) != FileReadStatus::Ok) return std::nullopt;
    const ConfigDocument document = ConfigDocument::Parse(bytes);
    auto value = [&](const char* key) -> const std::string* { return document.Find(kSection, key); };
    const std::string* manifest = value("Manifest");
    const std::string* digest = value("ManifestMD5");
    const std::string* layout = value("Layout");
    const std::string* rule = value("VersionRecord");
    if (!manifest || manifest->empty() || !digest || !layout || !rule) return std::nullopt;
    const std::optional<VersionRecord> version = ParseVersionRecord(*rule);
    if (!version || (*layout != "program" && *layout != "package")) return std::nullopt;

    InstallMarker marker;
    marker.ManifestFileName = *manifest;
    marker.ManifestMD5 = *digest;
    marker.Layout = *layout == "program" ? ManifestLayout::Program : ManifestLayout::DataPackage;
    marker.Version = *version;
    for (const auto& [key, target] : {std::pair{"NewVersion", &marker.NewVersion},
                                      std::pair{"ReleaseId", &marker.ReleaseId},
                                      std::pair{"OldVersion", &marker.OldVersion},
                                      std::pair{"RecordSectionFormat", &marker.RecordSectionFormat}}) {
        if (const std::string* found = value(key)) *target = *found;
    }
    const std::string* copies = value("CopiesPackageManifest");
    marker.CopiesPackageManifest = copies && *copies == "1";
    if (const std::string* published = value("Published")) marker.Published = ParseUtcTime(*published);
    return marker;
}
