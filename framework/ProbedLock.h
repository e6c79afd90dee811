// The plug-in lock as the bindings' process entries take it. A probe, when a
// test sets one, hears just before the wait and just after the lock is had,
// so the audio thread's waits can be measured from outside.
#pragma once

#include <atomic>

#include "platform/IMutex.h"

using LockProbe = void (*)(bool held);

class ProbedLock {
 public:
  ProbedLock(IMutex& mutex, const std::atomic<LockProbe>& probe) : mMutex(mutex) {
    const LockProbe heard = probe.load(std::memory_order_relaxed);
    if (heard) heard(false);
    mMutex.Enter();
    if (heard) heard(true);
  }
  ~ProbedLock() { mMutex.Leave(); }
  ProbedLock(const ProbedLock&) = delete;
  ProbedLock& operator=(const ProbedLock&) = delete;

 private:
  IMutex& mMutex;
};
