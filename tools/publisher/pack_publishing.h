#pragma once
// The pack of a release (--pack-max): every file whose travelling form
// (NAME.gz where one is published, else NAME) has at most the given bytes,
// one after the other in manifest order, in "packs/<hex>.pack" beside the
// files, named by the pack's SHA-256; each packed file's section then says
// where (listed_packs.h). The files themselves stay where they are, for
// updaters that do not know packs and for the one whose server cannot
// answer byte ranges.
#include "publisher/manifest_text.h"
#include "publisher/release_scan.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <vector>

// Writes the pack of the published files (`published[i]` is `files[i]`,
// already in its place below targetFolder) and lists its members, then
// removes the packs an earlier publish left. maxBytes 0 writes none. False
// when a file cannot be read or the pack cannot be written.
bool PublishPack(const std::filesystem::path& targetFolder, const std::vector<ReleaseFile>& files, uint64_t maxBytes,
                 std::vector<PublishedFile>& published, std::ostream& log);
