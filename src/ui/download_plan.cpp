#include "ui/download_plan.h"

#include <algorithm>
#include <limits>

DownloadPlan PlanDownloads(const std::vector<S_UpdateFileInfo>& toFetch) {
    DownloadPlan plan;
    for (const S_UpdateFileInfo& file : toFetch) {
        plan.Names.push_back(file.FileName);
        const uint64_t size = file.Size.value_or(0);
        plan.ExpectedSizes.push_back(
            static_cast<int32_t>(std::min<uint64_t>(size, std::numeric_limits<int32_t>::max())));
    }
    return plan;
}
