// Files that travel as their gzip form: decoded on arrival within bounds,
// the plain file from the same server when the compressed one is missing or
// does not decode, and a cut compressed download continued where it stopped.
#include "transfer/transfer_win.h"

#include "support/gzip_maker.h"
#include "support/served_tree_win.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <set>

namespace {
constexpr DWORD kShortMillis = 1500;

class CompressedTransferTest : public ServedTreeTest {
protected:
    void SetUp() override {
        ServedTreeTest::SetUp();
        component = std::make_unique<CQIRAUpdateIntf>(std::vector<S_UpdateSerivceAddr>{tree.Server()}, false);
        component->SetTimeouts(kShortMillis, kShortMillis);
        component->SetAttemptObserver([this](const TransferAttempt& attempt) {
            const std::lock_guard<std::mutex> hold(attemptsLock);
            attempts.push_back(attempt);
        });
    }

    // Puts NAME and NAME.gz on the server; the file to fetch lists the .gz
    // with its real size unless told otherwise.
    RemoteFile Publish(const std::string& name, const std::string& plain, const std::string& compressed,
                       std::optional<uint64_t> listedGzSize = std::nullopt) const {
        tree.Put(1, name, plain);
        tree.Put(1, name + ".gz", compressed);
        return {name, local.File(name), GzipForm(listedGzSize.value_or(compressed.size()), plain.size())};
    }

    FetchResult Fetch(const RemoteFile& file) { return component->GetRemoteFiles(1, {file}); }

    // The server cuts the file's .gz once at cutAt: the fetch fails and
    // the compressed bytes so far are kept.
    void CutOnce(const RemoteFile& file, size_t cutAt) {
        tree.SetFault("/1/" + file.Name + ".gz", "cut", "\"keep\": " + std::to_string(cutAt) + ", \"count\": 1");
        ASSERT_EQ(Fetch(file).Status, FetchStatus::Failed);
        EXPECT_FALSE(local.Exists(file.Name));
        ASSERT_EQ(local.Read(file.Name + ".gz.~partial").size(), cutAt);
    }

    std::vector<std::string> RequestedPaths(const std::string& name) const {
        std::vector<std::string> paths;
        for (const LoggedRequest& request : tree.RequestsUnder("/1/" + name)) paths.push_back(request.path);
        return paths;
    }

    std::set<std::string> LocalNames() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(TempDir::ToFsPath(local.Path()))) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::vector<TransferAttempt> Attempts() {
        const std::lock_guard<std::mutex> hold(attemptsLock);
        return attempts;
    }

    TempDir local;
    std::unique_ptr<CQIRAUpdateIntf> component;
    std::mutex attemptsLock;
    std::vector<TransferAttempt> attempts;  // guarded by attemptsLock
};

TEST_F(CompressedTransferTest, OnlyTheCompressedFormTravelsAndArrivesDecoded) {
    const std::string small = RandomText(200 * 1000, 1);
    const std::string large = RandomText(6 * 1024 * 1024, 2);  // its .gz is large enough to be resumable
    const RemoteFile files[] = {Publish("small.dll", small, Gzip(small)), Publish("large.dll", large, Gzip(large))};
    local.Write("small.dll", "old content");
    ASSERT_EQ(component->GetRemoteFiles(1, {files[0], files[1]}).Status, FetchStatus::Fetched);
    EXPECT_TRUE(local.Read("small.dll") == small);
    EXPECT_TRUE(local.Read("large.dll") == large);
    EXPECT_EQ(RequestedPaths("small.dll"), std::vector<std::string>{"/1/small.dll.gz"});
    EXPECT_EQ(RequestedPaths("large.dll"), std::vector<std::string>{"/1/large.dll.gz"});
    EXPECT_EQ(LocalNames(), (std::set<std::string>{"large.dll", "small.dll"})) << "no partial or temporary file left";
    uint64_t travelled = 0;
    for (const TransferAttempt& attempt : Attempts()) travelled += attempt.Bytes;
    EXPECT_LT(travelled, (small.size() + large.size()) / 2);
}

// Whatever is wrong with NAME.gz, the same server is asked for NAME once,
// and only NAME's bytes end up in the local file.
TEST_F(CompressedTransferTest, ABrokenCompressedFormFallsBackToThePlainFile) {
    const std::string plain = RandomText(300 * 1000, 3);
    const std::string compressed = Gzip(plain);
    std::string corrupt = compressed;
    for (size_t i = corrupt.size() / 2; i < corrupt.size() / 2 + 64; ++i) corrupt[i] = static_cast<char>(~corrupt[i]);
    const struct {
        const char* name;
        std::string served;
        std::optional<uint64_t> listedGzSize;
    } cases[] = {
        {"truncated.dll", compressed.substr(0, compressed.size() - 100), std::nullopt},
        {"corrupt.dll", corrupt, std::nullopt},
        {"one-more-byte.dll", Gzip(plain + "x"), std::nullopt},
        {"longer-than-listed.dll", compressed, compressed.size() - 1},
        {"not-gzip.dll", plain, std::nullopt},
    };
    for (const auto& c : cases) {
        const RemoteFile file = Publish(c.name, plain, c.served, c.listedGzSize);
        ASSERT_EQ(Fetch(file).Status, FetchStatus::Fetched) << c.name;
        EXPECT_TRUE(local.Read(c.name) == plain) << c.name;
        const std::string path = std::string("/1/") + c.name;
        EXPECT_EQ(RequestedPaths(c.name), (std::vector<std::string>{path + ".gz", path})) << c.name;
    }
    EXPECT_EQ(Attempts().front().Why.Kind, FailureKind::Undecodable);
    EXPECT_EQ(LocalNames().size(), std::size(cases)) << "no decoded leftovers";

    // A tree served without its .gz files.
    tree.Put(1, "missing.dll", plain);
    ASSERT_EQ(Fetch({"missing.dll", local.File("missing.dll"), GzipForm(1000, plain.size())}).Status, FetchStatus::Fetched);
    EXPECT_TRUE(local.Read("missing.dll") == plain);
}

// A gzip bomb: a megabyte that decodes to a gigabyte of zeros. Decoding
// stops at the listed size (or at the ratio bound without one), and when
// the plain file cannot be had either, nothing is left behind.
TEST_F(CompressedTransferTest, AGzipBombIsStoppedAtItsBoundAndNothingIsKept) {
    const std::string bomb = GzipOfZeros(1ull << 30);
    tree.Put(1, "bomb.dll.gz", bomb);
    for (const std::optional<uint64_t> listedSize : {std::optional<uint64_t>(4096), std::optional<uint64_t>()}) {
        ASSERT_EQ(Fetch({"bomb.dll", local.File("bomb.dll"), GzipForm(bomb.size(), listedSize)}).Status,
                  FetchStatus::Failed);
        EXPECT_TRUE(LocalNames().empty());
    }
    EXPECT_EQ(RequestedPaths("bomb.dll"),
              (std::vector<std::string>{"/1/bomb.dll.gz", "/1/bomb.dll", "/1/bomb.dll.gz", "/1/bomb.dll"}));
    EXPECT_EQ(Attempts().front().Why.Kind, FailureKind::Undecodable);
}

// A cut compressed download is kept as compressed bytes; the next attempt
// decodes them again and asks only for the rest of the stream.
TEST_F(CompressedTransferTest, ACutCompressedDownloadContinuesTheCompressedStream) {
    const std::string plain = RandomText(8 * 1024 * 1024, 4);
    const std::string compressed = Gzip(plain);
    ASSERT_GT(compressed.size(), 2u * 1024 * 1024);
    const size_t cutAt = compressed.size() / 2;
    const RemoteFile file = Publish("big.dll", plain, compressed);
    ASSERT_NO_FATAL_FAILURE(CutOnce(file, cutAt));

    ASSERT_EQ(Fetch(file).Status, FetchStatus::Fetched);
    EXPECT_TRUE(local.Read("big.dll") == plain);
    EXPECT_EQ(RequestedPaths("big.dll"), (std::vector<std::string>{"/1/big.dll.gz", "/1/big.dll.gz"}))
        << "the plain file is not asked for after a cut";
    EXPECT_EQ(tree.RequestsUnder("/1/big.dll.gz").back().range, "bytes=" + std::to_string(cutAt) + "-");
    EXPECT_TRUE(Attempts().back().Resumed);
    EXPECT_EQ(Attempts().back().Bytes, compressed.size() - cutAt);
    EXPECT_EQ(LocalNames(), std::set<std::string>{"big.dll"});
}

// Kept compressed bytes that no longer decode (damaged on disk) are dropped
// and the compressed form is fetched from its start.
TEST_F(CompressedTransferTest, DamagedKeptCompressedBytesAreFetchedAgain) {
    const std::string plain = RandomText(8 * 1024 * 1024, 5);
    const std::string compressed = Gzip(plain);
    const size_t cutAt = compressed.size() / 2;
    const RemoteFile file = Publish("kept.dll", plain, compressed);
    ASSERT_NO_FATAL_FAILURE(CutOnce(file, cutAt));
    std::string kept = local.Read("kept.dll.gz.~partial");
    for (size_t i = 100; i < 200; ++i) kept[i] = 'Z';
    local.Write("kept.dll.gz.~partial", kept);

    ASSERT_EQ(Fetch(file).Status, FetchStatus::Fetched);
    EXPECT_TRUE(local.Read("kept.dll") == plain);
    EXPECT_TRUE(tree.RequestsUnder("/1/kept.dll.gz").back().range.empty());
    EXPECT_EQ(LocalNames(), std::set<std::string>{"kept.dll"});
}

// Damage that decodes (inside stored bytes) shows only at the checksum, at
// the end: the compressed form is then fetched once more from its start,
// not traded for the plain file.
TEST_F(CompressedTransferTest, KeptBytesDamagedWhereOnlyTheChecksumShowsAreFetchedAgain) {
    const std::string plain = RandomBytes(3 * 1024 * 1024, 6);
    const std::string stored = Gzip(plain, 0);
    const size_t cutAt = stored.size() / 2;
    const RemoteFile file = Publish("stored.dll", plain, stored);
    ASSERT_NO_FATAL_FAILURE(CutOnce(file, cutAt));
    std::string kept = local.Read("stored.dll.gz.~partial");
    kept[cutAt / 2] = static_cast<char>(~kept[cutAt / 2]);
    local.Write("stored.dll.gz.~partial", kept);

    ASSERT_EQ(Fetch(file).Status, FetchStatus::Fetched);
    EXPECT_TRUE(local.Read("stored.dll") == plain);
    const std::vector<LoggedRequest> requests = tree.RequestsUnder("/1/stored.dll");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(cutAt) + "-");
    EXPECT_EQ(requests[2].path, "/1/stored.dll.gz");
    EXPECT_TRUE(requests[2].range.empty());
    EXPECT_EQ(LocalNames(), std::set<std::string>{"stored.dll"});
}

// A compressed download cut by one server, and a second server that has no
// .gz files: the plain file from the second, and the kept compressed bytes
// go, since nothing is left for them to continue.
TEST_F(CompressedTransferTest, APlainFileFromAnotherServerEndsAKeptCompressedDownload) {
    const std::string plain = RandomText(8 * 1024 * 1024, 7);
    const std::string compressed = Gzip(plain);
    const RemoteFile file = Publish("relay.dll", plain, compressed);
    ASSERT_NO_FATAL_FAILURE(CutOnce(file, compressed.size() / 2));
    tree.SetFault("/1/relay.dll.gz", "status", R"("status": 404)");

    ASSERT_EQ(Fetch(file).Status, FetchStatus::Fetched);
    EXPECT_TRUE(local.Read("relay.dll") == plain);
    EXPECT_EQ(LocalNames(), std::set<std::string>{"relay.dll"});
}

// A mirror without .gz files or patches is asked for a few of each, then
// for plain files only.
TEST_F(CompressedTransferTest, AServerWithoutOptionalFormsIsSoonAskedForPlainFilesOnly) {
    component->SetFilesAtOnce(1);
    std::vector<RemoteFile> files;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "mirror-" + std::to_string(i) + ".dll";
        const std::string plain = RandomText(20000, 10 + i);
        tree.Put(1, name, plain);
        files.push_back({name, local.File(name), GzipForm(1000, plain.size())});
        files.back().Converted = {name + ".patch", local.File(name + ".patch"), 100, [](const std::string&) {
                                      return Status(Failure{FailureKind::Undecodable});
                                  }};
    }
    ASSERT_EQ(component->GetRemoteFiles(1, files).Status, FetchStatus::Fetched);
    size_t compressedAsked = 0, patchesAsked = 0;
    for (const LoggedRequest& request : tree.RequestsUnder("/1/mirror-")) {
        compressedAsked += request.path.ends_with(".gz");
        patchesAsked += request.path.ends_with(".patch");
    }
    EXPECT_EQ(compressedAsked, 3u);
    EXPECT_EQ(patchesAsked, 3u);
    EXPECT_EQ(tree.RequestsUnder("/1/mirror-").size(), 6u + files.size());
}

TEST_F(CompressedTransferTest, ACompressedFormLargerThanAnyFileMayBeIsNotAskedFor) {
    const std::string plain = RandomText(1000, 20);
    const RemoteFile huge = Publish("huge.dll", plain, Gzip(plain), 5000000000ull);
    ASSERT_EQ(Fetch(huge).Status, FetchStatus::Fetched);
    EXPECT_EQ(RequestedPaths("huge.dll"), std::vector<std::string>{"/1/huge.dll"});
}
}  // namespace
