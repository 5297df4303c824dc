#include "publisher/patch_publishing.h"

#include "base/file_io.h"
#include "base/number_text.h"
#include "base/text_rules.h"
#include "crypto/md5_digest.h"
#include "delta/patch_file.h"
#include "delta/patch_maker.h"
#include "manifest/listed_patches.h"
#include "manifest/release_vocabulary.h"
#include "publisher/release_scan.h"
#include "publisher/publisher_cli.h"

#include <fstream>
#include <new>
#include <ostream>
#include <set>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// "NAME" when name is PatchFileName(NAME, <an MD5>); empty otherwise.
std::string PatchedNameOf(std::string_view name) {
    const size_t md5Digits = 32;
    const size_t tail = 1 + md5Digits + sizeof kPatchSuffix - 1;
    if (name.size() <= tail || !name.ends_with(kPatchSuffix) || name[name.size() - tail] != '.') return {};
    if (!IsLowerHexMd5(name.substr(name.size() - tail + 1, md5Digits))) return {};
    return std::string(name.substr(0, name.size() - tail));
}

// Read into a buffer of the file's size: a 32-bit publisher must not double
// its way through a large file.
bool ReadBytes(const fs::path& path, std::string& bytes) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec) return false;
    std::ifstream in(path, std::ios::binary);
    bytes.resize(static_cast<size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    return in.is_open() && static_cast<uintmax_t>(in.gcount()) == size;
}

// Whether a file is small enough to be a patch's base or result at all;
// larger ones are not even read.
bool IsPatchable(const fs::path& path) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    return !ec && size <= PatchMakingLimits{}.MaxFileBytes;
}

// Written under a temporary name and renamed, so that the server never
// hands out half a patch.
bool WriteFile(const fs::path& path, const std::string& bytes) {
    fs::path temporary = path;
    temporary += kTemporarySuffix;
    std::error_code ec;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) ec = std::make_error_code(std::errc::io_error);
    }
    if (!ec) fs::rename(temporary, path, ec);
    if (ec) fs::remove(temporary, ec);
    return !ec;
}

// Applies a written patch exactly as the updater will: from its file, to
// the earlier copy, checked against the size and digests the manifest will
// list, into a temporary file beside it that is removed afterwards.
PatchResult ApplyAsTheUpdater(const fs::path& patchPath, const fs::path& earlier, const PublishedFile& published) {
    const Failure noGbkSpelling{FailureKind::BadPath, 0, 0, "the path has no GBK spelling"};
    std::string gbkPatch;
    std::string gbkEarlier;
    if (!GbkPathOf(patchPath, gbkPatch)) return {PatchStatus::PatchUnreadable, noGbkSpelling};
    if (!GbkPathOf(earlier, gbkEarlier)) return {PatchStatus::BaseUnreadable, noGbkSpelling};
    const std::string made = MakeTempPathBeside(gbkPatch);
    const PatchResult applied =
        ApplyPatchFile(gbkPatch, gbkEarlier, made, {published.Size, published.Md5, published.Sha256});
    if (applied.Applied()) RemoveFile(made);
    return applied;
}

}  // namespace

// Every such name is the server tree's to manage: the stale patches of an
// earlier publish are removed by it, whether or not the file they would
// patch is in this release.
void RefusePatchLikeNames(const std::vector<ReleaseFile>& files, std::vector<std::string>& refused) {
    for (const ReleaseFile& file : files) {
        if (!PatchedNameOf(file.ManifestName).empty())
            refused.push_back(Utf8Of(file.Relative) + ": is named like a patch (NAME.<MD5>.patch)");
    }
}

CPatchPublisher::CPatchPublisher(std::vector<fs::path> previousFolders, std::ostream& log)
    : previousFolders_(std::move(previousFolders)), log_(log) {}

bool CPatchPublisher::CheckFolders() const {
    for (const fs::path& folder : previousFolders_) {
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            log_ << "publisher: not a folder: " << Utf8Of(folder) << '\n';
            return false;
        }
    }
    return true;
}

bool CPatchPublisher::Publish(const ReleaseFile& file, const fs::path& targetFolder, PublishedFile& published) {
    published.Patches.clear();
    const fs::path destination = (targetFolder / file.Relative).make_preferred();
    const uint64_t travelling = published.TravellingSize();
    std::string result;
    bool resultRead = false;
    for (const fs::path& folder : previousFolders_) {
        const fs::path earlier = folder / file.Relative;
        const auto noPatch = [&](const std::string& why) {
            log_ << "publisher: no patch of " << Utf8Of(file.Relative) << " from " << Utf8Of(folder) << ": " << why
                 << '\n';
        };
        std::error_code ec;
        if (!fs::is_regular_file(earlier, ec)) continue;
        if (!IsPatchable(earlier) || !IsPatchable(destination)) {
            noPatch(PatchMakingReason({PatchMaking::TooLarge, {}}));
            continue;
        }
        std::string base;
        try {
            if (!ReadBytes(earlier, base)) {
                log_ << "publisher: cannot read " << Utf8Of(earlier) << '\n';
                return false;
            }
            if (!resultRead && !ReadBytes(destination, result)) {
                log_ << "publisher: cannot read back " << Utf8Of(destination) << '\n';
                return false;
            }
        } catch (const std::bad_alloc&) {
            noPatch(PatchMakingReason({PatchMaking::OutOfMemory, {}}));
            continue;
        }
        resultRead = true;
        const std::string baseMd5 = Md5Hex(base);
        if (baseMd5 == published.Md5) continue;
        bool listed = false;
        for (const ListedPatch& patch : published.Patches) listed = listed || patch.BaseMd5 == baseMd5;
        if (listed) continue;

        const MadePatch patch = MakePatch(base, result);
        if (patch.Status != PatchMaking::Made) {
            noPatch(PatchMakingReason(patch));
            continue;
        }
        // A patch that saves less than a tenth of what would travel is not worth a file.
        if (static_cast<uint64_t>(patch.Bytes.size()) * 100 > travelling * kWorthwhileFormPercent) continue;
        fs::path patchPath = destination;
        patchPath += "." + baseMd5 + kPatchSuffix;
        if (!WriteFile(patchPath, patch.Bytes)) {
            log_ << "publisher: cannot write " << Utf8Of(patchPath) << '\n';
            return false;
        }
        // The maker applied it in memory already; this is the file as it
        // will travel, applied by the updater's own code path.
        if (const PatchResult applied = ApplyAsTheUpdater(patchPath, earlier, published); !applied.Applied()) {
            noPatch(Utf8Of(patchPath.filename()) + " does not apply: " + DescribePatchResult(applied));
            fs::remove(patchPath, ec);
            continue;
        }
        written_.push_back(patchPath);
        published.Patches.push_back({baseMd5, patch.Bytes.size()});
    }
    return true;
}

void CPatchPublisher::RemoveStale(const fs::path& targetFolder) const {
    std::set<fs::path> keep;
    for (const fs::path& path : written_) keep.insert(path.lexically_normal());
    std::vector<fs::path> stale;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(targetFolder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path& path = it->path();
        if (!PatchedNameOf(Utf8Of(path.filename())).empty() && keep.count(path.lexically_normal()) == 0)
            stale.push_back(path);
    }
    for (const fs::path& path : stale) fs::remove(path, ec);
}

void CPatchPublisher::ReportSaving(const std::vector<PublishedFile>& files) const {
    if (previousFolders_.empty()) return;
    size_t patches = 0;
    size_t patched = 0;
    uint64_t instead = 0;
    uint64_t travelling = 0;
    for (const PublishedFile& file : files) {
        for (const ListedPatch& patch : file.Patches) {
            ++patches;
            instead += file.TravellingSize();
            travelling += patch.Bytes;
        }
        if (!file.Patches.empty()) ++patched;
    }
    log_ << "publisher: " << patches << " patches for " << patched << " of " << files.size()
         << " files: " << travelling << " bytes travel instead of " << instead;
    if (instead > 0) log_ << " (" << (travelling * 100 + instead / 2) / instead << "%)";
    log_ << '\n';
}
