#pragma once
// What "UPDATE\Previous\" holds, written beside it as "Previous.kept": the
// release whose install replaced the kept files, the versions before and
// after it, and for each name that install touches whether it replaced a
// file (kept under the same name in the folder) or added one (which a
// rollback removes). It is written through to the disk before the first
// installed file is replaced, so that whatever a crash leaves, a rollback
// knows every name to put back; and before a rollback touches a file it is
// rewritten as that rollback's mark, so that a run which finds it so
// finishes the rollback first (as install_marker.h does for an install).
#include "base/failure.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class KeptState {
    Installing,   // the install is under way or cut short: the next install continues the keep
    Installed,    // the install was recorded whole: the release may be rolled back
    RollingBack,  // a rollback is under way: the next run finishes it
};

struct KeptName {
    std::string Name;       // as the manifest lists it
    bool Replaced = false;  // false: the install added it
};

struct KeptRelease {
    KeptState State = KeptState::Installing;
    std::string ReleaseId;   // of the release the install puts in place (release_reader.h)
    std::string NewVersion;  // its version
    // Config.dat's version before the first replaced file, which a rollback
    // records again, and after the install, which tells a rollback that no
    // other release was recorded since.
    std::string OldVersion;
    std::string InstalledVersion;
    // The update record's section of the rollback, chosen as it starts.
    std::string RecordSection;
    std::vector<KeptName> Names;  // in the order the installs listed them
};

// The keep that an install of the release releaseId continues or starts.
// The keep of an install that was not recorded whole, or of the same
// release, goes on: its names stand as they are, since a file that the
// earlier attempt replaced must come back as it was before that attempt.
// Any other keep gives way to a fresh one (fresh is set: the caller empties
// the folder first), whose old version is oldVersion. Each of names not in
// the keep yet is noted as replaced when isInstalled says a file is there
// now, otherwise as added; names match without regard to ASCII letter case,
// as Windows names do. Only a release installed whole and put in place
// again (a file deleted since) notes none: a name its first install left
// alone was the same in the release before. The result is Installing.
KeptRelease KeepForInstall(const std::optional<KeptRelease>& existing, const std::string& releaseId,
                           const std::string& newVersion, const std::string& oldVersion,
                           const std::vector<std::string>& names,
                           const std::function<bool(const std::string&)>& isInstalled, bool& fresh);

// Written through to the disk, or why it could not be.
Status WriteKeptRelease(const std::string& path, const KeptRelease& kept);
// Nothing when there is none or it cannot be read as one.
std::optional<KeptRelease> ReadKeptRelease(const std::string& path);
