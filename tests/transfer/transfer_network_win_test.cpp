// The transfer against servers that behave like real ones on real networks:
// names, servers that hang, answer 5xx or trickle, a stop in the middle of
// a batch, and large downloads that are cut and continued.
#include "transfer/transfer_win.h"

#include "support/served_tree_win.h"
#include "support/silent_listener_win.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>

namespace {
constexpr DWORD kShortMillis = 1500;

class NetworkTest : public ServedTreeTest {
protected:
    std::unique_ptr<CQIRAUpdateIntf> Component(const std::vector<S_UpdateSerivceAddr>& servers, size_t atOnce = 1) {
        auto component = std::make_unique<CQIRAUpdateIntf>(servers, false);
        component->SetTimeouts(kShortMillis, kShortMillis);
        component->SetFilesAtOnce(atOnce);
        component->SetAttemptObserver([this](const TransferAttempt& attempt) {
            const std::lock_guard<std::mutex> hold(attemptsLock);
            attempts.push_back(attempt);
        });
        return component;
    }

    // The same test server under two names: requests tell by their Host
    // header which of the two was asked.
    S_UpdateSerivceAddr Named(const char* host) const { return {"127.0.0.1", tree.Server().Port, host}; }
    std::string HostHeader(const char* host) const { return std::string(host) + ":" + std::to_string(tree.Server().Port); }

    std::vector<RemoteFile> PutFiles(const std::string& prefix, size_t count, size_t size) const {
        std::vector<RemoteFile> files;
        for (size_t i = 0; i < count; ++i) {
            const std::string name = prefix + std::to_string(i) + ".bin";
            tree.Put(1, name, RandomBytes(size, static_cast<unsigned>(i)));
            files.push_back({name, local.File(name)});
        }
        return files;
    }

    std::vector<TransferAttempt> Attempts() {
        const std::lock_guard<std::mutex> hold(attemptsLock);
        return attempts;
    }

    // The attempts so far, one a line, for the message of a failed expectation.
    std::string Described() {
        std::string text;
        for (const TransferAttempt& attempt : Attempts()) {
            const char* ends[] = {"fetched", "failed", "cancelled"};
            text += attempt.Server + " " + attempt.RemoteName + " " + ends[static_cast<int>(attempt.End)] + " " +
                    DescribeFailure(attempt.Why) + " bytes " + std::to_string(attempt.Bytes) +
                    (attempt.Resumed ? " resumed" : "") + "\n";
        }
        return text;
    }

    TempDir local;
    std::mutex attemptsLock;
    std::vector<TransferAttempt> attempts;
};

TEST_F(NetworkTest, RequestsCarryTheConfiguredHostName) {
    tree.Put(1, "host.bin", "x");
    for (const char* host : {"", "localhost", "127.0.0.1"}) {
        ASSERT_EQ(Component({Named(host)})->GetRemoteFile(1, "host.bin", local.File("host.bin"), nullptr, 0), 1);
        EXPECT_EQ(tree.RequestsUnder("/1/host.bin").back().host, HostHeader(*host ? host : "127.0.0.1")) << host;
    }
}

// Four files one after the other: the primary's time-out is waited for
// once, not once per file.
TEST_F(NetworkTest, AServerThatNeverAnswersIsAskedOnceInARun) {
    const SilentListener hanging;
    ASSERT_NE(hanging.Server().Port, 0);
    const std::vector<RemoteFile> files = PutFiles("hang-", 4, 1000);
    auto component = Component({hanging.Server(), tree.Server()});
    ASSERT_EQ(component->GetRemoteFiles(1, files).Status, FetchStatus::Fetched);

    const std::string hangingName = "127.0.0.1:" + std::to_string(hanging.Server().Port);
    const std::vector<TransferAttempt> seen = Attempts();
    ASSERT_EQ(seen.size(), 5u) << Described();
    EXPECT_EQ(seen[0].Server, hangingName);
    EXPECT_EQ(seen[0].Why.Kind, FailureKind::TimedOut);
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_NE(seen[i].Server, hangingName);
        EXPECT_EQ(seen[i].End, AttemptEnd::Fetched);
        EXPECT_EQ(seen[i].RemoteName, files[i - 1].Name);
        EXPECT_EQ(seen[i].Bytes, 1000u);
    }
    EXPECT_EQ(component->ServersInPreferredOrder()[0].Port, tree.Server().Port);
}

TEST_F(NetworkTest, SideBySideEveryTransferWaitsForTheHangingServerAtMostOnce) {
    const SilentListener hanging;
    const std::vector<RemoteFile> files = PutFiles("hang6-", 24, 1000);
    auto component = Component({hanging.Server(), tree.Server()}, 6);
    ASSERT_EQ(component->GetRemoteFiles(1, files).Status, FetchStatus::Fetched);
    size_t atHanging = 0, fetched = 0;
    for (const TransferAttempt& attempt : Attempts()) {
        if (attempt.End == AttemptEnd::Fetched) ++fetched;
        if (attempt.Server == "127.0.0.1:" + std::to_string(hanging.Server().Port)) ++atHanging;
    }
    EXPECT_EQ(fetched, files.size());
    EXPECT_GE(atHanging, 1u);
    EXPECT_LE(atHanging, 6u) << Described();
}

TEST_F(NetworkTest, A5xxAnswerMovesThePreferenceOnAndAMissingFileDoesNot) {
    const std::vector<RemoteFile> busy = PutFiles("busy-", 3, 100);
    tree.SetFault("/1/busy-0.bin", "status", R"("status": 503, "count": 1)");
    ASSERT_EQ(Component({Named("127.0.0.1"), Named("localhost")})->GetRemoteFiles(1, busy).Status, FetchStatus::Fetched);
    std::vector<std::string> hosts;
    for (const LoggedRequest& request : tree.RequestsUnder("/1/busy-")) hosts.push_back(request.host);
    EXPECT_EQ(hosts, (std::vector<std::string>{HostHeader("127.0.0.1"), HostHeader("localhost"), HostHeader("localhost"),
                                               HostHeader("localhost")}));

    const std::vector<RemoteFile> missing = PutFiles("gap-", 2, 100);
    tree.SetFault("/1/gap-0.bin", "status", R"("status": 404, "count": 1)");
    ASSERT_EQ(Component({Named("127.0.0.1"), Named("localhost")})->GetRemoteFiles(1, missing).Status, FetchStatus::Fetched);
    hosts.clear();
    for (const LoggedRequest& request : tree.RequestsUnder("/1/gap-")) hosts.push_back(request.host);
    EXPECT_EQ(hosts, (std::vector<std::string>{HostHeader("127.0.0.1"), HostHeader("localhost"), HostHeader("127.0.0.1")}));
}

TEST_F(NetworkTest, ATrickleUnderTheFloorFailsAndOneAboveItDoesNot) {
    // A 2 s window at 1 KiB/s; every piece comes well within the idle limit.
    tree.Put(1, "trickle-slow.bin", RandomBytes(20000, 1));
    tree.SetFault("/1/trickle-slow.bin", "trickle", R"("step": 100, "delay": 0.2)");
    tree.Put(1, "trickle-fine.bin", RandomBytes(60000, 2));
    tree.SetFault("/1/trickle-fine.bin", "trickle", R"("step": 4000, "delay": 0.2)");
    auto component = Component({tree.Server()});
    component->SetTimeouts(kShortMillis, kShortMillis, 2000);
    local.Write("trickle-slow.bin", "old");
    EXPECT_EQ(component->GetRemoteFile(1, "trickle-slow.bin", local.File("trickle-slow.bin"), nullptr, 0), -1);
    EXPECT_EQ(local.Read("trickle-slow.bin"), "old");
    ASSERT_FALSE(Attempts().empty());
    EXPECT_EQ(Attempts().back().Why.Kind, FailureKind::TooSlow) << Described();
    EXPECT_LT(Attempts().back().Bytes, 20000u);
    EXPECT_EQ(component->GetRemoteFile(1, "trickle-fine.bin", local.File("trickle-fine.bin"), nullptr, 0), 60000);
}

// Every file hangs after its first bytes for longer than the test runs: the
// stop, not a time-out, must end each transfer.
TEST_F(NetworkTest, AStopCancelsEveryTransferAtOnce) {
    const std::vector<RemoteFile> files = PutFiles("held-", 6, 5000);
    for (const RemoteFile& file : files) tree.SetFault("/1/" + file.Name, "stall", R"("after": 1000, "seconds": 600)");
    auto component = Component({tree.Server()}, 6);
    component->SetTimeouts(60000, 60000);
    const FetchObserver observer{nullptr, 0, [&] { return tree.RequestsUnder("/1/held-").size() == files.size(); }};
    EXPECT_EQ(component->GetRemoteFiles(1, files, observer).Status, FetchStatus::Stopped);
    const std::vector<TransferAttempt> seen = Attempts();
    EXPECT_EQ(seen.size(), files.size());
    for (const TransferAttempt& attempt : seen) EXPECT_EQ(attempt.End, AttemptEnd::Cancelled);
    for (const RemoteFile& file : files) EXPECT_FALSE(local.Exists(file.Name));
}

class ResumeTest : public NetworkTest {
protected:
    static constexpr size_t kSize = 3 * 1024 * 1024;
    static constexpr size_t kCutAt = 2 * 1024 * 1024;

    // Fetches big.bin once with the server cutting it at kCutAt.
    void CutOnce(const std::string& bytes) {
        tree.Put(1, "big.bin", bytes);
        tree.SetFault("/1/big.bin", "cut", "\"keep\": " + std::to_string(kCutAt) + ", \"count\": 1");
        ASSERT_EQ(component->GetRemoteFile(1, "big.bin", local.File("big.bin"), nullptr, 0), -1);
        ASSERT_TRUE(local.Exists("big.bin.~partial"));
        EXPECT_EQ(local.Read("big.bin.~partial").size(), kCutAt);
    }
    void SetUp() override {
        NetworkTest::SetUp();
        component = Component({tree.Server()});
    }
    std::unique_ptr<CQIRAUpdateIntf> component;
};

TEST_F(ResumeTest, ACutLargeDownloadContinuesWhereItStopped) {
    const std::string bytes = RandomBytes(kSize, 10);
    CutOnce(bytes);
    ASSERT_EQ(component->GetRemoteFile(1, "big.bin", local.File("big.bin"), nullptr, 0), static_cast<int32_t>(kSize));
    EXPECT_TRUE(local.Read("big.bin") == bytes);
    const LoggedRequest last = tree.RequestsUnder("/1/big.bin").back();
    EXPECT_EQ(last.range, "bytes=" + std::to_string(kCutAt) + "-");
    EXPECT_FALSE(last.ifRange.empty());
    EXPECT_TRUE(Attempts().back().Resumed);
    EXPECT_EQ(Attempts().back().Bytes, kSize - kCutAt);
    EXPECT_FALSE(local.Exists("big.bin.~partial"));
    EXPECT_FALSE(local.Exists("big.bin.~partial.info"));
}

TEST_F(ResumeTest, ADownloadCutByOneServerIsContinuedFromTheNext) {
    const std::string bytes = RandomBytes(kSize, 15);
    tree.Put(1, "relay.bin", bytes);
    tree.SetFault("/1/relay.bin", "cut", "\"keep\": " + std::to_string(kCutAt) + ", \"count\": 1");
    auto twoServers = Component({Named("127.0.0.1"), Named("localhost")});
    ASSERT_EQ(twoServers->GetRemoteFile(1, "relay.bin", local.File("relay.bin"), nullptr, 0), static_cast<int32_t>(kSize));
    EXPECT_TRUE(local.Read("relay.bin") == bytes);
    const std::vector<LoggedRequest> requests = tree.RequestsUnder("/1/relay.bin");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].host, HostHeader("localhost"));
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(kCutAt) + "-");
}

TEST_F(ResumeTest, AFileChangedOnTheServerIsFetchedWhole) {
    CutOnce(RandomBytes(kSize, 11));
    const std::string changed = RandomBytes(kSize + 1, 12);  // another size: another ETag whatever the clock says
    tree.Put(1, "big.bin", changed);
    ASSERT_EQ(component->GetRemoteFile(1, "big.bin", local.File("big.bin"), nullptr, 0), static_cast<int32_t>(changed.size()))
        << Described();
    EXPECT_TRUE(local.Read("big.bin") == changed);
    EXPECT_FALSE(tree.RequestsUnder("/1/big.bin").back().range.empty()) << "asked for the rest";
    EXPECT_FALSE(Attempts().back().Resumed) << "and was given the whole file";
}

TEST_F(ResumeTest, AServerWithoutRangesGivesTheWholeFile) {
    const std::string bytes = RandomBytes(kSize, 13);
    CutOnce(bytes);
    tree.SetFault("/1/big.bin", "norange");
    ASSERT_EQ(component->GetRemoteFile(1, "big.bin", local.File("big.bin"), nullptr, 0), static_cast<int32_t>(kSize))
        << Described();
    EXPECT_TRUE(local.Read("big.bin") == bytes);
    EXPECT_EQ(Attempts().back().Bytes, kSize);
}

TEST_F(ResumeTest, ADamagedPartialIsDroppedAndTheFileFetchedWhole) {
    const std::string bytes = RandomBytes(kSize, 14);
    CutOnce(bytes);
    local.Write("big.bin.~partial.info", "not what was written");
    tree.ClearFaults();
    ASSERT_EQ(component->GetRemoteFile(1, "big.bin", local.File("big.bin"), nullptr, 0), static_cast<int32_t>(kSize))
        << Described();
    EXPECT_TRUE(local.Read("big.bin") == bytes);
    EXPECT_TRUE(tree.RequestsUnder("/1/big.bin").back().range.empty());
}
}  // namespace
