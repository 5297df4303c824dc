#include "manifest/release_reader.h"

#include "base/number_text.h"
#include "config/config_syntax.h"
#include "crypto/md5_digest.h"
#include "manifest/manifest_check.h"
#include "manifest/name_check.h"
#include "manifest/release_statement.h"

#include <algorithm>
#include <cstdint>

namespace {
std::string ValueOf(const ConfigDocument& manifest, std::string_view section, std::string_view key) {
    const std::string* value = manifest.Find(section, key);
    return value ? *value : std::string();
}

// A [Version] value as it stands; nothing when the key is absent.
std::optional<std::string_view> HeaderValue(const ConfigDocument& manifest, std::string_view key) {
    const std::string* value = manifest.Find(kVersionSection, key);
    return value ? std::optional<std::string_view>(*value) : std::nullopt;
}

// An integer key read as atoi reads it, as every reader of the layout has.
bool IsNonZero(const ConfigDocument& manifest, std::string_view section, std::string_view key) {
    const std::string* value = manifest.Find(section, key);
    return value && ParseLeadingInteger(*value, value->size()) != 0;
}

ManifestHeader ReadHeader(const ConfigDocument& manifest) {
    ManifestHeader header;
    header.Version = ValueOf(manifest, kVersionSection, kVersionKey);
    header.Region = ValueOf(manifest, kVersionSection, kRegionKey);
    header.Unconditional = IsNonZero(manifest, kVersionSection, kUnconditionalKey);
    header.Notify = IsNonZero(manifest, kVersionSection, kNotifyKey);
    header.Rollout = ReadRollout(HeaderValue(manifest, kRolloutKey), HeaderValue(manifest, kRolloutStartKey),
                                 HeaderValue(manifest, kRolloutDaysKey));
    return header;
}

// The pack member a section lists, when its form is one the section lists
// with that very length: the client then bounds the member as it bounds
// that form fetched on its own.
std::optional<ListedPackMember> ReadPackMember(const ConfigDocument& manifest, const std::string& name,
                                               const S_UpdateFileInfo& file) {
    ListedPackMember member;
    member.Pack = ValueOf(manifest, name, kPackKey);
    const std::optional<uint64_t> offset = ParseDecimalCount(ValueOf(manifest, name, kPackOffsetKey));
    const std::optional<uint64_t> length = ParseDecimalCount(ValueOf(manifest, name, kPackLengthKey));
    if (!IsPackFileName(member.Pack) || !offset || !length || *length == 0 || *offset > UINT64_MAX - *length) {
        return std::nullopt;
    }
    member.Offset = *offset;
    member.Length = *length;
    const std::string form = ValueOf(manifest, name, kPackFormKey);
    if (form == kPlainPackForm) return file.Size == length ? std::optional(member) : std::nullopt;
    for (const ListedCompression& compressed : file.Compressed) {
        if (compressed.Form->PackForm == form && compressed.Size == *length) {
            member.Form = compressed.Form;
            return member;
        }
    }
    return std::nullopt;
}

S_UpdateFileInfo ReadEntry(const ConfigDocument& manifest, const std::string& name) {
    S_UpdateFileInfo file;
    file.FileName = name;
    file.ModifyTime = ValueOf(manifest, name, kModifyTimeKey);
    file.Size = ParseDecimalCount(ValueOf(manifest, name, kSizeKey));
    file.MD5 = ListedMd5::Read(ValueOf(manifest, name, kMd5Key));
    file.SHA256 = ListedSha256::Read(ValueOf(manifest, name, kSha256Key));
    for (const CompressionForm& form : kCompressionForms) {
        const std::optional<uint64_t> size = ParseDecimalCount(ValueOf(manifest, name, form.SizeKey));
        if (size && *size > 0) file.Compressed.push_back({&form, *size});
    }
    file.Patches = ParseListedPatches(ValueOf(manifest, name, kPatchKey));
    file.Packed = ReadPackMember(manifest, name, file);
    return file;
}
}  // namespace

template <size_t N>
std::optional<ListedDigest<N>> ListedDigest<N>::Read(std::string_view text) {
    if (text.empty()) return std::nullopt;
    ListedDigest digest;
    digest.IsDigest = ParseHex(text, digest.Bytes.data(), N);
    if (!digest.IsDigest) digest.Bytes = {};
    digest.LowerCase = digest.IsDigest && text.find_first_of("ABCDEF") == std::string_view::npos;
    return digest;
}

template <size_t N>
std::string ListedDigest<N>::Hex() const {
    return IsDigest ? LowerHex(Bytes.data(), Bytes.size()) : std::string();
}

template struct ListedDigest<16>;
template struct ListedDigest<32>;

const ListedCompression* S_UpdateFileInfo::SmallestCompressed() const {
    const auto smallest = std::min_element(Compressed.begin(), Compressed.end(),
                                           [](const ListedCompression& a, const ListedCompression& b) {
                                               return a.Size < b.Size;
                                           });
    return smallest == Compressed.end() ? nullptr : &*smallest;
}

Status ReadRelease(std::string_view bytes, ManifestLayout layout, int32_t type, Release& release) {
    const ConfigDocument manifest = ConfigDocument::Parse(bytes);
    const bool program = layout == ManifestLayout::Program;
    std::vector<std::string> names;
    if (program) {
        manifest.AppendEntryNames(kFilesSection, names);
    } else {
        manifest.AppendSectionNames(names);
    }
    if (Status checked = CheckManifest(bytes, manifest, program, names); !checked) return checked;

    release = Release{};
    release.Layout = layout;
    if (program) {
        release.Header = ReadHeader(manifest);
    } else {
        release.Header.Rollout = ReadRollout(MarkedValue(bytes, kRolloutMark), MarkedValue(bytes, kRolloutStartMark),
                                             MarkedValue(bytes, kRolloutDaysMark));
    }
    for (const std::string& name : names) {
        // A name that leaves the folder is never fetched or installed: a
        // manifest from a compromised or broken server must not write elsewhere.
        if (const char* why = WhyUnsafeManifestName(name)) {
            release.Skipped.push_back({name, why});
            continue;
        }
        release.Files.push_back(ReadEntry(manifest, name));
    }
    const std::string written = program ? ValueOf(manifest, kVersionSection, kReleaseIdKey)
                                        : std::string(MarkedValue(bytes, kReleaseIdMark).value_or(""));
    if (IsReleaseId(written)) {
        release.Header.ReleaseId = written;
    } else {
        std::vector<IdentifiedFile> identified;
        std::vector<std::string> digests;
        digests.reserve(release.Files.size());
        for (const S_UpdateFileInfo& file : release.Files) digests.push_back(file.MD5 ? file.MD5->Hex() : "");
        for (size_t i = 0; i < release.Files.size(); ++i) identified.push_back({release.Files[i].FileName, digests[i]});
        release.Header.ReleaseId = DeriveReleaseId(type, release.Header.Version, identified);
    }
    return {};
}

std::string DeriveReleaseId(int32_t type, std::string_view version, const std::vector<IdentifiedFile>& files) {
    std::string text = FormatReleaseTarget(type) + "\n";
    text.append(version).append("\n");
    for (const IdentifiedFile& file : files) text.append(file.Name).append("\n").append(file.Md5Hex).append("\n");
    // An identity, not a seal: whoever writes the manifest writes its
    // RELEASEID too, so a digest that needs no system service will do.
    return Md5Hex(text);
}

bool IsReleaseId(std::string_view text) {
    return IsLowerHexMd5(text);
}
