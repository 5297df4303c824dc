#include "publisher/release_publisher.h"

#include "base/file_io.h"
#include "base/gbk_text.h"
#include "base/text_rules.h"
#include "crypto/file_digests.h"
#include "manifest/release_signature.h"
#include "manifest/release_vocabulary.h"
#include "publisher/gzip_file.h"
#include "publisher/manifest_text.h"
#include "publisher/pack_publishing.h"
#include "publisher/patch_publishing.h"
#include "publisher/publish_options.h"
#include "publisher/release_key.h"
#include "publisher/release_scan.h"
#include "publisher/release_statements.h"
#include "publisher/publisher_cli.h"
#include "publisher/rollout_change.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr size_t kProgressEveryFiles = 200;
constexpr auto kProgressEveryTime = std::chrono::seconds(1);

bool IsWithin(const fs::path& inner, const fs::path& outer) {
    return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first == outer.end();
}

class ProgressReport {
public:
    ProgressReport(std::ostream& log, size_t total) : log_(log), total_(total) {}

    void FileDone(uint64_t size) {
        ++done_;
        bytes_ += size;
        const auto now = std::chrono::steady_clock::now();
        if (done_ % kProgressEveryFiles == 0 || now - lastReport_ >= kProgressEveryTime || done_ == total_) {
            log_ << "publisher: " << done_ << " of " << total_ << " files, " << bytes_ / (1024 * 1024)
                 << " MiB\n";
            lastReport_ = now;
        }
    }

private:
    std::ostream& log_;
    size_t total_;
    size_t done_ = 0;
    uint64_t bytes_ = 0;
    std::chrono::steady_clock::time_point lastReport_ = std::chrono::steady_clock::now();
};

// NAME + suffix beside NAME for each compressed form (release_vocabulary.h)
// whose level-9 encoding is at most kWorthwhileFormPercent of the file;
// otherwise none, not even one of an earlier release. A release file that is
// itself named like a form of another (NAME.gz) keeps its name, and NAME
// then travels without that form.
bool PublishCompressedForms(const fs::path& destination, bool compress, const std::set<std::string>& foldedNames,
                            PublishedFile& published, std::ostream& log) {
    published.Compressed.clear();
    for (const CompressionForm& form : kCompressionForms) {
        fs::path compressed = destination;
        compressed += std::string(form.Suffix);
        if (foldedNames.count(FoldAsciiCase(published.Name + std::string(form.Suffix))) > 0) continue;
        std::error_code ignored;
        if (!compress) {
            fs::remove(compressed, ignored);
            continue;
        }
        fs::path temporary = compressed;
        temporary += kTemporarySuffix;
        uint64_t size = 0;
        std::string error;
        if (!CompressFile(form, destination, temporary, size, error)) {
            fs::remove(temporary, ignored);
            log << "publisher: cannot compress " << Utf8Of(destination) << ": " << error << '\n';
            return false;
        }
        if (size * 100 > published.Size * kWorthwhileFormPercent) {
            fs::remove(temporary, ignored);
            fs::remove(compressed, ignored);
            continue;
        }
        std::error_code ec;
        fs::rename(temporary, compressed, ec);
        if (ec) {
            fs::remove(temporary, ignored);
            log << "publisher: cannot write " << Utf8Of(compressed) << ": " << ec.message() << '\n';
            return false;
        }
        published.Compressed.push_back({&form, size});
    }
    return true;
}

// Copies one file into the tree with its modification time and measures
// the copy, which is what the server will hand out.
bool PublishFile(const fs::path& releaseFolder, const fs::path& targetFolder, const ReleaseFile& file,
                 bool withSha256, bool compress, const std::set<std::string>& foldedNames, PublishedFile& published,
                 std::ostream& log) {
    const fs::path source = releaseFolder / file.Relative;
    const fs::path destination = (targetFolder / file.Relative).make_preferred();
    fs::path temporary = destination;
    temporary += kTemporarySuffix;
    std::error_code ec;
    fs::file_time_type modified;
    fs::create_directories(destination.parent_path(), ec);
    if (!ec) modified = fs::last_write_time(source, ec);
    // Copied under a fresh name and renamed: the server never hands out a
    // half-copied file, and mingw's libstdc++ refuses to overwrite with
    // copy_file (without inode numbers it takes any existing destination
    // for the source itself).
    if (!ec) fs::remove(temporary, ec);
    if (!ec) fs::copy_file(source, temporary, ec);
    if (!ec) fs::last_write_time(temporary, modified, ec);
    if (!ec) fs::rename(temporary, destination, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        log << "publisher: cannot copy " << Utf8Of(file.Relative) << ": " << ec.message() << '\n';
        return false;
    }
    std::string gbkPath;
    FileDigests digests;
    const bool named = GbkPathOf(destination, gbkPath);
    if (named) published.Size = fs::file_size(destination, ec);
    if (!named || ec || !DigestFile(gbkPath, withSha256, digests)) {
        log << "publisher: cannot read back " << Utf8Of(destination) << '\n';
        return false;
    }
    published.Md5 = std::move(digests.Md5);
    published.Sha256 = std::move(digests.Sha256);
    published.Name = file.ManifestName;
    published.ModifyTime = FormatModifyTime(modified);
    return PublishCompressedForms(destination, compress, foldedNames, published, log);
}

// What travels: every file, compressed where it is published so.
void ReportSaving(const std::vector<PublishedFile>& files, std::ostream& log) {
    uint64_t plain = 0;
    uint64_t travelling = 0;
    size_t compressed = 0;
    for (const PublishedFile& file : files) {
        plain += file.Size;
        travelling += file.TravellingSize();
        if (!file.Compressed.empty()) ++compressed;
    }
    log << "publisher: " << compressed << " of " << files.size() << " files travel gzip-compressed: " << plain
        << " bytes become " << travelling << " bytes";
    if (plain > 0) log << " (" << (travelling * 100 + plain / 2) / plain << "%)";
    log << '\n';
}

}  // namespace

bool WriteManifests(const std::string& gbkFolder, const std::vector<ManifestFile>& manifests, std::ostream& log) {
    const char separator = static_cast<char>(fs::path::preferred_separator);
    std::vector<std::pair<std::string, std::string>> moves;
    for (const ManifestFile& manifest : manifests) {
        const std::string final = gbkFolder + separator + manifest.Name;
        std::string temporary;
        if (const Status written = WriteTempFileBeside(final, manifest.Text, temporary); !written) {
            log << "publisher: cannot write beside " << GbkToUtf8(final) << ": " << DescribeFailure(written.Why())
                << '\n';
            for (const auto& written : moves) RemoveFile(written.first);
            return false;
        }
        moves.emplace_back(temporary, final);
    }
    bool replaced = true;
    for (const auto& [temporary, final] : moves) {
        if (!replaced) {
            RemoveFile(temporary);
        } else if (const Status moved = MoveFileOver(temporary, final); !moved) {
            log << "publisher: cannot replace " << GbkToUtf8(final) << ": " << DescribeFailure(moved.Why()) << '\n';
            replaced = false;
        }
    }
    return replaced;
}

namespace {

// An unsigned release leaves no signature of an earlier one beside its
// manifests: a client that requires signatures then says that the
// signature is missing rather than that it does not match.
void RemoveSignatures(const std::string& gbkFolder, const std::vector<ManifestFile>& manifests) {
    const char separator = static_cast<char>(fs::path::preferred_separator);
    for (const ManifestFile& manifest : manifests) RemoveFile(gbkFolder + separator + manifest.Name + kSignatureSuffix);
}

}  // namespace

bool PublishRelease(const PublishOptions& options, std::ostream& log) {
    std::vector<ReleaseFile> files;
    std::vector<std::string> refused;
    std::string error;
    if (!ScanRelease(options.ReleaseFolder, options.IsProgram(), files, refused, error)) {
        log << "publisher: " << error << '\n';
        return false;
    }
    RefusePatchLikeNames(files, refused);
    if (!refused.empty()) {
        for (const std::string& message : refused) log << "publisher: refused " << message << '\n';
        log << "publisher: " << refused.size() << " name(s) refused; nothing written\n";
        return false;
    }

    CPatchPublisher patches(options.PreviousFolders, log);
    if (!patches.CheckFolders()) return false;
    EcdsaPrivateKey key;
    if (options.IsSigned() && !LoadReleaseKey(options.SigningKeyFile, key, error)) {
        log << "publisher: " << error << '\n';
        return false;
    }

    std::error_code releaseError;
    std::error_code ec;
    const fs::path release = fs::canonical(options.ReleaseFolder, releaseError);
    const fs::path target = fs::weakly_canonical(options.OutputFolder / std::to_string(options.PackageType), ec);
    std::string gbkTarget;
    if (releaseError || ec || !GbkPathOf(target, gbkTarget)) {
        log << "publisher: the output folder cannot be used: " << Utf8Of(options.OutputFolder) << '\n';
        return false;
    }
    if (IsWithin(target, release) || IsWithin(release, target)) {
        log << "publisher: the release folder and " << Utf8Of(target) << " overlap\n";
        return false;
    }
    StatementPlan statements;
    if (options.IsSigned() && !PlanStatements(options, gbkTarget, statements, log)) return false;
    std::optional<ReleaseRollout> rollout;
    if (options.Rollout) {
        // The growth starts when the release is published, unless told otherwise.
        UtcTime now = statements.Published;
        if (!options.IsSigned() && !ReadPublisherClock(now, error)) {
            log << "publisher: " << error << '\n';
            return false;
        }
        rollout = options.Rollout->At(now);
        log << "publisher: " << DescribePublishedRollout(options.PackageType, *rollout) << '\n';
    }
    fs::create_directories(target, ec);
    if (ec) {
        log << "publisher: cannot create " << Utf8Of(target) << ": " << ec.message() << '\n';
        return false;
    }

    std::set<std::string> names;
    for (const ReleaseFile& file : files) names.insert(FoldAsciiCase(file.ManifestName));
    std::vector<PublishedFile> published(files.size());
    ProgressReport progress(log, files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (!PublishFile(release, target, files[i], options.IsSigned(), options.Compress, names, published[i], log) ||
            !patches.Publish(files[i], target, published[i])) {
            return false;
        }
        progress.FileDone(published[i].Size);
    }
    ReportSaving(published, log);
    patches.ReportSaving(published);
    patches.RemoveStale(target);
    if (!PublishPack(target, files, options.PackMaxBytes, published, log)) return false;

    std::vector<ManifestFile> manifests = ManifestsOf(options, published, rollout);
    if (!options.IsSigned()) {
        if (!WriteManifests(gbkTarget, manifests, log)) return false;
        RemoveSignatures(gbkTarget, manifests);
        return true;
    }
    return AddStatements(key, statements, manifests, log) && WriteManifests(gbkTarget, manifests, log);
}
