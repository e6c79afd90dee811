#include "tools/qvhost/LoadFailure.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {
#if defined(_WIN32)
const bool kWindowsHost = true;
#else
const bool kWindowsHost = false;
#endif
const int kHostBits = static_cast<int>(sizeof(void*) * 8);

uint32_t Little(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

std::string Width(int bits) { return std::to_string(bits) + "-bit"; }
}  // namespace

std::string LoadFailureReason(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "there is no such file, or it cannot be read";
  unsigned char head[64] = {0};
  size_t got = std::fread(head, 1, sizeof(head), f);
  std::string reason;
  if (got >= 20 && !std::memcmp(head, "\x7f" "ELF", 4)) {
    const int bits = head[4] == 2 ? 64 : 32;
    if (kWindowsHost)
      reason = "it is a Linux library; this Windows host loads Windows DLLs";
    else if (bits != kHostBits)
      reason = "it is a " + Width(bits) + " library and this host is " + Width(kHostBits) +
               ": use the " + Width(bits) + " qvhost";
  } else if (got >= 64 && head[0] == 'M' && head[1] == 'Z') {
    unsigned char pe[6] = {0};
    const long at = static_cast<long>(Little(head + 0x3C, 4));
    if (std::fseek(f, at, SEEK_SET) == 0 && std::fread(pe, 1, sizeof(pe), f) == sizeof(pe) &&
        !std::memcmp(pe, "PE\0\0", 4)) {
      const uint32_t machine = Little(pe + 4, 2);
      const int bits = machine == 0x8664 ? 64 : machine == 0x14C ? 32 : 0;
      if (!kWindowsHost)
        reason = "it is a Windows DLL; this Linux host loads Linux libraries (run the Windows qvhost under Wine)";
      else if (bits == 0)
        reason = "it is a DLL for another processor";
      else if (bits != kHostBits)
        reason = "it is a " + Width(bits) + " DLL and this host is " + Width(kHostBits) + ": use the " +
                 Width(bits) + " qvhost";
    } else {
      reason = "it is not a valid DLL";
    }
  } else {
    reason = "it is not a plug-in library";
  }
  std::fclose(f);
  return reason;
}

std::string ExplainLoaderError(const std::string& loaderError) {
  static const struct {
    const char* code;
    const char* words;
  } kCodes[] = {
      {" 2", "the file was not found"},
      {" 3", "the folder was not found"},
      {" 5", "access was denied"},
      {" 126", "a library it needs was not found"},
      {" 193", "it is not a valid library for this host"},
      {" 1114", "its initialisation failed"},
  };
  const std::string prefix = "failed with error";
  const size_t at = loaderError.find(prefix);
  if (at == std::string::npos) return loaderError;
  const std::string code = loaderError.substr(at + prefix.size());
  for (const auto& entry : kCodes)
    if (code == entry.code) return std::string(entry.words) + " (" + loaderError + ")";
  return loaderError;
}
