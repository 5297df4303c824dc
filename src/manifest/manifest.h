#pragma once
// The program manifest "UpdateConfig.ini" and the data-package manifest
// "config.ini": which files of a release differ from the installed ones,
// which of those are still to be fetched, and whether what was staged is
// what the manifest describes.
#include "base/failure.h"
#include "config/config_file.h"
#include "manifest/update_file_info.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The manifests' names, on the server and in the staging folder.
inline constexpr char kProgramManifestName[] = "UpdateConfig.ini";
inline constexpr char kPackageManifestName[] = "config.ini";
// A larger answer is no manifest of ours.
inline constexpr size_t kMaxManifestBytes = 64u << 20;

// How a fetched manifest lists its files.
enum class ManifestLayout {
    Program,      // "UpdateConfig.ini": [Version] header, [FILES], one section per file
    DataPackage,  // "config.ini": every section is a file
};

struct S_UpdateCheckInfo {
    S_UpdateCheckInfo(std::string localFolder, std::string localVersion, std::string localRegion);
    std::string LocalFolder;  // where the installed files lie; ends with the separator
    std::string LocalVersion;
    std::string LocalRegion;
};

// The per-file rule over names in manifest order: appends a record for each
// name whose installed copy (localFolder + name) is missing or whose digest
// differs from the manifest's "MD5" (byte for byte). Names that would leave
// the folder are never listed. Installed copies are hashed on several
// threads; the list keeps the manifest's order.
void AppendChangedFiles(const CConfigFile& manifest, const std::vector<std::string>& names,
                        const std::string& localFolder, std::vector<S_UpdateFileInfo>& files);

// Region, version and forced-update test on the manifest header; when an
// update is due, the per-file rule over the "FILES" entries. files is appended to.
void CompareManifest(const CConfigFile& manifest, const S_UpdateCheckInfo& check, std::vector<S_UpdateFileInfo>& files);

// Every section of a data-package manifest is a file; the per-file rule over
// all of them against targetFolder. files is appended to.
void BuildPackageFileList(const CConfigFile& manifest, const std::string& targetFolder,
                          std::vector<S_UpdateFileInfo>& files);

// The changed files that still have to be fetched: those not already in the
// staging folder with the listed digests (left there by an earlier attempt).
std::vector<S_UpdateFileInfo> SelectFilesToFetch(const std::vector<S_UpdateFileInfo>& changed,
                                                 const std::string& stagingFolder);

// The first file (in list order) whose staged copy is missing or not the
// listed one; nothing when every one is. A staged copy is accepted when its
// size matches a numeric "SIZE", its MD5 a non-empty "MD5" and its SHA-256
// a "SHA256" when the section has one (hex compared without regard to
// case). Hashed on several threads.
std::optional<size_t> FindInvalidStagedFile(const std::vector<S_UpdateFileInfo>& files,
                                            const std::string& stagingFolder);

// The same test for one file that has just arrived at path: Mismatch saying
// what differs, or the local failure that kept it from being read.
Status CheckArrivedFile(const std::string& path, const S_UpdateFileInfo& file);

// Whether the listing gives the file any check at all: a size, an MD5 or a
// SHA-256. A file without one can only be installed blind.
bool HasListedCheck(const S_UpdateFileInfo& file);
