#pragma once
// Where a release's pack holds a file (release_vocabulary.h): its section
// lists PACK=packs/<hex>.pack, PACKOFFSET, PACKLENGTH and PACKFORM, and the
// file's travelling form lies at that offset of the pack, that long. The
// plain file (and its compressed form) stay beside it on the server, and the
// reader (release_reader.cpp) takes a listing only when it names a form the
// section also lists with exactly that length.
#include "manifest/release_vocabulary.h"

#include <cstdint>
#include <string>
#include <string_view>

struct ListedPackMember {
    std::string Pack;      // "packs/<hex>.pack", beside the files of its type
    uint64_t Offset = 0;
    uint64_t Length = 0;   // one or more: the listed size of the form
    // The compression form the member is in; nullptr: the file itself.
    const CompressionForm* Form = nullptr;
};

// "packs/<digits>.pack", the pack's name beside the files, for the
// kPackNameHexDigits lower-case hex digits that start its SHA-256.
std::string PackFileName(std::string_view hexDigits);
bool IsPackFileName(std::string_view name);
