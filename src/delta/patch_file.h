#pragma once
// What the updater calls: applies a fetched patch file to the installed
// copy and leaves the result at resultPath only when it is whole and is the
// file expected (see patch_applier.h for the checks). The installed copy is
// read shared, so a file that the running client holds open can be the
// base. On any failure resultPath is as it was and the reason comes back.
#include "delta/patch_applier.h"
#include "delta/patch_result.h"

#include <string>

PatchResult ApplyPatchFile(const std::string& patchPath, const std::string& basePath, const std::string& resultPath,
                           const ExpectedResult& expected);
