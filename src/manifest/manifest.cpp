#include "manifest/manifest.h"

#include "components/md5.h"
#include "components/path_info.h"
#include "manifest/name_check.h"
#include "manifest/version_compare.h"
#include "manifest/parallel_digests.h"

#include <cctype>
#include <optional>
#include <utility>

namespace {

constexpr char kFilesSection[] = "FILES";
constexpr char kVersionSection[] = "Version";

// Folders are joined to names directly, so they must end with a separator.
std::string WithTrailingSeparator(std::string folder) {
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
    return folder;
}

// True when the file at path can be read and its digest is exactly digest.
bool HasDigest(const std::string& path, const std::string& digest) {
    std::string local;
    return CMD5::GetFileMD5(path, local) == 0 && local == digest;
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
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

}  // namespace

S_UpdateCheckInfo::S_UpdateCheckInfo(std::string localFolder, std::string manifestPath, std::string localVersion,
                                     std::string localRegion)
    : LocalFolder(WithTrailingSeparator(std::move(localFolder))),
      ManifestPath(std::move(manifestPath)),
      LocalVersion(std::move(localVersion)),
      LocalRegion(std::move(localRegion)) {}

void AppendChangedFiles(const CConfigFile& manifest, const std::vector<std::string>& names,
                        const std::string& localFolder, std::vector<S_UpdateFileInfo>& files) {
    // A name that leaves the folder is never fetched or installed: a manifest
    // from a compromised or broken server must not write elsewhere.
    std::vector<S_UpdateFileInfo> candidates;
    std::vector<std::string> localPaths;
    for (const std::string& name : names) {
        if (!IsSafeManifestName(name)) continue;
        S_UpdateFileInfo file;
        file.FileName = name;
        manifest.ReadString(name, "MD5", "", file.MD5);
        candidates.push_back(std::move(file));
        localPaths.push_back(localFolder + name);
    }

    const std::vector<std::optional<std::string>> localDigests = HashExistingFiles(localPaths);
    for (size_t i = 0; i < candidates.size(); ++i) {
        S_UpdateFileInfo& file = candidates[i];
        if (localDigests[i] && *localDigests[i] == file.MD5) continue;
        manifest.ReadString(file.FileName, "SIZE", "", file.Size);
        manifest.ReadString(file.FileName, "MODIFYTIME", "", file.ModifyTime);
        files.push_back(std::move(file));
    }
}

void CompareManifest(const S_UpdateCheckInfo& check, std::vector<S_UpdateFileInfo>& files) {
    if (!FileExists(check.ManifestPath)) return;
    const CConfigFile manifest(check.ManifestPath);

    std::string remoteVersion;
    std::string remoteRegion;
    manifest.ReadString(kVersionSection, "VERSION", "", remoteVersion);
    manifest.ReadString(kVersionSection, "REGION", "", remoteRegion);
    if (manifest.ReadInteger(kVersionSection, "UNCONDITIONALUPDATE", 0) == 0 && remoteRegion == check.LocalRegion &&
        !IsVersionGreater(remoteVersion, check.LocalVersion)) {
        return;
    }

    std::vector<std::string> names;
    manifest.ReadSection(kFilesSection, names);
    AppendChangedFiles(manifest, names, check.LocalFolder, files);
}

void BuildPackageFileList(const std::string& manifestPath, const std::string& targetFolder,
                          std::vector<S_UpdateFileInfo>& files) {
    const CConfigFile manifest(manifestPath);
    std::vector<std::string> names;
    manifest.ReadSections(names);
    AppendChangedFiles(manifest, names, targetFolder, files);
}

std::vector<S_UpdateFileInfo> SelectFilesToFetch(const std::vector<S_UpdateFileInfo>& changed,
                                                 const std::string& stagingFolder) {
    std::vector<S_UpdateFileInfo> toFetch;
    for (const S_UpdateFileInfo& file : changed) {
        const std::string staged = stagingFolder + file.FileName;
        if (FileExists(staged) && HasDigest(staged, file.MD5)) continue;
        toFetch.push_back(file);
    }
    return toFetch;
}

bool IsFetchedFileValid(const S_UpdateFileInfo& file, const std::string& path) {
    const int64_t actualSize = FileSize(path);
    if (actualSize < 0) return false;
    int64_t expectedSize = 0;
    if (ParseSize(file.Size, expectedSize) && expectedSize != actualSize) return false;
    if (file.MD5.empty()) return true;
    std::string digest;
    return CMD5::GetFileMD5(path, digest) == 0 && EqualIgnoringAsciiCase(digest, file.MD5);
}
