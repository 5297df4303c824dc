#include "manifest/manifest.h"

#include "base/directory_ex.h"
#include "base/number_text.h"
#include "base/path_info.h"
#include "crypto/file_digests.h"
#include "manifest/installed_digests.h"
#include "manifest/parallel_digests.h"

#include <utility>

namespace {

template <size_t N>
std::optional<std::array<uint8_t, N>> BytesOf(const std::string& hex) {
    std::array<uint8_t, N> bytes{};
    if (!ParseHex(hex, bytes.data(), N)) return std::nullopt;
    return bytes;
}

// A file of `size` bytes (-1: unknown) with these digests against its listing.
Status CompareWithListing(const S_UpdateFileInfo& file, int64_t size, const FileDigests& digests) {
    const char* differs = nullptr;
    if (size < 0 || (file.Size && *file.Size != static_cast<uint64_t>(size))) {
        differs = "its size is not the one listed";
    } else if (file.MD5 && !file.MD5->Matches(BytesOf<16>(digests.Md5).value_or(Md5Bytes{}))) {
        differs = "its MD5 is not the one listed";
    } else if (file.SHA256 && !file.SHA256->Matches(BytesOf<32>(digests.Sha256).value_or(Sha256Bytes{}))) {
        differs = "its SHA-256 is not the one listed";
    }
    if (!differs) return {};
    return Failure{FailureKind::Mismatch, 0, 0, differs};
}

}  // namespace

bool IsVersionGreater(std::string_view version, std::string_view than) {
    // string_view compares through char_traits<char>, which orders bytes as unsigned char.
    return version.compare(than) > 0;
}

bool IsUpdateDue(const ManifestHeader& header, const std::string& localVersion, const std::string& localRegion) {
    return header.Unconditional || header.Region != localRegion || IsVersionGreater(header.Version, localVersion);
}

bool ShouldNotify(const ManifestHeader& header, const std::string& localVersion, const std::string& localRegion) {
    if (header.Region != localRegion) return true;
    return IsVersionGreater(header.Version, localVersion) && header.Notify;
}

S_UpdateCheckInfo::S_UpdateCheckInfo(std::string localFolder, std::string localVersion, std::string localRegion)
    : LocalFolder(WithSeparator(std::move(localFolder), '\\')),
      LocalVersion(std::move(localVersion)),
      LocalRegion(std::move(localRegion)) {}

void AppendChangedFiles(const std::vector<S_UpdateFileInfo>& listed, const std::string& localFolder,
                        std::vector<S_UpdateFileInfo>& files, RememberedDigests* memory) {
    std::vector<InstalledFile> installed;
    installed.reserve(listed.size());
    for (const S_UpdateFileInfo& file : listed) installed.push_back({file.FileName, file.Size.value_or(0)});
    const std::vector<std::optional<std::string>> localMd5s = InstalledMd5s(localFolder, installed, memory);
    for (size_t i = 0; i < listed.size(); ++i) {
        const std::optional<Md5Bytes> local = localMd5s[i] ? BytesOf<16>(*localMd5s[i]) : std::nullopt;
        if (local && listed[i].MD5 && listed[i].MD5->IsSpelledAs(*local)) continue;
        files.push_back(listed[i]);
        files.back().InstalledMD5 = local;
    }
}

bool IsDue(const Release& release, const std::string& localVersion, const std::string& localRegion) {
    return release.Layout == ManifestLayout::DataPackage || IsUpdateDue(release.Header, localVersion, localRegion);
}

void CompareManifest(const Release& release, const S_UpdateCheckInfo& check, std::vector<S_UpdateFileInfo>& files,
                     RememberedDigests* memory) {
    if (!IsDue(release, check.LocalVersion, check.LocalRegion)) return;
    AppendChangedFiles(release.Files, check.LocalFolder, files, memory);
}

void BuildPackageFileList(const Release& release, const std::string& targetFolder,
                          std::vector<S_UpdateFileInfo>& files, RememberedDigests* memory) {
    AppendChangedFiles(release.Files, targetFolder, files, memory);
}

void CCheckedStagedFiles::Remember(const std::string& path) {
    const std::optional<FileStamp> stamp = ReadFileStamp(path);
    const std::lock_guard<std::mutex> hold(mutex_);
    if (stamp) {
        stamps_[path] = *stamp;
    } else {
        stamps_.erase(path);
    }
}

bool CCheckedStagedFiles::Unchanged(const std::string& path) const {
    const std::optional<FileStamp> stamp = ReadFileStamp(path);
    const std::lock_guard<std::mutex> hold(mutex_);
    const auto remembered = stamps_.find(path);
    return stamp && remembered != stamps_.end() && remembered->second == *stamp;
}

void CCheckedStagedFiles::Clear() {
    const std::lock_guard<std::mutex> hold(mutex_);
    stamps_.clear();
}

std::vector<S_UpdateFileInfo> SelectFilesToFetch(const std::vector<S_UpdateFileInfo>& changed,
                                                 const std::string& stagingFolder, CCheckedStagedFiles* checked) {
    std::vector<S_UpdateFileInfo> toFetch;
    for (const S_UpdateFileInfo& file : changed) {
        // Only a digest tells a staged copy from an earlier attempt apart
        // from another file of that name.
        if (file.MD5 && CheckArrivedFile(stagingFolder + file.FileName, file, checked)) continue;
        toFetch.push_back(file);
    }
    return toFetch;
}

std::optional<size_t> FindInvalidStagedFile(const std::vector<S_UpdateFileInfo>& files,
                                            const std::string& stagingFolder, const CCheckedStagedFiles* checked) {
    std::vector<size_t> toRead;
    std::vector<DigestRequest> staged;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string path = stagingFolder + files[i].FileName;
        if (checked && checked->Unchanged(path)) continue;
        toRead.push_back(i);
        staged.push_back({path, files[i].SHA256.has_value(), files[i].Size.value_or(0)});
    }
    const std::vector<std::optional<FileDigests>> digests = HashExistingFiles(staged);
    for (size_t k = 0; k < toRead.size(); ++k) {
        if (!digests[k] || !CompareWithListing(files[toRead[k]], FileSize(staged[k].Path), *digests[k])) {
            return toRead[k];
        }
    }
    return std::nullopt;
}

Status CheckArrivedFile(const std::string& path, const S_UpdateFileInfo& file, CCheckedStagedFiles* checked,
                        const FileDigests* seen) {
    FileDigests digests;
    if (seen) {
        digests = *seen;
    } else if (!DigestFile(path, file.SHA256.has_value(), digests)) {
        return LastLocalFailure("the file that arrived cannot be read");
    }
    Status compared = CompareWithListing(file, FileSize(path), digests);
    if (compared && checked) checked->Remember(path);
    return compared;
}
