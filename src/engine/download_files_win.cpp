#include "engine/download_files_win.h"

#include "base/ensure_parent_folder.h"

DownloadResult DownloadFiles(const std::vector<std::string>& names, CQIRAUpdateIntf& transfer, uint32_t type,
                             const std::string& folder, const DownloadObserver& observer) {
    std::vector<RemoteFile> files;
    files.reserve(names.size());
    for (const std::string& name : names) {
        files.push_back({name, folder + name});
        EnsureParentFolder(files.back().LocalPath);
    }
    return transfer.GetRemoteFiles(type, files, observer);
}
