#include "base/thread_base_win.h"

#include "base/handles_win.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {
UniqueHandle NewEvent() {
    return UniqueHandle(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

bool Signalled(const UniqueHandle& event, DWORD millis = 10000) {
    return WaitForSingleObject(event.get(), millis) == WAIT_OBJECT_0;
}

// Runs one iteration per signal of `step` until a stop is requested.
class CStepper : public CThreadBase {
public:
    ~CStepper() override { StopAndWait(); }

    UniqueHandle step = NewEvent();
    UniqueHandle entered = NewEvent();
    UniqueHandle ended = NewEvent();
    std::atomic<int> iterations{0};

protected:
    void Run() override {
        while (!StopRequested()) {
            SetEvent(entered.get());
            WaitForSingleObject(step.get(), INFINITE);
            ++iterations;
        }
        SetEvent(ended.get());
    }
};

TEST(ThreadBase, TerminateTakesEffectBetweenIterationsAndNeverWaits) {
    CStepper stepper;
    ASSERT_TRUE(stepper.Start());
    ASSERT_TRUE(Signalled(stepper.entered));
    SetEvent(stepper.step.get());
    ASSERT_TRUE(Signalled(stepper.entered));  // the second iteration is under way
    stepper.Terminate();                      // returns although the worker is blocked
    EXPECT_FALSE(Signalled(stepper.ended, 200)) << "the iteration under way finishes first";
    // A worker that still runs keeps the end of the process waiting.
    EXPECT_FALSE(WaitUntilNoWorkRuns(std::chrono::milliseconds(50)));
    SetEvent(stepper.step.get());
    ASSERT_TRUE(Signalled(stepper.ended));
    EXPECT_EQ(stepper.iterations.load(), 2);
    EXPECT_TRUE(WaitUntilNoWorkRuns(std::chrono::seconds(5)));
}

TEST(ThreadBase, DestructorEndsASuspendedOrAnIdleWorker) {
    {
        CStepper never;  // not started: nothing to wait for
    }
    auto suspended = std::make_unique<CStepper>();
    ASSERT_TRUE(suspended->Start());
    ASSERT_TRUE(Signalled(suspended->entered));
    suspended->Suspend();
    suspended->Suspend();
    SetEvent(suspended->step.get());
    suspended.reset();  // returns only when Run has returned
}

// Blocks in SendMessage to a window of the thread that will destroy it.
class CSender : public CThreadBase {
public:
    explicit CSender(HWND target) : target_(target) {}
    ~CSender() override { StopAndWait(); }

    UniqueHandle sending = NewEvent();
    std::atomic<bool> sendReturned{false};

protected:
    void Run() override {
        SetEvent(sending.get());
        SendMessageW(target_, WM_APP, 0, 0);
        sendReturned = true;
        while (!StopRequested()) Sleep(1);
    }

private:
    HWND target_;
};

std::atomic<int> handledOnOwner{0};
DWORD ownerThread = 0;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        if (GetCurrentThreadId() == ownerThread) ++handledOnOwner;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(ThreadBase, DestructorServesAWorkerBlockedInSendMessage) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &OwnerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ThreadBaseOwnerTest";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    ownerThread = GetCurrentThreadId();
    handledOnOwner = 0;

    auto sender = std::make_unique<CSender>(window);
    ASSERT_TRUE(sender->Start());
    ASSERT_TRUE(Signalled(sender->sending));
    Sleep(50);  // let it block in SendMessage; this thread pumps nothing meanwhile
    const bool returnedEarly = sender->sendReturned;
    sender.reset();  // would deadlock if the wait did not serve sent messages
    EXPECT_FALSE(returnedEarly);
    EXPECT_EQ(handledOnOwner.load(), 1);
    DestroyWindow(window);
}
}  // namespace
