#include "manifest/manifest.h"

#include "base/path_info.h"
#include "base/path_text.h"
#include "base/text_rules.h"
#include "crypto/md5.h"
#include "manifest/manifest_header.h"
#include "manifest/name_check.h"
#include "manifest/parallel_digests.h"

#include <utility>

namespace {

constexpr char kFilesSection[] = "FILES";

// True when the file at path can be read and its digest is exactly digest.
bool HasDigest(const std::string& path, const std::string& digest) {
    std::string local;
    return CMD5::GetFileMD5(path, local) == 0 && local == digest;
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

bool HasListedDigest(const S_UpdateFileInfo& file, const std::string& digest) {
    return file.MD5.empty() || EqualsIgnoringAsciiCase(digest, file.MD5);
}

}  // namespace

S_UpdateCheckInfo::S_UpdateCheckInfo(std::string localFolder, std::string localVersion, std::string localRegion)
    : LocalFolder(WithSeparator(std::move(localFolder), '\\')),
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

void CompareManifest(const CConfigFile& manifest, const S_UpdateCheckInfo& check, std::vector<S_UpdateFileInfo>& files) {
    if (!IsUpdateDue(ReadManifestHeader(manifest), check.LocalVersion, check.LocalRegion)) return;
    std::vector<std::string> names;
    manifest.ReadSection(kFilesSection, names);
    AppendChangedFiles(manifest, names, check.LocalFolder, files);
}

void BuildPackageFileList(const CConfigFile& manifest, const std::string& targetFolder,
                          std::vector<S_UpdateFileInfo>& files) {
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

std::optional<size_t> FindInvalidStagedFile(const std::vector<S_UpdateFileInfo>& files,
                                            const std::string& stagingFolder) {
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const S_UpdateFileInfo& file : files) paths.push_back(stagingFolder + file.FileName);
    const std::vector<std::optional<std::string>> digests = HashExistingFiles(paths);
    for (size_t i = 0; i < files.size(); ++i) {
        const int64_t size = FileSize(paths[i]);
        if (!digests[i] || size < 0 || !HasListedSize(files[i], size) || !HasListedDigest(files[i], *digests[i])) {
            return i;
        }
    }
    return std::nullopt;
}
