#include <windows.h>

#include "tests/host/DynamicLibrary.h"

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& path) {
  Close();
  mHandle = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
  if (!mHandle) mError = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return mHandle != nullptr;
}

void DynamicLibrary::Close() {
  if (mHandle) FreeLibrary(static_cast<HMODULE>(mHandle));
  mHandle = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return mHandle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(mHandle), name)) : nullptr;
}
