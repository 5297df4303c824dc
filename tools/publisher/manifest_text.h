#pragma once
// The text of the two manifest layouts, GBK with CRLF line ends.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct PublishOptions;

struct PublishedFile {
    std::string Name;  // manifest name, GBK
    uint64_t Size = 0;
    std::string ModifyTime;
    std::string Md5;
};

// "YYYY-MM-DD HH:MM:SS" in UTC, so that a release reads the same whatever
// the time zone of the machine that published it.
std::string FormatModifyTime(std::filesystem::file_time_type time);

// The names the manifests are published under: "UpdateConfig.ini" for the
// program; for a data package also "config.ini", since the update dialog
// fetches "UpdateConfig.ini" for every package type and the silent run
// "config.ini".
std::vector<std::string> ManifestFileNames(bool program);

// "[Version]", "[FILES]" and one section per file.
std::string ProgramManifestText(const PublishOptions& header, const std::vector<PublishedFile>& files);
// One section per file and nothing else.
std::string PackageManifestText(const std::vector<PublishedFile>& files);
