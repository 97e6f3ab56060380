// A critical section held while the owner is in scope.
#pragma once

#include <windows.h>

class HeldLock {
public:
    explicit HeldLock(CRITICAL_SECTION &lock) : lock_(lock) { EnterCriticalSection(&lock_); }
    ~HeldLock() { LeaveCriticalSection(&lock_); }
    HeldLock(const HeldLock &) = delete;
    HeldLock &operator=(const HeldLock &) = delete;

private:
    CRITICAL_SECTION &lock_;
};
