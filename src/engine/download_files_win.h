#pragma once
// The one way a list of files is fetched into a folder: by the silent runs
// with no window, and by the update dialog's download thread, which reports
// progress to the dialog and can be asked to stop. Several files travel at
// once; the observer sees them arrive in list order.
#include "transfer/transfer_win.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct DownloadObserver {
    // Receives the transfer's progress and completion notices; null for none.
    HWND Window = nullptr;
    UINT Message = 0;
    // Asked while the files travel; true ends every transfer at once.
    std::function<bool()> StopRequested;
};

enum class DownloadResult {
    Fetched,  // every name (an empty list included)
    Failed,   // a name could not be fetched; no notice followed its predecessors'
    Stopped,  // a stop was requested
};

// Fetches each name into folder + name, creating its folder first.
// Completion notices come one per name in list order. Files fetched whole
// before a failure or a stop stay where they are, those after a failed one
// included.
DownloadResult DownloadFiles(const std::vector<std::string>& names, CQIRAUpdateIntf& transfer, uint32_t type,
                             const std::string& folder, const DownloadObserver& observer = {});
