#include "publisher/manifest_text.h"

#include "base/text_rules.h"
#include "config/config_syntax.h"
#include "manifest/release_reader.h"
#include "manifest/release_vocabulary.h"
#include "publisher/publish_options.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* kLineEnd = "\r\n";

void AppendLine(std::string& text, const std::string& line) {
    text += line;
    text += kLineEnd;
}

// The mark's second part (manifest_check.h): the count of the files ends
// every file section, so that a cut anywhere after the first line takes it away.
std::string FileCountLine(const std::vector<PublishedFile>& files) {
    return std::string(kFileCountKey) + "=" + std::to_string(files.size());
}

void AppendKey(std::string& text, std::string_view key, const std::string& value) {
    AppendLine(text, std::string(key) + "=" + value);
}

void AppendFileSections(std::string& text, const std::vector<PublishedFile>& files) {
    for (const PublishedFile& file : files) {
        AppendLine(text, "[" + file.Name + "]");
        AppendKey(text, kSizeKey, std::to_string(file.Size));
        AppendKey(text, kModifyTimeKey, file.ModifyTime);
        AppendKey(text, kMd5Key, file.Md5);
        if (!file.Sha256.empty()) AppendKey(text, kSha256Key, file.Sha256);
        for (const PublishedFile::Compression& form : file.Compressed) {
            AppendKey(text, form.Form->SizeKey, std::to_string(form.Size));
        }
        if (!file.Patches.empty()) AppendKey(text, kPatchKey, FormatListedPatches(file.Patches));
        if (const auto& member = file.Packed) {
            AppendKey(text, kPackKey, member->Pack);
            AppendKey(text, kPackOffsetKey, std::to_string(member->Offset));
            AppendKey(text, kPackLengthKey, std::to_string(member->Length));
            AppendKey(text, kPackFormKey, member->Form ? std::string(member->Form->PackForm) : kPlainPackForm);
        }
        AppendLine(text, FileCountLine(files));
    }
}

// The client derives the same identity from a manifest without one; written,
// it stays when a later publish changes only how the release is handed out.
std::string ReleaseIdOf(const PublishOptions& options, const std::vector<PublishedFile>& files) {
    std::vector<IdentifiedFile> identified;
    identified.reserve(files.size());
    for (const PublishedFile& file : files) identified.push_back({file.Name, file.Md5});
    return DeriveReleaseId(options.PackageType, options.Version, identified);
}

// The rollout as keys of [Version] or as the marks of "config.ini".
std::string RolloutLines(const ReleaseRollout& rollout, bool asMarks, std::string_view lineEnd) {
    std::string text;
    const auto line = [&](std::string_view key, std::string_view mark, const std::string& value) {
        text.append(asMarks ? std::string(mark) : std::string(key) + "=").append(value).append(lineEnd);
    };
    line(kRolloutKey, kRolloutMark, FormatRolloutShare(rollout.Share));
    if (rollout.Growth) {
        line(kRolloutStartKey, kRolloutStartMark, FormatUtcTime(rollout.Growth->Start));
        line(kRolloutDaysKey, kRolloutDaysMark, std::to_string(rollout.Growth->Days));
    }
    return text;
}

// A line as the configuration syntax sees it: without its end and outer blanks.
std::string_view Trimmed(std::string_view line) {
    const size_t first = line.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r\n") - first + 1);
}

bool IsRolloutKeyLine(std::string_view text) {
    if (text.empty() || text.front() == ';' || text.front() == '#') return false;
    const std::string_view key = Trimmed(text.substr(0, text.find('=')));
    return EqualsIgnoringAsciiCase(key, kRolloutKey) || EqualsIgnoringAsciiCase(key, kRolloutStartKey) ||
           EqualsIgnoringAsciiCase(key, kRolloutDaysKey);
}

bool IsRolloutMarkLine(std::string_view text) {
    return text.starts_with(kRolloutMark) || text.starts_with(kRolloutStartMark) || text.starts_with(kRolloutDaysMark);
}

}  // namespace

uint64_t PublishedFile::TravellingSize() const {
    uint64_t smallest = Size;
    for (const Compression& form : Compressed) smallest = std::min(smallest, form.Size);
    return smallest;
}

std::string FormatModifyTime(std::filesystem::file_time_type time) {
    using namespace std::chrono;
    const auto utc = floor<seconds>(file_clock::to_sys(time));
    const auto day = floor<days>(utc);
    const year_month_day date(day);
    const hh_mm_ss clock(utc - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::vector<std::string> ManifestFileNames(bool program) {
    if (program) return {kProgramManifestName};
    return {kProgramManifestName, kPackageManifestName};
}

std::vector<ManifestFile> ManifestsOf(const PublishOptions& options, const std::vector<PublishedFile>& files,
                                      const std::optional<ReleaseRollout>& rollout) {
    const bool program = options.IsProgram();
    // The mark's first part: any cut of the manifest keeps it.
    std::string mark;
    AppendLine(mark, kFileCountMark + std::to_string(files.size()));
    const std::string releaseId = ReleaseIdOf(options, files);
    std::string header = mark;
    AppendLine(header, std::string("[") + kVersionSection + "]");
    AppendKey(header, kVersionKey, options.Version);
    AppendKey(header, kRegionKey, options.Region);
    AppendKey(header, kUnconditionalKey, options.Unconditional || !program ? "1" : "0");
    AppendKey(header, kNotifyKey, options.Notify ? "1" : "0");
    AppendKey(header, kReleaseIdKey, releaseId);
    if (rollout) header += RolloutLines(*rollout, false, kLineEnd);
    AppendLine(header, std::string("[") + kFilesSection + "]");
    for (const PublishedFile& file : files) AppendLine(header, file.Name);

    std::string sections;
    AppendFileSections(sections, files);
    std::vector<ManifestFile> manifests = {{kProgramManifestName, header + sections}};
    if (!program) {
        // "config.ini" has no header: its identity is a comment its readers pass over.
        std::string packageMark = mark;
        AppendLine(packageMark, kReleaseIdMark + releaseId);
        if (rollout) packageMark += RolloutLines(*rollout, true, kLineEnd);
        manifests.push_back({kPackageManifestName, packageMark + sections});
    }
    return manifests;
}

std::string WithRollout(std::string_view manifest, bool programLayout, const ReleaseRollout& rollout) {
    const std::string_view lineEnd = manifest.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    const std::string lines = RolloutLines(rollout, !programLayout, lineEnd);
    std::string text;
    // A hand-edited manifest may begin with the mark; its first section follows it.
    if (manifest.starts_with(kUtf8ByteOrderMark)) {
        text = kUtf8ByteOrderMark;
        manifest.remove_prefix(kUtf8ByteOrderMark.size());
    }
    bool inVersion = false;  // within the first [Version] section
    bool placed = false;
    for (size_t start = 0; start < manifest.size();) {
        const size_t next = std::min(manifest.find('\n', start), manifest.size() - 1) + 1;
        const std::string_view line = manifest.substr(start, next - start);
        start = next;
        const std::string_view trimmed = Trimmed(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            // The rollout ends the block it belongs to.
            if (!placed && (inVersion || !programLayout)) {
                text += lines;
                placed = true;
            }
            const size_t close = trimmed.rfind(']');
            inVersion = programLayout && !placed && close != std::string_view::npos &&
                        EqualsIgnoringAsciiCase(Trimmed(trimmed.substr(1, close - 1)), kVersionSection);
        } else if (!placed && (programLayout ? inVersion && IsRolloutKeyLine(trimmed) : IsRolloutMarkLine(line))) {
            continue;
        }
        text += line;
    }
    if (!placed) {
        if (!text.empty() && text.back() != '\n') text += lineEnd;
        text += lines;
    }
    return text;
}
