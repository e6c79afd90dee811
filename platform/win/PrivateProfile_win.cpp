#include <windows.h>

#include <vector>

#include "platform/PrivateProfile.h"

std::string ReadProfileValue(const std::string& path, const char* section, const char* key, const char* def,
                              int size) {
  if (size < 1) return std::string();
  std::vector<char> buffer(static_cast<size_t>(size), '\0');
  DWORD n = GetPrivateProfileStringA(section, key, def, buffer.data(), static_cast<DWORD>(size), path.c_str());
  return std::string(buffer.data(), n);
}

bool WriteProfileValue(const std::string& path, const char* section, const char* key, const char* value) {
  return WritePrivateProfileStringA(section, key, value, path.c_str()) != 0;
}
