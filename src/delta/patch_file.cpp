#include "delta/patch_file.h"

#include "delta/file_source.h"
#include "delta/result_file.h"

PatchResult ApplyPatchFile(const std::string& patchPath, const std::string& basePath, const std::string& resultPath,
                           const ExpectedResult& expected) {
    IoStatus opened;
    const auto patch = OpenFileSource(patchPath, opened);
    if (!patch) return {PatchStatus::PatchUnreadable, opened.OsError};
    const auto base = OpenFileSource(basePath, opened);
    if (!base) return {PatchStatus::BaseUnreadable, opened.OsError};
    CResultFile result(resultPath);
    if (!result.OpenStatus().Ok) return {PatchStatus::ResultUnwritable, result.OpenStatus().OsError};
    const PatchResult applied = ApplyPatch(*patch, *base, result, expected);
    if (!applied.Applied()) return applied;
    if (const IoStatus committed = result.Commit(); !committed.Ok)
        return {PatchStatus::ResultUnwritable, committed.OsError};
    return applied;
}
