#pragma once
// The "[Version]" section of a program manifest ("UpdateConfig.ini"): which
// release it describes and how an installation decides whether it is due.
#include "config/config_file.h"

#include <string>

struct ManifestHeader {
    std::string Version;         // VERSION
    std::string Region;          // REGION
    bool Unconditional = false;  // UNCONDITIONALUPDATE non-zero: compare the files whatever the version
    bool Notify = false;         // NOTIFIY non-zero: a silent run asks before closing the client
};

// Absent keys read as empty texts and 0.
ManifestHeader ReadManifestHeader(const CConfigFile& manifest);

// An update is due when it is forced, when the regions differ in any way, or
// when the release's version is greater than the installed one (byte-wise).
bool IsUpdateDue(const ManifestHeader& header, const std::string& localVersion, const std::string& localRegion);

// Whether a silent program update asks the user with the new-version
// notification: always for another region; for the same region only when
// the version is greater and the manifest asks for it.
bool ShouldNotify(const ManifestHeader& header, const std::string& localVersion, const std::string& localRegion);
