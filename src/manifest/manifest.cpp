#include "manifest/manifest.h"

#include "base/path_info.h"
#include "base/directory_ex.h"
#include "base/text_rules.h"
#include "crypto/file_digests.h"
#include "manifest/installed_digests.h"
#include "manifest/listed_patches.h"
#include "manifest/manifest_header.h"
#include "manifest/name_check.h"
#include "manifest/parallel_digests.h"

#include <utility>

namespace {

constexpr char kFilesSection[] = "FILES";

// A "SHA256" comes only with a signed release; when the section has one,
// the file must match it as well as its "MD5".
bool HasListedSha256(const S_UpdateFileInfo& file, const FileDigests& digests) {
    return file.SHA256.empty() || EqualsIgnoringAsciiCase(digests.Sha256, file.SHA256);
}

// "SIZE" as a plain decimal byte count; false for anything else.
bool ParseSize(const std::string& text, int64_t& size) {
    if (text.empty() || text.size() > 18) return false;
    size = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        size = size * 10 + (c - '0');
    }
    return true;
}

bool HasListedSize(const S_UpdateFileInfo& file, int64_t actualSize) {
    int64_t expectedSize = 0;
    return !ParseSize(file.Size, expectedSize) || expectedSize == actualSize;
}

// A file of `size` bytes (-1: unknown) with these digests against its listing.
Status CompareWithListing(const S_UpdateFileInfo& file, int64_t size, const FileDigests& digests) {
    const char* differs = nullptr;
    if (size < 0 || !HasListedSize(file, size)) {
        differs = "its size is not the one listed";
    } else if (!file.MD5.empty() && !EqualsIgnoringAsciiCase(digests.Md5, file.MD5)) {
        differs = "its MD5 is not the one listed";
    } else if (!HasListedSha256(file, digests)) {
        differs = "its SHA-256 is not the one listed";
    }
    if (!differs) return {};
    return Failure{FailureKind::Mismatch, 0, 0, differs};
}

}  // namespace

S_UpdateCheckInfo::S_UpdateCheckInfo(std::string localFolder, std::string localVersion, std::string localRegion)
    : LocalFolder(WithSeparator(std::move(localFolder), '\\')),
      LocalVersion(std::move(localVersion)),
      LocalRegion(std::move(localRegion)) {}

void AppendChangedFiles(const CConfigFile& manifest, const std::vector<std::string>& names,
                        const std::string& localFolder, std::vector<S_UpdateFileInfo>& files,
                        RememberedDigests* memory) {
    // A name that leaves the folder is never fetched or installed: a manifest
    // from a compromised or broken server must not write elsewhere.
    std::vector<S_UpdateFileInfo> candidates;
    std::vector<InstalledFile> installed;
    for (const std::string& name : names) {
        if (!IsSafeManifestName(name)) continue;
        S_UpdateFileInfo file;
        file.FileName = name;
        manifest.ReadString(name, "MD5", "", file.MD5);
        manifest.ReadString(name, "SIZE", "", file.Size);
        int64_t size = 0;
        installed.push_back({name, ParseSize(file.Size, size) ? static_cast<uint64_t>(size) : 0});
        candidates.push_back(std::move(file));
    }

    const std::vector<std::optional<std::string>> localMd5s = InstalledMd5s(localFolder, installed, memory);
    for (size_t i = 0; i < candidates.size(); ++i) {
        S_UpdateFileInfo& file = candidates[i];
        if (localMd5s[i] == file.MD5) continue;
        file.InstalledMD5 = localMd5s[i].value_or("");
        manifest.ReadString(file.FileName, "MODIFYTIME", "", file.ModifyTime);
        manifest.ReadString(file.FileName, "SHA256", "", file.SHA256);
        manifest.ReadString(file.FileName, "GZSIZE", "", file.GzSize);
        manifest.ReadString(file.FileName, kPatchKey, "", file.Patch);
        files.push_back(std::move(file));
    }
}

void CompareManifest(const CConfigFile& manifest, const S_UpdateCheckInfo& check, std::vector<S_UpdateFileInfo>& files,
                     RememberedDigests* memory) {
    if (!IsUpdateDue(ReadManifestHeader(manifest), check.LocalVersion, check.LocalRegion)) return;
    std::vector<std::string> names;
    manifest.ReadSection(kFilesSection, names);
    AppendChangedFiles(manifest, names, check.LocalFolder, files, memory);
}

void BuildPackageFileList(const CConfigFile& manifest, const std::string& targetFolder,
                          std::vector<S_UpdateFileInfo>& files, RememberedDigests* memory) {
    std::vector<std::string> names;
    manifest.ReadSections(names);
    AppendChangedFiles(manifest, names, targetFolder, files, memory);
}

std::vector<S_UpdateFileInfo> SelectFilesToFetch(const std::vector<S_UpdateFileInfo>& changed,
                                                 const std::string& stagingFolder) {
    std::vector<S_UpdateFileInfo> toFetch;
    for (const S_UpdateFileInfo& file : changed) {
        // Only a digest tells a staged copy from an earlier attempt apart
        // from another file of that name.
        if (!file.MD5.empty() && CheckArrivedFile(stagingFolder + file.FileName, file)) continue;
        toFetch.push_back(file);
    }
    return toFetch;
}

std::optional<size_t> FindInvalidStagedFile(const std::vector<S_UpdateFileInfo>& files,
                                            const std::string& stagingFolder) {
    std::vector<DigestRequest> staged;
    staged.reserve(files.size());
    for (const S_UpdateFileInfo& file : files) staged.push_back({stagingFolder + file.FileName, !file.SHA256.empty()});
    const std::vector<std::optional<FileDigests>> digests = HashExistingFiles(staged);
    for (size_t i = 0; i < files.size(); ++i) {
        if (!digests[i] || !CompareWithListing(files[i], FileSize(staged[i].Path), *digests[i])) return i;
    }
    return std::nullopt;
}

Status CheckArrivedFile(const std::string& path, const S_UpdateFileInfo& file) {
    FileDigests digests;
    if (!DigestFile(path, !file.SHA256.empty(), digests)) return LastLocalFailure("the file that arrived cannot be read");
    return CompareWithListing(file, FileSize(path), digests);
}

bool HasListedCheck(const S_UpdateFileInfo& file) {
    int64_t size = 0;
    return ParseSize(file.Size, size) || !file.MD5.empty() || !file.SHA256.empty();
}
