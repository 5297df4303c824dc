#include "engine/download_files_win.h"

#include "base/directory_ex.h"
#include "base/file_io.h"
#include "base/path_info.h"
#include "crypto/file_digests.h"
#include "engine/patch_use.h"
#include "manifest/manifest.h"

namespace {
// The file as the patch that its release lists for the installed copy, if
// any. The patch lands under a fresh name: a manifest may list a file named
// like it.
std::optional<ConvertedForm> PatchForm(const S_UpdateFileInfo& file, const DownloadFolders& folders) {
    const std::optional<ListedPatch> patch = PatchToFetch(file);
    if (!patch) return std::nullopt;
    const std::string installed = folders.Installed + file.FileName;
    const std::string staged = folders.Staging + file.FileName;
    return ConvertedForm{PatchFileName(file.FileName, patch->BaseMd5), MakeTempPathBeside(staged + kPatchSuffix),
                         patch->Bytes, [file, installed, staged](const std::string& body) {
                             return ApplyFetchedPatch(body, installed, staged, file);
                         }};
}
}  // namespace

namespace {
// The smallest compressed form the manifest lists for the file, as the
// transfer fetches and decodes it.
std::optional<CompressedForm> CompressedFormOf(const S_UpdateFileInfo& file) {
    const ListedCompression* listed = file.SmallestCompressed();
    if (!listed) return std::nullopt;
    return CompressedForm{std::string(listed->Form->Suffix), listed->Form->ZlibWindowBits, listed->Size, file.Size};
}
}  // namespace

namespace {
// Where the release's pack holds the file, as the transfer asks for it.
std::optional<PackedForm> PackedFormOf(const S_UpdateFileInfo& file) {
    if (!file.Packed) return std::nullopt;
    const ListedPackMember& member = *file.Packed;
    const std::optional<int> windowBits = member.Form ? std::optional(member.Form->ZlibWindowBits) : std::nullopt;
    return PackedForm{member.Pack, member.Offset, member.Length, windowBits};
}
}  // namespace

FetchResult DownloadFiles(const std::vector<S_UpdateFileInfo>& files, CQIRAUpdateIntf& transfer, uint32_t type,
                          const DownloadFolders& folders, const DownloadObserver& observer) {
    std::vector<RemoteFile> remote;
    remote.reserve(files.size());
    for (const S_UpdateFileInfo& file : files) {
        remote.push_back({file.FileName, folders.Staging + file.FileName, CompressedFormOf(file), file.Size});
        remote.back().Packed = PackedFormOf(file);
        if (file.HasListedCheck()) {
            // Hashed as it is written: the check then reads no file that was seen whole.
            const auto written = std::make_shared<CWrittenDigests>(file.SHA256.has_value());
            remote.back().Written = [written](uint64_t offset, std::string_view bytes) { written->Add(offset, bytes); };
            remote.back().Check = [file, written, checked = folders.Checked](const std::string& path,
                                                                             const S_UpdateSerivceAddr&) {
                const int64_t size = FileSize(path);
                const std::optional<FileDigests> seen =
                    size >= 0 ? written->Of(static_cast<uint64_t>(size)) : std::nullopt;
                return CheckArrivedFile(path, file, checked, seen ? &*seen : nullptr);
            };
        }
        if (!folders.Installed.empty()) remote.back().Converted = PatchForm(file, folders);
        EnsureParentFolder(remote.back().LocalPath);
    }
    return transfer.GetRemoteFiles(type, remote, observer);
}

FetchResult DownloadNamedFile(const std::string& name, uint64_t maxBytes, CQIRAUpdateIntf& transfer, uint32_t type,
                              const std::string& folder, ArrivalCheck check) {
    const RemoteFile file{name, folder + name, std::nullopt, maxBytes, std::move(check)};
    EnsureParentFolder(file.LocalPath);
    return transfer.GetRemoteFiles(type, {file});
}
