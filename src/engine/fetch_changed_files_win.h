#pragma once
#include "components/transfer_win.h"
#include "manifest/update_file_info.h"

#include <cstdint>
#include <string>
#include <vector>

// Fetches the changed files that are not already staged with their digest,
// and accepts the result only when every fetched file has the manifest's
// size and digest: a file that arrived damaged counts as not fetched.
bool FetchChangedFiles(const std::vector<S_UpdateFileInfo>& changed, CQIRAUpdateIntf& transfer, int32_t type,
                       const std::string& stagingFolder);
