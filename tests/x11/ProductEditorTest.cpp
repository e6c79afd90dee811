// The built plug-in library's editor under a real X server: each shared
// scenario runs on a fresh instance loaded through VSTPluginMain from a copy of
// the library in a folder of the test's own (the settings file lands beside
// it), its editor a child of the test's host window, effEditIdle every 20 ms,
// pointer input from xdotool. Without a reachable display these tests skip.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "tests/host/DynamicLibrary.h"
#include "tests/host/EditorScenarios.h"
#include "tests/host/TestHost.h"
#include "tests/x11/X11Harness.h"
#include "vst/VendorEditorScale.h"

// fontconfig keeps a few bytes of its parsed configuration for the life of
// the process; that is the library's own business, not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using scenario::kHeight;
using scenario::kWidth;

std::string Pos(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The menu window's rows: bands of dark ink in the text column, and the rows
// whose check column holds dark pixels.
void ReadMenu(const std::vector<uint32_t>& px, int w, int h, int* rows, int* checked) {
  auto dark = [&](int x, int y) { return (px[static_cast<size_t>(y) * w + x] & 0xFF) < 0x60; };
  std::vector<int> bandTop;
  bool inBand = false;
  for (int y = 2; y < h - 2; ++y) {
    bool ink = false;
    for (int x = 24; x < w - 3 && !ink; ++x) ink = dark(x, y);
    if (ink && !inBand) bandTop.push_back(y);
    inBand = ink;
  }
  *rows = static_cast<int>(bandTop.size());
  *checked = -1;
  if (bandTop.empty()) return;
  const int rowH = (h - 4) / *rows;
  for (int row = 0; row < *rows; ++row) {
    int n = 0;
    for (int y = 2 + row * rowH; y < 2 + (row + 1) * rowH; ++y)
      for (int x = 3; x < 23; ++x) n += dark(x, y);
    // Text starts at 24 (deeper in submenus); only a check mark reaches further
    // left: wholly at the top level, with its first strokes in a submenu.
    if (n > 3) *checked = *checked == -1 ? row : -3;  // -3: more than one
  }
}

// The host's window is this much larger than the editor it holds.
constexpr int kMargin = 40;

class X11Target : public scenario::Target {
 public:
  X11Target(VstEntryProc entry, const std::string& folder, double scale = 1.0) : mFolder(folder) {
    mOk = host.Create(entry);
    if (!mOk) return;
    host.Start(44100, 512);
    mOk = scale == 1.0 ||
          host.Dispatch(effVendorSpecific, kVendorEditorScale, 0, nullptr, static_cast<float>(scale)) == 1;
    ERect* rect = nullptr;
    mOk = mOk && host.Dispatch(effEditGetRect, 0, 0, &rect) == 1 && rect;
    if (!mOk) return;
    window = std::make_unique<x11test::HostWindow>(rect->right - rect->left + kMargin,
                                                   rect->bottom - rect->top + kMargin);
    // A host with a real window follows the editor's size requests.
    host.onSizeWindow = [this](int width, int height) {
      XResizeWindow(window->Dpy(), window->Id(), static_cast<unsigned>(width + kMargin),
                    static_cast<unsigned>(height + kMargin));
      XSync(window->Dpy(), False);
    };
    probe = XOpenDisplay(nullptr);
    mOk = window->Ok() && probe && host.Dispatch(effEditOpen, 0, 0, window->Handle()) == 1;
    if (!mOk) return;
    std::vector<Window> children = window->Children();
    mOk = children.size() == 1;
    if (mOk) editor = children[0];
    Pump(150);
  }
  ~X11Target() override {
    host.Dispatch(effEditClose);
    host.Close();
    window.reset();
    if (probe) XCloseDisplay(probe);
  }
  bool Ok() const { return mOk; }

  TestHost& Host() override { return host; }
  void Pump(int ms) { x11test::Pump(host, window.get(), ms); }
  // A design position as the root's pixel.
  std::string At(int x, int y) {
    int rx = 0, ry = 0;
    x11test::RootPosition(probe, editor, scenario::DevicePos(x, mScale), scenario::DevicePos(y, mScale), &rx, &ry);
    return Pos(rx, ry);
  }
  bool X(const std::string& steps) { return x11test::Run(host, window.get(), "xdotool " + steps) == 0; }

  bool Perform(const scenario::Step& s, double scale) override {
    using scenario::Op;
    mScale = scale;
    bool ok = false;
    switch (s.op) {
      case Op::Click:
        ok = X("mousemove " + At(s.x, s.y) + " click " + std::to_string(s.button));
        break;
      case Op::DoubleClick:
        ok = X("mousemove " + At(s.x, s.y) + " click --repeat 2 --delay 80 1");
        break;
      case Op::Drag: {
        std::string steps = "mousemove " + At(s.x, s.y) + " mousedown 1";
        const int n = (std::abs(s.amount) + 4) / 5;
        for (int i = 1; i <= n; ++i) steps += " mousemove " + At(s.x, s.y + s.amount * i / n);
        ok = X(steps + " mouseup 1");
        break;
      }
      case Op::Wheel: {
        std::string steps = "mousemove " + At(s.x, s.y);
        for (int i = 0; i < std::abs(s.amount); ++i) steps += s.amount > 0 ? " click 4" : " click 5";
        ok = X(steps);
        break;
      }
      case Op::MenuClick:
        ok = MenuClick(s);
        break;
      default:
        break;
    }
    // Settle, and keep the next press from pairing with this one as a double click.
    Pump(450);
    return ok;
  }

  bool MenuClick(const scenario::Step& s) {
    mMenuSeen = false;
    std::thread helper([&] {
      Display* d = XOpenDisplay(nullptr);
      Window menu = x11test::WaitForName(d, "IPlugin menu");
      if (!menu) return XCloseDisplay(d), void();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));  // its grabs
      XWindowAttributes a;
      XGetWindowAttributes(d, menu, &a);
      std::vector<uint32_t> shot = x11test::Capture(d, menu, 0, 0, a.width, a.height);
      ReadMenu(shot, a.width, a.height, &mMenuRows, &mMenuChecked);
      mMenuSeen = true;
      x11test::KeepArtifact(shot, a.width, a.height, ("x11-scenario-menu-" + std::to_string(s.items)).c_str());
      if (s.amount < 0 || mMenuRows <= 0) {
        x11test::RunPlain("xdotool key Escape");
      } else {
        const int rowH = (a.height - 4) / mMenuRows;
        int rx = 0, ry = 0;
        x11test::RootPosition(d, menu, a.width / 2, 2 + s.amount * rowH + rowH / 2, &rx, &ry);
        x11test::RunPlain("xdotool mousemove " + Pos(rx, ry) + " sleep 0.1 click 1");
      }
      XCloseDisplay(d);
    });
    const bool ok = X("mousemove " + At(s.x, s.y) + " click 1");
    helper.join();
    return ok && mMenuSeen;
  }

  std::vector<uint32_t> Capture() override {
    Pump(150);
    int w = 0, h = 0;
    Size(editor, &w, &h);
    return x11test::Capture(probe, editor, 0, 0, w, h);
  }
  void Size(Window w, int* width, int* height) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(probe, w, &a)) return;
    *width = a.width;
    *height = a.height;
  }
  void WindowSizes(int* editorW, int* editorH, int* hostW, int* hostH) override {
    Pump(50);
    Size(editor, editorW, editorH);
    Size(window->Id(), hostW, hostH);
  }
  bool LastMenu(int* rows, int* checked) override {
    *rows = mMenuRows;
    *checked = mMenuChecked;
    return mMenuSeen;
  }
  bool Urls(std::vector<std::string>* urls) override {
    // Our stand-in opener writes one line per call; it runs on its own.
    const char* env = std::getenv("QV_FAKE_OPEN_LOG");
    if (!env) return false;
    const std::string log = env;
    std::string text;
    for (int i = 0; i < 100 && text.empty(); ++i) {
      text = ReadFile(log);
      if (text.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) urls->push_back(line);
    std::remove(log.c_str());
    return true;
  }
  std::string ModuleFolder() override { return mFolder; }
  void Keep(const std::vector<uint32_t>& pixels, int width, int height, const std::string& name) override {
    x11test::KeepArtifact(pixels, width, height, ("x11-scenario-" + name).c_str());
  }

  TestHost host;
  std::unique_ptr<x11test::HostWindow> window;
  Display* probe = nullptr;
  Window editor = 0;

 private:
  std::string mFolder;
  bool mOk = false;
  bool mMenuSeen = false;
  int mMenuRows = -1, mMenuChecked = -2;
  double mScale = 1.0;
};

class X11ProductEditor : public ::testing::TestWithParam<size_t> {
 protected:
  static void SetUpTestSuite() {
    XInitThreads();
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    std::string why;
    if (!x11test::Ready(&why)) return;
    // A server resets when its last client goes: keep one open between tests.
    if (!sKeeper) sKeeper = XOpenDisplay(nullptr);
    if (sEntry) return;  // both suites share one copy, loaded once
    char dir[] = "/tmp/qv-x11-scenarios-XXXXXX";
    if (!mkdtemp(dir)) return;
    sFolder = std::string(dir) + "/";
    std::atexit([] { x11test::RunPlain("rm -rf '" + sFolder + "'"); });
    // A copy of the library of its own: its settings file goes beside it.
    const std::string copy = sFolder + "QVDelay64.so";
    if (x11test::RunPlain(std::string("cp '") + QV_PLUGIN_FILE + "' '" + copy + "'") != 0) return;
    // The opener the editor starts for a web address: a stand-in that writes its argument down.
    const std::string opener = sFolder + "xdg-open", log = sFolder + "opened.txt";
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" << log << "'\n";
    // Without it the editor would start the machine's real opener: load nothing then.
    if (chmod(opener.c_str(), 0755) != 0) return;
    setenv("QV_FAKE_OPEN_LOG", log.c_str(), 1);
    setenv("PATH", (sFolder + ":" + std::getenv("PATH")).c_str(), 1);
    // Loaded for the life of the process, as the other GUI tests' plug-ins
    // are. (Unloading it leaves the font engine the raster code keeps for the
    // process behind: a matter of the raster code, not of these scenarios.)
    static DynamicLibrary* library = new DynamicLibrary();
    if (!library->Open(copy)) return;
    sEntry = reinterpret_cast<VstEntryProc>(library->Symbol("VSTPluginMain"));
  }
  void SetUp() override {
    std::string why;
    if (!x11test::Ready(&why)) GTEST_SKIP() << why;
    ASSERT_NE(sEntry, nullptr) << "the library " << QV_PLUGIN_FILE << " did not load";
  }

  static inline Display* sKeeper = nullptr;
  static inline VstEntryProc sEntry = nullptr;
  static inline std::string sFolder;
};

TEST_P(X11ProductEditor, Scenario) {
  const scenario::Scenario& s = scenario::All()[GetParam()];
  // A size remembered by an earlier scenario would open this one at it.
  std::remove((sFolder + "qvdelay.ini").c_str());
  X11Target target(sEntry, sFolder, s.scale);
  ASSERT_TRUE(target.Ok()) << "the editor did not open as a child of the host's window";
  scenario::Run(s, target);
}

INSTANTIATE_TEST_SUITE_P(All, X11ProductEditor, ::testing::Range<size_t>(0, scenario::All().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           std::string name;
                           for (char c : scenario::All()[info.param].name)
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return std::to_string(info.param) + "_" + name.substr(0, 40);
                         });

TEST_F(X11ProductEditor, TwoRunsShowTheSamePixelsAsTheOffscreenRender) {
  const std::vector<uint32_t> want = scenario::DefaultRender();
  std::vector<uint32_t> shots[2];
  for (auto& shot : shots) {
    X11Target target(sEntry, sFolder);
    ASSERT_TRUE(target.Ok());
    shot = target.Capture();
  }
  ASSERT_EQ(shots[0].size(), static_cast<size_t>(kWidth * kHeight));
  EXPECT_TRUE(shots[0] == shots[1]) << "two runs differ";
  EXPECT_TRUE(shots[0] == want) << "the window differs from the off-screen render";
  x11test::KeepArtifact(shots[0], kWidth, kHeight, "x11-scenario-default");
}

}  // namespace
