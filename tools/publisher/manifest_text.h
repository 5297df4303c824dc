#pragma once
// The text of the two manifest layouts, GBK with CRLF line ends.
#include "manifest/listed_packs.h"
#include "manifest/listed_patches.h"
#include "manifest/release_rollout.h"
#include "manifest/release_vocabulary.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct PublishOptions;

struct PublishedFile {
    std::string Name;  // manifest name, GBK
    uint64_t Size = 0;
    std::string ModifyTime;
    std::string Md5;
    std::string Sha256;  // only in a signed release; written when set
    // NAME + suffix beside it for each compressed form it travels in
    // (release_vocabulary.h), with that form's size.
    struct Compression {
        const CompressionForm* Form = nullptr;
        uint64_t Size = 0;
    };
    std::vector<Compression> Compressed;
    // NAME.<base md5>.patch beside it, each turning an earlier release's
    // copy into this one; written when there are any.
    std::vector<ListedPatch> Patches;
    // Where the release's pack holds its travelling form, when it is packed.
    std::optional<ListedPackMember> Packed;

    // The bytes that travel when nothing better does: the smallest
    // compressed form, or the file itself.
    uint64_t TravellingSize() const;
};

// "YYYY-MM-DD HH:MM:SS" in UTC, so that a release reads the same whatever
// the time zone of the machine that published it.
std::string FormatModifyTime(std::filesystem::file_time_type time);

struct ManifestFile {
    std::string Name;  // "UpdateConfig.ini" or "config.ini"
    std::string Text;
};

// The names the manifests of a release are published under: "UpdateConfig.ini"
// for the program; for a data package also "config.ini".
std::vector<std::string> ManifestFileNames(bool program);

// The manifests of a release. The program has "UpdateConfig.ini" with its
// header. A data package has "config.ini" (one section per file), which the
// silent run reads, and "UpdateConfig.ini" in the program's layout, which the
// update dialog reads for every package type: the same file sections, every
// file in "[FILES]", and a header that always asks for the per-file
// comparison, since a data package has no version test of its own. A
// rollout goes into [Version] after RELEASEID, and into "config.ini" as
// comment marks after its RELEASEID mark; without one, every installation
// takes the release.
std::vector<ManifestFile> ManifestsOf(const PublishOptions& options, const std::vector<PublishedFile>& files,
                                      const std::optional<ReleaseRollout>& rollout);

// The manifest with its rollout replaced and every other line as it was: in
// the program layout the keys end the first [Version] section; in a
// package's "config.ini" the marks end the comment lines before its first
// section.
std::string WithRollout(std::string_view manifest, bool programLayout, const ReleaseRollout& rollout);
