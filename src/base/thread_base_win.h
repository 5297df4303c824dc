#pragma once
// Base of the worker threads: the derived class supplies Run().
#include "base/handles_win.h"
#include "base/running_work.h"

#include <windows.h>

#include <atomic>
#include <optional>

class CThreadBase {
public:
    CThreadBase() = default;
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;
    // Requests a stop and waits for Run to return, dispatching messages sent
    // to this thread meanwhile, so a worker blocked in SendMessage to one of
    // this thread's windows cannot deadlock it.
    virtual ~CThreadBase();

    virtual bool Start();
    virtual void Resume();
    virtual void Suspend();
    // Records a stop request; never waits.
    virtual void Terminate();

protected:
    virtual void Run() = 0;
    bool StopRequested() const { return stop_.load(); }
    // Derived destructors call this first, so that Run never sees a half-destroyed object.
    void StopAndWait();

private:
    static DWORD WINAPI ThreadProc(LPVOID self);
    std::atomic<bool> stop_{false};
    UniqueHandle thread_;
    std::optional<CRunningWork> running_;  // from Start until Run has returned
};
