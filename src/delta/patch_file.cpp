#include "delta/patch_file.h"

#include "delta/file_source.h"
#include "delta/result_file.h"

PatchResult ApplyPatchFile(const std::string& patchPath, const std::string& basePath, const std::string& resultPath,
                           const ExpectedResult& expected) {
    Status opened;
    const auto patch = OpenFileSource(patchPath, opened);
    if (!patch) return {PatchStatus::PatchUnreadable, opened.Why()};
    const auto base = OpenFileSource(basePath, opened);
    if (!base) return {PatchStatus::BaseUnreadable, opened.Why()};
    CResultFile result(resultPath);
    if (!result.OpenStatus()) return {PatchStatus::ResultUnwritable, result.OpenStatus().Why()};
    const PatchResult applied = ApplyPatch(*patch, *base, result, expected);
    if (!applied.Applied()) return applied;
    if (const Status committed = result.Commit(); !committed)
        return {PatchStatus::ResultUnwritable, committed.Why()};
    return applied;
}
