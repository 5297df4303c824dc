#include "settings/update_record.h"

#include "config/config_file.h"

#include <ctime>

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
    CCryptConfigFile record(applicationFolder + "UpdateRecord.dat", "");
    const std::string section = FormatLocalTime(sectionFormat);
    return record.Write({{section, "IsSucceed", succeeded ? "1" : "0"},
                         {section, "NewVersion", newVersion},
                         {section, "OldVersion", oldVersion}});
}
