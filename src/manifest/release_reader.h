#pragma once
// The one reading of a release: a fetched manifest's bytes are checked
// (manifest_check.h), parsed once, and turned into its header and one typed
// entry per listed file (update_file_info.h). Nothing after this reads the
// manifest's text again.
#include "base/failure.h"
#include "manifest/release_rollout.h"
#include "manifest/update_file_info.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How a fetched manifest lists its files.
enum class ManifestLayout {
    Program,      // "UpdateConfig.ini": [Version] header, [FILES], one section per file
    DataPackage,  // "config.ini": every section is a file
};

// The program layout's [Version] section; a data package's "config.ini"
// has none, and only its release identity and rollout are filled in.
struct ManifestHeader {
    std::string Version;         // VERSION; absent reads as empty
    std::string Region;          // REGION
    bool Unconditional = false;  // UNCONDITIONALUPDATE non-zero: compare the files whatever the version
    bool Notify = false;         // NOTIFIY non-zero: a silent run asks before closing the client
    // What tells this release from every other of its target: the
    // publisher's RELEASEID, or, in a manifest written by hand, one derived
    // from the target, VERSION and the listed files' names and MD5s
    // (DeriveReleaseId). It stays when only how the release is handed out
    // changes, and differs between two releases with other files.
    std::string ReleaseId;
    // ROLLOUT and its growth: which share of installations takes the
    // release; every one when the manifest says nothing.
    ReleaseRollout Rollout;
};

// A listed name that is never fetched or installed, and why.
struct SkippedName {
    std::string Name;
    const char* Why = "";
};

struct Release {
    ManifestLayout Layout = ManifestLayout::Program;
    ManifestHeader Header;
    std::vector<S_UpdateFileInfo> Files;  // in manifest order, safe names only
    std::vector<SkippedName> Skipped;     // unsafe names (name_check.h), in manifest order
};

// Checks a fetched manifest of the layout for the package type and reads
// it; Unreadable (with why) when the bytes are no manifest of the layout.
Status ReadRelease(std::string_view bytes, ManifestLayout layout, int32_t type, Release& release);

// 32 lower-case hex digits: the MD5 of the target ("program", "package N"),
// the version and each listed file's name and MD5 (lower-case hex, empty
// when none is listed), each ended by a line feed.
// The publisher writes the same for the releases it makes, so that a
// manifest with and without the key names one release alike.
struct IdentifiedFile {
    std::string_view Name;
    std::string_view Md5Hex;
};
std::string DeriveReleaseId(int32_t type, std::string_view version, const std::vector<IdentifiedFile>& files);

// Whether text is a release identity as the publisher writes it.
bool IsReleaseId(std::string_view text);
