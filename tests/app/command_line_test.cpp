#include "app/command_line.h"
#include "base/number_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct Case {
    const char* label;
    std::vector<std::string> arguments;
    bool silent;
    int32_t type;
    std::string name;
};

class CommandLineTest : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineTest, ParsesIntoRunRequest) {
    const Case& c = GetParam();
    const RunRequest request = ParseCommandLine(c.arguments);
    EXPECT_EQ(request.Silent, c.silent);
    EXPECT_EQ(request.Type, c.type);
    EXPECT_EQ(request.Name, c.name);
}

const std::string k300(300, 'n');

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineTest,
    ::testing::Values(
        Case{"none", {}, false, 1, ""},
        Case{"silent", {"-silent"}, true, 1, ""},
        Case{"silentUpper", {"-SILENT"}, true, 1, ""},
        Case{"prefixS", {"-s"}, true, 1, ""},
        Case{"loneDash", {"-"}, true, 1, ""},
        Case{"emptyArgument", {""}, true, 1, ""},
        Case{"silentLonger", {"-silentx"}, false, 1, ""},
        Case{"silentWithName", {"-silent", "-d:Foo"}, true, 1, "Foo"},
        Case{"package", {"-t:2", "-SILENT", "-d:Foo"}, true, 2, "Foo"},
        Case{"typeNotNumber", {"-t:abc", "-silent"}, true, 0, ""},
        Case{"bareSwitchesIgnored", {"-t:", "-d:"}, false, 1, ""},
        Case{"laterReplaces", {"-t:3", "-d:A", "-t:4", "-d:B"}, false, 4, "B"},
        Case{"upperPrefix", {"-T:7", "-D:Map"}, false, 7, "Map"},
        Case{"nameKept259", {"-d:" + k300}, false, 1, std::string(259, 'n')},
        Case{"tenDigitsOnly", {"-t:000000001234"}, false, 12, ""},
        Case{"saturatesHigh", {"-t:9999999999"}, false, std::numeric_limits<int32_t>::max(), ""},
        Case{"saturatesLow", {"-t:-999999999999"}, false, -999999999, ""},
        Case{"leadingDigits", {"-t:12abc"}, false, 12, ""},
        Case{"otherIgnored", {"/silent", "--t:2", "x"}, false, 1, ""}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.label); });

TEST(CommandLineTest, TenDigitsConvertedOnly) {
    EXPECT_EQ(ParseCommandLine({"-t:000000001234"}).Type, 12);
    EXPECT_EQ(ParseCommandLine({"-t:123456789012"}).Type, 1234567890);
    EXPECT_EQ(ParseLeadingInteger("-2147483648", 11), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseLeadingInteger("-9999999999", 11), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseLeadingInteger("4294967297", 10), std::numeric_limits<int32_t>::max());
}

}  // namespace
