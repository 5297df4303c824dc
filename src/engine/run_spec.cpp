#include "engine/run_spec.h"

#include "base/text_rules.h"
#include "manifest/name_check.h"

namespace {
constexpr char kProgramManifest[] = "UpdateConfig.ini";
constexpr char kPackageManifest[] = "config.ini";

// The folders only: nothing is created, checked or deleted here.
RunSpec Folders(const std::string& applicationFolder, int32_t type, const std::string& name) {
    RunSpec spec;
    spec.Type = type;
    spec.Name = name;
    spec.ApplicationFolder = applicationFolder;
    if (type == 1) {
        spec.TargetFolder = applicationFolder;
        spec.StagingFolder = applicationFolder + "UPDATE\\Program\\";
    } else {
        spec.TargetFolder = applicationFolder + name + "\\";
        spec.StagingFolder = applicationFolder + "UPDATE\\" + name + "\\";
    }
    spec.CopiesPackageManifest = type != 1;
    return spec;
}
}  // namespace

RunSpec SilentProgramRun(const std::string& applicationFolder) {
    RunSpec spec = Folders(applicationFolder, 1, "Program");
    spec.RunKind = "silent";
    spec.ManifestFileName = kProgramManifest;
    spec.Layout = ManifestLayout::Program;
    spec.Version = VersionRecord::Always;
    spec.RecordSectionFormat = "%Y-%m-%d";
    return spec;
}

RunSpec SilentPackageRun(const std::string& applicationFolder, int32_t type, const std::string& name) {
    RunSpec spec = Folders(applicationFolder, type, name);
    spec.RunKind = "silent package " + name;
    spec.ManifestFileName = kPackageManifest;
    spec.Layout = ManifestLayout::DataPackage;
    spec.Version = VersionRecord::Never;
    return spec;
}

RunSpec DialogRun(const std::string& applicationFolder, int32_t type, const std::string& name) {
    RunSpec spec = Folders(applicationFolder, type, name);
    spec.RunKind = type == 1 ? std::string("dialog") : "dialog package " + name;
    spec.ManifestFileName = kProgramManifest;
    spec.Layout = ManifestLayout::Program;
    spec.Version = type == 1 ? VersionRecord::WhenGreater : VersionRecord::Never;
    spec.RecordSectionFormat = "%Y-%m-%d %H:%M:%S";
    return spec;
}

bool HasUsableFolders(const RunSpec& spec) {
    return spec.IsProgram() || (IsSafePackageName(spec.Name) && !EqualsIgnoringAsciiCase(spec.Name, "UPDATE"));
}
