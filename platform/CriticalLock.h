// A recursive lock: a critical section on Windows, a recursive mutex elsewhere.
#pragma once

#include "Platform.h"

#ifndef _WIN32
#include <mutex>
#endif

class CriticalLock {
  public:
    CriticalLock();
    ~CriticalLock();
    CriticalLock(const CriticalLock&) = delete;
    CriticalLock& operator=(const CriticalLock&) = delete;

    void Enter();
    void Leave();

  private:
#ifdef _WIN32
    CRITICAL_SECTION section_;
#else
    std::recursive_mutex mutex_;
#endif
};

// Holds a CriticalLock for the lifetime of a scope.
class LockHold {
  public:
    explicit LockHold(CriticalLock& lock) : lock_(lock) { lock_.Enter(); }
    ~LockHold() { lock_.Leave(); }
    LockHold(const LockHold&) = delete;
    LockHold& operator=(const LockHold&) = delete;

  private:
    CriticalLock& lock_;
};
