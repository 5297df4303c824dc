#pragma once
// Where one update run works and how it records what it installed. The
// three runs of the updater (silent program, silent data package, dialog)
// differ only in these values; everything else is the one update run.
#include "manifest/release_reader.h"

#include <cstdint>
#include <string>

// When a complete install writes the new version into "Config.dat" and the registry.
enum class VersionRecord {
    Always,       // whatever the version
    WhenGreater,  // Config.dat only when the new version is greater; the registry always
    Never,        // a data package has no version of its own
};

// The update record's sections named by the local date and time, as the
// dialog's installs and every rollback name theirs.
inline constexpr char kDateTimeRecordSection[] = "%Y-%m-%d %H:%M:%S";

struct RunProfile {
    std::string RunKind;             // how the log names the run: "silent", "silent package Maps", "dialog"
    int32_t Type = 1;                // package type: 1 the program, any other a data package
    std::string Name;                // the data package's folder name
    std::string ApplicationFolder;   // ends with '\'
    std::string TargetFolder;        // where the installed files lie; ends with '\'
    std::string StagingFolder;       // where files are fetched to; ends with '\'
    std::string ManifestFileName;    // fetched into the staging folder
    ManifestLayout Layout = ManifestLayout::Program;
    VersionRecord Version = VersionRecord::Always;
    // strftime format of the update record's section; empty: no record.
    std::string RecordSectionFormat;
    // The silent package run's "config.ini" goes into the package's folder after a complete install.
    bool CopiesPackageManifest = false;
    // The dialog: a person asked, and takes any release in rollout that is
    // not paused (rollout_decision.h); silent runs wait for their place.
    bool AskedByPerson = false;

    bool IsProgram() const { return Type == 1; }
};

// -silent: the program's files in the application folder, staged in
// "UPDATE\Program\", manifest "UpdateConfig.ini".
RunProfile SilentProgramRun(const std::string& applicationFolder);
// -silent -t:TYPE -d:NAME: the folder NAME\, staged in "UPDATE\NAME\",
// manifest "config.ini", no version and no record.
RunProfile SilentPackageRun(const std::string& applicationFolder, int32_t type, const std::string& name);
// The update dialog: "UpdateConfig.ini" for every type, the program's or
// the package's folders, a record per install with date and time.
RunProfile DialogRun(const std::string& applicationFolder, int32_t type, const std::string& name);

// A data package's name becomes a folder that is filled and, for staging,
// deleted with everything in it: only one plain folder name will do, and
// none that the updater's own area reserves (update_area.h).
bool HasUsableFolders(const RunProfile& profile);
