#include "tests/validator/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QV_SANITIZED 1
#endif
#endif

#if defined(__linux__) && !defined(QV_SANITIZED)
#define QV_INTERPOSE 1
#include <dlfcn.h>
#include <pthread.h>
#endif

namespace {
// Plain thread-locals: reading them allocates nothing.
thread_local bool tCounting = false;
thread_local long tAllocations = 0;
thread_local long tForeignLocks = 0;
thread_local const char* tLockBegin = nullptr;
thread_local const char* tLockEnd = nullptr;

inline void CountAllocation() {
  if (tCounting) ++tAllocations;
}
}  // namespace

namespace alloccount {

bool Active() {
#ifdef QV_SANITIZED
  return false;
#else
  return true;
#endif
}

bool SeesMallocAndLocks() {
#ifdef QV_INTERPOSE
  return true;
#else
  return false;
#endif
}

void Begin(const void* instanceLock, unsigned long instanceLockSize) {
  tAllocations = 0;
  tForeignLocks = 0;
  tLockBegin = static_cast<const char*>(instanceLock);
  tLockEnd = tLockBegin + instanceLockSize;
  tCounting = true;
}

Counts End() {
  tCounting = false;
  return {tAllocations, tForeignLocks};
}

}  // namespace alloccount

#ifndef QV_SANITIZED
// The sanitizers keep their own books on every allocation: replacing
// operator new under them confuses ThreadSanitizer's, so there is no count there.
void* operator new(std::size_t size) {
  CountAllocation();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  CountAllocation();
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& t) noexcept { return operator new(size, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#endif

#ifdef QV_INTERPOSE
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);

void* malloc(size_t size) {
  CountAllocation();
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  CountAllocation();
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
  CountAllocation();
  return __libc_realloc(p, size);
}

namespace {
using LockFn = int (*)(pthread_mutex_t*);
LockFn RealLock(const char* name) { return reinterpret_cast<LockFn>(dlsym(RTLD_NEXT, name)); }
LockFn gLock = RealLock("pthread_mutex_lock");
LockFn gTryLock = RealLock("pthread_mutex_trylock");
inline void CountLock(const void* m) {
  const char* p = static_cast<const char*>(m);
  if (tCounting && (p < tLockBegin || p >= tLockEnd)) ++tForeignLocks;
}
}  // namespace

int pthread_mutex_lock(pthread_mutex_t* m) {
  CountLock(m);
  if (!gLock) gLock = RealLock("pthread_mutex_lock");
  return gLock(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
  CountLock(m);
  if (!gTryLock) gTryLock = RealLock("pthread_mutex_trylock");
  return gTryLock(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
  CountLock(l);
  using Fn = int (*)(pthread_rwlock_t*);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "pthread_rwlock_rdlock"));
  return real(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
  CountLock(l);
  using Fn = int (*)(pthread_rwlock_t*);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "pthread_rwlock_wrlock"));
  return real(l);
}
}
#endif
