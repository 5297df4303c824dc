#pragma once
// What one run of the release publisher is asked to do, read from its
// command line.
#include "manifest/release_vocabulary.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct PublishOptions {
    // 1 is the program; any other type is a data package.
    int32_t PackageType = 1;
    // Header of the program manifest; GBK texts.
    std::string Version;
    std::string Region;
    bool Unconditional = false;
    bool Notify = false;
    std::filesystem::path ReleaseFolder;
    std::filesystem::path OutputFolder;
    // --sign: the private key file; empty for an unsigned release.
    std::filesystem::path SigningKeyFile;
    // With --sign: --expires DAYS after publication clients refuse the
    // release; --allow-older-time publishes at a time not later than that
    // of the release already in the tree.
    std::optional<int32_t> ExpiresDays;
    bool AllowOlderTime = false;
    // Files travel gzip-compressed where that saves enough; --no-gzip turns it off.
    bool Compress = true;
    // --pack-max: files whose travelling form has at most this many bytes
    // also go into the release's pack; 0 writes no pack.
    uint64_t PackMaxBytes = kDefaultPackMaxBytes;
    // --previous: earlier release folders that changed files get patches from.
    std::vector<std::filesystem::path> PreviousFolders;

    bool IsProgram() const { return PackageType == 1; }
    bool IsSigned() const { return !SigningKeyFile.empty(); }
};

// args are the UTF-8 arguments after the program name. On failure returns
// nothing and sets error to a one-line reason.
std::optional<PublishOptions> ParsePublishArguments(const std::vector<std::string>& args, std::string& error);

extern const char* const kPublisherUsage;
