// Private-profile files as the Windows functions read and write them: section
// and key names compare without regard to case, blanks around names and
// values are dropped, a value in matching quotes loses them, and lines that
// are not understood are kept as they are.
#include <strings.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/PrivateProfile.h"

namespace {
std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool SameName(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

// "[name]" gives name; anything else is no section header.
bool SectionName(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyValue(const std::string& line, std::string& key, std::string& value) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return !key.empty();
}

std::vector<std::string> ReadLines(const std::string& path, bool& exists) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  exists = static_cast<bool>(in);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}
}  // namespace

std::string ReadProfileValue(const std::string& path, const char* section, const char* key, const char* def,
                              int size) {
  if (size < 1) return std::string();
  std::string result = def ? def : "";
  bool exists = false;
  std::vector<std::string> lines = ReadLines(path, exists);
  bool inSection = false;
  for (const std::string& line : lines) {
    std::string name, k, v;
    if (SectionName(line, name)) {
      inSection = SameName(name, section);
      continue;
    }
    if (inSection && KeyValue(line, k, v) && SameName(k, key)) {
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      result = v;
      break;
    }
  }
  if (static_cast<int>(result.size()) > size - 1) result.resize(static_cast<size_t>(size - 1));
  return result;
}

bool WriteProfileValue(const std::string& path, const char* section, const char* key, const char* value) {
  if (!section) return false;
  bool exists = false;
  std::vector<std::string> lines = ReadLines(path, exists);
  std::vector<std::string> out;
  bool inSection = false, sectionSeen = false, written = false;
  size_t sectionEnd = 0;  // where a new key of the section goes
  for (const std::string& line : lines) {
    std::string name, k, v;
    if (SectionName(line, name)) {
      inSection = SameName(name, section);
      if (inSection) sectionSeen = true;
      if (inSection && !key) continue;  // the whole section goes
      out.push_back(line);
      if (inSection) sectionEnd = out.size();
      continue;
    }
    if (inSection) {
      if (!key) continue;
      if (KeyValue(line, k, v) && SameName(k, key)) {
        if (value && !written) out.push_back(std::string(key) + "=" + value);
        written = true;
        if (value) sectionEnd = out.size();
        continue;
      }
      out.push_back(line);
      if (!Trim(line).empty()) sectionEnd = out.size();
      continue;
    }
    out.push_back(line);
  }
  if (key && value && !written) {
    if (sectionSeen) {
      out.insert(out.begin() + static_cast<long>(sectionEnd), std::string(key) + "=" + value);
    } else {
      out.push_back(std::string("[") + section + "]");
      out.push_back(std::string(key) + "=" + value);
    }
  }
  std::string tmp = path + ".tmp";
  {
    std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    for (const std::string& line : out) file << line << "\r\n";
    if (!file.flush()) return false;
  }
  // Replace in one step, so a failed write never leaves half a file.
  return std::rename(tmp.c_str(), path.c_str()) == 0 || (std::remove(tmp.c_str()), false);
}
