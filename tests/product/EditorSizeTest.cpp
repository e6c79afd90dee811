// The editor at 100, 150 and 200 %: renders of a set of states against their
// expected captures, the pointer in design pixels at every size, where the
// size comes from, and how the host's window follows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "graphics/IGraphicsScale.h"
#include "raster/RasterPng.h"
#include "tests/product/EditorFixture.h"
#include "tools/qvhost/PngFile.h"
#include "vst/VendorEditorScale.h"
#if !defined(_WIN32)
#include "platform/posix/IGraphicsX11.h"
#endif

namespace {

constexpr double kScales[] = {1.0, 1.5, 2.0};

std::string CapturePath(const std::string& name) {
  std::string dir = __FILE__;
  dir = dir.substr(0, dir.find_last_of("/\\") + 1);
  return dir + "captures/" + name + ".png";
}

std::string TempFile(const char* name) {
  std::string dir = testing::TempDir();
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir + name;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct EditorState {
  const char* name;
  std::function<void(EditorFixture&)> set;
};

const EditorState kStates[] = {
    {"default", [](EditorFixture&) {}},
    // "2/1" at 120 BPM asks for 4 s, more than the line holds: the warning colour.
    {"sync-warning",
     [](EditorFixture& f) {
       f.SetPlain(kTime, 1.0);
       f.SetPlain(kDelaySync, 1.0);
       std::vector<double> in[2] = {std::vector<double>(64), std::vector<double>(64)}, out[2];
       f.host.ProcessDouble(in, out, 64);
     }},
    {"learn", [](EditorFixture& f) { f.Click(636, 90); }},
    {"freeze", [](EditorFixture& f) { f.Click(636, 146); }},
};

// Expected captures are Linux renders: under Wine the system draws the text,
// and the real-window tests there compare with an off-screen replica instead.
TEST(QVEditorSizes, EverySizeDrawsTheExpectedCaptureOfEachState) {
#if defined(_WIN32)
  GTEST_SKIP() << "the captures hold this platform's text rendering only on Linux";
#endif
  const bool update = std::getenv("QV_UPDATE_CAPTURES") != nullptr;
  for (double scale : kScales) {
    for (const EditorState& state : kStates) {
      EditorFixture f;
      ASSERT_TRUE(f.g->SetUserScale(scale));
      state.set(f);
      f.g->SetAllControlsDirty();
      f.g->Tick();
      const int w = f.g->Width(), h = f.g->Height();
      ASSERT_EQ(f.g->Screen().Width(), w);
      std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = f.ScreenPixel(x, y) & 0xFFFFFF;
      const std::string name = std::string(state.name) + "-" + std::to_string(PercentFromScale(scale));
      const std::string path = CapturePath(name);
      if (update) {
        std::string error;
        EXPECT_TRUE(WritePngFile(path, w, h, pixels, &error)) << error;
        continue;
      }
      std::unique_ptr<RasterBitmap> expected(RasterLoadPngFile(path.c_str()));
      ASSERT_NE(expected, nullptr) << path << " (QV_UPDATE_CAPTURES=1 writes it)";
      ASSERT_EQ(expected->Width(), w) << name;
      ASSERT_EQ(expected->Height(), h) << name;
      int differ = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          differ += (expected->Pixels()[y * expected->RowSpan() + x] & 0xFFFFFF) != pixels[static_cast<size_t>(y) * w + x];
      EXPECT_EQ(differ, 0) << name << ": pixels unlike the expected capture";
    }
  }
  if (update) GTEST_SKIP() << "captures written";
}

// The same gestures at 150 and 200 % do what they do at 100 %; drags are
// measured in design pixels.
TEST(QVEditorSizes, PointerWorksInDesignPixelsAtEverySize) {
  for (double scale : {1.5, 2.0}) {
    EditorFixture one, big;
    ASSERT_TRUE(big.g->SetUserScale(scale));
    auto at = [scale](int v) { return ToDevice(v, scale); };
    for (int y = 102; y < 156; y += 12) {  // the five range bands
      one.Click(44, y);
      big.Click(at(44), at(y));
      EXPECT_EQ(big.Plain(kRange), one.Plain(kRange)) << scale << ", y " << y;
    }
    one.Drag(480, 120, -20);
    big.Drag(at(480), at(120), at(-20));
    EXPECT_NE(one.Plain(kMix), 0.5);
    EXPECT_NEAR(big.Plain(kMix), one.Plain(kMix), 1e-9) << scale;
  }
}

TEST(QVEditorSizes, SizeComesFromTheUserThenTheHostThenTheScreen) {
  EditorFixture f;
  f.g->CloseWindow();
  f.g->systemScale = 2.0;
  f.g->OpenWindow(&f.parent);  // the screen asks for 200 %
  EXPECT_EQ(f.g->Scale(), 2.0);
  EXPECT_EQ(f.g->Screen().Width(), 1366);
  EXPECT_TRUE(f.g->SetHostScale(1.3));  // a host's factor, snapped to the nearest size
  EXPECT_EQ(f.g->Scale(), 1.5);
  EXPECT_TRUE(f.g->SetUserScale(1.0));
  EXPECT_EQ(f.g->Scale(), 1.0);
  EXPECT_TRUE(f.g->SetHostScale(2.0));  // the user's choice still wins
  EXPECT_EQ(f.g->Scale(), 1.0);
  EXPECT_TRUE(f.g->SetUserScale(0.0));
  EXPECT_EQ(f.g->Scale(), 2.0);
  EXPECT_TRUE(f.g->SetHostScale(0.0));
  f.g->systemScale = 0.0;
  EXPECT_TRUE(f.g->ApplyChosenScale());
  EXPECT_EQ(f.g->Scale(), 1.0);
  EXPECT_EQ(ScaleFromDpi(96), 1.0);
  EXPECT_EQ(ScaleFromDpi(144), 1.5);
  EXPECT_EQ(ScaleFromDpi(192), 2.0);
  EXPECT_EQ(ScaleFromDpi(0), 0.0);
  EXPECT_EQ(ScaleFromDpi(-1), 0.0);
#if !defined(_WIN32)
  // What desktops put in the server's resources for their scaling.
  EXPECT_EQ(IGraphicsX11::ScaleFromResources("Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n"), 2.0);
  EXPECT_EQ(IGraphicsX11::ScaleFromResources("Xft.dpi:\t144\n"), 1.5);
  EXPECT_EQ(IGraphicsX11::ScaleFromResources("Xft.dpi: 96"), 1.0);
  EXPECT_EQ(IGraphicsX11::ScaleFromResources("Xft.dpi:\tlarge\n"), 0.0);
  EXPECT_EQ(IGraphicsX11::ScaleFromResources("my.Xft.dpi:\t192\n"), 0.0);
  EXPECT_EQ(IGraphicsX11::ScaleFromResources(nullptr), 0.0);
#endif
}

// What the scenarios on real windows do not show: hosts read the new size
// while they follow, nothing is asked while the window is closed, and our
// own host's scale call yields to the user's choice.
TEST(QVEditorSizes, HostWindowFollowsOrTheOldSizeStays) {
  EditorFixture f;
  f.plug->SetSettingsPath(TempFile("qv-editor-size.ini"));
  auto rect = [&] {
    ERect* r = nullptr;
    f.host.Dispatch(effEditGetRect, 0, 0, &r);
    return r ? std::make_pair(r->right - r->left, r->bottom - r->top) : std::make_pair(0, 0);
  };
  std::pair<int, int> seen;
  f.host.onSizeWindow = [&](int, int) { seen = rect(); };
  EXPECT_TRUE(f.plug->ChooseEditorSize(200));
  EXPECT_EQ(seen, std::make_pair(1366, 348));
  f.host.sizeWindowAnswer = 0;
  EXPECT_FALSE(f.plug->ChooseEditorSize(150));
  EXPECT_EQ(f.g->UserScale(), 2.0);
  EXPECT_EQ(rect(), std::make_pair(1366, 348));

  f.host.sizeWindowAnswer = 1;
  f.g->CloseWindow();
  f.host.ClearRequests();
  EXPECT_TRUE(f.plug->ChooseEditorSize(100));
  EXPECT_EQ(f.host.CountRequests(audioMasterSizeWindow), 0);
  EXPECT_EQ(rect(), std::make_pair(683, 174));

  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, kVendorEditorScale, 0, nullptr, 1.5f), 0);  // the user chose 100 %
  f.g->SetUserScale(0.0);
  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, kVendorEditorScale, 0, nullptr, 1.5f), 1);
  EXPECT_EQ(rect(), std::make_pair(1025, 261));
  std::remove(f.plug->SettingsPath().c_str());
}

// The choice is remembered beside the controllers; files from before it, and
// sizes the editor has not, leave the size to the host and the screen.
TEST(QVEditorSizes, SettingsFileRemembersTheChoice) {
  const std::string path = TempFile("qv-editor-size-read.ini");
  struct Case {
    const char* text;
    double scale;
  };
  const Case cases[] = {
      {"[MIDI Control]\nCC7=5\n", 1.0},
      {"[MIDI Control]\nCC7=5\n[Editor]\nSize=150\n", 1.5},
      {"[Editor]\nSize=200\n", 2.0},
      {"[Editor]\nSize=175\n", 1.0},
      {"[Editor]\nSize=big\n", 1.0},
  };
  for (const Case& c : cases) {
    std::ofstream(path, std::ios::binary) << c.text;
    EditorFixture f;
    f.plug->SetSettingsPath(path);
    f.plug->ReadEditorSizeSetting();
    f.plug->ApplyEditorSizeSetting();
    EXPECT_EQ(f.g->Scale(), c.scale) << c.text;
  }
  // Saving the controllers keeps the size, and choosing a size keeps the controllers.
  std::ofstream(path, std::ios::binary) << "[MIDI Control]\nCC7=5\n";
  EditorFixture f;
  f.plug->SetSettingsPath(path);
  f.plug->ReadControllerSettings();
  EXPECT_TRUE(f.plug->ChooseEditorSize(150));
  EXPECT_TRUE(f.plug->WriteControllerSettings());
  const std::string text = FileText(path);
  EXPECT_NE(text.find("CC7=5"), std::string::npos) << text;
  EXPECT_NE(text.find("Size=150"), std::string::npos) << text;
  std::remove(path.c_str());
}

}  // namespace
