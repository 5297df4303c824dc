#pragma once
// The newest publication time of a signed release that this installation
// accepted, one per target, kept in "Config.dat" [Update]:
//   NewestPublished.program=2026-12-08T07:00:00Z
//   NewestPublished.package2=2026-12-01T09:30:00Z
// A release whose statement was published before it is a replay and is
// refused. It lives beside the release key, outside "UPDATE\", so that
// deleting the staging area does not reset it.
#include "base/utc_time_text.h"
#include "config/config_file.h"

#include <cstdint>
#include <map>
#include <string>

// By package type; 1 is the program.
using NewestPublishedTimes = std::map<int32_t, UtcTime>;

// "NewestPublished.program" for type 1, "NewestPublished.package<type>" otherwise.
std::string NewestPublishedKey(int32_t type);

// Every such key of [Update] (names without regard to ASCII letter case).
// A value that is no time counts as none: only who can write Config.dat
// can put one there, and they can as well remove the release key.
NewestPublishedTimes ReadNewestPublished(const CCryptConfigFile& config);

enum class NewestPublishedWrite {
    Written,
    AlreadyNewer,      // Config.dat holds this time or a later one, and is left as it is
    ConfigUnreadable,  // Config.dat exists but cannot be read; it is never overwritten
    NotWritten,        // it could not be replaced (no access, a full disk)
};

// Remembers the time for the package type in "Config.dat", unless it holds
// a later one: the file is re-read, merged and replaced atomically, and the
// time never goes back.
NewestPublishedWrite WriteNewestPublished(CCryptConfigFile& config, int32_t type, UtcTime time);
