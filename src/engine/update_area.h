#pragma once
// The updater's own folder below the application folder, "UPDATE\", and
// every name in it:
//   Program\          the program's staging folder: the manifest, its
//                     signature and the fetched files, with the partial
//                     downloads of large files beside them
//   NAME\             the staging folder of the data package NAME
//   Program.install   the mark of a program install under way (NAME.install
//                     for a package), beside its staging folder
//   Program.digests   what the compares of the program's folder learned
//                     (NAME.digests for a package), beside its staging
//                     folder: a cache, remembered_digests_file.h
//   update.log        the run log
//   Previous\         the files that the last program install replaced, under
//                     their installed names: the previous release, kept for
//                     a rollback until the next program install
//   Previous.kept      what the keep holds (kept_release.h): the release it
//                     protects, the versions, each replaced and added name;
//                     while a rollback is under way, its mark
// and the temporary files of their atomic replacement ("*.tmp"). A package
// name that would take the name of another entry is refused, never shared.
#include <cstdint>
#include <string>
#include <string_view>

class CUpdateArea {
public:
    // applicationFolder ends with the separator.
    explicit CUpdateArea(std::string applicationFolder);

    // "UPDATE\" below the application folder, ending with the separator.
    const std::string& Root() const { return root_; }
    // The staging folder of the program (type 1) or of the package NAME.
    std::string StagingFolder(int32_t type, const std::string& packageName) const;
    // The install marker that belongs to a staging folder.
    static std::string InstallMarkerPath(const std::string& stagingFolder);
    // The remembered digests of the folder that a staging folder's run compares.
    static std::string RememberedDigestsPath(const std::string& stagingFolder);
    std::string RunLogPath() const;
    // The folder of the kept previous release, ending with the separator.
    std::string KeptFilesFolder() const;
    // The record of what that folder holds.
    std::string KeptReleasePath() const;
    // Whether path lies inside the area (its own files, not installed ones).
    bool Contains(std::string_view path) const;

private:
    std::string root_;
};

// A package name that names an entry of the area other than its own
// staging folder: "Program", the log, or a name another entry derives from
// (a marker's, a remembered state's, a temporary file's), or the kept
// previous release's. Letter case does not matter.
bool IsReservedPackageName(std::string_view name);
