#include "engine/fetch_changed_files_win.h"

#include "engine/download_files_win.h"
#include "manifest/manifest.h"

bool FetchChangedFiles(const std::vector<S_UpdateFileInfo>& changed, CQIRAUpdateIntf& transfer, int32_t type,
                       const std::string& stagingFolder) {
    const std::vector<S_UpdateFileInfo> toFetch = SelectFilesToFetch(changed, stagingFolder);
    std::vector<std::string> names;
    names.reserve(toFetch.size());
    for (const S_UpdateFileInfo& file : toFetch) names.push_back(file.FileName);
    if (!DownloadFiles(names, transfer, type, stagingFolder)) return false;
    for (const S_UpdateFileInfo& file : toFetch) {
        if (!IsFetchedFileValid(file, stagingFolder + file.FileName)) return false;
    }
    return true;
}
