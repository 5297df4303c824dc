#pragma once
// The one way files are fetched into a folder: by the silent runs with no
// window, and by the update dialog's download thread, which reports
// progress to the dialog and can be asked to stop. Several files travel at
// once; the observer sees them arrive in list order (transfer_win.h).
#include "manifest/manifest.h"
#include "manifest/update_file_info.h"
#include "transfer/transfer_win.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using DownloadObserver = FetchObserver;

// Where fetched files go, and where the installed copies lie that patches
// apply to (empty: no file travels as a patch). Both end with a separator.
// Checked, when given, remembers every file that arrived as listed.
struct DownloadFolders {
    std::string Staging;
    std::string Installed;
    CCheckedStagedFiles* Checked = nullptr;
};

// Fetches each listed file into the staging folder + its name, creating
// its folder first. A file with a listed patch for its installed copy
// (patch_use.h) travels as that patch, else one with a compressed form
// travels compressed; none may be larger than listed, and one that arrives
// other than listed is asked for from the next server. Completion notices
// come one per file in list order. Files fetched whole before a failure or
// a stop stay where they are, those after a failed one included.
FetchResult DownloadFiles(const std::vector<S_UpdateFileInfo>& files, CQIRAUpdateIntf& transfer, uint32_t type,
                          const DownloadFolders& folders, const DownloadObserver& observer = {});

// One file known by its name alone (a manifest, a signature), of maxBytes
// at most, and what `check` says of it when given (transfer_win.h).
FetchResult DownloadNamedFile(const std::string& name, uint64_t maxBytes, CQIRAUpdateIntf& transfer, uint32_t type,
                              const std::string& folder,
                              ArrivalCheck check = nullptr);
