// Counts heap allocations and lock acquisitions made by the calling thread
// between Begin and End. Allocations are counted through operator new
// everywhere and, on native Linux builds without a sanitizer, through malloc,
// calloc, realloc and the pthread lock calls as well (the sanitizers own those
// symbols). Locks on the given instance lock are not counted. Sanitized
// builds count nothing.
#pragma once

namespace alloccount {

struct Counts {
  long allocations = 0;
  long foreignLocks = 0;
};

// Whether anything is counted in this build.
bool Active();
// Whether malloc-level allocations and pthread locks are seen in this build.
bool SeesMallocAndLocks();
void Begin(const void* instanceLock, unsigned long instanceLockSize);
Counts End();

}  // namespace alloccount
