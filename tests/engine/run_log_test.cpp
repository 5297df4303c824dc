#include "engine/run_log.h"
#include "engine/update_area.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(RunLogTest, LinesCarryTimeAndRunAndTheFolderIsMade) {
    TempDir app;
    CRunLog log(CUpdateArea(app.Path()).RunLogPath(), "silent package Maps");
    log.Write("first step");
    const std::vector<std::string> lines = Lines(app.Read("UPDATE\\update.log"));
    ASSERT_EQ(lines.size(), 1u);
    // "YYYY-MM-DD HH:MM:SS [run] text\r"
    EXPECT_EQ(lines[0].size(), 19 + std::string(" [silent package Maps] first step\r").size()) << lines[0];
    EXPECT_EQ(lines[0].substr(19), " [silent package Maps] first step\r");
}

// Bounded: when full, the older half goes and whole lines stay.
TEST(RunLogTest, DropsTheOlderHalfWhenFull) {
    TempDir app;
    constexpr size_t kLimit = 2000;
    CRunLog log(CUpdateArea(app.Path()).RunLogPath(), "silent", kLimit);
    for (int i = 0; i < 300; ++i) log.Write("step " + std::to_string(i));
    const std::string text = app.Read("UPDATE\\update.log");
    EXPECT_LE(text.size(), kLimit);
    EXPECT_GE(text.size(), kLimit / 3);
    const std::vector<std::string> lines = Lines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("step 299"), std::string::npos);
    for (const std::string& line : lines) EXPECT_NE(line.find(" [silent] step "), std::string::npos) << line;
}

// A log that cannot be written never stops the run that writes it.
TEST(RunLogTest, AFileWhereTheFolderMustBeLosesTheLinesQuietly) {
    TempDir app;
    app.Write("UPDATE", "not a folder");
    CRunLog log(CUpdateArea(app.Path()).RunLogPath(), "silent");
    log.Write("lost");
    EXPECT_EQ(app.Read("UPDATE"), "not a folder");
}

}  // namespace
