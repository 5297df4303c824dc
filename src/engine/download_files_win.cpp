#include "engine/download_files_win.h"

#include "base/ensure_parent_folder.h"

DownloadResult DownloadFiles(const std::vector<std::string>& names, CQIRAUpdateIntf& transfer, uint32_t type,
                             const std::string& folder, const DownloadObserver& observer) {
    for (const std::string& name : names) {
        if (observer.StopRequested && observer.StopRequested()) return DownloadResult::Stopped;
        const std::string localPath = folder + name;
        EnsureParentFolder(localPath);
        if (transfer.GetRemoteFile(type, name, localPath, observer.Window, observer.Message) == -1) {
            return DownloadResult::Failed;
        }
    }
    return DownloadResult::Fetched;
}
