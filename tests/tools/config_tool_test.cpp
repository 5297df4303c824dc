#include "config_tool.h"

#include "settings/update_settings.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {
struct ToolRun {
    int Exit;
    std::string Out, Err;
};

ToolRun Tool(const std::vector<std::string>& arguments) {
    ToolRun run;
    run.Exit = RunConfigTool(arguments, run.Out, run.Err);
    return run;
}

TEST(ConfigToolTest, SeedsConfigThatUpdaterReads) {
    TempDir dir;
    const std::string config = dir.File("Config.dat");
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"ServerIP", "10.0.0.5"}, {"ServerPort", "8080"}, {"Version", "1.0"}, {"Region", "\xb9\xdc"}}) {
        const ToolRun run = Tool({"set", config, "Update", key, value});
        EXPECT_EQ(run.Exit, 0) << run.Err;
    }
    EXPECT_EQ(dir.Read("Config.dat").substr(0, 4), "QCF1");

    EXPECT_EQ(Tool({"get", config, "update", "serverip"}).Out, "10.0.0.5\n");
    const ToolRun dump = Tool({"dump", config});
    EXPECT_EQ(dump.Exit, 0);
    EXPECT_EQ(dump.Out, "[Update]\r\nServerIP=10.0.0.5\r\nServerPort=8080\r\nVersion=1.0\r\nRegion=\xb9\xdc\r\n");

    const UpdateSettings settings = ReadUpdateSettings(dir.Path());
    EXPECT_EQ(settings.Version, "1.0");
    EXPECT_EQ(settings.Region, "\xb9\xdc");
    ASSERT_EQ(settings.Servers.size(), 1u);
    EXPECT_EQ(settings.Servers[0].Address, "10.0.0.5");
    EXPECT_EQ(settings.Servers[0].Port, 8080);
}

TEST(ConfigToolTest, EncryptsPlainFile) {
    TempDir dir;
    dir.Write("seed.ini", "; seeded by hand\n[Server]\nUseProxy = 0\n");
    const ToolRun run = Tool({"encrypt", dir.File("seed.ini"), dir.File("UserConfig.dat")});
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(dir.Read("UserConfig.dat").substr(0, 4), "QCF1");
    EXPECT_EQ(Tool({"get", dir.File("UserConfig.dat"), "Server", "UseProxy"}).Out, "0\n");
}

TEST(ConfigToolTest, Failures) {
    TempDir dir;
    dir.Write("bad.dat", "QCF1 not really encrypted, just bytes");
    dir.Write("ok.dat", "[a]\nk=v\n");
    dir.Write("folder\\f", "");
    struct Case {
        std::vector<std::string> arguments;
        int exit;
    };
    const Case cases[] = {
        {{}, kToolUsage},
        {{"frobnicate"}, kToolUsage},
        {{"get", dir.File("ok.dat"), "a"}, kToolUsage},
        {{"set", dir.File("ok.dat"), "a", "k"}, kToolUsage},
        {{"dump"}, kToolUsage},
        {{"encrypt", dir.File("ok.dat")}, kToolUsage},
        {{"set", dir.File("ok.dat"), "a", "bad=key", "v"}, kToolUsage},
        {{"set", dir.File("ok.dat"), "a", "k", "two\nlines"}, kToolUsage},
        {{"get", dir.File("missing.dat"), "a", "k"}, kToolFailed},
        {{"get", dir.File("bad.dat"), "a", "k"}, kToolFailed},
        {{"dump", dir.File("folder")}, kToolFailed},
        {{"set", dir.File("folder"), "a", "k", "v"}, kToolFailed},
        {{"encrypt", dir.File("missing.ini"), dir.File("out.dat")}, kToolFailed},
        {{"get", dir.File("ok.dat"), "a", "other"}, kToolNotFound},
    };
    for (const Case& c : cases) {
        const ToolRun run = Tool(c.arguments);
        EXPECT_EQ(run.Exit, c.exit) << (c.arguments.empty() ? "" : c.arguments[0]) << " " << run.Err;
        EXPECT_FALSE(run.Err.empty());
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_NE(Tool({}).Err.find("usage:"), std::string::npos);
    EXPECT_EQ(dir.Read("ok.dat"), "[a]\nk=v\n");  // refused writes changed nothing
    EXPECT_FALSE(dir.Exists("out.dat"));
}

TEST(ConfigToolTest, SetOverCorruptFileKeepsItAside) {
    TempDir dir;
    dir.Write("bad.dat", "QCF1 not really encrypted, just bytes");
    const ToolRun run = Tool({"set", dir.File("bad.dat"), "a", "k", "v"});
    EXPECT_EQ(run.Exit, 0);
    EXPECT_NE(run.Err.find(".corrupt"), std::string::npos);
    EXPECT_EQ(dir.Read("bad.dat.corrupt"), "QCF1 not really encrypted, just bytes");
    EXPECT_EQ(Tool({"get", dir.File("bad.dat"), "A", "K"}).Out, "v\n");
}
}  // namespace
