#include "settings/update_record.h"

#include "config/config_file.h"

#include <ctime>

namespace {
constexpr char kRecordFileName[] = "UpdateRecord.dat";
}

std::string FormatLocalTime(const std::string& format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char buffer[128];
    const size_t length = std::strftime(buffer, sizeof buffer, format.c_str(), &local);
    return std::string(buffer, length);
}

Status WriteUpdateRecord(const std::string& applicationFolder, const std::string& sectionFormat,
                       const std::string& newVersion, const std::string& oldVersion, bool succeeded) {
    CCryptConfigFile record(applicationFolder + kRecordFileName, "");
    const std::string section = FormatLocalTime(sectionFormat);
    return record.Write({{section, "IsSucceed", succeeded ? "1" : "0"},
                         {section, "NewVersion", newVersion},
                         {section, "OldVersion", oldVersion}});
}

std::string FreeRecordSection(const std::string& applicationFolder, const std::string& sectionFormat) {
    const ConfigDocument record = LoadCryptConfig(applicationFolder + kRecordFileName, "").Document;
    const std::string time = FormatLocalTime(sectionFormat);
    std::string section = time;
    for (int n = 2; record.HasSection(section); ++n) section = time + " (" + std::to_string(n) + ")";
    return section;
}

Status WriteRollbackRecord(const std::string& applicationFolder, const std::string& section,
                           const std::string& rolledBackVersion, const std::string& restoredVersion) {
    CCryptConfigFile record(applicationFolder + kRecordFileName, "");
    return record.Write({{section, "IsSucceed", "0"},
                         {section, "NewVersion", rolledBackVersion},
                         {section, "OldVersion", restoredVersion},
                         {section, "RolledBack", "1"}});
}
