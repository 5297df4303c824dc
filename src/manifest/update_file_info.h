#pragma once
// One file of a release as its manifest lists it, read once (release_reader.h):
// sizes as numbers, digests as bytes, absent where the manifest has none,
// and the forms the file may travel in. Everything after the reader (the
// compare, the transfer, the install and the record) reads this entry and
// never the manifest's text again.
#include "manifest/listed_packs.h"
#include "manifest/listed_patches.h"
#include "manifest/release_vocabulary.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using Md5Bytes = std::array<uint8_t, 16>;
using Sha256Bytes = std::array<uint8_t, 32>;

// A digest as a manifest lists it. A text that is no digest of its length
// is kept as one that no file matches: the file can then never pass its
// check, as a damaged listing must not. Manifests carry lower-case digits,
// as md5sum prints them; the compare of installed copies takes only that
// spelling as equal, while a file that arrived is checked in either case.
template <size_t N>
struct ListedDigest {
    std::array<uint8_t, N> Bytes{};
    bool IsDigest = false;  // the text was 2N hexadecimal digits
    bool LowerCase = false;

    // Nothing for an empty text: the manifest lists no such digest.
    static std::optional<ListedDigest> Read(std::string_view text);
    // A file with these bytes passes the check (either case).
    bool Matches(const std::array<uint8_t, N>& actual) const { return IsDigest && Bytes == actual; }
    // The installed copy counts as the listed file: the text is the one
    // md5sum prints for these bytes.
    bool IsSpelledAs(const std::array<uint8_t, N>& actual) const { return LowerCase && Matches(actual); }
    // Lower-case hex, or empty for a text that is no digest.
    std::string Hex() const;
};
using ListedMd5 = ListedDigest<16>;
using ListedSha256 = ListedDigest<32>;

// A compressed form the manifest lists for a file (release_vocabulary.h).
struct ListedCompression {
    const CompressionForm* Form = nullptr;
    uint64_t Size = 0;  // bytes of NAME + Form->Suffix on the server; one or more
};

struct S_UpdateFileInfo {
    std::string FileName;    // relative path as the manifest names it, '\'-separated
    std::string ModifyTime;  // MODIFYTIME, carried only
    std::optional<uint64_t> Size;            // SIZE when it is a decimal count
    std::optional<ListedMd5> MD5;            // MD5
    std::optional<ListedSha256> SHA256;      // SHA256, which a signing publisher adds
    std::vector<ListedCompression> Compressed;  // by kCompressionForms' order
    ListedPatches Patches;                   // PATCH
    std::optional<ListedPackMember> Packed;  // PACK..., when it is one to fetch the file by
    // The installed copy's MD5 as the compare learned it (read or
    // remembered); nothing when no installed copy could be read.
    std::optional<Md5Bytes> InstalledMD5 = std::nullopt;

    // Whether the listing gives the file any check at all: a size, an MD5
    // or a SHA-256. A file without one can only be installed blind.
    bool HasListedCheck() const { return Size || MD5 || SHA256; }
    // The compressed form that travels fewest bytes, if any.
    const ListedCompression* SmallestCompressed() const;
};
