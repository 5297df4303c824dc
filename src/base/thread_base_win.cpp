#include "base/thread_base_win.h"

CThreadBase::~CThreadBase() {
    StopAndWait();
}

bool CThreadBase::Start() {
    if (thread_) return false;
    stop_.store(false);
    running_.emplace();
    thread_.reset(CreateThread(nullptr, 0, &CThreadBase::ThreadProc, this, 0, nullptr));
    if (!thread_) running_.reset();
    return static_cast<bool>(thread_);
}

void CThreadBase::Resume() {
    if (thread_) ResumeThread(thread_.get());
}

void CThreadBase::Suspend() {
    if (thread_) SuspendThread(thread_.get());
}

void CThreadBase::Terminate() {
    stop_.store(true);
}

void CThreadBase::StopAndWait() {
    if (!thread_) return;
    stop_.store(true);
    // A suspended worker would never see the request.
    for (DWORD previous = ResumeThread(thread_.get()); previous != static_cast<DWORD>(-1) && previous > 1;) {
        previous = ResumeThread(thread_.get());
    }
    HANDLE thread = thread_.get();
    for (;;) {
        // MWMO_INPUTAVAILABLE: a message sent before the wait began counts too.
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (woken != WAIT_OBJECT_0 + 1) break;  // the thread ended, or the wait itself failed
        // Peeking with no message to remove runs the handlers of messages sent
        // from other threads, and only those: posted input stays queued for
        // the owner's own loop.
        MSG ignored;
        PeekMessageW(&ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.reset();
}

DWORD WINAPI CThreadBase::ThreadProc(LPVOID self) {
    auto* thread = static_cast<CThreadBase*>(self);
    thread->Run();
    thread->running_.reset();
    return 0;
}
