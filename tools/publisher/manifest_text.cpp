#include "publisher/manifest_text.h"

#include "manifest/manifest.h"
#include "manifest/manifest_check.h"
#include "publisher/publish_options.h"

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

void AppendFileSections(std::string& text, const std::vector<PublishedFile>& files) {
    for (const PublishedFile& file : files) {
        AppendLine(text, "[" + file.Name + "]");
        AppendLine(text, "SIZE=" + std::to_string(file.Size));
        AppendLine(text, "MODIFYTIME=" + file.ModifyTime);
        AppendLine(text, "MD5=" + file.Md5);
        if (!file.Sha256.empty()) AppendLine(text, "SHA256=" + file.Sha256);
        if (file.GzSize) AppendLine(text, "GZSIZE=" + std::to_string(*file.GzSize));
        if (!file.Patches.empty()) AppendLine(text, std::string(kPatchKey) + "=" + FormatListedPatches(file.Patches));
        AppendLine(text, FileCountLine(files));
    }
}

}  // namespace

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

std::vector<ManifestFile> ManifestsOf(const PublishOptions& options, const std::vector<PublishedFile>& files) {
    const bool program = options.IsProgram();
    // The mark's first part: any cut of the manifest keeps it.
    std::string mark;
    AppendLine(mark, kFileCountMark + std::to_string(files.size()));
    std::string header = mark;
    AppendLine(header, "[Version]");
    AppendLine(header, "VERSION=" + options.Version);
    AppendLine(header, "REGION=" + options.Region);
    AppendLine(header, std::string("UNCONDITIONALUPDATE=") + (options.Unconditional || !program ? "1" : "0"));
    AppendLine(header, std::string("NOTIFIY=") + (options.Notify ? "1" : "0"));
    AppendLine(header, "[FILES]");
    for (const PublishedFile& file : files) AppendLine(header, file.Name);

    std::string sections;
    AppendFileSections(sections, files);
    std::vector<ManifestFile> manifests = {{kProgramManifestName, header + sections}};
    if (!program) manifests.push_back({kPackageManifestName, mark + sections});
    return manifests;
}
