#include "engine/instance_lock_win.h"

CInstanceLock::~CInstanceLock() { Release(); }

bool CInstanceLock::TakeIfFree() {
    // Not through the creator's initial ownership: the mutex exists as long
    // as any updater has it open, and one that only watches has it open
    // without holding it. Whether it is free is what a wait of no time tells.
    mutex_.reset(CreateMutexW(nullptr, FALSE, kMutexName));
    if (!mutex_) return true;
    const DWORD waited = WaitForSingleObject(mutex_.get(), 0);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return held_;
}

void CInstanceLock::Release() {
    if (held_ && mutex_) ReleaseMutex(mutex_.get());
    held_ = false;
}

void CInstanceLock::Take() {
    if (held_ || !mutex_) return;
    const DWORD waited = WaitForSingleObject(mutex_.get(), INFINITE);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}
