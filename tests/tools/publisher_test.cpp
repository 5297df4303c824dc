#include "config/config_file.h"
#include "base/file_io.h"
#include "base/gbk_text.h"
#include "base/path_info.h"
#include "base/number_text.h"
#include "crypto/crypto_primitives.h"
#include "crypto/file_digests.h"
#include "crypto/md5_digest.h"
#include "delta/patch_file.h"
#include "manifest/release_reader.h"
#include "manifest/release_signature.h"
#include "publisher/publisher_cli.h"
#include "publisher/release_statements.h"
#include "publisher/release_scan.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// 管家\数据.dat
const std::string kGbkName = "\xb9\xdc\xbc\xd2\\\xca\xfd\xbe\xdd.dat";

class PublisherTest : public ::testing::Test {
protected:
    // Arguments reach the publisher as UTF-8, as the command line gives them.
    int Publish(std::vector<std::string> args) {
        args.push_back(GbkToUtf8(release_.Path()));
        args.push_back(GbkToUtf8(out_.File("site")));
        log_.str({});
        return RunPublisher(args, printed_, log_);
    }

    void AddFile(const std::string& name, const std::string& bytes) {
        release_.Write(name, bytes);
        fs::last_write_time(TempDir::ToFsPath(release_.File(name)), kModified);
    }

    std::string Manifest(const std::string& relative) const { return out_.Read("site\\" + relative); }

    // 2026-12-07 20:15:03 UTC
    const fs::file_time_type kModified = std::chrono::file_clock::from_sys(
        std::chrono::sys_days(std::chrono::year(2026) / 12 / 7) + std::chrono::hours(20) +
        std::chrono::minutes(15) + std::chrono::seconds(3));
    TempDir release_;
    TempDir out_;
    std::ostringstream printed_;  // standard output
    std::ostringstream log_;
};

// A release of four files: every section ends with the count that marks the manifest whole.
std::string Section(const std::string& name, const std::string& size, const std::string& md5) {
    return "[" + name + "]\r\nSIZE=" + size + "\r\nMODIFYTIME=2026-12-07 20:15:03\r\nMD5=" + md5 +
           "\r\nFILECOUNT=4\r\n";
}

// Sorted by the bytes of the GBK name, so the Chinese name comes last.
const std::string kFileSections = Section("Zeta.txt", "3", "900150983cd24fb0d6963f7d28e17f72") +
                                  Section("empty.bin", "0", "d41d8cd98f00b204e9800998ecf8427e") +
                                  Section("sub\\deeper\\m.txt", "26", "c3fcd3d76192e4007dfb496cca67e13b") +
                                  Section(kGbkName, "1", "0cc175b9c0f1b6a831c399e269772661");

TEST_F(PublisherTest, ProgramReleaseListsEveryFileWithSizeTimeAndDigest) {
    AddFile("Zeta.txt", "abc");
    AddFile("empty.bin", "");
    AddFile("sub\\deeper\\m.txt", "abcdefghijklmnopqrstuvwxyz");
    AddFile(kGbkName, "a");

    ASSERT_EQ(0, Publish({"--program", "--version", "2.0.1", "--region", "cn", "--notify", "--pack-max", "0"}))
        << log_.str();

    const std::string header = "; FILECOUNT=4\r\n[Version]\r\nVERSION=2.0.1\r\nREGION=cn\r\nUNCONDITIONALUPDATE=0\r\n"
                               "NOTIFIY=1\r\n";
    const std::string files = "[FILES]\r\nZeta.txt\r\nempty.bin\r\nsub\\deeper\\m.txt\r\n" + kGbkName + "\r\n" +
                              kFileSections;
    // The identity the publisher writes is the one a client derives from the
    // same manifest written without it.
    Release unnamed;
    ASSERT_TRUE(ReadRelease(header + files, ManifestLayout::Program, 1, unnamed));
    EXPECT_EQ(header + "RELEASEID=" + unnamed.Header.ReleaseId + "\r\n" + files, Manifest("1\\UpdateConfig.ini"));
    EXPECT_EQ("abcdefghijklmnopqrstuvwxyz", out_.Read("site\\1\\sub\\deeper\\m.txt"));
    EXPECT_EQ("a", out_.Read("site\\1\\" + kGbkName));
    EXPECT_TRUE(out_.Exists("site\\1\\empty.bin"));
    EXPECT_EQ(kModified, fs::last_write_time(TempDir::ToFsPath(out_.File("site\\1\\Zeta.txt"))));
}

// Names the syntax could mistake: brackets, blanks inside, and a GBK
// character whose second byte is '\' (0x5C).
TEST_F(PublisherTest, ManifestReadsBackWithTheNamesAndValuesWritten) {
    const std::vector<std::string> names = {"a[1]b].txt", "sub dir\\x y.txt", "\xd5\x5c.dat" /* 誠.dat */};
    for (const std::string& name : names) AddFile(name, "abc");

    ASSERT_EQ(0, Publish({"--program", "--version", "4.0.2", "--region", "\xe5\x8d\x8e" /* 华 */})) << log_.str();

    const CConfigFile manifest(out_.File("site\\1\\UpdateConfig.ini"));
    std::string value;
    manifest.ReadString("Version", "REGION", "", value);
    EXPECT_EQ("\xbb\xaa", value);  // 华 in GBK
    EXPECT_EQ(0, manifest.ReadInteger("Version", "UNCONDITIONALUPDATE", -1));
    std::vector<std::string> listed;
    manifest.ReadSection("FILES", listed);
    EXPECT_EQ(std::vector<std::string>({"a[1]b].txt", "sub dir\\x y.txt", "\xd5\x5c.dat"}), listed);
    for (const std::string& name : names) {
        EXPECT_EQ(0, manifest.ReadString(name, "MD5", "", value)) << name;
        EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", value) << name;
        EXPECT_EQ("abc", out_.Read("site\\1\\" + name)) << name;
    }
}

// The silent run reads config.ini (file sections only); the update dialog
// reads UpdateConfig.ini in the program's layout, forced, since a package
// has no version test of its own.
TEST_F(PublisherTest, PackageReleaseWritesTheSilentAndTheDialogManifest) {
    AddFile("Zeta.txt", "abc");
    AddFile("empty.bin", "");
    AddFile("sub\\deeper\\m.txt", "abcdefghijklmnopqrstuvwxyz");
    AddFile(kGbkName, "a");

    ASSERT_EQ(0, Publish({"--package", "7", "--version", "2026.12", "--pack-max", "0"})) << log_.str();

    Release package;
    ASSERT_TRUE(ReadRelease(Manifest("7\\config.ini"), ManifestLayout::DataPackage, 7, package));
    const std::string id = package.Header.ReleaseId;
    EXPECT_EQ("; FILECOUNT=4\r\n; RELEASEID=" + id + "\r\n" + kFileSections, Manifest("7\\config.ini"));
    EXPECT_EQ("; FILECOUNT=4\r\n[Version]\r\nVERSION=2026.12\r\nREGION=\r\nUNCONDITIONALUPDATE=1\r\nNOTIFIY=0\r\n"
              "RELEASEID=" + id + "\r\n[FILES]\r\nZeta.txt\r\nempty.bin\r\nsub\\deeper\\m.txt\r\n" + kGbkName +
                  "\r\n" + kFileSections,
              Manifest("7\\UpdateConfig.ini"));
    EXPECT_EQ("abc", out_.Read("site\\7\\Zeta.txt"));

    ASSERT_EQ(0, Publish({"--package", "7"})) << log_.str();
    EXPECT_EQ(0u, Manifest("7\\UpdateConfig.ini").find("; FILECOUNT=4\r\n[Version]\r\nVERSION=\r\n"));
}

std::string Gunzip(const std::string& compressed) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, 16 + MAX_WBITS), Z_OK);
    std::string out(1 << 20, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

// What compresses to 90% or less travels as NAME.gz beside NAME, listed with
// GZSIZE; what does not travels plain only; SIZE and the digests describe
// the file itself.
TEST_F(PublisherTest, FilesThatCompressWellTravelGzipped) {
    std::string text;
    for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i % 37) + " of a text file\r\n";
    std::mt19937 generator(3);
    std::string noise(20000, '\0');
    for (char& c : noise) c = static_cast<char>(generator());
    AddFile("text.txt", text);
    AddFile("sub\\noise.bin", noise);
    ASSERT_EQ(0, Publish({"--program", "--version", "1.0"})) << log_.str();

    const std::string compressed = out_.Read("site\\1\\text.txt.gz");
    ASSERT_FALSE(compressed.empty());
    EXPECT_LE(compressed.size() * 10, text.size() * 9);
    EXPECT_EQ(Gunzip(compressed), text);
    EXPECT_EQ(out_.Read("site\\1\\text.txt"), text);  // the plain file stays for clients that know no GZSIZE
    EXPECT_FALSE(out_.Exists("site\\1\\sub\\noise.bin.gz"));

    const CConfigFile manifest(out_.File("site\\1\\UpdateConfig.ini"));
    std::string value;
    EXPECT_EQ(0, manifest.ReadString("text.txt", "GZSIZE", "", value));
    EXPECT_EQ(std::to_string(compressed.size()), value);
    EXPECT_EQ(0, manifest.ReadString("text.txt", "SIZE", "", value));
    EXPECT_EQ(std::to_string(text.size()), value);
    EXPECT_EQ(-1, manifest.ReadString("sub\\noise.bin", "GZSIZE", "", value));
    const std::string saving = "1 of 2 files travel gzip-compressed: " + std::to_string(text.size() + noise.size()) +
                               " bytes become " + std::to_string(compressed.size() + noise.size()) + " bytes";
    EXPECT_NE(std::string::npos, log_.str().find(saving)) << log_.str();

    // Published plain, no compressed form of the earlier release is left.
    ASSERT_EQ(0, Publish({"--program", "--version", "1.1", "--no-gzip"})) << log_.str();
    EXPECT_FALSE(out_.Exists("site\\1\\text.txt.gz"));
    EXPECT_EQ(std::string::npos, Manifest("1\\UpdateConfig.ini").find("GZSIZE"));
}

// Every file that travels in at most --pack-max bytes is also in the one
// pack of the release, in the form it travels in, and its section says
// where; the pack's name is its SHA-256's first digits, and a publish
// without packs leaves none of an earlier one.
TEST_F(PublisherTest, SmallFilesAlsoTravelInOnePackNamedByItsContent) {
    std::mt19937 generator(5);
    std::string noise(20000, '\0'), large(70000, '\0');
    for (char& c : noise) c = static_cast<char>(generator());
    for (char& c : large) c = static_cast<char>(generator());
    AddFile("a.txt", std::string(30000, 'a'));
    AddFile("large.bin", large);
    AddFile("sub\\noise.bin", noise);
    ASSERT_EQ(0, Publish({"--program", "--version", "1.0"})) << log_.str();

    Release release;
    ASSERT_TRUE(ReadRelease(Manifest("1\\UpdateConfig.ini"), ManifestLayout::Program, 1, release));
    ASSERT_EQ(release.Files.size(), 3u);
    const std::optional<ListedPackMember>& text = release.Files[0].Packed;
    const std::optional<ListedPackMember>& random = release.Files[2].Packed;
    ASSERT_TRUE(text && random);
    EXPECT_FALSE(release.Files[1].Packed);  // over 64 KiB
    EXPECT_TRUE(text->Form && text->Form->PackForm == kGzipForm.PackForm);
    EXPECT_EQ(random->Form, nullptr);
    EXPECT_EQ(text->Pack, random->Pack);
    const std::string pack = out_.Read("site\\1\\" + text->Pack);
    EXPECT_EQ(pack.substr(text->Offset, text->Length), out_.Read("site\\1\\a.txt.gz"));
    EXPECT_EQ(pack.substr(random->Offset, random->Length), noise);
    EXPECT_EQ(pack.size(), text->Length + random->Length);
    Sha256Digest digest{};
    ASSERT_TRUE(ComputeSha256(pack, digest));
    EXPECT_EQ(text->Pack, PackFileName(LowerHex(digest.data(), digest.size()).substr(0, kPackNameHexDigits)));

    ASSERT_EQ(0, Publish({"--program", "--version", "1.1", "--pack-max", "0"})) << log_.str();
    EXPECT_FALSE(out_.Exists("site\\1\\packs"));
    EXPECT_EQ(std::string::npos, Manifest("1\\UpdateConfig.ini").find("PACK"));
}

// A release file named like another's compressed form keeps its name and
// bytes; the other then travels plain.
TEST_F(PublisherTest, AReleaseFileNamedLikeACompressedFormIsLeftAlone) {
    const std::string text(50000, 'a');
    AddFile("data.txt", text);
    AddFile("data.txt.gz", "not what it seems");
    ASSERT_EQ(0, Publish({"--package", "5"})) << log_.str();
    EXPECT_EQ(out_.Read("site\\5\\data.txt.gz"), "not what it seems");
    EXPECT_EQ(std::string::npos, Manifest("5\\config.ini").find("GZSIZE"));
}

// A changed file gets a patch from each earlier release's copy, each base
// once, that makes it from that copy; a file unchanged or changed beyond
// patching gets none. Published again without --previous, no patch is left.
TEST_F(PublisherTest, ChangedFilesGetPatchesFromEarlierReleases) {
    std::mt19937 generator(5);
    std::string first(100000, '\0');
    for (char& c : first) c = static_cast<char>(generator() % 64);
    std::string second = first, noise = first;
    for (size_t i = 0; i < second.size(); i += 5000) second[i] = 'x';
    for (char& c : noise) c = static_cast<char>(generator());
    std::string third = second + "appended";
    TempDir releases[3];
    for (const std::string name : {"app.dll", "same.dat", "noise.bin"}) {
        for (size_t i = 0; i < 3; ++i) releases[i].Write(name, name == "app.dll" ? (i == 0 ? first : second) : first);
        AddFile(name, name == "app.dll" ? third : name == "noise.bin" ? noise : first);
    }
    std::vector<std::string> args = {"--package", "3"};
    for (const TempDir& earlier : releases) args.insert(args.end(), {"--previous", GbkToUtf8(earlier.Path())});
    ASSERT_EQ(0, Publish(args)) << log_.str();

    std::string listed;
    EXPECT_EQ(0, CConfigFile(out_.File("site\\3\\config.ini")).ReadString("app.dll", "PATCH", "", listed));
    std::vector<std::string> patches;
    for (const TempDir* earlier : {&releases[0], &releases[1]}) {
        std::string md5;
        ASSERT_EQ(0, CMD5::GetFileMD5(earlier->File("app.dll"), md5));
        const std::string patch = out_.File("site\\3\\app.dll." + md5 + ".patch");
        patches.push_back(md5 + ":" + std::to_string(FileSize(patch)));
        EXPECT_TRUE(ApplyPatchFile(patch, earlier->File("app.dll"), out_.File("made"), {third.size(), {}, {}}).Applied());
        EXPECT_EQ(out_.Read("made"), third);
    }
    EXPECT_EQ(listed, patches[0] + "," + patches[1]);
    EXPECT_EQ(-1, CConfigFile(out_.File("site\\3\\config.ini")).ReadString("noise.bin", "PATCH", "", listed));
    EXPECT_NE(std::string::npos, log_.str().find("2 patches for 1 of 3 files")) << log_.str();
    // Each patch was applied before it was listed; nothing of that is left.
    for (const auto& entry : fs::directory_iterator(TempDir::ToFsPath(out_.File("site\\3"))))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();

    ASSERT_EQ(0, Publish({"--package", "3"})) << log_.str();
    EXPECT_EQ(std::string::npos, Manifest("3\\config.ini").find("PATCH"));
    for (const auto& entry : fs::directory_iterator(TempDir::ToFsPath(out_.File("site\\3"))))
        EXPECT_FALSE(entry.path().filename().string().ends_with(".patch")) << entry.path();
}

// Two consecutive builds of a real 64-bit Windows DLL (fetched from the npm
// registry by tests/tools/npm_pack.sh), whose patch seeks all over its base
// tens of thousands of times: listed, it makes the new build from the old
// one as the updater applies it.
TEST_F(PublisherTest, ARealProgramsNextBuildTravelsAsAPatchThatApplies) {
    const char* cache = std::getenv("UPDATE_NPM_CACHE");
    ASSERT_NE(cache, nullptr) << "run me through ctest, whose tools_npm_fetch fetches the builds";
    const std::string name = "lightningcss.win32-x64-msvc.node";
    const char* const versions[] = {"1.32.0", "1.33.0"};
    std::string builds[2];
    for (const size_t i : {0, 1}) {
        const std::string path = cache + std::string("/lightningcss-win32-x64-msvc/") + versions[i] + "/package/" + name;
        ASSERT_EQ(ReadWholeFile(path, 64 << 20, builds[i]), FileReadStatus::Ok) << path;
    }
    TempDir earlier;
    earlier.Write(name, builds[0]);
    AddFile(name, builds[1]);
    ASSERT_EQ(0, Publish({"--program", "--version", "1.33.0", "--previous", GbkToUtf8(earlier.Path())})) << log_.str();

    const std::string patch = out_.File("site\\1\\" + name + "." + Md5Hex(builds[0]) + ".patch");
    std::string listed;
    CConfigFile(out_.File("site\\1\\UpdateConfig.ini")).ReadString(name, "PATCH", "", listed);
    EXPECT_EQ(listed, Md5Hex(builds[0]) + ":" + std::to_string(FileSize(patch))) << log_.str();
    const ExpectedResult expected{builds[1].size(), Md5Hex(builds[1]), {}};
    EXPECT_TRUE(ApplyPatchFile(patch, earlier.File(name), out_.File("made"), expected).Applied());
    EXPECT_TRUE(out_.Read("made") == builds[1]);
}

TEST_F(PublisherTest, RepublishingReplacesTheManifestAndLeavesNoTemporaryFile) {
    AddFile("a.txt", "abc");
    ASSERT_EQ(0, Publish({"--program", "--version", "1.0", "--unconditional"}));
    AddFile("a.txt", "a");
    ASSERT_EQ(0, Publish({"--program", "--version", "1.1"})) << log_.str();

    const std::string manifest = Manifest("1\\UpdateConfig.ini");
    EXPECT_NE(std::string::npos, manifest.find("VERSION=1.1\r\n"));
    EXPECT_NE(std::string::npos, manifest.find("UNCONDITIONALUPDATE=0\r\n"));
    EXPECT_NE(std::string::npos, manifest.find("MD5=0cc175b9c0f1b6a831c399e269772661\r\n"));
    for (const auto& entry : fs::directory_iterator(TempDir::ToFsPath(out_.File("site\\1")))) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "UpdateConfig.ini" || name == "a.txt" || name == "packs") << name;
    }
}

TEST_F(PublisherTest, ReportsProgressEveryTwoHundredFilesAndAtTheEnd) {
    for (int i = 0; i < 450; ++i) release_.Write("many\\f" + std::to_string(i), "x");
    ASSERT_EQ(0, Publish({"--package", "3"})) << log_.str();
    for (const char* line : {"200 of 450 files", "400 of 450 files", "450 of 450 files"}) {
        EXPECT_NE(std::string::npos, log_.str().find(line)) << line;
    }
}

TEST_F(PublisherTest, RefusesUnsafeNamesNamingEachAndWritesNothing) {
    std::vector<std::string> unsafe = {"a=b.txt",          "[x].txt", ";note.txt", "sub\\#x=",
                                       "Version",          "files",   "sub\\a.publishing",
                                       "updateconfig.INI", "other.txt.0123456789abcdef0123456789abcdef.patch",
                                       "Packs\\0123456789ABCDEF0123456789abcdef.pack"};
#ifndef _WIN32
    // Names that Windows itself would not let the release hold; a.txt
    // clashes with A.txt by letter case only.
    for (const char* name : {"con.txt", "trailing.", "a:b", "a.txt", "\xff\xfe.txt"}) unsafe.push_back(name);
    AddFile("A.txt", "x");
#endif
    AddFile("fine.txt", "x");
    AddFile("other.txt", "x");  // whose patch the last name would seem
    for (const std::string& name : unsafe) {
        // The invalid UTF-8 name has no GBK spelling: written under its raw bytes.
        if (static_cast<unsigned char>(name[0]) == 0xff) {
            std::ofstream(fs::path(release_.Path()) / name) << "x";
        } else {
            AddFile(name, "x");
        }
    }

    EXPECT_EQ(1, Publish({"--program", "--version", "1.0"}));

    const std::string log = log_.str();
    for (const std::string& name : unsafe) {
        const std::string shown = static_cast<unsigned char>(name[0]) == 0xff ? name : GbkToUtf8(name);
        std::string onDisk = shown;
#ifndef _WIN32
        for (char& c : onDisk) if (c == '\\') c = '/';
#endif
        EXPECT_NE(std::string::npos, log.find("refused " + onDisk + ":")) << name << "\n" << log;
    }
    EXPECT_EQ(std::string::npos, log.find("fine.txt"));
    EXPECT_FALSE(out_.Exists("site"));
}

#ifndef _WIN32
TEST_F(PublisherTest, RefusesABackslashInsideALinuxFileName) {
    std::ofstream(fs::path(release_.Path()) / "a\\b") << "x";
    EXPECT_EQ(1, Publish({"--package", "2"}));
    EXPECT_FALSE(out_.Exists("site"));
}
#endif

TEST_F(PublisherTest, RefusesAnOutputFolderInsideTheRelease) {
    AddFile("a.txt", "abc");
    std::vector<std::string> args = {"--package", "2", GbkToUtf8(release_.Path()),
                                     GbkToUtf8(release_.File("site"))};
    EXPECT_EQ(1, RunPublisher(args, printed_, log_));
    EXPECT_FALSE(release_.Exists("site"));
}

TEST(PublisherNamesTest, ManifestNamesAreReservedInTheirLayout) {
    struct Case {
        const char* name;
        bool refusedForProgram;
        bool refusedForPackage;
    };
    for (const Case& c : {Case{"UpdateConfig.ini", true, true}, Case{"config.ini", false, true},
                          Case{"CONFIG.ini", false, true}, Case{"sub\\config.ini", false, false},
                          Case{"sub\\UpdateConfig.ini", false, false}, Case{"x.ini.publishing", true, true},
                          Case{"UpdateConfig.ini.SIG", true, true}, Case{"config.ini.sig", false, true}}) {
        EXPECT_EQ(c.refusedForProgram, !ReasonToRefuseName(c.name, true).empty()) << c.name;
        EXPECT_EQ(c.refusedForPackage, !ReasonToRefuseName(c.name, false).empty()) << c.name;
    }
}

// The publisher's clock as a test sets it; unset again when it goes.
class TestClock {
public:
    explicit TestClock(const char* time) { Set(time); }
    ~TestClock() { Set(""); }
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;
    void Set(const char* time) {
#ifdef _WIN32
        _putenv_s(kTestClockVariable, time);  // an empty value removes it
#else
        *time ? setenv(kTestClockVariable, time, 1) : unsetenv(kTestClockVariable);
#endif
    }
};

// Each statement names the target and the clock's time; the publisher will
// not publish at a time not later than the tree's release unless told to.
TEST_F(PublisherTest, SignedStatementsNameTheTargetAndATimeThatOnlyMovesOn) {
    const std::string key = GbkToUtf8(out_.File("release.key"));
    ASSERT_EQ(0, RunPublisher({"keygen", key}, printed_, log_));
    AddFile("a.txt", "abc");
    TestClock clock("2026-12-08T07:00:00Z");
    ASSERT_EQ(0, Publish({"--package", "4", "--sign", key, "--expires", "30"})) << log_.str();
    for (const char* manifest : {"4\\config.ini", "4\\UpdateConfig.ini"}) {
        const std::string statement = Manifest(manifest + std::string(".sig"));
        EXPECT_EQ(statement.substr(0, statement.find("manifest-sha256=")),
                  "target=package 4\npublished=2026-12-08T07:00:00Z\nexpires=2027-01-07T07:00:00Z\n");
        const std::string keyLine = out_.Read("release.key.pub").substr(0, 88);
        const std::string manifestText = Manifest(manifest);
        const StatementExpectation expected{manifestText, keyLine, 4, *ParseUtcTime("2027-01-07T07:00:00Z"), {}};
        EXPECT_TRUE(CheckReleaseStatement(statement, expected).IsVerified()) << manifest;
    }

    const std::string published = Manifest("4\\config.ini.sig");
    for (const char* backwards : {"2026-12-08T07:00:00Z", "2026-12-01T00:00:00Z", "yesterday"}) {
        clock.Set(backwards);
        EXPECT_EQ(1, Publish({"--package", "4", "--sign", key})) << backwards;
        EXPECT_EQ(published, Manifest("4\\config.ini.sig")) << backwards;
    }
    EXPECT_NE(log_.str().find("PUBLISHER_TEST_CLOCK"), std::string::npos) << log_.str();
    clock.Set("2026-12-01T00:00:00Z");
    ASSERT_EQ(0, Publish({"--package", "4", "--sign", key, "--allow-older-time"})) << log_.str();
    EXPECT_EQ(0u, Manifest("4\\config.ini.sig").find("target=package 4\npublished=2026-12-01T00:00:00Z\nmanifest"));
}

// A rollout set when publishing is changed later: the manifests keep every
// other line and are signed again at a later time, with the expiry they
// had, which a client that accepted the first statement accepts.
TEST_F(PublisherTest, TheRolloutCommandRewritesTheManifestsAndSignsThemAgain) {
    const std::string key = GbkToUtf8(out_.File("release.key"));
    ASSERT_EQ(0, RunPublisher({"keygen", key}, printed_, log_));
    const std::string keyLine = out_.Read("release.key.pub").substr(0, 88);
    AddFile("a.txt", "abc");
    TestClock clock("2026-12-08T07:00:00Z");
    ASSERT_EQ(0, Publish({"--package", "4", "--sign", key, "--expires", "30",
                          "--rollout", "5", "--rollout-days", "10"}))
        << log_.str();
    const std::string config = Manifest("4\\config.ini");
    const std::string dialog = Manifest("4\\UpdateConfig.ini");
    const std::string marks = "; ROLLOUT=5.0\r\n; ROLLOUTSTART=2026-12-08T07:00:00Z\r\n; ROLLOUTDAYS=10\r\n";
    const std::string keys = "ROLLOUT=5.0\r\nROLLOUTSTART=2026-12-08T07:00:00Z\r\nROLLOUTDAYS=10\r\n";
    EXPECT_NE(config.find(marks + "[a.txt]"), std::string::npos) << config;
    EXPECT_NE(dialog.find(keys + "[FILES]"), std::string::npos) << dialog;

    // Without the key the signed release is left as it is.
    clock.Set("2026-12-09T07:00:00Z");
    const std::vector<std::string> pause = {"rollout", GbkToUtf8(out_.File("site")), "--package", "4", "0"};
    EXPECT_EQ(1, RunPublisher(pause, printed_, log_));
    EXPECT_EQ(config, Manifest("4\\config.ini"));

    std::vector<std::string> signedPause = pause;
    signedPause.insert(signedPause.end(), {"--sign", key});
    ASSERT_EQ(0, RunPublisher(signedPause, printed_, log_)) << log_.str();
    const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    EXPECT_EQ(Manifest("4\\config.ini"), replaced(config, marks, "; ROLLOUT=0.0\r\n"));
    EXPECT_EQ(Manifest("4\\UpdateConfig.ini"), replaced(dialog, keys, "ROLLOUT=0.0\r\n"));
    for (const char* name : {"4\\config.ini", "4\\UpdateConfig.ini"}) {
        const std::string statement = Manifest(name + std::string(".sig"));
        EXPECT_EQ(statement.substr(0, statement.find("manifest-sha256=")),
                  "target=package 4\npublished=2026-12-09T07:00:00Z\nexpires=2027-01-07T07:00:00Z\n");
        const std::string manifest = Manifest(name);
        const StatementExpectation expected{manifest, keyLine, 4, *ParseUtcTime("2026-12-10T00:00:00Z"),
                                            *ParseUtcTime("2026-12-08T07:00:00Z")};
        EXPECT_TRUE(CheckReleaseStatement(statement, expected).IsVerified()) << name;
    }

    // A hand-edited manifest saved with a byte-order mark: the rollout goes into its [Version].
    out_.Write("site\\1\\UpdateConfig.ini", "\xEF\xBB\xBF[Version]\r\nVERSION=2.0\r\n[FILES]\r\n");
    ASSERT_EQ(0, RunPublisher({"rollout", GbkToUtf8(out_.File("site")), "--program", "50"}, printed_, log_))
        << log_.str();
    EXPECT_EQ(Manifest("1\\UpdateConfig.ini"), "\xEF\xBB\xBF[Version]\r\nVERSION=2.0\r\nROLLOUT=50.0\r\n[FILES]\r\n");
}

TEST(PublisherArgumentsTest, BadArgumentsGiveUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--program", "rel", "out"},
        {"--program", "--version", "", "rel", "out"},
        {"--program", "--version", "1.0", "rel"},
        {"--program", "--version", "1.0", "rel", "out", "more"},
        {"--program", "--package", "2", "--version", "1.0", "rel", "out"},
        {"--package", "1", "rel", "out"},
        {"--package", "x", "rel", "out"},
        {"--package", "99999999999", "rel", "out"},
        {"--package", "2", "--region", "cn", "rel", "out"},
        {"--package", "2", "--notify", "rel", "out"},
        {"--program", "--version", "1.0\r\n[FILES]", "rel", "out"},
        {"--program", "--version", " 1.0", "rel", "out"},
        {"--program", "--version", "1.0", "--fast", "rel", "out"},
        {"--program", "--version"},
        {"--program", "--version", "1.0", "--sign", "rel", "out"},
        {"--program", "--version", "1.0", "rel", "out", "--sign"},
        {"--package", "2", "--sign", "", "rel", "out"},
        {"--package", "2", "--expires", "30", "rel", "out"},
        {"--package", "2", "--allow-older-time", "rel", "out"},
        {"--package", "2", "--sign", "k", "--expires", "0", "rel", "out"},
        {"--package", "2", "--sign", "k", "--expires", "36501", "rel", "out"},
        {"--package", "2", "--rollout", "100.5", "rel", "out"},
        {"--package", "2", "--rollout-days", "10", "rel", "out"},
        {"--package", "2", "--rollout", "5", "--rollout-start", "2026-12-08T07:00:00Z", "rel", "out"},
        {"--package", "2", "--rollout", "5", "--rollout-days", "0", "rel", "out"},
        {"rollout", "out", "--program"},
        {"rollout", "out", "--package", "2"},
        {"rollout", "out", "--program", "5", "--package", "2", "5"},
        {"rollout", "--program", "5"},
        {"rollout", "out", "--program", "5", "--allow-older-time"},
        {"keygen"},
        {"keygen", ""},
        {"keygen", "a", "b"},
    };
    for (const auto& args : cases) {
        std::ostringstream log;
        EXPECT_EQ(2, RunPublisher(args, log, log)) << ::testing::PrintToString(args);
        EXPECT_NE(std::string::npos, log.str().find("usage:")) << ::testing::PrintToString(args);
    }
}

}  // namespace
