#pragma once
// The one way a list of files is fetched into a folder: by the silent runs
// with no window, and by the update dialog's download thread, which reports
// progress to the dialog and can be asked to stop.
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
    // Asked before every file; true ends the download there.
    std::function<bool()> StopRequested;
};

enum class DownloadResult {
    Fetched,  // every name (an empty list included)
    Failed,   // a name could not be fetched; later names were not tried
    Stopped,  // a stop was requested between two files
};

// Fetches each name into folder + name, in order, creating its folder first.
// Files fetched before a failure or a stop stay where they are.
DownloadResult DownloadFiles(const std::vector<std::string>& names, CQIRAUpdateIntf& transfer, uint32_t type,
                             const std::string& folder, const DownloadObserver& observer = {});
