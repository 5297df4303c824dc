#include "transfer/transfer_win.h"

#include "support/gzip_maker.h"
#include "support/served_tree_win.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <future>
#include <set>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {
constexpr UINT kNotify = WM_USER + 602;
using Notice = std::pair<uint64_t, int64_t>;

// A hidden window on a thread of its own that pumps messages and records
// every notification, as the update dialog would receive them.
class NotifyWindow {
public:
    explicit NotifyWindow(bool closeOnFirstProgress = false) : closeOnFirstProgress_(closeOnFirstProgress) {
        std::promise<HWND> created;
        auto window = created.get_future();
        thread_ = std::thread([this, &created] { Pump(created); });
        window_ = window.get();
    }
    ~NotifyWindow() {
        if (IsWindow(window_)) PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    HWND Handle() const { return window_; }
    std::vector<Notice> Notices() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return notices_;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<NotifyWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == kNotify && self) {
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->notices_.emplace_back(static_cast<uint64_t>(wParam), static_cast<int64_t>(lParam));
            }
            if (self->closeOnFirstProgress_ && static_cast<LPARAM>(wParam) != lParam) DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void Pump(std::promise<HWND>& created) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &NotifyWindow::Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TransferNotifyTest";
        RegisterClassW(&windowClass);  // a second window finds it registered
        HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                      windowClass.hInstance, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        created.set_value(window);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    }

    bool closeOnFirstProgress_;
    mutable std::mutex mutex_;
    std::vector<Notice> notices_;
    HWND window_ = nullptr;
    std::thread thread_;
};

class NotifyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tree.Available()) << "run me through tests/server/update_server.py";
        tree.ClearFaults();
        component = std::make_unique<CQIRAUpdateIntf>(std::vector<S_UpdateSerivceAddr>{tree.Server()}, false);
    }
    ServedTree tree;
    TempDir local;
    std::unique_ptr<CQIRAUpdateIntf> component;
};

TEST_F(NotifyTest, ProgressThenOneCompletionPerFileInOrder) {
    // 1 MiB in 64 KiB steps every 50 ms: progress is due several times.
    const std::string slow = RandomBytes(1024 * 1024, 10);
    tree.Put(1, "notify-slow.bin", slow);
    tree.SetFault("/1/notify-slow.bin", "trickle", R"("step": 65536, "delay": 0.05)");
    tree.Put(1, "notify-empty.bin", "");
    tree.Put(1, "notify-chunked.bin", RandomBytes(300000, 11));
    tree.SetFault("/1/notify-chunked.bin", "chunked");
    const struct {
        const char* name;
        uint64_t size;
    } files[] = {{"notify-slow.bin", slow.size()}, {"notify-empty.bin", 0}, {"notify-chunked.bin", 300000}};

    NotifyWindow window;
    for (const auto& file : files) {
        ASSERT_EQ(component->GetRemoteFile(1, file.name, local.File(file.name), window.Handle(), kNotify),
                  static_cast<int32_t>(file.size));
    }
    const std::vector<Notice> notices = window.Notices();
    size_t at = 0;
    for (const auto& file : files) {
        uint64_t last = 0;
        size_t progress = 0;
        for (; at < notices.size() && notices[at].first != static_cast<uint64_t>(notices[at].second); ++at, ++progress) {
            EXPECT_EQ(notices[at].second, static_cast<int64_t>(file.size)) << file.name;
            EXPECT_GT(notices[at].first, last) << file.name;
            EXPECT_LT(notices[at].first, file.size) << file.name;
            last = notices[at].first;
        }
        ASSERT_LT(at, notices.size()) << "no completion for " << file.name;
        EXPECT_EQ(notices[at], Notice(file.size, static_cast<int64_t>(file.size))) << file.name;
        ++at;
        if (file.size == slow.size()) {
            EXPECT_GE(progress, 2u) << "a slow file shows its progress";
        } else {
            EXPECT_EQ(progress, 0u) << file.name << ": nothing to show, or no total to show it against";
        }
    }
    EXPECT_EQ(at, notices.size());
}

// A compressed file shows the bytes that travel: its progress counts up
// the .gz, and its completion is the decoded file's size, which the dialog
// checks against the manifest.
TEST_F(NotifyTest, ACompressedFileShowsTheCompressedBytesAndCompletesWithItsOwnSize) {
    const std::string plain = RandomText(3 * 1024 * 1024, 15);
    const std::string compressed = Gzip(plain);
    tree.Put(1, "packed.dll", plain);
    tree.Put(1, "packed.dll.gz", compressed);
    tree.SetFault("/1/packed.dll.gz", "trickle", R"("step": 65536, "delay": 0.05)");
    NotifyWindow window;
    const RemoteFile file{"packed.dll", local.File("packed.dll"), GzipForm(compressed.size(), plain.size())};
    ASSERT_EQ(component->GetRemoteFiles(1, {file}, {window.Handle(), kNotify, {}}).Status, FetchStatus::Fetched);
    const std::vector<Notice> notices = window.Notices();
    ASSERT_GE(notices.size(), 3u);
    uint64_t last = 0;
    for (size_t i = 0; i + 1 < notices.size(); ++i) {
        EXPECT_EQ(notices[i].second, static_cast<int64_t>(compressed.size()));
        EXPECT_GT(notices[i].first, last);
        EXPECT_LT(notices[i].first, compressed.size());
        last = notices[i].first;
    }
    EXPECT_EQ(notices.back(), Notice(plain.size(), static_cast<int64_t>(plain.size())));
    EXPECT_TRUE(local.Read("packed.dll") == plain);
}

// Sixteen files side by side, each answered after its own delay, the later
// ones sooner: the window still sees one completion per file, in list
// order, and no progress notice that could pass for one.
TEST_F(NotifyTest, ABatchCompletesInListOrderWhateverOrderTheServerAnswersIn) {
    std::vector<RemoteFile> files;
    std::vector<uint64_t> sizes;
    for (int i = 0; i < 16; ++i) {
        const std::string name = "order-" + std::to_string(i) + ".bin";
        sizes.push_back(1000 + 97 * i);
        tree.Put(1, name, RandomBytes(sizes.back(), i));
        tree.SetFault("/1/" + name, "delay", "\"seconds\": " + std::to_string((15 - i) % 5 * 0.1));
        files.push_back({name, local.File(name)});
    }
    NotifyWindow window;
    ASSERT_EQ(component->GetRemoteFiles(1, files, {window.Handle(), kNotify, {}}).Status, FetchStatus::Fetched);
    std::vector<uint64_t> completed;
    for (const Notice& notice : window.Notices()) {
        ASSERT_EQ(static_cast<int64_t>(notice.first), notice.second) << "a progress notice for files this small";
        completed.push_back(notice.first);
    }
    EXPECT_EQ(completed, sizes);
    for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(local.Read(files[i].Name).size(), sizes[i]);
    std::set<int> connections;
    for (const LoggedRequest& request : tree.RequestsUnder("/1/order-")) connections.insert(request.connection);
    EXPECT_GT(connections.size(), 1u) << "side by side";
    EXPECT_LE(connections.size(), CQIRAUpdateIntf::kFilesAtOnce) << "one kept-alive connection each";
}

TEST_F(NotifyTest, AFailureInABatchIsReportedAfterItsPredecessorsOnly) {
    std::vector<RemoteFile> files;
    for (int i = 0; i < 12; ++i) {
        const std::string name = "gap-" + std::to_string(i) + ".bin";
        if (i != 5) tree.Put(1, name, std::string(100 + i, 'x'));
        files.push_back({name, local.File(name)});
    }
    NotifyWindow window;
    ASSERT_EQ(component->GetRemoteFiles(1, files, {window.Handle(), kNotify, {}}).Status, FetchStatus::Failed);
    std::vector<Notice> expected;
    for (int i = 0; i < 5; ++i) expected.emplace_back(100 + i, 100 + i);
    EXPECT_EQ(window.Notices(), expected);
    EXPECT_FALSE(local.Exists("gap-5.bin"));
}

TEST_F(NotifyTest, NothingWithoutAWindowOrAMessage) {
    tree.Put(1, "quiet.bin", RandomBytes(200000, 12));
    tree.SetFault("/1/quiet.bin", "trickle", R"("step": 65536, "delay": 0.12)");
    NotifyWindow window;
    EXPECT_EQ(component->GetRemoteFile(1, "quiet.bin", local.File("a"), nullptr, kNotify), 200000);
    EXPECT_EQ(component->GetRemoteFile(1, "quiet.bin", local.File("b"), window.Handle(), 0), 200000);
    EXPECT_TRUE(window.Notices().empty());
}

TEST_F(NotifyTest, FailureSendsNoCompletion) {
    tree.Put(1, "notify-cut.bin", RandomBytes(500000, 13));
    tree.SetFault("/1/notify-cut.bin", "cut", R"("keep": 400000)");
    NotifyWindow window;
    EXPECT_EQ(component->GetRemoteFile(1, "notify-cut.bin", local.File("cut"), window.Handle(), kNotify), -1);
    for (const Notice& notice : window.Notices()) {
        EXPECT_NE(static_cast<int64_t>(notice.first), notice.second);
        EXPECT_NE(notice.second, -1);
    }
}

TEST_F(NotifyTest, ClosingTheWindowStopsTheTransfer) {
    tree.Put(1, "closed.bin", RandomBytes(2 * 1024 * 1024, 14));
    tree.SetFault("/1/closed.bin", "trickle", R"("step": 65536, "delay": 0.05)");
    local.Write("closed.bin", "old");
    NotifyWindow window(true);
    EXPECT_EQ(component->GetRemoteFile(1, "closed.bin", local.File("closed.bin"), window.Handle(), kNotify), -1);
    EXPECT_EQ(local.Read("closed.bin"), "old");
    EXPECT_EQ(window.Notices().size(), 1u);
    EXPECT_FALSE(local.Exists("closed.bin.part"));
    // A window that is gone before the call stops it at once.
    EXPECT_EQ(component->GetRemoteFile(1, "closed.bin", local.File("closed.bin"), window.Handle(), kNotify), -1);
    EXPECT_EQ(local.Read("closed.bin"), "old");
}
}  // namespace
