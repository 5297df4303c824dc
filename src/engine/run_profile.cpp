#include "engine/run_profile.h"

#include "engine/update_area.h"
#include "manifest/manifest.h"
#include "manifest/name_check.h"

namespace {
// The folders only: nothing is created, checked or deleted here.
RunProfile Folders(const std::string& applicationFolder, int32_t type, const std::string& name) {
    RunProfile profile;
    profile.Type = type;
    profile.Name = name;
    profile.ApplicationFolder = applicationFolder;
    profile.TargetFolder = type == 1 ? applicationFolder : applicationFolder + name + "\\";
    profile.StagingFolder = CUpdateArea(applicationFolder).StagingFolder(type, name);
    return profile;
}
}  // namespace

RunProfile SilentProgramRun(const std::string& applicationFolder) {
    RunProfile profile = Folders(applicationFolder, 1, "Program");
    profile.RunKind = "silent";
    profile.ManifestFileName = kProgramManifestName;
    profile.Layout = ManifestLayout::Program;
    profile.Version = VersionRecord::Always;
    profile.RecordSectionFormat = "%Y-%m-%d";
    return profile;
}

RunProfile SilentPackageRun(const std::string& applicationFolder, int32_t type, const std::string& name) {
    RunProfile profile = Folders(applicationFolder, type, name);
    profile.RunKind = "silent package " + name;
    profile.ManifestFileName = kPackageManifestName;
    profile.Layout = ManifestLayout::DataPackage;
    profile.Version = VersionRecord::Never;
    // The run's own manifest, fetched and checked by it, is the package's
    // record of its release. The dialog reads the package's UpdateConfig.ini
    // and so has no config.ini to copy: one left staged by an earlier run
    // would be a stale record.
    profile.CopiesPackageManifest = true;
    return profile;
}

RunProfile DialogRun(const std::string& applicationFolder, int32_t type, const std::string& name) {
    RunProfile profile = Folders(applicationFolder, type, name);
    profile.RunKind = type == 1 ? std::string("dialog") : "dialog package " + name;
    profile.ManifestFileName = kProgramManifestName;
    profile.Layout = ManifestLayout::Program;
    profile.Version = type == 1 ? VersionRecord::WhenGreater : VersionRecord::Never;
    profile.RecordSectionFormat = kDateTimeRecordSection;
    profile.AskedByPerson = true;
    return profile;
}

bool HasUsableFolders(const RunProfile& profile) {
    return profile.IsProgram() || (IsSafePackageName(profile.Name) && !IsReservedPackageName(profile.Name));
}
