#include "engine/silent_updater_win.h"

#include "base/directory_ex.h"
#include "engine/client_program_win.h"
#include "manifest/manifest.h"

#include <windows.h>

void CSilentUpdater::InitProgram() { InitProgram(CDirectoryEx::GetApplicationPath()); }

void CSilentUpdater::InitProgram(const std::string& applicationFolder) {
    run_ = std::make_unique<CUpdateRun>(SilentProgramRun(applicationFolder));
}

void CSilentUpdater::InitDataPackage(int32_t type, const std::string& name) {
    InitDataPackage(type, name, CDirectoryEx::GetApplicationPath());
}

void CSilentUpdater::InitDataPackage(int32_t type, const std::string& name, const std::string& applicationFolder) {
    run_ = std::make_unique<CUpdateRun>(SilentPackageRun(applicationFolder, type, name));
}

RunOutcome CSilentUpdater::RunProgramUpdate() {
    CUpdateRun& run = *run_;
    const CheckResult checked = run.Check();
    if (checked == CheckResult::Failed) return run.Conclude();
    if (checked == CheckResult::UpToDate || checked == CheckResult::NotYet) {
        run.RemoveStagingFolder();
        return run.Conclude();
    }
    // A file that could not be fetched installs nothing. What did arrive
    // stays staged, partial downloads of large files included, for the next
    // run to continue from; it checks every staged file's digest first.
    if (!run.FetchFiles()) return run.Conclude();
    // The install records the new version; the notification names the one it replaced.
    const UpdateSettings before = run.Settings();
    // A file that arrived damaged installs nothing either, and the next run
    // starts again from the manifest.
    if (run.Install() == InstallResult::StagedFilesInvalid) {
        run.RemoveStagingFolder();
        return run.Conclude();
    }
    if (Notify && ShouldNotify(run.Header(), before.Version, before.Region)) {
        const bool upgradeNow = Notify(before.Version, run.Header().Version, before.WebSiteURL) == IDYES;
        run.Log().Write(upgradeNow ? "the user chose to upgrade now: closing the client" : "the user chose later");
        if (upgradeNow) CloseClient();
    }
    run.RestartClient(RestartDelayMs);
    run.RemoveStagingFolder();
    run.WatchClientStart(Lock);
    return run.Conclude();
}

RunOutcome CSilentUpdater::RunDataPackageUpdate() {
    CUpdateRun& run = *run_;
    const CheckResult checked = run.Check();
    if (checked == CheckResult::Failed) return run.Conclude();
    // The package's record of its release stays that of the files it has.
    if (checked == CheckResult::NotYet) {
        run.RemoveStagingFolder();
        return run.Conclude();
    }
    // What arrived of a failed fetch stays staged for the next run, as above.
    if (!run.FetchFiles()) return run.Conclude();
    // Even with every file current the package's manifest is replaced by
    // the server's: it is the package's only record of its release.
    run.Install();
    run.RemoveStagingFolder();
    return run.Conclude();
}
