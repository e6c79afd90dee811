#include <dlfcn.h>

#include "tests/host/DynamicLibrary.h"

DynamicLibrary::~DynamicLibrary() { Close(); }

bool DynamicLibrary::Open(const std::string& path) {
  Close();
  mHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!mHandle) mError = dlerror();
  return mHandle != nullptr;
}

void DynamicLibrary::Close() {
  if (mHandle) dlclose(mHandle);
  mHandle = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const { return mHandle ? dlsym(mHandle, name) : nullptr; }
