#pragma once
// What one run of the release publisher is asked to do, read from its
// command line.
#include "manifest/release_rollout.h"
#include "manifest/release_vocabulary.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// --rollout SHARE [--rollout-days DAYS [--rollout-start TIME]]: the share
// of installations that take the release, and its growth to all of them
// over DAYS from TIME, or from the publication time when no TIME is given.
struct RolloutRequest {
    uint32_t Share = kEveryInstallation;  // tenths of a percent
    std::optional<uint32_t> Days;
    std::optional<UtcTime> Start;

    ReleaseRollout At(UtcTime published) const;
};

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
    // --rollout; nothing: every installation takes the release.
    std::optional<RolloutRequest> Rollout;

    bool IsProgram() const { return PackageType == 1; }
    bool IsSigned() const { return !SigningKeyFile.empty(); }
};

// args are the UTF-8 arguments after the program name. On failure returns
// nothing and sets error to a one-line reason.
std::optional<PublishOptions> ParsePublishArguments(const std::vector<std::string>& args, std::string& error);

// The rollout command, "rollout OUT_DIR --program SHARE" or "rollout OUT_DIR
// --package TYPE SHARE" with the growth options, --sign KEY and
// --allow-older-time (args from "rollout" on): the options of the release
// whose rollout changes, Rollout always set.
std::optional<PublishOptions> ParseRolloutArguments(const std::vector<std::string>& args, std::string& error);

extern const char* const kPublisherUsage;
