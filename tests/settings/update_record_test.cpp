#include "settings/update_record.h"

#include "config/config_file.h"
#include "settings/update_settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

std::string Read(const std::string& file, const std::string& section, const std::string& key) {
    std::string value;
    CCryptConfigFile(file, "").ReadString(section, key, "<absent>", value);
    return value;
}

TEST(UpdateRecordTest, SameDaySharesOneSection) {
    TempDir dir;
    WriteUpdateRecord(dir.Path(), "%Y-%m-%d", "4.0.2", "4.0.1");
    WriteUpdateRecord(dir.Path(), "%Y-%m-%d", "4.0.3", "4.0.2", false);
    const std::string section = FormatLocalTime("%Y-%m-%d");
    const std::string record = dir.File("UpdateRecord.dat");
    EXPECT_EQ(Read(record, section, "IsSucceed"), "0");
    EXPECT_EQ(Read(record, section, "NewVersion"), "4.0.3");
    EXPECT_EQ(Read(record, section, "OldVersion"), "4.0.2");
}

TEST(UpdateRecordTest, ConfiguredVersionKeepsOtherKeys) {
    TempDir dir;
    {
        CCryptConfigFile config(dir.File("Config.dat"), "");
        config.WriteString("Update", "ServerIP", "127.0.0.1");
        config.WriteString("Update", "Version", "1.0");
    }
    CClientConfig(dir.Path()).WriteVersion("");  // an empty version is written as it is
    EXPECT_EQ(Read(dir.File("Config.dat"), "Update", "Version"), "");
    EXPECT_EQ(Read(dir.File("Config.dat"), "Update", "ServerIP"), "127.0.0.1");
}

TEST(UpdateRecordTest, LocalTimeFormats) {
    const std::string stamp = FormatLocalTime("%Y-%m-%d %H:%M:%S");
    ASSERT_EQ(stamp.size(), 19u);
    EXPECT_EQ(stamp[4], '-');
    EXPECT_EQ(stamp[10], ' ');
    EXPECT_EQ(FormatLocalTime(std::string(200, 'x')), "");  // does not fit 128 characters
}

}  // namespace
