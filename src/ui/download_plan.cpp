#include "ui/download_plan.h"

#include "base/number_text.h"

DownloadPlan PlanDownloads(const std::vector<S_UpdateFileInfo>& toFetch) {
    DownloadPlan plan;
    for (const S_UpdateFileInfo& file : toFetch) {
        plan.Names.push_back(file.FileName);
        plan.ExpectedSizes.push_back(ParseLeadingInteger(file.Size, file.Size.size()));
    }
    return plan;
}
