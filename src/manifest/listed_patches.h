#pragma once
// The patches a manifest lists for a file, "PATCH=<base md5>:<bytes>[,...]"
// in its section: each is "NAME.<base md5>.patch" beside NAME on the server
// and turns the copy of that MD5 into the listed file (docs/server-tree.md).
#include "manifest/release_vocabulary.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ListedPatch {
    std::string BaseMd5;  // 32 lower-case hex digits
    uint64_t Bytes = 0;   // of the patch file
};

// What a PATCH value lists. An entry that is not "<32 lower-case hex
// digits>:<a count of one or more>", or that names a base again, is kept
// apart as written: a later publisher may list what this reader does not
// know, so an entry it cannot use is no reason to refuse the release.
struct ListedPatches {
    std::vector<ListedPatch> Patches;
    std::vector<std::string> Unusable;
};

ListedPatches ParseListedPatches(std::string_view value);
std::string FormatListedPatches(const std::vector<ListedPatch>& patches);

// "NAME.<base md5>.patch", the patch's name beside the file's own.
std::string PatchFileName(std::string_view fileName, std::string_view baseMd5);

// 32 lower-case hex digits: an MD5 as manifests and patch names write it.
bool IsLowerHexMd5(std::string_view text);
