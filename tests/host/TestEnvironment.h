// Facts about where the tests run that the tests themselves cannot see.
#pragma once

#include <cstdlib>

// Set by scripts/wine-run when 32-bit Windows programs run through qemu's
// user-mode emulator, which cannot start Wine's threads reliably.
inline bool ThreadsUnavailable() {
  const char* v = std::getenv("QV_EMULATED_X86");
  return v && v[0] == '1';
}
