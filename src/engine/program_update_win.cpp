#include "components/config_file.h"
#include "components/directory_ex.h"
#include "engine/download_files_win.h"
#include "engine/fetch_changed_files_win.h"
#include "engine/install_win.h"
#include "engine/notify_decision.h"
#include "engine/silent_updater_win.h"
#include "manifest/manifest.h"
#include "manifest/version_compare.h"
#include "settings/register_install_win.h"
#include "settings/update_record.h"

#include <windows.h>

namespace {

// After the files: the configured version, the record and the registry. The
// new version is claimed only when every file is in place; otherwise the
// record says so and the next run compares against the old version again.
void RecordInstall(const std::string& applicationFolder, const std::string& newVersion,
                   const std::string& oldVersion, bool installed) {
    if (installed) WriteConfiguredVersion(applicationFolder, newVersion);
    WriteUpdateRecord(applicationFolder, "%Y-%m-%d", newVersion, oldVersion, installed);
    if (installed) RegisterInstall(applicationFolder, newVersion);
}

}  // namespace

bool CSilentUpdater::RunProgramUpdate() {
    DeleteLeftoverBackups(ApplicationFolder);

    if (!DownloadFiles({ManifestFileName}, *Transfer, Type, StagingFolder)) return false;

    const std::string manifestPath = StagingFolder + ManifestFileName;
    std::vector<S_UpdateFileInfo> changed;
    CompareManifest(S_UpdateCheckInfo(TargetFolder, manifestPath, LocalVersion, LocalRegion), changed);

    const CConfigFile manifest(manifestPath);
    std::string newVersion;
    std::string manifestRegion;
    manifest.ReadString("Version", "VERSION", "", newVersion);
    manifest.ReadString("Version", "REGION", "", manifestRegion);

    if (!changed.empty() && FetchChangedFiles(changed, *Transfer, Type, StagingFolder)) {
        const bool installed = InstallStagedFiles(changed, StagingFolder, TargetFolder);
        RecordInstall(ApplicationFolder, newVersion, LocalVersion, installed);

        const bool notify = ShouldNotify(manifestRegion == LocalRegion, IsVersionGreater(newVersion, LocalVersion),
                                         [&] { return manifest.ReadInteger("Version", "NOTIFIY", 0); });
        if (notify && Notify) {
            std::string webSiteUrl;
            CCryptConfigFile(ApplicationFolder + "Config.dat", "").ReadString("Server", "WebSiteURL", "", webSiteUrl);
            if (Notify(LocalVersion, newVersion, webSiteUrl) == IDYES) CloseClient();
        }
        RestartClient(ApplicationFolder, RestartDelayMs);
    }
    CDirectoryEx::DeleteDirectory(StagingFolder);
    return true;
}
