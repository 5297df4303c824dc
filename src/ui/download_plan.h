#pragma once
// The update dialog's list of files still to fetch, with the size each one
// must arrive with.
#include "manifest/update_file_info.h"

#include <cstdint>
#include <string>
#include <vector>

struct DownloadPlan {
    std::vector<std::string> Names;     // in manifest order
    std::vector<int32_t> ExpectedSizes;  // same order
};

// Sizes are the manifest's "SIZE" read as atoi would, saturating at the
// 32-bit limits; a size that is no number expects 0 bytes.
DownloadPlan PlanDownloads(const std::vector<S_UpdateFileInfo>& toFetch);
