#include "publisher/release_publisher.h"

#include "base/file_io.h"
#include "base/gbk_text.h"
#include "crypto/md5.h"
#include "publisher/manifest_text.h"
#include "publisher/publish_options.h"
#include "publisher/release_scan.h"
#include "publisher/temporary_name.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr size_t kProgressEveryFiles = 200;
constexpr auto kProgressEveryTime = std::chrono::seconds(1);

std::string Utf8Of(const fs::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

// CMD5 takes GBK paths; a folder whose name has no GBK spelling cannot be
// handed to it.
bool GbkPathOf(const fs::path& path, std::string& gbk) {
    const std::string utf8 = Utf8Of(path);
    gbk = Utf8ToGbk(utf8);
    return GbkToUtf8(gbk) == utf8;
}

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

// Copies one file into the tree with its modification time and measures
// the copy, which is what the server will hand out.
bool PublishFile(const fs::path& releaseFolder, const fs::path& targetFolder, const ReleaseFile& file,
                 PublishedFile& published, std::ostream& log) {
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
    const bool named = GbkPathOf(destination, gbkPath);
    if (named) published.Size = fs::file_size(destination, ec);
    if (!named || ec || CMD5::GetFileMD5(gbkPath, published.Md5) != 0) {
        log << "publisher: cannot read back " << Utf8Of(destination) << '\n';
        return false;
    }
    published.Name = file.ManifestName;
    published.ModifyTime = FormatModifyTime(modified);
    return true;
}

// Every manifest goes to a temporary file first; only when all are complete
// do they take their real names, so a client never reads a torn one.
bool WriteManifests(const std::string& gbkFolder, const std::vector<ManifestFile>& manifests, std::ostream& log) {
    const char separator = static_cast<char>(fs::path::preferred_separator);
    std::vector<std::pair<std::string, std::string>> moves;
    for (const ManifestFile& manifest : manifests) {
        const std::string final = gbkFolder + separator + manifest.Name;
        const std::string temporary = WriteTempFileBeside(final, manifest.Text);
        if (temporary.empty()) {
            log << "publisher: cannot write beside " << GbkToUtf8(final) << '\n';
            for (const auto& written : moves) RemoveFile(written.first);
            return false;
        }
        moves.emplace_back(temporary, final);
    }
    bool replaced = true;
    for (const auto& [temporary, final] : moves) {
        if (!replaced) {
            RemoveFile(temporary);
        } else if (!MoveFileOver(temporary, final)) {
            log << "publisher: cannot replace " << GbkToUtf8(final) << '\n';
            replaced = false;
        }
    }
    return replaced;
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
    if (!refused.empty()) {
        for (const std::string& message : refused) log << "publisher: refused " << message << '\n';
        log << "publisher: " << refused.size() << " name(s) refused; nothing written\n";
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
    fs::create_directories(target, ec);
    if (ec) {
        log << "publisher: cannot create " << Utf8Of(target) << ": " << ec.message() << '\n';
        return false;
    }

    std::vector<PublishedFile> published(files.size());
    ProgressReport progress(log, files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (!PublishFile(release, target, files[i], published[i], log)) return false;
        progress.FileDone(published[i].Size);
    }

    return WriteManifests(gbkTarget, ManifestsOf(options, published), log);
}
