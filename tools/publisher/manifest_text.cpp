#include "publisher/manifest_text.h"

#include "publisher/publish_options.h"

#include <cstdio>

namespace {

constexpr const char* kLineEnd = "\r\n";

void AppendLine(std::string& text, const std::string& line) {
    text += line;
    text += kLineEnd;
}

void AppendFileSections(std::string& text, const std::vector<PublishedFile>& files) {
    for (const PublishedFile& file : files) {
        AppendLine(text, "[" + file.Name + "]");
        AppendLine(text, "SIZE=" + std::to_string(file.Size));
        AppendLine(text, "MODIFYTIME=" + file.ModifyTime);
        AppendLine(text, "MD5=" + file.Md5);
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
    if (program) return {"UpdateConfig.ini"};
    return {"UpdateConfig.ini", "config.ini"};
}

std::string ProgramManifestText(const PublishOptions& header, const std::vector<PublishedFile>& files) {
    std::string text;
    AppendLine(text, "[Version]");
    AppendLine(text, "VERSION=" + header.Version);
    AppendLine(text, "REGION=" + header.Region);
    AppendLine(text, std::string("UNCONDITIONALUPDATE=") + (header.Unconditional ? "1" : "0"));
    AppendLine(text, std::string("NOTIFIY=") + (header.Notify ? "1" : "0"));
    AppendLine(text, "[FILES]");
    for (const PublishedFile& file : files) AppendLine(text, file.Name);
    AppendFileSections(text, files);
    return text;
}

std::string PackageManifestText(const std::vector<PublishedFile>& files) {
    std::string text;
    AppendFileSections(text, files);
    return text;
}
