#include "engine/patch_use.h"

#include "base/number_text.h"
#include "delta/patch_file.h"

#include <algorithm>

std::optional<ListedPatch> PatchToFetch(const S_UpdateFileInfo& file) {
    // Without a size the result has no bound, and without a listed MD5 that
    // is a digest nothing could confirm the result anyway.
    if (!file.InstalledMD5 || !file.Size || (file.MD5 && !file.MD5->IsDigest)) return std::nullopt;
    const ListedCompression* compressed = file.SmallestCompressed();
    const uint64_t otherwise = compressed ? std::min(compressed->Size, *file.Size) : *file.Size;
    const std::string installed = LowerHex(file.InstalledMD5->data(), file.InstalledMD5->size());
    for (const ListedPatch& patch : file.Patches.Patches) {
        if (patch.BaseMd5 == installed && patch.Bytes < otherwise) return patch;
    }
    return std::nullopt;
}

Status ApplyFetchedPatch(const std::string& patchPath, const std::string& installedPath, const std::string& resultPath,
                         const S_UpdateFileInfo& file) {
    const ExpectedResult expected{file.Size.value_or(0), file.MD5 ? file.MD5->Hex() : std::string(),
                                  file.SHA256 ? file.SHA256->Hex() : std::string()};
    const PatchResult applied = ApplyPatchFile(patchPath, installedPath, resultPath, expected);
    if (applied.Applied()) return {};
    return PatchFailure(applied);
}
