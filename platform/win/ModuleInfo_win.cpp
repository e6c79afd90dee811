#include <windows.h>

#include "platform/ModuleInfo.h"
#include "platform/win/ModuleInfoWin.h"

static HINSTANCE gModule = nullptr;

// Recorded at library attach. In a test program nothing attaches the library,
// so ModuleHandle falls back to the module that holds this code.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gModule = instance;
  return TRUE;
}

void* ModuleHandle() {
  if (!gModule) {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ModuleHandle), &self);
    return self;
  }
  return gModule;
}

std::string ModulePath() {
  char path[MAX_PATH * 2] = {0};
  DWORD n = GetModuleFileNameA(static_cast<HMODULE>(ModuleHandle()), path, sizeof(path) - 1);
  if (n == 0 || n >= sizeof(path) - 1) return std::string();
  return std::string(path, n);
}

std::string ModuleFolderOf(const std::string& modulePath) {
  size_t slash = modulePath.rfind('\\');
  if (slash == std::string::npos || slash + 1 == modulePath.size()) return std::string();
  return modulePath.substr(0, slash + 1);
}

std::string ModuleFolder() { return ModuleFolderOf(ModulePath()); }
