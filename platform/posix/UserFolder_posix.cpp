#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/UserFolder.h"

char PathSeparator() { return '/'; }

std::string UserConfigFolder() {
  // The XDG rule: a relative $XDG_CONFIG_HOME is invalid and is ignored.
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    std::string folder = xdg;
    if (folder.back() != '/') folder += '/';
    return folder;
  }
  const char* home = getenv("HOME");
  if (!home || home[0] != '/') {
    const passwd* entry = getpwuid(getuid());
    home = entry ? entry->pw_dir : nullptr;
  }
  if (!home || home[0] != '/') return std::string();
  std::string folder = home;
  if (folder.back() != '/') folder += '/';
  return folder + ".config/";
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  for (size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '/') continue;
    const std::string part = folder.substr(0, pos);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  struct stat info;
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FolderWritable(const std::string& folder) {
  if (folder.empty()) return false;
  std::string probe = folder;
  if (probe.back() != '/') probe += '/';
  probe += ".qvdelay-write-test-" + std::to_string(getpid());
  const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}
