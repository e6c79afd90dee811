#include <windows.h>
#include <shlobj.h>

#include <string>

#include "platform/UserFolder.h"

char PathSeparator() { return '\\'; }

std::string UserConfigFolder() {
  char path[MAX_PATH] = {0};
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK ||
      !path[0])
    return std::string();
  std::string folder = path;
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  // Start after the drive ("C:\") or the server and share of a UNC path.
  size_t pos = 0;
  if (folder.size() >= 3 && folder[1] == ':') {
    pos = 3;
  } else if (folder.compare(0, 2, "\\\\") == 0) {
    pos = folder.find('\\', 2);
    pos = pos == std::string::npos ? folder.size() : folder.find('\\', pos + 1);
    if (pos == std::string::npos) pos = folder.size();
  }
  for (; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '\\' && folder[pos] != '/') continue;
    const std::string part = folder.substr(0, pos);
    if (part.empty() || part.back() == ':') continue;
    if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderWritable(const std::string& folder) {
  if (folder.empty()) return false;
  std::string probe = folder;
  if (probe.back() != '\\' && probe.back() != '/') probe += '\\';
  probe += "qvdelay-write-test-" + std::to_string(GetCurrentProcessId()) + ".tmp";
  const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}
