#include "config/config_syntax.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {
using namespace std::string_literals;

struct LookupCase {
    const char* label;
    std::string text;
    std::string section;
    std::string key;
    std::optional<std::string> expected;  // nullopt: not found
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.label; }

class ConfigLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ConfigLookupTest, FindsValue) {
    const LookupCase& c = GetParam();
    const ConfigDocument document = ConfigDocument::Parse(c.text);
    const std::string* value = document.Find(c.section, c.key);
    if (!c.expected) {
        EXPECT_EQ(value, nullptr);
    } else {
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, *c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ConfigLookupTest,
    ::testing::Values(
        LookupCase{"plain", "[Update]\r\nVersion=1.0\r\n", "Update", "Version", "1.0"},
        LookupCase{"lfOnly", "[Update]\nVersion=1.0\n", "Update", "Version", "1.0"},
        LookupCase{"noFinalNewline", "[Update]\nVersion=1.0", "Update", "Version", "1.0"},
        LookupCase{"sectionCase", "[UPDATE]\nVersion=1\n", "update", "Version", "1"},
        LookupCase{"keyCase", "[Update]\nversion=1\n", "Update", "VERSION", "1"},
        LookupCase{"firstKeyWins", "[a]\nk=1\nK=2\n", "a", "k", "1"},
        LookupCase{"firstSectionWins", "[a]\nk=1\n[A]\nk=2\nj=3\n", "a", "k", "1"},
        LookupCase{"laterDuplicateIgnored", "[a]\nk=1\n[A]\nj=3\n", "a", "j", std::nullopt},
        LookupCase{"blanksTrimmed", "  [ a ]  \n \t k \t=\t v w \t\n", "a", "k", "v w"},
        LookupCase{"quotesRemoved", "[a]\nk=\"  v  \"\n", "a", "k", "  v  "},
        LookupCase{"quotesAfterTrim", "[a]\nk =  \"v\"  \n", "a", "k", "v"},
        LookupCase{"unterminatedQuote", "[a]\nk=\"v\n", "a", "k", "\"v"},
        LookupCase{"loneQuote", "[a]\nk=\"\n", "a", "k", "\""},
        LookupCase{"equalsInValue", "[a]\nurl=http://x/?a=b\n", "a", "url", "http://x/?a=b"},
        LookupCase{"emptyValue", "[a]\nk=\n", "a", "k", ""},
        LookupCase{"bareEntry", "[FILES]\nQIRAClient.exe\n", "FILES", "qiraclient.exe", ""},
        LookupCase{"semicolonComment", "[a]\n;k=1\n", "a", ";k", std::nullopt},
        LookupCase{"hashComment", "[a]\n  # k=1\n", "a", "# k", std::nullopt},
        LookupCase{"semicolonInValueKept", "[a]\nk=x;y\n", "a", "k", "x;y"},
        LookupCase{"beforeAnySection", "k=1\n[a]\n", "", "k", std::nullopt},
        LookupCase{"emptyKeyIgnored", "[a]\n=1\n", "a", "", std::nullopt},
        LookupCase{"bracketInName", "[data\\a[1].txt]\nSIZE=3\n", "data\\A[1].TXT", "SIZE", "3"},
        LookupCase{"noCloseIsNoSection", "[a]\n[b\nk=1\n", "a", "k", "1"},
        LookupCase{"nulBytes", "[a]\nk=x\0y\n\0=\0\n"s, "a", "k", "x\0y"s},
        LookupCase{"bomUtf8ToGbk", "\xEF\xBB\xBF[\xE7\xAE\xA1]\nk=\xE5\xAE\xB6\n", "\xb9\xdc" /* 管 */, "k",
                   "\xbc\xd2" /* 家 */},
        LookupCase{"bomMidFileIsBytes", "[a]\n\xEF\xBB\xBFk=v\n", "a", "\xEF\xBB\xBFk", "v"},
        // 0x81 0x41 and 0x81 0x61 are two different GBK characters, not one letter in two cases.
        LookupCase{"gbkTrailNotFolded", "[\x81\x41]\nk=1\n", "\x81\x61", "k", std::nullopt},
        LookupCase{"gbkSameName", "[\x81\x41]\nk=1\n", "\x81\x41", "K", "1"}),
    [](const auto& info) { return std::string(info.param.label); });

std::vector<std::string> Sections(const ConfigDocument& document) {
    std::vector<std::string> names;
    document.AppendSectionNames(names);
    return names;
}

std::vector<std::string> Entries(const ConfigDocument& document, const std::string& section) {
    std::vector<std::string> names;
    document.AppendEntryNames(section, names);
    return names;
}

TEST(ConfigListingTest, FirstOccurrenceOrderSpelledAsInFile) {
    const ConfigDocument document =
        ConfigDocument::Parse("[Version]\nVERSION=1\n[FILES]\nb.dll\nA.exe\nB.DLL\nc\\d.txt=\n[files]\nz\n[Z]\n");
    EXPECT_EQ(Sections(document), (std::vector<std::string>{"Version", "FILES", "Z"}));
    EXPECT_EQ(Entries(document, "files"), (std::vector<std::string>{"b.dll", "A.exe", "c\\d.txt"}));
    EXPECT_TRUE(Entries(document, "missing").empty());
}

TEST(ConfigGarbageTest, HostileInputsParse) {
    const std::string megabyte(1 << 20, 'x');
    const std::vector<std::string> inputs = {
        "",     "[",     "[[[[",       "]",        "\0\0\0"s,        "=",         "\"",
        "\xEF\xBB\xBF", "\xEF\xBB", "[a]\n\xFF\xFE\x81", "[" + megabyte, megabyte, "[a]\n" + megabyte + "=" + megabyte,
    };
    for (const std::string& input : inputs) {
        const ConfigDocument document = ConfigDocument::Parse(input);
        // Whatever was found must survive a write and a read.
        EXPECT_EQ(Sections(ConfigDocument::Parse(document.Serialize())), Sections(document));
    }
    const ConfigDocument longLine = ConfigDocument::Parse("[a]\n" + megabyte + "=" + megabyte);
    ASSERT_NE(longLine.Find("a", megabyte), nullptr);
    EXPECT_EQ(longLine.Find("a", megabyte)->size(), megabyte.size());
    EXPECT_TRUE(Sections(ConfigDocument::Parse("[")).empty());
}

TEST(ConfigWriteTest, AwkwardValuesReadBackUnchanged) {
    const std::vector<std::string> values = {"", " lead", "trail\t", "\"quoted\"", "\"", "a\"b", "=x=", ";x", "#x",
                                             "\xbc\xd2" /* 家 */};
    ConfigDocument document;
    for (size_t i = 0; i < values.size(); ++i) ASSERT_TRUE(document.Set("s", "k" + std::to_string(i), values[i]));
    const ConfigDocument again = ConfigDocument::Parse(document.Serialize());
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string* value = again.Find("s", "k" + std::to_string(i));
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(*value, values[i]) << i;
    }
}

TEST(ConfigWriteTest, SetKeepsSpellingAndOrder) {
    ConfigDocument document = ConfigDocument::Parse("[Update]\nVersion=1\nRegion=cn\n");
    ASSERT_TRUE(document.Set("UPDATE", "version", "2"));
    ASSERT_TRUE(document.Set("Server", "UseProxy", "0"));
    EXPECT_EQ(document.Serialize(), "[Update]\r\nVersion=2\r\nRegion=cn\r\n[Server]\r\nUseProxy=0\r\n");
}

TEST(ConfigWriteTest, RefusesWhatWouldNotReadBack) {
    struct Case {
        std::string section, key, value;
    };
    const std::vector<Case> refused = {
        {"", "k", "v"},       {" s", "k", "v"},     {"s\n", "k", "v"},   {"s", "", "v"},       {"s", "k ", "v"},
        {"s", "a=b", "v"},    {"s", "[k", "v"},     {"s", ";k", "v"},    {"s", "#k", "v"},     {"s", "k", "a\nb"},
        {"s", "k", "a\rb"},
    };
    for (const Case& c : refused) {
        ConfigDocument document;
        EXPECT_FALSE(document.Set(c.section, c.key, c.value)) << c.section << "/" << c.key;
        EXPECT_EQ(document.Serialize(), "");
    }
}

// Small sections are scanned, large ones hashed: the rules hold on both sides.
TEST(ConfigScaleTest, RulesHoldInSectionsOfEverySize) {
    for (int keys : {1, 8, 9, 10, 40}) {
        std::string text = "[s]\n";
        for (int i = 0; i < keys; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
        for (int i = 0; i < keys; ++i) text += "KEY" + std::to_string(i) + "=dup\n";
        ConfigDocument document = ConfigDocument::Parse(text);
        EXPECT_EQ(Entries(document, "s").size(), static_cast<size_t>(keys));
        for (int i = 0; i < keys; ++i) {
            const std::string* value = document.Find("S", "kEY" + std::to_string(i));
            ASSERT_NE(value, nullptr) << keys << " " << i;
            EXPECT_EQ(*value, std::to_string(i));
        }
        ASSERT_TRUE(document.Set("s", "key0", "set"));
        ASSERT_TRUE(document.Set("s", "new", "added"));
        EXPECT_EQ(*document.Find("s", "KEY0"), "set");
        EXPECT_EQ(*document.Find("s", "NEW"), "added");
        EXPECT_EQ(Entries(document, "s").size(), static_cast<size_t>(keys) + 1);
    }
}

TEST(ConfigScaleTest, HundredThousandSectionsIndexed) {
    std::string text = "[FILES]\n";
    constexpr int kCount = 100000;
    for (int i = 0; i < kCount; ++i) text += "f" + std::to_string(i) + "\n";
    for (int i = 0; i < kCount; ++i) text += "[f" + std::to_string(i) + "]\nSIZE=" + std::to_string(i) + "\n";
    const ConfigDocument document = ConfigDocument::Parse(text);
    EXPECT_EQ(Sections(document).size(), kCount + 1u);
    EXPECT_EQ(Entries(document, "FILES").size(), static_cast<size_t>(kCount));
    for (int i : {0, kCount / 2, kCount - 1}) {
        const std::string* size = document.Find("F" + std::to_string(i), "size");
        ASSERT_NE(size, nullptr);
        EXPECT_EQ(*size, std::to_string(i));
    }
}
}  // namespace
