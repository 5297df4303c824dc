#include "engine/silent_updater_win.h"

#include "base/directory_ex.h"
#include "engine/client_program_win.h"

#include <windows.h>

void CSilentUpdater::InitProgram() { InitProgram(CDirectoryEx::GetApplicationPath()); }

void CSilentUpdater::InitProgram(const std::string& applicationFolder) {
    run_ = std::make_unique<CUpdateRun>(SilentProgramRun(applicationFolder), ReadUpdateSettings(applicationFolder));
}

void CSilentUpdater::InitDataPackage(int32_t type, const std::string& name) {
    InitDataPackage(type, name, CDirectoryEx::GetApplicationPath());
}

void CSilentUpdater::InitDataPackage(int32_t type, const std::string& name, const std::string& applicationFolder) {
    run_ = std::make_unique<CUpdateRun>(SilentPackageRun(applicationFolder, type, name),
                                        ReadUpdateSettings(applicationFolder));
}

bool CSilentUpdater::RunProgramUpdate() {
    CUpdateRun& run = *run_;
    switch (run.Check()) {
    case CheckResult::UnusableFolders:
    case CheckResult::ManifestNotFetched:
    case CheckResult::Refused:
        return false;
    case CheckResult::UpToDate:
        run.RemoveStagingFolder();
        return true;
    case CheckResult::UpdateDue:
        break;
    }
    // A file that could not be fetched, or arrived damaged, installs nothing;
    // the next run starts again from the manifest.
    if (!run.FetchFiles() || run.Install() == InstallResult::StagedFilesInvalid) {
        run.RemoveStagingFolder();
        return true;
    }
    const UpdateSettings& settings = run.Settings();
    if (Notify && ShouldNotify(run.Header(), settings.Version, settings.Region) &&
        Notify(settings.Version, run.Header().Version, settings.WebSiteURL) == IDYES) {
        CloseClient();
    }
    RestartClient(run.Spec().ApplicationFolder, RestartDelayMs);
    run.RemoveStagingFolder();
    return true;
}

bool CSilentUpdater::RunDataPackageUpdate() {
    CUpdateRun& run = *run_;
    switch (run.Check()) {
    case CheckResult::UnusableFolders:
    case CheckResult::ManifestNotFetched:
    case CheckResult::Refused:
        return false;
    case CheckResult::UpToDate:
    case CheckResult::UpdateDue:
        break;
    }
    // Even with every file current the package's manifest is replaced by
    // the server's: it is the package's only record of its release.
    if (run.FetchFiles()) run.Install();
    run.RemoveStagingFolder();
    return true;
}
