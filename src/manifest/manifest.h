#pragma once
// The decisions made on a release that has been read (release_reader.h):
// whether it is due for this installation, which of its files differ from
// the installed ones, which of those are still to be fetched, and whether
// what was staged or has arrived is what the manifest lists.
#include "base/failure.h"
#include "base/path_info.h"
#include "crypto/file_digests.h"
#include "manifest/release_reader.h"
#include "manifest/remembered_digests.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Versions, regions and digests are texts compared byte by byte. A version is
// greater when its first differing byte is greater (unsigned), or when the
// other version is a proper prefix of it: "2.0.1" > "2.0", "1.0.10" < "1.0.9".
// This is the only version comparison of the updater.
bool IsVersionGreater(std::string_view version, std::string_view than);

// An update is due when it is forced, when the regions differ in any way, or
// when the release's version is greater than the installed one.
bool IsUpdateDue(const ManifestHeader& header, const std::string& localVersion, const std::string& localRegion);

// Whether a silent program update asks the user with the new-version
// notification: always for another region; for the same region only when
// the version is greater and the manifest asks for it.
bool ShouldNotify(const ManifestHeader& header, const std::string& localVersion, const std::string& localRegion);

struct S_UpdateCheckInfo {
    S_UpdateCheckInfo(std::string localFolder, std::string localVersion, std::string localRegion);
    std::string LocalFolder;  // where the installed files lie; ends with the separator
    std::string LocalVersion;
    std::string LocalRegion;
};

// The per-file rule over listed files in manifest order: appends each one
// whose installed copy (localFolder + name) is missing or whose MD5 is not
// the one listed, spelled as md5sum prints it; the entry then carries the
// installed copy's MD5 when there is one. Installed copies are hashed on
// several threads. With a memory of localFolder (remembered_digests_file.h),
// files it proves unchanged are not read, and it learns the digests of
// those that are.
void AppendChangedFiles(const std::vector<S_UpdateFileInfo>& listed, const std::string& localFolder,
                        std::vector<S_UpdateFileInfo>& files, RememberedDigests* memory = nullptr);

// Whether the release is due for an installation of that version and
// region: a program release as IsUpdateDue says, a data package always.
bool IsDue(const Release& release, const std::string& localVersion, const std::string& localRegion);

// When the release is due, the per-file rule over its files. files is
// appended to.
void CompareManifest(const Release& release, const S_UpdateCheckInfo& check, std::vector<S_UpdateFileInfo>& files,
                     RememberedDigests* memory = nullptr);

// A data package: every file of the release, against targetFolder.
// files is appended to.
void BuildPackageFileList(const Release& release, const std::string& targetFolder,
                          std::vector<S_UpdateFileInfo>& files, RememberedDigests* memory = nullptr);

// The staged files that a run has checked against their listing, each with
// the stamp of its directory entry just after the check: a later test of
// the same run reads a file again only when its stamp has changed (written
// or replaced meanwhile), so that a file is hashed once per run, not once on
// arrival and again before the install. Safe from any thread.
class CCheckedStagedFiles {
public:
    void Remember(const std::string& path);
    bool Unchanged(const std::string& path) const;
    // For the files of another listing.
    void Clear();

private:
    mutable std::mutex mutex_;
    std::map<std::string, FileStamp> stamps_;  // guarded by mutex_
};

// The changed files that still have to be fetched: those not already in the
// staging folder as listed (left there by an earlier attempt), which
// `checked` remembers when given.
std::vector<S_UpdateFileInfo> SelectFilesToFetch(const std::vector<S_UpdateFileInfo>& changed,
                                                 const std::string& stagingFolder,
                                                 CCheckedStagedFiles* checked = nullptr);

// The first file (in list order) whose staged copy is missing or not the
// listed one; nothing when every one is. A staged copy passes when its size,
// MD5 and SHA-256 are the listed ones, each where one is listed, or when
// `checked` saw it pass and it has not changed since. Hashed on several
// threads.
std::optional<size_t> FindInvalidStagedFile(const std::vector<S_UpdateFileInfo>& files,
                                            const std::string& stagingFolder,
                                            const CCheckedStagedFiles* checked = nullptr);

// The same test for one file that has just arrived at path: Mismatch saying
// what differs, or the local failure that kept it from being read. `seen`:
// the digests of its bytes as they were written, when they are of every
// byte (the file is then not read again). A file that passes goes into
// `checked`, when given.
Status CheckArrivedFile(const std::string& path, const S_UpdateFileInfo& file,
                        CCheckedStagedFiles* checked = nullptr, const FileDigests* seen = nullptr);
