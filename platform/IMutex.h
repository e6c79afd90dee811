// A recursive lock: a critical section on Windows, a recursive mutex elsewhere.
// Re-entry on the owning thread is expected (hooks call back into locked code).
#pragma once

class IMutex {
 public:
  IMutex();
  ~IMutex();
  IMutex(const IMutex&) = delete;
  IMutex& operator=(const IMutex&) = delete;

  void Enter();
  void Leave();

 private:
  alignas(16) unsigned char mStorage[64];  // the platform object lives here
};

// Holds an IMutex for the life of a scope.
class IMutexLock {
 public:
  explicit IMutexLock(IMutex& mutex) : mMutex(mutex) { mMutex.Enter(); }
  ~IMutexLock() { mMutex.Leave(); }
  IMutexLock(const IMutexLock&) = delete;
  IMutexLock& operator=(const IMutexLock&) = delete;

 private:
  IMutex& mMutex;
};
