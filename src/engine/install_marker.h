#pragma once
// The mark that an install is under way. It is written (and flushed) beside
// the staging folder before the first installed file is replaced and
// removed once the install is recorded, so a run that finds it knows that
// the previous one was cut short in between, which release it was putting
// in place and how that release was to be recorded.
#include "base/failure.h"
#include "base/utc_time_text.h"
#include "engine/run_profile.h"

#include <optional>
#include <string>

struct InstallMarker {
    std::string ManifestFileName;  // the staged manifest the install came from
    std::string ManifestMD5;       // of its bytes: a manifest fetched since is another release
    ManifestLayout Layout = ManifestLayout::Program;
    std::string NewVersion;
    std::string ReleaseId;   // of the release (release_reader.h), which the program's kept files belong to
    std::string OldVersion;  // the configured version before the install
    VersionRecord Version = VersionRecord::Always;
    std::string RecordSectionFormat;
    bool CopiesPackageManifest = false;
    // The publication time of the release's verified statement, which the
    // finished install makes the newest accepted; nothing when unsigned.
    std::optional<UtcTime> Published;
};

// Written through to the disk, or why it could not be.
Status WriteInstallMarker(const std::string& path, const InstallMarker& marker);
// Nothing when there is no marker or it cannot be read as one.
std::optional<InstallMarker> ReadInstallMarker(const std::string& path);
