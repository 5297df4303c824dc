#include "config/config_file.h"

#include "config/crypt_config_store.h"
#include "crypto/crypto_primitives.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>

namespace {
using namespace std::string_literals;

// Written by Python's "cryptography" package from the documented layout
// alone (nonce 01..0c), so both builds are checked against a third writer:
// "[Update]\r\nVersion=1.2.3\r\nServerIP=10.0.0.5\r\nServerPort=8080\r\n[管家]\r\nName=家\r\n"
const std::string kForeignWriterFile =
    "\x51\x43\x46\x31\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\xd2\x10\x88\xc7\x20\xba\xe1\x8d"
    "\x6c\xe1\x61\xca\x3b\x55\xe5\x7f\x20\xc1\x3e\xfc\x79\x13\x20\x95\xe4\xbe\xac\x21\xee\xf4\x81\x3e"
    "\x9f\x96\x6a\xce\x71\x83\x04\x44\xf8\xdb\x22\xd9\xa0\x61\xe3\x0c\x01\x5d\xe4\x71\x24\xad\x39\xb9"
    "\xe2\x5c\xa7\x2b\x36\x1b\xb9\xd2\x93\xc7\x36\x23\x76\x80\x86\x5c\xd5\xbc\x40\xca\x9d\x53\x4e\xe9"
    "\x09\xa7\xb4\xbb\xf4\x73\x7e\x15\x1a\x83\x43\xef\x87\xc6"s;

// Written by configtool.exe under Wine (BCrypt) and by the native configtool
// (OpenSSL): "[Update]\r\nVersion=4.5.6 / 7.8.9\r\n[管家]\r\n名字=值\r\n".
const std::string kWrittenOnWindows =
    "\x51\x43\x46\x31\xe0\x9f\xc2\xc2\x7a\x7e\x05\x97\xb4\x4e\x37\x44\x62\x94\x3a\x68\x4a\xe8\x99\x36"
    "\xc4\xfe\x32\xca\x22\xf4\xf9\x6f\x35\xfa\xb6\x56\x68\x18\x9f\x1e\x0e\x86\xbf\x75\xee\xa8\x8e\xa7"
    "\xfc\x2e\x6e\x23\x3f\x7f\xad\x92\xb4\x01\x90\x0c\xe3\xc6\xe7\xe3\x30\x69\xd7\x89\xb5\xf0\xb9\xa7"
    "\xaa\xda"s;
const std::string kWrittenOnLinux =
    "\x51\x43\x46\x31\x2f\x5c\x9b\xed\x58\x07\x45\x59\x31\x37\x90\x32\xe6\x3d\x9a\x6d\xa8\xda\x91\x01"
    "\x97\x8f\xd0\xdb\xf2\xe4\x41\xda\xee\x4e\x6b\x87\x64\x62\x55\x03\x23\x21\x73\xb7\x09\xab\x1b\x3a"
    "\xb8\xbd\x1e\x80\xb5\xae\x3e\xef\x12\x67\x96\xb4\x97\x0e\x0e\xdd\x4d\x6f\x08\x4f\x61\x10\xc8\xcd"
    "\x18\x78"s;

std::string Read(const CCryptConfigFile& file, const std::string& section, const std::string& key) {
    std::string value;
    file.ReadString(section, key, "<default>", value);
    return value;
}

TEST(ConfigFileTest, MissingFileGivesDefaults) {
    TempDir dir;
    const CConfigFile file(dir.File("missing.ini"));
    std::string value = "stale";
    EXPECT_EQ(file.ReadString("a", "b", "def", value), -1);
    EXPECT_EQ(value, "def");
    EXPECT_EQ(file.ReadInteger("a", "b", 7), 7);
    std::vector<std::string> names;
    file.ReadSections(names);
    file.ReadSection("a", names);
    EXPECT_TRUE(names.empty());
}

TEST(ConfigFileTest, ReadsManifest) {
    TempDir dir;
    dir.Write("UpdateConfig.ini", "[Version]\r\nVERSION=2.0\r\n[FILES]\r\na.dll\r\nsub\\b.exe\r\n[a.dll]\r\nSIZE=12\r\n");
    const CConfigFile file(dir.File("UpdateConfig.ini"));
    std::string value;
    EXPECT_EQ(file.ReadString("version", "version", "", value), 0);
    EXPECT_EQ(value, "2.0");
    EXPECT_EQ(file.ReadInteger("A.DLL", "SIZE", -1), 12);
    std::vector<std::string> names;
    file.ReadSection("FILES", names);
    EXPECT_EQ(names, (std::vector<std::string>{"a.dll", "sub\\b.exe"}));
}

TEST(ConfigFileTest, IntegerSyntax) {
    struct Case {
        const char* text;
        int32_t expected;
    };
    const Case cases[] = {{"70000", 70000},  {" -5", -5}, {"+3", 3}, {"12abc", 12}, {"abc", 0}, {"", 0},
                          {"99999999999", std::numeric_limits<int32_t>::max()},
                          {"-99999999999", std::numeric_limits<int32_t>::min()}};
    TempDir dir;
    std::string text = "[n]\n";
    for (size_t i = 0; i < std::size(cases); ++i) text += "k" + std::to_string(i) + "=" + cases[i].text + "\n";
    dir.Write("n.ini", text);
    const CConfigFile file(dir.File("n.ini"));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(file.ReadInteger("n", "k" + std::to_string(i), 42), cases[i].expected) << cases[i].text;
}

TEST(CryptConfigFileTest, RoundTripIsEncrypted) {
    TempDir dir;
    const std::string path = dir.File("Config.dat");
    {
        CCryptConfigFile file(path, "");
        EXPECT_EQ(file.WriteString("Update", "Version", "1.0.5"), 0);
        EXPECT_EQ(file.WriteInteger("Update", "ServerPort", -8080), 0);
        EXPECT_EQ(file.WriteString("\xb9\xdc\xbc\xd2" /* 管家 */, "Name", " padded "), 0);
        EXPECT_EQ(Read(file, "update", "version"), "1.0.5");  // the writer sees its own writes
    }
    const std::string bytes = dir.Read("Config.dat");
    ASSERT_GE(bytes.size(), 32u);
    EXPECT_EQ(bytes.substr(0, 4), "QCF1");
    EXPECT_EQ(bytes.find("1.0.5"), std::string::npos);

    const CCryptConfigFile again(path, "");
    EXPECT_EQ(Read(again, "Update", "Version"), "1.0.5");
    EXPECT_EQ(again.ReadInteger("Update", "ServerPort", 0), -8080);
    EXPECT_EQ(Read(again, "\xb9\xdc\xbc\xd2", "name"), " padded ");
}

// Decrypts by hand with the layout magic | nonce | ciphertext | tag and the
// key SHA-256("QIRA.Update.ConfigKey.v1"), so the layout cannot drift unnoticed.
TEST(CryptConfigFileTest, LayoutAsDocumented) {
    TempDir dir;
    const std::string path = dir.File("Config.dat");
    CCryptConfigFile(path, "").WriteString("Update", "Version", "9");
    const std::string bytes = dir.Read("Config.dat");
    const std::string plain = "[Update]\r\nVersion=9\r\n";
    ASSERT_EQ(bytes.size(), 4 + 12 + plain.size() + 16);

    Sha256Digest digest;
    ASSERT_TRUE(ComputeSha256("QIRA.Update.ConfigKey.v1", digest));
    AesGcmKey key;
    AesGcmNonce nonce;
    AesGcmTag tag;
    std::memcpy(key.data(), digest.data(), key.size());
    std::memcpy(nonce.data(), bytes.data() + 4, nonce.size());
    std::memcpy(tag.data(), bytes.data() + bytes.size() - tag.size(), tag.size());
    std::string decrypted;
    ASSERT_TRUE(AesGcmOpen(key, nonce, std::string_view(bytes).substr(16, plain.size()), tag, decrypted));
    EXPECT_EQ(decrypted, plain);
}

TEST(CryptConfigFileTest, EveryWriteHasFreshNonce) {
    TempDir dir;
    const std::string path = dir.File("Config.dat");
    CCryptConfigFile file(path, "");
    file.WriteString("a", "k", "v");
    const std::string first = dir.Read("Config.dat");
    file.WriteString("a", "k", "v");
    const std::string second = dir.Read("Config.dat");
    ASSERT_EQ(first.size(), second.size());
    EXPECT_NE(first.substr(4, 12), second.substr(4, 12));
}

TEST(CryptConfigFileTest, ReadsFileOfAnotherWriter) {
    TempDir dir;
    dir.Write("Config.dat", kForeignWriterFile);
    const CCryptConfigFile file(dir.File("Config.dat"), "");
    EXPECT_EQ(Read(file, "Update", "Version"), "1.2.3");
    EXPECT_EQ(Read(file, "Update", "ServerIP"), "10.0.0.5");
    EXPECT_EQ(file.ReadInteger("Update", "ServerPort", 0), 8080);
    EXPECT_EQ(Read(file, "\xb9\xdc\xbc\xd2", "Name"), "\xbc\xd2");
}

TEST(CryptConfigFileTest, ReadsFilesOfBothBuilds) {
    const std::pair<std::string, std::string> files[] = {{kWrittenOnWindows, "4.5.6"}, {kWrittenOnLinux, "7.8.9"}};
    for (const auto& [bytes, version] : files) {
        TempDir dir;
        dir.Write("Config.dat", bytes);
        const CCryptConfigFile file(dir.File("Config.dat"), "");
        EXPECT_EQ(Read(file, "Update", "Version"), version);
        EXPECT_EQ(Read(file, "\xb9\xdc\xbc\xd2" /* 管家 */, "\xc3\xfb\xd7\xd6" /* 名字 */), "\xd6\xb5" /* 值 */);
    }
}

TEST(CryptConfigFileTest, PlainSeedReadThenStoredEncrypted) {
    TempDir dir;
    dir.Write("Config.dat", "[Update]\r\nServerIP=10.0.0.5\r\n");
    {
        CCryptConfigFile file(dir.File("Config.dat"), "");
        EXPECT_EQ(Read(file, "Update", "ServerIP"), "10.0.0.5");
        EXPECT_EQ(file.WriteString("Update", "Version", "2"), 0);
    }
    EXPECT_EQ(dir.Read("Config.dat").substr(0, 4), "QCF1");
    EXPECT_FALSE(dir.Exists("Config.dat.corrupt"));
    const CCryptConfigFile again(dir.File("Config.dat"), "");
    EXPECT_EQ(Read(again, "Update", "ServerIP"), "10.0.0.5");
    EXPECT_EQ(Read(again, "Update", "Version"), "2");
}

TEST(CryptConfigFileTest, DamagedFileReadsEmptyAndIsKeptAside) {
    struct Case {
        const char* label;
        size_t flip;  // byte to change; npos: cut instead
        size_t keep;
    };
    const size_t n = kForeignWriterFile.size();
    const Case cases[] = {{"nonce", 4, n},      {"ciphertext", 20, n},       {"tag", n - 1, n},
                          {"truncated", std::string::npos, n - 1}, {"shortOfMinimum", std::string::npos, 31},
                          {"magicOnly", std::string::npos, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        std::string damaged = kForeignWriterFile.substr(0, c.keep);
        if (c.flip != std::string::npos) damaged[c.flip] = static_cast<char>(damaged[c.flip] ^ 0x01);
        dir.Write("Config.dat", damaged);
        CCryptConfigFile file(dir.File("Config.dat"), "");
        EXPECT_EQ(Read(file, "Update", "Version"), "<default>");
        EXPECT_FALSE(dir.Exists("Config.dat.corrupt"));  // reading alone changes nothing

        EXPECT_EQ(file.WriteString("Update", "Version", "3"), 0);
        EXPECT_EQ(dir.Read("Config.dat.corrupt"), damaged);
        const CCryptConfigFile again(dir.File("Config.dat"), "");
        EXPECT_EQ(Read(again, "Update", "Version"), "3");
        EXPECT_EQ(Read(again, "Update", "ServerIP"), "<default>");
    }
}

TEST(CryptConfigFileTest, WritersInTurnKeepEachOthersKeys) {
    TempDir dir;
    const std::string path = dir.File("UpdateRecord.dat");
    CCryptConfigFile first(path, "");
    CCryptConfigFile second(path, "");  // opened before the first one wrote
    EXPECT_EQ(first.WriteString("Record", "A", "1"), 0);
    EXPECT_EQ(second.WriteString("Record", "B", "2"), 0);
    EXPECT_EQ(first.WriteString("Record", "C", "3"), 0);
    EXPECT_EQ(Read(second, "Record", "A"), "1");  // merged in by its own write
    const CCryptConfigFile reader(path, "");
    EXPECT_EQ(Read(reader, "Record", "A"), "1");
    EXPECT_EQ(Read(reader, "Record", "B"), "2");
    EXPECT_EQ(Read(reader, "Record", "C"), "3");
}

TEST(CryptConfigFileTest, InitializeRetargets) {
    TempDir dir;
    CCryptConfigFile(dir.File("UserConfig.dat"), "").WriteInteger("Server", "UseProxy", 0);
    CCryptConfigFile file(dir.File("Config.dat"), "");
    file.WriteString("Update", "Version", "1");
    file.Initialize(dir.File("UserConfig.dat"), "");
    EXPECT_EQ(file.ReadInteger("Server", "UseProxy", 1), 0);
    EXPECT_EQ(Read(file, "Update", "Version"), "<default>");
    file.WriteString("Server", "X", "y");
    const CCryptConfigFile config(dir.File("Config.dat"), "");
    EXPECT_EQ(Read(config, "Update", "Version"), "1");
    EXPECT_EQ(Read(config, "Server", "X"), "<default>");
}

TEST(CryptConfigFileTest, RefusedWriteLeavesFileAlone) {
    TempDir dir;
    CCryptConfigFile file(dir.File("Config.dat"), "");
    EXPECT_EQ(file.WriteString("Update", "Version", "1\r\n[Evil]"), -1);
    EXPECT_EQ(file.WriteString("Update", "", "1"), -1);
    EXPECT_FALSE(dir.Exists("Config.dat"));
}

// A file that exists but cannot be read is never overwritten (its keys could
// not be merged); the value waits and reaches the disk when the object ends.
TEST(CryptConfigFileTest, UnreadableFileNotOverwrittenValueWrittenLater) {
    TempDir dir;
    dir.Write("Config.dat\\inside", "keeps the folder");  // "Config.dat" is a folder: unreadable as a file
    const std::string path = dir.File("Config.dat");
    {
        CCryptConfigFile file(path, "");
        EXPECT_EQ(file.WriteString("Update", "Version", "7"), -1);
        EXPECT_EQ(Read(file, "Update", "Version"), "7");
        EXPECT_EQ(dir.Read("Config.dat\\inside"), "keeps the folder");
        std::filesystem::remove_all(TempDir::ToFsPath(path));
    }
    const CCryptConfigFile again(path, "");
    EXPECT_EQ(Read(again, "Update", "Version"), "7");
}
}  // namespace
