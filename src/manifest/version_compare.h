#pragma once
#include <string_view>

// Versions, regions and digests are texts compared byte by byte. A version is
// greater when its first differing byte is greater (unsigned), or when the
// other version is a proper prefix of it: "2.0.1" > "2.0", "1.0.10" < "1.0.9".
// This is the only version comparison of the updater.
bool IsVersionGreater(std::string_view version, std::string_view than);
