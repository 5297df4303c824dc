#pragma once
// Patches against earlier releases (--previous): NAME.<base MD5>.patch
// beside each changed file, made straight from each earlier release's copy
// (no chains), kept only when it is at most 90% of what would otherwise
// travel, and listed as PATCH=<base md5>:<bytes>,... in the file's section.
#include "publisher/manifest_text.h"
#include "publisher/release_scan.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

// A release file named like a patch ("a.dll.<32 hex>.patch") would be taken
// for one, and removed as a stale one whether or not "a.dll" is published
// too: each goes into refused as "name: reason".
void RefusePatchLikeNames(const std::vector<ReleaseFile>& files, std::vector<std::string>& refused);

class CPatchPublisher {
public:
    CPatchPublisher(std::vector<std::filesystem::path> previousFolders, std::ostream& log);

    // The earlier folders exist (said on the log when one does not).
    bool CheckFolders() const;
    // Patches of one published file (already copied to its place in the
    // tree, with its size, digests and compressed form known). A patch that
    // cannot be made, or is not worth it, is left out, with a message when
    // it could not be made; false only when a file cannot be read or written.
    bool Publish(const ReleaseFile& file, const std::filesystem::path& targetFolder, PublishedFile& published);
    // Patches in the tree that this publish did not write.
    void RemoveStale(const std::filesystem::path& targetFolder) const;
    // What the patches save: their bytes against what would travel for
    // their files without them (each counted once per patch).
    void ReportSaving(const std::vector<PublishedFile>& files) const;

private:
    std::vector<std::filesystem::path> previousFolders_;
    std::ostream& log_;
    std::vector<std::filesystem::path> written_;
};
