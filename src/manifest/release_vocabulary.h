#pragma once
// The words of a release, for the client that reads it and the publisher
// that writes it: the manifests' names, sections and keys, the marks the
// publisher adds, the suffixes of the files beside a file on the server,
// and the limits and thresholds both sides hold to. Defined here once; a
// key or suffix spelled anywhere else is a second reading waiting to differ.
// docs/server-tree.md describes the tree these words make.
#include <cstddef>
#include <cstdint>
#include <string_view>

// --- manifests ---------------------------------------------------------------
inline constexpr char kProgramManifestName[] = "UpdateConfig.ini";
inline constexpr char kPackageManifestName[] = "config.ini";
// A larger answer is no manifest of ours.
inline constexpr size_t kMaxManifestBytes = 64u << 20;
// The signed release statement beside a manifest (release_signature.h).
inline constexpr char kSignatureSuffix[] = ".sig";

// The program layout's header.
inline constexpr char kVersionSection[] = "Version";
inline constexpr char kVersionKey[] = "VERSION";
inline constexpr char kRegionKey[] = "REGION";
inline constexpr char kUnconditionalKey[] = "UNCONDITIONALUPDATE";
// So spelled since the first release: every installed reader knows it so.
inline constexpr char kNotifyKey[] = "NOTIFIY";
// The release's identity (release_reader.h); written by the publisher.
inline constexpr char kReleaseIdKey[] = "RELEASEID";
// How far the release is handed out (release_rollout.h): the share of
// installations in percent (0 to 100, at most one decimal) and, optionally,
// its growth: from ROLLOUTSTART (UTC) the share grows linearly to 100 %
// over ROLLOUTDAYS days. Absent, every installation takes the release.
inline constexpr char kRolloutKey[] = "ROLLOUT";
inline constexpr char kRolloutStartKey[] = "ROLLOUTSTART";
inline constexpr char kRolloutDaysKey[] = "ROLLOUTDAYS";
// A growth longer than ten years is a typing error.
inline constexpr uint32_t kMaxRolloutDays = 3650;
inline constexpr char kFilesSection[] = "FILES";

// A file's section.
inline constexpr char kSizeKey[] = "SIZE";
inline constexpr char kModifyTimeKey[] = "MODIFYTIME";
inline constexpr char kMd5Key[] = "MD5";
inline constexpr char kSha256Key[] = "SHA256";
inline constexpr char kPatchKey[] = "PATCH";

// The publisher's marks, in forms that readers which do not know them pass
// over: the whole-manifest mark (manifest_check.h), a first-line comment
// and a key that ends every file section, and, in a data package's
// "config.ini" (which has no header), the release identity and its
// rollout as comments.
inline constexpr char kFileCountKey[] = "FILECOUNT";
inline constexpr char kFileCountMark[] = "; FILECOUNT=";
inline constexpr char kReleaseIdMark[] = "; RELEASEID=";
inline constexpr char kRolloutMark[] = "; ROLLOUT=";
inline constexpr char kRolloutStartMark[] = "; ROLLOUTSTART=";
inline constexpr char kRolloutDaysMark[] = "; ROLLOUTDAYS=";

// --- the forms a file travels in beside its plain self -----------------------
// A compressed form: NAME + Suffix beside NAME, listed with its size under
// SizeKey, and decoded by zlib with these window bits (16 + 15: the gzip
// wrapper with the largest window). A new zlib form is a new entry here;
// the client reads, fetches and decodes every entry alike.
struct CompressionForm {
    std::string_view Suffix;
    std::string_view SizeKey;
    int ZlibWindowBits = 0;
    std::string_view PackForm;  // how PACKFORM names it (below)
};
inline constexpr CompressionForm kGzipForm{".gz", "GZSIZE", 16 + 15, "gz"};
inline constexpr CompressionForm kCompressionForms[] = {kGzipForm};

// NAME.<base md5>.patch beside NAME (listed_patches.h).
inline constexpr char kPatchSuffix[] = ".patch";

// Small files side by side in one file per release and type, fetched as
// byte ranges (listed_packs.h): the publisher writes each file whose
// travelling form (its compressed form where one is listed, else the file
// itself) has at most kDefaultPackMaxBytes into "packs/<hex>.pack" beside
// the files, and its section names the pack, where the form lies in it and
// which form it is: PACKFORM is a compression form's PackForm or "plain".
inline constexpr char kPackKey[] = "PACK";
inline constexpr char kPackOffsetKey[] = "PACKOFFSET";
inline constexpr char kPackLengthKey[] = "PACKLENGTH";
inline constexpr char kPackFormKey[] = "PACKFORM";
inline constexpr char kPlainPackForm[] = "plain";
inline constexpr char kPackFolder[] = "packs";
inline constexpr char kPackSuffix[] = ".pack";
// A pack is named by the first digits of its SHA-256 (lower-case hex): a
// mirror cannot serve other bytes under a pack's name, and a cache may keep it for ever.
inline constexpr size_t kPackNameHexDigits = 32;
inline constexpr uint64_t kDefaultPackMaxBytes = 64 * 1024;

// A form other than the plain file is published only when it is at most
// this share of what would travel otherwise: a smaller saving is not worth
// a second file on every mirror.
inline constexpr uint64_t kWorthwhileFormPercent = 90;
