#include "components/directory_ex.h"
#include "components/long_path_win.h"
#include "engine/download_files_win.h"
#include "engine/fetch_changed_files_win.h"
#include "engine/install_win.h"
#include "engine/silent_updater_win.h"
#include "manifest/manifest.h"
#include "manifest/name_check.h"

#include <windows.h>

bool CSilentUpdater::RunDataPackageUpdate() {
    // The name becomes a folder that is filled and, for staging, deleted
    // with everything in it: anything but one plain folder name could reach
    // the application folder itself or beyond it.
    if (!IsSafePackageName(Name)) return false;

    DeleteLeftoverBackups(ApplicationFolder);

    if (!DownloadFiles({ManifestFileName}, *Transfer, Type, StagingFolder)) return false;

    std::vector<S_UpdateFileInfo> changed;
    BuildPackageFileList(StagingFolder + ManifestFileName, TargetFolder, changed);

    if (FetchChangedFiles(changed, *Transfer, Type, StagingFolder) &&
        InstallStagedFiles(changed, StagingFolder, TargetFolder)) {
        // The package's own record of its release: replaced only when every
        // file of that release is in place, so a partial install is retried.
        CopyFileW(LongPath(StagingFolder + ManifestFileName).c_str(), LongPath(TargetFolder + ManifestFileName).c_str(),
                  FALSE);
    }
    CDirectoryEx::DeleteDirectory(StagingFolder);
    return true;
}
