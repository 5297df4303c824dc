#pragma once
// The lock that keeps updaters apart: one named mutex, owned by the updater
// that runs. A run holds it from start to end, except while it watches the
// program it started after an install: the program may start an updater of
// its own (a data package at its start), and a watch of a minute must not
// keep that one out. The watch takes the lock again before it rolls back.
#include "base/handles_win.h"

class CInstanceLock {
public:
    static constexpr wchar_t kMutexName[] = L"WIN32.DURNUpdateWizard.Instance.Once";

    CInstanceLock() = default;
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Takes the lock unless another updater holds it (false). When the
    // mutex cannot be made at all, the run goes on unguarded (true).
    bool TakeIfFree();
    // Lets another updater in; the mutex stays open for Take.
    void Release();
    // Waits for the lock for as long as another updater holds it. An
    // updater that ended without giving it back (a kill) leaves it
    // abandoned, which is taken at once.
    void Take();

private:
    UniqueHandle mutex_;
    bool held_ = false;
};
