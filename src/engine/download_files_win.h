#pragma once
#include "components/transfer_win.h"

#include <cstdint>
#include <string>
#include <vector>

// Fetches each name into stagingFolder + name, creating its folder first,
// with no window. Stops at the first failure and returns false; true when
// every name was fetched (an empty list included).
bool DownloadFiles(const std::vector<std::string>& names, CQIRAUpdateIntf& transfer, int32_t type,
                   const std::string& stagingFolder);
