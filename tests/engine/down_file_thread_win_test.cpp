#include "engine/down_file_thread_win.h"

#include "base/handles_win.h"
#include "support/served_tree_win.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

namespace {
constexpr DWORD kRunLimitMillis = 60000;

struct Notice {
    WPARAM received;
    LPARAM total;
    bool operator==(const Notice& other) const { return received == other.received && total == other.total; }
};
constexpr Notice kFailure{0, -1};

bool IsFailure(const Notice& notice) { return notice == kFailure; }
bool IsCompletion(const Notice& notice) { return static_cast<LPARAM>(notice.received) == notice.total; }

struct WindowDestroyer {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// A window on the test's thread that records every WM_DOWNFILE_NOTIFY and
// lets a test act from inside the handler, as the update dialog does.
class NoticeWindow {
public:
    NoticeWindow() {
        static const ATOM windowClass = [] {
            WNDCLASSW description{};
            description.lpfnWndProc = &NoticeWindow::Procedure;
            description.hInstance = GetModuleHandleW(nullptr);
            description.lpszClassName = L"DownFileThreadTestNotices";
            return RegisterClassW(&description);
        }();
        window_.reset(CreateWindowExW(0, MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr));
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    HWND Handle() const { return window_.get(); }
    const std::vector<Notice>& Notices() const { return notices_; }
    size_t Completions() const { return std::count_if(notices_.begin(), notices_.end(), IsCompletion); }

    std::function<void(const Notice&)> onNotice;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message != WM_DOWNFILE_NOTIFY || !self) return DefWindowProcW(window, message, wParam, lParam);
        self->notices_.push_back({wParam, lParam});
        if (self->onNotice) self->onNotice(self->notices_.back());
        return 0;
    }

    UniqueWindow window_;
    std::vector<Notice> notices_;
};

// The thread under test, telling when its run has ended by itself: waiting
// through the destructor would request a stop and change what is tested.
class ObservedThread : public CDownFileThread {
public:
    using CDownFileThread::CDownFileThread;
    ~ObservedThread() override { StopAndWait(); }

    // Handles sent and posted messages until the run has ended.
    bool PumpUntilRunEnded() const {
        const HANDLE ended = ended_.get();
        const ULONGLONG deadline = GetTickCount64() + kRunLimitMillis;
        for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64()) {
            const DWORD woken = MsgWaitForMultipleObjectsEx(1, &ended, static_cast<DWORD>(deadline - now),
                                                            QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woken == WAIT_OBJECT_0) return true;
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
        return false;
    }

protected:
    void Run() override {
        CDownFileThread::Run();
        SetEvent(ended_.get());
    }

private:
    UniqueHandle ended_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// Ends the whole test program when a step hangs, which a deadlock would do.
class Watchdog {
public:
    explicit Watchdog(const char* step) : step_(step) {
        thread_.reset(CreateThread(nullptr, 0, &Watchdog::Watch, this, 0, nullptr));
    }
    ~Watchdog() {
        SetEvent(done_.get());
        WaitForSingleObject(thread_.get(), INFINITE);
    }

private:
    static DWORD WINAPI Watch(LPVOID self) {
        auto* watchdog = static_cast<Watchdog*>(self);
        if (WaitForSingleObject(watchdog->done_.get(), kRunLimitMillis) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "hung: %s\n", watchdog->step_);
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        return 0;
    }

    const char* step_;
    UniqueHandle done_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle thread_;
};

class DownFileThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(served.Available()) << "run me through tests/server/update_server.py"; }

    // Configured as the update dialog does it.
    std::unique_ptr<ObservedThread> Thread(HWND notifyWindow, const std::string& savePath,
                                           const std::vector<std::string>& names, uint32_t type = 1) const {
        auto thread = std::make_unique<ObservedThread>(std::vector<S_UpdateSerivceAddr>{served.Server()}, false,
                                                       notifyWindow, WM_DOWNFILE_NOTIFY);
        thread->SetSavePath(savePath);
        std::vector<S_UpdateFileInfo> files(names.size());
        for (size_t i = 0; i < names.size(); ++i) files[i].FileName = names[i];
        thread->SetFileList(files);
        thread->SetPackageType(type);
        return thread;
    }
    std::unique_ptr<ObservedThread> Thread(const std::vector<std::string>& names, uint32_t type = 1) const {
        return Thread(window.Handle(), local.Path(), names, type);
    }

    void RunToEnd(ObservedThread& thread) const {
        ASSERT_TRUE(thread.Start());
        ASSERT_TRUE(thread.PumpUntilRunEnded());
    }

    std::vector<std::string> PathsRequestedUnder(const std::string& prefix) const {
        std::vector<std::string> paths;
        for (const LoggedRequest& request : served.RequestsUnder(prefix)) paths.push_back(request.path);
        return paths;
    }

    ServedTree served;
    TempDir local;
    NoticeWindow window;
};

TEST_F(DownFileThreadTest, AnEmptyListFetchesAndSendsNothing) {
    const size_t requestsBefore = served.Requests().size();
    auto thread = Thread({});
    RunToEnd(*thread);
    EXPECT_TRUE(window.Notices().empty());
    EXPECT_EQ(served.Requests().size(), requestsBefore);
}

TEST_F(DownFileThreadTest, AllFilesArriveInOrderWithNothingFromTheThreadItself) {
    const std::string first = RandomBytes(70000, 1), second = RandomBytes(5, 2);
    served.Put(1, "all-1.bin", first);
    served.Put(1, "all-2.bin", second);
    served.Put(1, "all-3.bin", "");
    auto thread = Thread({"all-1.bin", "all-2.bin", "all-3.bin"});
    RunToEnd(*thread);

    EXPECT_TRUE(local.Read("all-1.bin") == first);
    EXPECT_EQ(local.Read("all-2.bin"), second);
    EXPECT_TRUE(local.Exists("all-3.bin"));
    std::vector<Notice> completions;
    for (const Notice& notice : window.Notices()) {
        if (IsCompletion(notice)) completions.push_back(notice);
    }
    EXPECT_EQ(completions, (std::vector<Notice>{{70000, 70000}, {5, 5}, {0, 0}}));
    EXPECT_TRUE(std::none_of(window.Notices().begin(), window.Notices().end(), IsFailure));
}

TEST_F(DownFileThreadTest, ItsTransfersAttemptsReachTheObserver) {
    served.Put(1, "seen-1.bin", "one");
    auto thread = Thread({"seen-1.bin", "seen-missing.bin"});
    std::vector<TransferAttempt> attempts;  // the observer's calls come one at a time
    thread->SetAttemptObserver([&](const TransferAttempt& attempt) { attempts.push_back(attempt); });
    RunToEnd(*thread);
    ASSERT_EQ(attempts.size(), 2u);
    std::sort(attempts.begin(), attempts.end(),
              [](const TransferAttempt& a, const TransferAttempt& b) { return a.RemoteName < b.RemoteName; });
    EXPECT_EQ(attempts[0].End, AttemptEnd::Fetched);
    EXPECT_EQ(attempts[0].Bytes, 3u);
    EXPECT_EQ(attempts[1].Why.Kind, FailureKind::HttpStatus);
    EXPECT_EQ(attempts[1].Why.HttpStatus, 404u);
}

TEST_F(DownFileThreadTest, AFailedFileEndsTheListWithOneNotice) {
    const struct {
        const char* tag;
        const char* fault;  // of the second file; none: the file is missing
        const char* parameters;
    } cases[] = {
        {"status", "status", R"("status": 500)"},
        {"cut", "cut", R"("keep": 100)"},
        {"reset", "reset", R"("keep": 100)"},
        {"missing", nullptr, nullptr},
    };
    const std::string bytes = RandomBytes(3000, 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        const std::string prefix = std::string("fail-") + c.tag;
        const std::vector<std::string> names{prefix + "-1.bin", prefix + "-2.bin", prefix + "-3.bin"};
        for (size_t i = 0; i < names.size(); ++i) {
            if (i != 1 || c.fault) served.Put(1, names[i], bytes);
        }
        if (c.fault) served.SetFault("/1/" + names[1], c.fault, c.parameters);
        NoticeWindow notices;
        TempDir folder;
        auto thread = Thread(notices.Handle(), folder.Path(), names);
        RunToEnd(*thread);

        EXPECT_TRUE(folder.Read(names[0]) == bytes);
        EXPECT_FALSE(folder.Exists(names[1]));
        // The third file may have travelled beside the second; if so, it is whole.
        if (folder.Exists(names[2])) {
            EXPECT_TRUE(folder.Read(names[2]) == bytes);
        }
        ASSERT_FALSE(notices.Notices().empty());
        EXPECT_EQ(notices.Notices().back(), kFailure);
        EXPECT_EQ(std::count_if(notices.Notices().begin(), notices.Notices().end(), IsFailure), 1);
        EXPECT_EQ(notices.Completions(), 1u);
    }
}

// The second file would take longer to trickle in than the pump waits for
// the run to end: only a stop that ends its transfer lets the run end in time.
TEST_F(DownFileThreadTest, AStopEndsEveryTransferAtOnce) {
    const std::string slow = RandomBytes(2 * 1024 * 1024, 4);
    served.Put(1, "stop-1.bin", "first");
    served.Put(1, "stop-2.bin", slow);
    served.Put(1, "stop-3.bin", "third");
    served.SetFault("/1/stop-2.bin", "trickle", R"("step": 32768, "delay": 1.0)");
    local.Write("stop-2.bin", "old");
    auto thread = Thread({"stop-1.bin", "stop-2.bin", "stop-3.bin"});
    size_t noticesAtStop = 0;
    window.onNotice = [&](const Notice& notice) {
        // As the dialog does: the stop request comes from within the handler
        // of a sent notice, while the worker waits for it.
        if (noticesAtStop == 0 && window.Completions() == 1 && !IsCompletion(notice)) {
            noticesAtStop = window.Notices().size();
            thread->Terminate();
        }
    };
    RunToEnd(*thread);

    ASSERT_GT(noticesAtStop, 0u) << "the stop was never requested";
    EXPECT_EQ(window.Notices().size(), noticesAtStop) << "nothing is reported after the stop";
    EXPECT_EQ(local.Read("stop-1.bin"), "first");
    EXPECT_EQ(local.Read("stop-2.bin"), "old");
    EXPECT_TRUE(std::none_of(window.Notices().begin(), window.Notices().end(), IsFailure));
}

TEST_F(DownFileThreadTest, TheSavePathGetsExactlyOneSeparator) {
    const struct {
        const char* folder;  // as given to SetSavePath, below the test's folder
        const char* created;
    } cases[] = {
        {"plain", "plain"},
        {"slashed\\", "slashed"},
        // The last byte is the trail byte 0x5C of a GBK character, no separator.
        {"\x81\x5c", "\x81\x5c"},  // 乗
        {"\x81\x5c\\", "\x81\x5c"},
    };
    served.Put(1, "sep.bin", "separated");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.created);
        TempDir base;
        auto thread = Thread(window.Handle(), base.Path() + c.folder, {"sep.bin"});
        RunToEnd(*thread);
        EXPECT_EQ(base.Read(std::string(c.created) + "\\sep.bin"), "separated");
        size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(TempDir::ToFsPath(base.Path())))
            ++entries;
        EXPECT_EQ(entries, 1u);
    }
}

TEST_F(DownFileThreadTest, NamesWithSubFoldersGetTheirFoldersOfTheirPackageType) {
    const std::vector<std::string> names{"skin\\a.png", "skin\\b.png", "skin\\deep\\er\\c.png"};
    for (const std::string& name : names) served.Put(7, name, "png of " + name);
    auto thread = Thread(names, 7);
    RunToEnd(*thread);

    for (const std::string& name : names) EXPECT_EQ(local.Read(name), "png of " + name);
    // Fetched side by side: in any order.
    std::vector<std::string> requested = PathsRequestedUnder("/7/skin/");
    std::sort(requested.begin(), requested.end());
    EXPECT_EQ(requested, (std::vector<std::string>{"/7/skin/a.png", "/7/skin/b.png", "/7/skin/deep/er/c.png"}));
    EXPECT_TRUE(std::none_of(window.Notices().begin(), window.Notices().end(), IsFailure));
}

TEST_F(DownFileThreadTest, DestroyingItWhileTheWorkerWaitsInASendReturns) {
    auto thread = Thread({"absent-on-purpose.bin"});
    ASSERT_TRUE(thread->Start());
    // The failure notice is sent to this thread's window, and this thread
    // pumps nothing: the worker waits in SendMessage until it does.
    const ULONGLONG deadline = GetTickCount64() + kRunLimitMillis;
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) && GetTickCount64() < deadline) Sleep(10);
    ASSERT_TRUE(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) << "the worker never sent its notice";
    {
        const Watchdog watchdog("destroying the thread object while its worker waits in SendMessage");
        thread.reset();
    }
    EXPECT_EQ(window.Notices(), std::vector<Notice>{kFailure});
}
}  // namespace
