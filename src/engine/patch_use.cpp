#include "engine/patch_use.h"

#include "base/number_text.h"
#include "delta/patch_file.h"

#include <algorithm>

std::optional<ListedPatch> PatchToFetch(const S_UpdateFileInfo& file) {
    const std::optional<uint64_t> size = ParseDecimalCount(file.Size);
    if (file.InstalledMD5.empty() || file.Patch.empty() || !size) return std::nullopt;
    const std::optional<uint64_t> gzSize = ParseDecimalCount(file.GzSize);
    const uint64_t otherwise = gzSize && *gzSize > 0 ? std::min(*gzSize, *size) : *size;
    for (const ListedPatch& patch : ParseListedPatches(file.Patch).Patches) {
        if (patch.BaseMd5 == file.InstalledMD5 && patch.Bytes < otherwise) return patch;
    }
    return std::nullopt;
}

Status ApplyFetchedPatch(const std::string& patchPath, const std::string& installedPath, const std::string& resultPath,
                         const S_UpdateFileInfo& file) {
    // The applier compares the digests in either case, as manifests may spell them.
    const ExpectedResult expected{ParseDecimalCount(file.Size).value_or(0), file.MD5, file.SHA256};
    const PatchResult applied = ApplyPatchFile(patchPath, installedPath, resultPath, expected);
    if (applied.Applied()) return {};
    return PatchFailure(applied);
}
