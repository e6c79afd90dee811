#include <dlfcn.h>
#include <stdlib.h>

#include "platform/ModuleInfo.h"

namespace {
struct ModuleRecord {
  void* base = nullptr;
  std::string path;
};

ModuleRecord Lookup() {
  ModuleRecord record;
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&ModuleHandle), &info) && info.dli_fname) {
    record.base = info.dli_fbase;
    char* resolved = realpath(info.dli_fname, nullptr);
    record.path = resolved ? resolved : info.dli_fname;
    free(resolved);
  }
  return record;
}

// Recorded when the library is attached, like DllMain on Windows.
const ModuleRecord& Record() {
  static const ModuleRecord record = Lookup();
  return record;
}

__attribute__((constructor)) void RecordAtAttach() { Record(); }
}  // namespace

void* ModuleHandle() { return Record().base; }

std::string ModulePath() { return Record().path; }

std::string ModuleFolder() {
  const std::string& path = Record().path;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
