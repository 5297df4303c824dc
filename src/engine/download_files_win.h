#pragma once
// The one way a list of files is fetched into a folder: by the silent runs
// with no window, and by the update dialog's download thread, which reports
// progress to the dialog and can be asked to stop. Several files travel at
// once; the observer sees them arrive in list order (transfer_win.h).
#include "transfer/transfer_win.h"

#include <cstdint>
#include <string>
#include <vector>

using DownloadObserver = FetchObserver;
using DownloadResult = FetchResult;

// Fetches each name into folder + name, creating its folder first.
// Completion notices come one per name in list order. Files fetched whole
// before a failure or a stop stay where they are, those after a failed one
// included.
DownloadResult DownloadFiles(const std::vector<std::string>& names, CQIRAUpdateIntf& transfer, uint32_t type,
                             const std::string& folder, const DownloadObserver& observer = {});
