#include <pthread.h>

#include "platform/IMutex.h"

static_assert(sizeof(pthread_mutex_t) <= 64, "storage too small");

static pthread_mutex_t* Mutex(unsigned char* storage) { return reinterpret_cast<pthread_mutex_t*>(storage); }

IMutex::IMutex() {
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(Mutex(mStorage), &attr);
  pthread_mutexattr_destroy(&attr);
}
IMutex::~IMutex() { pthread_mutex_destroy(Mutex(mStorage)); }
void IMutex::Enter() { pthread_mutex_lock(Mutex(mStorage)); }
void IMutex::Leave() { pthread_mutex_unlock(Mutex(mStorage)); }
