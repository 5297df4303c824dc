#pragma once
// The files of a release folder, with the names the manifest gives them, and
// the names a release file may not take.
#include <filesystem>
#include <string>
#include <vector>

// Appended to a published file's name while it is being written; release
// files may not end in it.
inline constexpr const char* kTemporarySuffix = ".publishing";

struct ReleaseFile {
    std::filesystem::path Relative;  // as the file system spells it
    std::string ManifestName;        // GBK, '\' between folders
};

// A manifest name that is unsafe to install, that the manifest syntax could
// not carry back unchanged, that would clash with the header sections, or
// that the manifests of the program (or of a data package), their
// signatures or their temporary copies would overwrite: the reason; empty
// when the name is fine.
std::string ReasonToRefuseName(const std::string& manifestName, bool program);

// Every regular file below folder (sub-folders included), sorted by manifest
// name. Each refused name goes into refused as "name: reason". False with
// error set when the folder cannot be read.
bool ScanRelease(const std::filesystem::path& folder, bool program, std::vector<ReleaseFile>& files,
                 std::vector<std::string>& refused, std::string& error);
