#include "engine/download_files_win.h"

#include "engine/ensure_parent_folder.h"

bool DownloadFiles(const std::vector<std::string>& names, CQIRAUpdateIntf& transfer, int32_t type,
                   const std::string& stagingFolder) {
    for (const std::string& name : names) {
        const std::string localPath = stagingFolder + name;
        EnsureParentFolder(localPath);
        if (transfer.GetRemoteFile(static_cast<uint32_t>(type), name, localPath, nullptr, 0) == -1) return false;
    }
    return true;
}
