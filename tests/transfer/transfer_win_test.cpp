#include "transfer/transfer_win.h"

#include "base/running_work.h"

#include "support/temp_dir.h"
#include "support/served_tree_win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {
constexpr DWORD kShortMillis = 1500;

class TransferTest : public ServedTreeTest {
protected:
    std::unique_ptr<CQIRAUpdateIntf> Component(std::vector<S_UpdateSerivceAddr> servers) const {
        auto component = std::make_unique<CQIRAUpdateIntf>(servers, false);
        component->SetTimeouts(kShortMillis, kShortMillis);
        return component;
    }
    std::unique_ptr<CQIRAUpdateIntf> Component() const { return Component({tree.Server()}); }

    // The names in the local folder: a failed transfer must leave nothing behind.
    std::set<std::string> LocalNames() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(TempDir::ToFsPath(local.Path()))) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    TempDir local;
};

TEST_F(TransferTest, DeliversExactBytesAndReplacesTheOldFile) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"ok-binary.bin", RandomBytes(300 * 1024 + 7, 1)},
        {"ok-empty.bin", ""},
        {"ok-large.bin", RandomBytes(5 * 1024 * 1024 + 3, 2)},
        {"ok-crlf.txt", std::string("a\r\nb\0c\r\n", 8)},
    };
    auto component = Component();
    for (const auto& c : cases) {
        tree.Put(1, c.name, c.bytes);
        local.Write(c.name, "old content");
        EXPECT_EQ(component->GetRemoteFile(1, c.name, local.File(c.name), nullptr, 0), static_cast<int32_t>(c.bytes.size()))
            << c.name;
        EXPECT_TRUE(local.Read(c.name) == c.bytes) << c.name;
    }
    EXPECT_EQ(LocalNames().size(), std::size(cases));
}

TEST_F(TransferTest, AcceptsBodiesThatEndCleanlyWithoutALengthOrSlowly) {
    const std::string bytes = RandomBytes(100 * 1000 + 1, 3);
    const struct {
        const char* name;
        const char* kind;
        const char* json;
    } cases[] = {
        {"good-chunked.bin", "chunked", ""},
        {"good-trickle.bin", "trickle", R"("step": 20000, "delay": 0.05)"},
        // A time-out is about silence, not about the whole transfer's length.
        {"good-slow.bin", "trickle", R"("step": 50000, "delay": 1.0)"},
    };
    auto component = Component();
    for (const auto& c : cases) {
        tree.Put(1, c.name, bytes);
        tree.SetFault(std::string("/1/") + c.name, c.kind, c.json);
        EXPECT_EQ(component->GetRemoteFile(1, c.name, local.File(c.name), nullptr, 0), static_cast<int32_t>(bytes.size()))
            << c.kind;
        EXPECT_TRUE(local.Read(c.name) == bytes) << c.kind;
    }
}

TEST_F(TransferTest, EveryServerFaultFailsAndLeavesTheLocalPathAsItWas) {
    const std::string bytes = RandomBytes(200 * 1000, 4);
    const struct {
        const char* name;
        const char* kind;
        const char* json;
    } cases[] = {
        {"bad-404.bin", "status", R"("status": 404)"},
        {"bad-500.bin", "status", R"("status": 500)"},
        {"bad-206.bin", "status", R"("status": 206)"},
        {"bad-cut.bin", "cut", R"("keep": 150000)"},
        {"bad-cut-empty.bin", "cut", R"("keep": 0)"},
        {"bad-long-length.bin", "long_length", R"("extra": 10)"},
        {"bad-stall-body.bin", "stall", R"("after": 70000, "seconds": 6)"},
        {"bad-stall-head.bin", "stall", R"("after": -1, "seconds": 6)"},
        {"bad-reset.bin", "reset", R"("keep": 100000)"},
        {"bad-garbage.bin", "garbage", ""},
        {"bad-unframed.bin", "unframed", ""},  // whole here, but a cut one would look the same
        {"bad-silent.bin", "silent", ""},
        {"bad-redirect.bin", "redirect", ""},
        {"bad-huge-for-int32.bin", "huge", R"("size": 2147483648)"},
        {"bad-missing.bin", "", ""},
    };
    auto component = Component();
    FailureKind lastKind = FailureKind::Connect;  // written on the transferring thread, read after the call
    component->SetAttemptObserver([&](const TransferAttempt& attempt) { lastKind = attempt.Why.Kind; });
    for (const auto& c : cases) {
        if (*c.kind) {
            tree.Put(1, c.name, bytes);
            tree.SetFault(std::string("/1/") + c.name, c.kind, c.json);
        }
        local.Write("target.bin", "old content");
        EXPECT_EQ(component->GetRemoteFile(1, c.name, local.File("target.bin"), nullptr, 0), -1) << c.name;
        EXPECT_TRUE(local.Read("target.bin") == "old content") << c.name;
        EXPECT_EQ(LocalNames(), std::set<std::string>{"target.bin"}) << c.name;
        // A server that answered, but not with HTTP, is not one that could not be reached.
        if (std::string(c.kind) == "garbage") {
            EXPECT_EQ(lastKind, FailureKind::BrokenBody) << DescribeFailure({lastKind});
        }
    }
    component->SetAttemptObserver({});
    // A redirect was not followed (the second request is the one retry on a
    // fresh connection that a broken kept-alive one earns).
    EXPECT_LE(tree.RequestsUnder("/1/bad-redirect.bin").size(), 2u);
    // The component is still sound after all of them.
    tree.Put(1, "after-faults.bin", bytes);
    EXPECT_EQ(component->GetRemoteFile(1, "after-faults.bin", local.File("after.bin"), nullptr, 0), 200000);
    // Whatever the answers, WinHTTP has let go of every request, and no
    // thread of the transfer runs on: the process could end now.
    component.reset();
    EXPECT_TRUE(WaitUntilNoWorkRuns(std::chrono::seconds(10))) << RunningWorkCount();
}

bool RunsUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST_F(TransferTest, ChunkedBodyCutBeforeItsEndFails) {
    // Wine's WinHTTP takes the connection's end for the body's end inside a
    // chunked body too; Windows reports ERROR_WINHTTP_CONNECTION_ERROR.
    if (RunsUnderWine()) GTEST_SKIP() << "Wine cannot tell a cut chunked body from a whole one";
    tree.Put(1, "bad-chunked-cut.bin", RandomBytes(100000, 7));
    tree.SetFault("/1/bad-chunked-cut.bin", "chunked", R"("cut": true)");
    local.Write("target.bin", "old content");
    EXPECT_EQ(Component()->GetRemoteFile(1, "bad-chunked-cut.bin", local.File("target.bin"), nullptr, 0), -1);
    EXPECT_TRUE(local.Read("target.bin") == "old content");
    EXPECT_EQ(LocalNames(), std::set<std::string>{"target.bin"});
}

// A file may be no larger than its caller allows (a manifest's 64 MiB, a
// file's listed size): more is refused as over the limit, whether the
// length is announced or the body simply goes on, and nothing is kept.
TEST_F(TransferTest, RefusesAFileOverItsLimit) {
    constexpr uint64_t kLimit = 64 * 1024 * 1024;
    const std::string size = "\"size\": " + std::to_string(kLimit + 1);
    auto component = Component();
    for (const std::string& json : {size, size + ", \"chunked\": true"}) {
        tree.Put(1, "UpdateConfig.ini", "[Version]\r\n");
        tree.SetFault("/1/UpdateConfig.ini", "huge", json);
        local.Write("UpdateConfig.ini", "old");
        const FetchResult result =
            component->GetRemoteFiles(1, {{"UpdateConfig.ini", local.File("UpdateConfig.ini"), std::nullopt, kLimit}});
        EXPECT_EQ(result.Status, FetchStatus::Failed) << json;
        EXPECT_EQ(result.Why.Kind, FailureKind::OverLimit) << DescribeFailure(result.Why);
        EXPECT_TRUE(local.Read("UpdateConfig.ini") == "old");
        EXPECT_EQ(LocalNames(), std::set<std::string>{"UpdateConfig.ini"});
    }
    // Without a limit of the caller's, files may be that large.
    tree.Put(1, "big-data.bin", "");
    tree.SetFault("/1/big-data.bin", "huge", size);
    EXPECT_EQ(component->GetRemoteFile(1, "big-data.bin", local.File("big.bin"), nullptr, 0), kLimit + 1);
}

// A length smaller than the body cannot be told from a correct response
// followed by junk: the announced bytes are the file (the manifest digest
// catches it). The junk must not spoil the next file on that connection.
TEST_F(TransferTest, SurplusAfterTheAnnouncedLengthDoesNotSpoilTheNextFile) {
    const std::string bytes = RandomBytes(50000, 5);
    tree.Put(1, "surplus.bin", bytes);
    tree.Put(1, "surplus-next.bin", bytes);
    tree.SetFault("/1/surplus.bin", "short_length", R"("less": 1000)");
    auto component = Component();
    EXPECT_EQ(component->GetRemoteFile(1, "surplus.bin", local.File("a.bin"), nullptr, 0), 49000);
    EXPECT_TRUE(local.Read("a.bin") == bytes.substr(0, 49000));
    EXPECT_EQ(component->GetRemoteFile(1, "surplus-next.bin", local.File("b.bin"), nullptr, 0), 50000);
    EXPECT_TRUE(local.Read("b.bin") == bytes);
}

TEST_F(TransferTest, FallsOverToTheNextServerInListOrder) {
    const std::string bytes = RandomBytes(10000, 6);
    tree.Put(1, "failover-refused.bin", bytes);
    tree.Put(1, "failover-500.bin", bytes);
    tree.Put(1, "failover-cut.bin", bytes);
    tree.Put(1, "failover-empty.bin", bytes);
    // The same server twice: the fault hits only the first request.
    tree.SetFault("/1/failover-500.bin", "status", R"("status": 500, "count": 1)");
    tree.SetFault("/1/failover-cut.bin", "cut", R"("keep": 10, "count": 1)");
    const struct {
        const char* name;
        std::vector<S_UpdateSerivceAddr> servers;
        size_t requests;
    } cases[] = {
        {"failover-refused.bin", {tree.DeadServer(), tree.Server()}, 1},
        {"failover-500.bin", {tree.Server(), tree.Server()}, 2},
        {"failover-cut.bin", {tree.Server(), tree.Server()}, 2},
        {"failover-empty.bin", {{"", 80}, tree.Server()}, 1},
    };
    for (const auto& c : cases) {
        auto component = Component(c.servers);
        EXPECT_EQ(component->GetRemoteFile(1, c.name, local.File(c.name), nullptr, 0), 10000) << c.name;
        EXPECT_TRUE(local.Read(c.name) == bytes) << c.name;
        EXPECT_EQ(tree.RequestsUnder(std::string("/1/") + c.name).size(), c.requests) << c.name;
    }
    // The primary is asked first: a working primary is the only one asked.
    tree.Put(1, "failover-first.bin", bytes);
    auto component = Component({tree.Server(), tree.DeadServer()});
    EXPECT_EQ(component->GetRemoteFile(1, "failover-first.bin", local.File("first.bin"), nullptr, 0), 10000);
}

TEST_F(TransferTest, UnusableServerListsFailWithoutACrash) {
    tree.Put(1, "nowhere.bin", "x");
    const std::vector<S_UpdateSerivceAddr> lists[] = {
        {},
        {{"", 0}},
        {{"", tree.Server().Port}},
        {{tree.Server().Address, 0}},
        {{"127.0.0.1:80", tree.Server().Port}},
        {{"http://127.0.0.1/", tree.Server().Port}},
        {tree.DeadServer(), tree.DeadServer()},
    };
    for (const auto& servers : lists) {
        auto component = Component(servers);
        local.Write("nowhere.bin", "old");
        EXPECT_EQ(component->GetRemoteFile(1, "nowhere.bin", local.File("nowhere.bin"), nullptr, 0), -1)
            << (servers.empty() ? "empty list" : servers[0].Address);
        EXPECT_TRUE(local.Read("nowhere.bin") == "old");
    }
    EXPECT_TRUE(tree.RequestsUnder("/1/nowhere.bin").empty());
}

TEST_F(TransferTest, KeepsConnectionsAliveAcrossFiles) {
    constexpr int kFiles = 60;
    for (int i = 0; i < kFiles; ++i) tree.Put(3, "reuse\\" + std::to_string(i) + ".bin", RandomBytes(4096, i));
    auto component = Component();
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "reuse\\" + std::to_string(i) + ".bin";
        ASSERT_EQ(component->GetRemoteFile(3, name, local.File(std::to_string(i)), nullptr, 0), 4096);
    }
    const auto requests = tree.RequestsUnder("/3/reuse/");
    ASSERT_EQ(requests.size(), static_cast<size_t>(kFiles));
    std::set<int> connections;
    for (const auto& request : requests) connections.insert(request.connection);
    EXPECT_EQ(connections.size(), 1u);
}

TEST_F(TransferTest, NamesReachTheServerIntact) {
    const struct {
        std::string gbkName;
        std::string utf8Path;
    } cases[] = {
        {"name with spaces.txt", "/1/name with spaces.txt"},
        {"100%.txt", "/1/100%.txt"},
        {"%41%2F.txt", "/1/%41%2F.txt"},
        {"a#b.txt", "/1/a#b.txt"},
        {"what?x=1.txt", "/1/what?x=1.txt"},  // no file system takes that name: served from memory
        {"a+b&c;d=e.txt", "/1/a+b&c;d=e.txt"},
        {"\xb9\xdc\xbc\xd2\\\xc9\xfd\xbc\xb6 1.txt",  // 管家\升级 1.txt
         "/1/\xe7\xae\xa1\xe5\xae\xb6/\xe5\x8d\x87\xe7\xba\xa7 1.txt"},
    };
    auto component = Component();
    int index = 0;
    for (const auto& c : cases) {
        const std::string content = "content of " + c.utf8Path;
        if (c.gbkName.find('?') == std::string::npos) {
            tree.Put(1, c.gbkName, content);
        } else {
            tree.SetFault(c.utf8Path, "body", "\"text\": \"" + content + "\"");
        }
        const std::string target = local.File("n" + std::to_string(index++));
        EXPECT_EQ(component->GetRemoteFile(1, c.gbkName, target, nullptr, 0), static_cast<int32_t>(content.size()))
            << c.utf8Path;
        EXPECT_EQ(tree.RequestsUnder(c.utf8Path).size(), 1u) << c.utf8Path;
        EXPECT_EQ(local.Read(target.substr(local.Path().size())), content);
    }
}

TEST_F(TransferTest, WritesIntoFoldersWithGbkNames) {
    tree.Put(1, "gbk-target.bin", "bytes");
    const std::string folder = "\xb9\xdc\xbc\xd2\\";  // 管家
    local.Write(folder + "placeholder", "");
    auto component = Component();
    EXPECT_EQ(component->GetRemoteFile(1, "gbk-target.bin", local.File(folder + "f.bin"), nullptr, 0), 5);
    EXPECT_EQ(local.Read(folder + "f.bin"), "bytes");
}
}  // namespace
