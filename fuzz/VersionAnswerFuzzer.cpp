// The version check's answer handling: any body from the network gives one of
// the documented result codes, at most one message box with a text and a
// caption, and opens only the maker's own download page, only on a yes.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "update/VersionCheck.h"

namespace {
struct RecordingUi : IVersionCheckUi {
  int boxes = 0;
  int yes = 6;
  std::vector<std::string> opened;
  int ShowMessageBox(const char* text, const char* caption, int type) override {
    FUZZ_CHECK(text && caption);
    FUZZ_CHECK(std::strlen(text) < 1u << 20);
    ++boxes;
    return type == kVersionBoxYesNo ? yes : 1;
  }
  bool OpenURL(const char* url) override {
    FUZZ_CHECK(url);
    opened.push_back(url);
    return false;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  RecordingUi ui;
  ui.yes = (data[0] & 1) ? 6 : kVersionBoxIdNo;
  std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
  int code = HandleVersionAnswer(ui, body);
  FUZZ_CHECK(code == kVersionCheckDone || code == kVersionCheckNoAnswer || code == kVersionCheckError ||
             code == kVersionCheckNotVersion);
  FUZZ_CHECK(ui.boxes <= 2);
  FUZZ_CHECK(ui.opened.size() <= 1);
  if (!ui.opened.empty()) {
    FUZZ_CHECK(ui.yes == 6);
    FUZZ_CHECK(ui.opened[0] == std::string(kMakerSite) + "music/vst.html");
  }
  return 0;
}
