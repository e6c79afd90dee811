#include <windows.h>

#include "platform/IMutex.h"

static_assert(sizeof(CRITICAL_SECTION) <= 64, "storage too small");

static CRITICAL_SECTION* Section(unsigned char* storage) { return reinterpret_cast<CRITICAL_SECTION*>(storage); }

IMutex::IMutex() { InitializeCriticalSection(Section(mStorage)); }
IMutex::~IMutex() { DeleteCriticalSection(Section(mStorage)); }
void IMutex::Enter() { EnterCriticalSection(Section(mStorage)); }
void IMutex::Leave() { LeaveCriticalSection(Section(mStorage)); }
