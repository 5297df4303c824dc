#pragma once
// A changed file travels as a patch when its release lists one against the
// copy installed now (the MD5 the compare found), the patch is smaller than
// what would travel otherwise, and the file has a listed size to bound the
// result by. The patch is applied to the installed copy, read with the
// sharing the running client allows, into the staging folder; the result
// counts only as the listed file.
#include "base/failure.h"
#include "manifest/listed_patches.h"
#include "manifest/update_file_info.h"

#include <optional>
#include <string>

// The patch to fetch the file as, if one fits those rules.
std::optional<ListedPatch> PatchToFetch(const S_UpdateFileInfo& file);

// Makes resultPath from the fetched patch and the installed copy; it
// succeeds only with the listed file there (size, MD5, and SHA256 when
// listed), and otherwise leaves resultPath as it was and says why.
Status ApplyFetchedPatch(const std::string& patchPath, const std::string& installedPath, const std::string& resultPath,
                         const S_UpdateFileInfo& file);
