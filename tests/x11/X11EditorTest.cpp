// The X11 editor window under a real X server: a host window of the test's own
// opens the editor of a small test plug-in (the layout of the Windows GUI
// tests) through the VST dispatcher and calls effEditIdle every 20 ms; real
// pointer and key events come from xdotool, the screen is read back with
// XGetImage. Without a reachable display these tests skip.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "graphics/IGraphicsOffscreen.h"
#include "graphics/IKnobControl.h"
#include "graphics/ISwitchControl.h"
#include "platform/EditorFactory.h"
#include "platform/posix/IGraphicsX11.h"
#include "raster/RasterPng.h"
#include "raster/RasterSysBitmap.h"
#include "tests/host/TestPlug.h"
#include "tests/x11/GuiTestPlug.h"
#include "tests/x11/X11Harness.h"
#include "tools/qvhost/QvHostCommands.h"

extern char** environ;

// fontconfig keeps a few bytes of its parsed configuration for the life of
// the process; that is the library's own business, not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {
using namespace x11gui;

std::vector<VstInt32> Gesture(const TestHost& host, int index) {
  std::vector<VstInt32> ops;
  for (const HostRequest& r : host.requests)
    if (r.index == index &&
        (r.opcode == audioMasterBeginEdit || r.opcode == audioMasterAutomate || r.opcode == audioMasterEndEdit))
      ops.push_back(r.opcode);
  return ops;
}

std::string Pos(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

class X11EditorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    XInitThreads();  // helper threads use connections of their own
    // The test's own connections see windows vanish under them on purpose.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    RasterSetPngResourceLookup(TestImages);
    // A server resets when its last client goes; between tests that would
    // move the pointer and refuse connections for a moment.
    if (!sKeeper) sKeeper = XOpenDisplay(nullptr);
  }
  void SetUp() override {
    std::string why;
    if (!x11test::Ready(&why)) GTEST_SKIP() << why;
    ASSERT_TRUE(host.Create(GuiPlug::Make));
    plug = GuiPlug::Of(host.Effect());
    ASSERT_NE(plug->X11(), nullptr);
    window = std::make_unique<x11test::HostWindow>(400, 260);
    ASSERT_TRUE(window->Ok());
    probe = XOpenDisplay(nullptr);
    ASSERT_NE(probe, nullptr);
  }
  void TearDown() override {
    if (helper.joinable()) helper.join();
    host.Close();
    window.reset();
    if (probe) XCloseDisplay(probe);
  }

  bool OpenEditor() { return host.Dispatch(effEditOpen, 0, 0, window->Handle()) != 0; }
  Window Editor() { return plug->X11()->XWindow(); }
  // Root coordinates of an editor point, for xdotool.
  std::string At(int x, int y) {
    int rx = 0, ry = 0;
    x11test::RootPosition(probe, Editor(), x, y, &rx, &ry);
    return Pos(rx, ry);
  }
  int X(const std::string& steps) { return x11test::Run(host, window.get(), "xdotool " + steps); }
  void Pump(int ms) { x11test::Pump(host, window.get(), ms); }
  double Value(int index) { return plug->GetParam(index)->Normalized(); }
  std::vector<uint32_t> Screen() {
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(probe, Editor(), window->Id(), 0, 0, &x, &y, &child);
    return x11test::Capture(probe, window->Id(), x, y, kEditorW, kEditorH);
  }
  int ScreenDifferences() { return x11test::CountDifferences(Screen(), *plug->X11()->DrawBitmapSurface()); }

  static inline Display* sKeeper = nullptr;
  TestHost host;
  GuiPlug* plug = nullptr;
  std::unique_ptr<x11test::HostWindow> window;
  Display* probe = nullptr;  // the test's view of the server
  std::thread helper;
};

// --- window -------------------------------------------------------------------------

TEST_F(X11EditorTest, OpensAChildOfTheHostsWindowAndClosesIt) {
  EXPECT_EQ(host.Effect()->flags & effFlagsHasEditor, effFlagsHasEditor);
  ERect* rect = nullptr;
  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, kEditorW);
  EXPECT_EQ(rect->bottom - rect->top, kEditorH);

  const int sockets = x11test::SocketCount();
  ASSERT_TRUE(OpenEditor());
  std::vector<Window> children = window->Children();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0], Editor());
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(probe, Editor(), &a));
  EXPECT_EQ(a.width, kEditorW);
  EXPECT_EQ(a.height, kEditorH);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.map_state, IsViewable);
  EXPECT_EQ(x11test::SocketCount(), sockets + 1) << "one connection of the editor's own";
  EXPECT_TRUE(plug->X11()->WindowIsOpen());

  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  XSync(probe, False);
  EXPECT_TRUE(window->Children().empty());
  EXPECT_FALSE(plug->X11()->WindowIsOpen());
  EXPECT_EQ(x11test::SocketCount(), sockets);
}

TEST_F(X11EditorTest, OpeningTwiceKeepsOneWindowInItsPlace) {
  ASSERT_TRUE(OpenEditor());
  XMoveWindow(probe, Editor(), 17, 9);
  XSync(probe, False);
  ASSERT_TRUE(OpenEditor());
  XSync(probe, False);
  std::vector<Window> children = window->Children();
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(children[0], Editor());
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(probe, Editor(), &a));
  EXPECT_EQ(a.x, 17);
  EXPECT_EQ(a.y, 9);
  EXPECT_EQ(a.width, kEditorW);
}

// --- what the screen shows ------------------------------------------------------------

TEST_F(X11EditorTest, TheScreenShowsTheOffscreenRenderAndFollowsParameterChanges) {
  ASSERT_TRUE(OpenEditor());
  Pump(200);
  RasterSysBitmap* drawn = plug->X11()->DrawBitmapSurface();
  EXPECT_EQ(drawn->Pixels()[9 * drawn->RowSpan() + 9] & 0xFFFFFF, 0x08105Au);
  EXPECT_EQ(drawn->Pixels()[40 * drawn->RowSpan() + 40] & 0xFFFFFF, 0x8C7D3Cu);
  EXPECT_EQ(ScreenDifferences(), 0);
  x11test::KeepArtifact(Screen(), kEditorW, kEditorH, "x11-editor-open");

  // The same layout drawn by the off-screen window layer gives the same pixels.
  TestHost other;
  ASSERT_TRUE(other.Create(GuiPlug::MakeOffscreen));
  auto* offscreen = static_cast<IGraphicsOffscreen*>(GuiPlug::Of(other.Effect())->Editor());
  int dummy = 1;
  ASSERT_TRUE(offscreen->OpenWindow(&dummy));
  offscreen->Tick();
  EXPECT_EQ(x11test::CountDifferences(Screen(), offscreen->Screen()), 0);

  // A change from the host reaches the screen by the timer alone.
  host.SetParameter(0, 0.f);
  Pump(150);
  EXPECT_EQ(drawn->Pixels()[40 * drawn->RowSpan() + 40] & 0xFFFFFF, 0x28C83Cu);
  EXPECT_EQ(ScreenDifferences(), 0);
}

TEST_F(X11EditorTest, AHostThatCallsIdleLateStillGetsAWindowAndItsPaint) {
  ASSERT_TRUE(OpenEditor());
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(probe, Editor(), &a));
  EXPECT_EQ(a.map_state, IsViewable) << "mapped before any idle call";
  host.Dispatch(effEditIdle);
  EXPECT_EQ(ScreenDifferences(), 0);

  // Cover the editor with another window and uncover it: the exposed area
  // stays wrong until the next idle call, which paints it.
  Window cover = XCreateSimpleWindow(probe, window->Id(), 0, 0, 200, 100, 0, 0, 0xFF00FF);
  XMapRaised(probe, cover);
  XSync(probe, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  XDestroyWindow(probe, cover);
  XSync(probe, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_GT(ScreenDifferences(), 0);
  host.Dispatch(effEditIdle);
  EXPECT_EQ(ScreenDifferences(), 0);
}

TEST_F(X11EditorTest, AParentMappedOnlyAfterTheOpenIsPaintedWhenItShows) {
  // Hosts often open the editor in a frame they show afterwards.
  Window frame = XCreateSimpleWindow(probe, window->Id(), 5, 5, 300, 200, 0, 0, 0x00FF00);
  XSync(probe, False);
  ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(frame))), 1);
  Pump(100);  // everything drawn while nothing can be seen
  XMapWindow(probe, frame);
  XSync(probe, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  host.Dispatch(effEditIdle);
  EXPECT_EQ(ScreenDifferences(), 0);
  host.Dispatch(effEditClose);
  XDestroyWindow(probe, frame);
}

// --- real pointer input ---------------------------------------------------------------

TEST_F(X11EditorTest, ARealDragTurnsTheKnobInsideOneGesture) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  ASSERT_NEAR(Value(0), 0.5, 1e-12);
  host.ClearRequests();
  // 40 pixels up on a 40-pixel knob with gearing 4 is a quarter turn.
  std::string steps = "mousemove " + At(40, 60) + " mousedown 1";
  for (int dy = 5; dy <= 40; dy += 5) steps += " mousemove " + At(40, 60 - dy);
  steps += " mouseup 1";
  ASSERT_EQ(X(steps), 0);
  Pump(150);
  EXPECT_NEAR(Value(0), 0.75, 1e-9);
  std::vector<VstInt32> ops = Gesture(host, 0);
  ASSERT_GE(ops.size(), 3u);
  EXPECT_EQ(ops.front(), audioMasterBeginEdit);
  EXPECT_EQ(ops.back(), audioMasterEndEdit);
  for (size_t i = 1; i + 1 < ops.size(); ++i) EXPECT_EQ(ops[i], audioMasterAutomate) << i;
  EXPECT_EQ(plug->X11()->MouseCapture(), -1);
  EXPECT_EQ(ScreenDifferences(), 0);
  x11test::KeepArtifact(Screen(), kEditorW, kEditorH, "x11-knob-dragged");

  // Far beyond the editor's top, released outside it: the value stops at 1 and the gesture ends.
  Pump(500);  // a press here right after the last one would be a double click, as on Win32
  host.ClearRequests();
  int rx = 0, ry = 0;
  x11test::RootPosition(probe, Editor(), 40, -200, &rx, &ry);
  ASSERT_EQ(X("mousemove " + At(40, 60) + " mousedown 1 mousemove " + Pos(rx, std::max(ry, 0)) +
              " mouseup 1"),
            0);
  Pump(150);
  EXPECT_DOUBLE_EQ(Value(0), 1.0);
  ops = Gesture(host, 0);
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.front(), audioMasterBeginEdit);
  EXPECT_EQ(ops.back(), audioMasterEndEdit);
}

TEST_F(X11EditorTest, WheelNotchesAndDoubleClickReachTheKnob) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  ASSERT_EQ(X("mousemove " + At(40, 50) + " click 1"), 0);
  Pump(500);  // the next click must not be the second of a double click
  ASSERT_EQ(X("click 4 click 4 click 4"), 0);
  Pump(150);
  EXPECT_NEAR(Value(0), 0.53, 1e-9);
  ASSERT_EQ(X("click 5"), 0);
  Pump(150);
  EXPECT_NEAR(Value(0), 0.52, 1e-9);

  // A double click returns the knob to its first value, without a second gesture start.
  host.ClearRequests();
  ASSERT_EQ(X("click --repeat 2 --delay 80 1"), 0);
  Pump(150);
  EXPECT_NEAR(Value(0), 0.5, 1e-9);
  int begins = 0, ends = 0;
  for (VstInt32 op : Gesture(host, 0)) {
    begins += op == audioMasterBeginEdit;
    ends += op == audioMasterEndEdit;
  }
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 2);

  // Two slow clicks are two gestures, not a double click.
  host.ClearRequests();
  ASSERT_EQ(X("click --repeat 2 --delay 600 1"), 0);
  Pump(100);
  begins = 0;
  for (VstInt32 op : Gesture(host, 0)) begins += op == audioMasterBeginEdit;
  EXPECT_EQ(begins, 2);
}

TEST_F(X11EditorTest, ARealClickTogglesTheSwitch) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  host.ClearRequests();
  ASSERT_EQ(X("mousemove " + At(kSwitchX + 15, kSwitchY + 10) + " click 1"), 0);
  Pump(150);
  EXPECT_DOUBLE_EQ(Value(2), 1.0);
  std::vector<VstInt32> ops = Gesture(host, 2);
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.front(), audioMasterBeginEdit);
  EXPECT_EQ(ops.back(), audioMasterEndEdit);
  EXPECT_EQ(ScreenDifferences(), 0);
}

// --- keys -----------------------------------------------------------------------------

TEST_F(X11EditorTest, KeysNoControlTakesGoToTheHostsWindow) {
  ASSERT_TRUE(OpenEditor());
  ASSERT_EQ(X("mousemove " + At(190, 60) + " click 1"), 0);
  Pump(100);
  window->keys.clear();
  ASSERT_EQ(X("key a"), 0);
  Pump(150);
  EXPECT_EQ(plug->keyControl->keys, std::vector<int>{kKeyA});
  ASSERT_EQ(window->keys.size(), 2u);
  EXPECT_EQ(window->keys[0].type, KeyPress);
  EXPECT_EQ(window->keys[1].type, KeyRelease);
  EXPECT_TRUE(window->keys[0].synthetic);
  EXPECT_EQ(window->keys[0].keycode, XKeysymToKeycode(probe, XK_a));

  // A key a control takes stays in the editor; its release still goes up.
  plug->keyControl->takeKeys = true;
  window->keys.clear();
  ASSERT_EQ(X("key b"), 0);
  Pump(150);
  EXPECT_EQ(plug->keyControl->keys.back(), kKeyA + 1);
  ASSERT_EQ(window->keys.size(), 1u);
  EXPECT_EQ(window->keys[0].type, KeyRelease);
}

TEST_F(X11EditorTest, KeyCodesFollowTheWin32Table) {
  struct {
    KeySym sym;
    unsigned state;
    int key;
  } table[] = {{XK_space, 0, kKeySpace}, {XK_Up, 0, kKeyUp},       {XK_Down, 0, kKeyDown},
               {XK_Left, 0, kKeyLeft},   {XK_Right, 0, kKeyRight}, {XK_0, 0, 5},
               {XK_9, 0, 14},            {XK_a, 0, 15},            {XK_z, 0, 40},
               {XK_a, ShiftMask, 15},    {XK_1, ShiftMask, 6},     {XK_KP_1, Mod2Mask, 15},
               {XK_KP_9, Mod2Mask, 23},  {XK_KP_Up, 0, kKeyUp},   {XK_F11, 0, 40},
               {XK_Return, 0, -1},       {XK_Escape, 0, -1},       {XK_KP_0, Mod2Mask, -1}};
  for (const auto& row : table) {
    XKeyEvent e{};
    e.type = KeyPress;
    e.display = probe;
    e.keycode = XKeysymToKeycode(probe, row.sym);
    e.state = row.state;
    if (!e.keycode) continue;  // not on this keyboard map
    EXPECT_EQ(IGraphicsX11::KeyCode(&e), row.key) << XKeysymToString(row.sym);
  }
}

// --- menus ------------------------------------------------------------------------------

// The check column of each of the menu's ten rows: how many dark pixels it has.
std::vector<int> CheckColumn(const std::vector<uint32_t>& pixels, int w, int h) {
  std::vector<int> dark(10, 0);
  const int rowH = (h - 4) / 10;
  for (int row = 0; row < 10; ++row)
    for (int y = 2 + row * rowH; y < 2 + (row + 1) * rowH; ++y)
      for (int x = 3; x < 20 && x < w; ++x)
        if ((pixels[static_cast<size_t>(y) * w + x] & 0xFF) < 0x60) ++dark[static_cast<size_t>(row)];
  return dark;
}

TEST_F(X11EditorTest, ThePresetMenuShowsTenItemsWithTheCurrentCheckedAndAClickChooses) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  std::vector<int> dark;
  int menuX = -1, menuY = -1, menuW = 0, menuH = 0;
  helper = std::thread([&] {
    Display* d = XOpenDisplay(nullptr);
    Window menu = x11test::WaitForName(d, "IPlugin menu");
    if (!menu) return XCloseDisplay(d), void();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // its grabs
    XWindowAttributes a;
    XGetWindowAttributes(d, menu, &a);
    menuX = a.x, menuY = a.y, menuW = a.width, menuH = a.height;
    std::vector<uint32_t> shot = x11test::Capture(d, menu, 0, 0, a.width, a.height);
    x11test::KeepArtifact(shot, a.width, a.height, "x11-preset-menu");
    dark = CheckColumn(shot, a.width, a.height);
    int rx = 0, ry = 0;
    const int rowH = (a.height - 4) / 10;
    x11test::RootPosition(d, menu, 40, 2 + 6 * rowH + rowH / 2, &rx, &ry);
    x11test::RunPlain("xdotool mousemove " + Pos(rx, ry) + " sleep 0.1 click 1");
    XCloseDisplay(d);
  });
  ASSERT_EQ(X("mousemove " + At(30, 90) + " click 1"), 0);
  helper.join();
  EXPECT_EQ(plug->menuControl->menus, 1);
  EXPECT_EQ(plug->menuControl->chosenIndex, 6);
  // Placed at the rectangle's bottom-left corner.
  int ex = 0, ey = 0;
  x11test::RootPosition(probe, Editor(), kMenuRect.L, kMenuRect.B, &ex, &ey);
  EXPECT_EQ(menuX, ex);
  EXPECT_EQ(menuY, ey);
  EXPECT_GE(menuH, 10 * 16);
  ASSERT_EQ(dark.size(), 10u);
  for (int row = 0; row < 10; ++row) {
    if (row == 3) EXPECT_GT(dark[static_cast<size_t>(row)], 8) << "the current preset is checked";
    else EXPECT_EQ(dark[static_cast<size_t>(row)], 0) << "row " << row;
  }
  XSync(probe, False);
  EXPECT_EQ(x11test::FindByName(probe, "IPlugin menu"), 0u) << "the menu window is gone";
  Pump(100);
  EXPECT_EQ(ScreenDifferences(), 0);
}

TEST_F(X11EditorTest, EscapeOrAClickOutsideDismissTheMenu) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  for (const char* dismiss : {"key Escape", "mousemove 390 250 click 1"}) {
    helper = std::thread([&] {
      Display* d = XOpenDisplay(nullptr);
      if (x11test::WaitForName(d, "IPlugin menu")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        x11test::RunPlain(std::string("xdotool ") + dismiss);
      }
      XCloseDisplay(d);
    });
    plug->menuControl->chosenIndex = -2;
    ASSERT_EQ(X("mousemove " + At(30, 90) + " click 1"), 0);
    helper.join();
    EXPECT_EQ(plug->menuControl->chosenIndex, -1) << dismiss;
    Pump(600);
  }
  EXPECT_EQ(plug->menuControl->menus, 2);
}

TEST_F(X11EditorTest, SubmenusAreShownFlattenedAndAnswerWithTheirOwnMenu) {
  ASSERT_TRUE(OpenEditor());
  IPopupMenu menu;
  menu.AddItem("One");
  menu.AddItem("Two", IPopupMenuItem::kChecked);
  menu.AddSeparator();
  auto* more = new IPopupMenu();
  more->AddItem("Three", IPopupMenuItem::kGreyed);
  more->AddItem("Four");
  menu.AddSubmenu("More", more);
  helper = std::thread([&] {
    Display* d = XOpenDisplay(nullptr);
    if (x11test::WaitForName(d, "IPlugin menu")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      // Down from nothing: One, Two, then Four (Three is greyed, the heading and separator are skipped).
      x11test::RunPlain("xdotool key Down key Down key Down key Return");
    }
    XCloseDisplay(d);
  });
  IPopupMenu* chosen = plug->X11()->CreatePopupMenu(&menu, IRect(10, 10, 20, 20));
  helper.join();
  EXPECT_EQ(chosen, more);
  EXPECT_EQ(more->chosenIndex, 1);
  EXPECT_EQ(menu.chosenIndex, -1);
}

TEST_F(X11EditorTest, DestroyingTheHostsWindowUnderAnOpenMenuIsSafe) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  helper = std::thread([&] {
    Display* d = XOpenDisplay(nullptr);
    if (x11test::WaitForName(d, "IPlugin menu")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      XDestroyWindow(d, window->Id());  // a window manager killing the host's window
      XSync(d, False);
    }
    XCloseDisplay(d);
  });
  ASSERT_EQ(X("mousemove " + At(30, 90) + " click 1"), 0);
  helper.join();
  EXPECT_EQ(plug->menuControl->chosenIndex, -1);
  Pump(60);
  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  EXPECT_FALSE(plug->X11()->WindowIsOpen());
}

TEST_F(X11EditorTest, ClosingFromAnotherThreadWhileAMenuIsOpenIsSafe) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  const int sockets = x11test::SocketCount();
  helper = std::thread([&] {
    Display* d = XOpenDisplay(nullptr);
    if (x11test::WaitForName(d, "IPlugin menu")) host.Dispatch(effEditClose);
    XCloseDisplay(d);
  });
  ASSERT_EQ(X("mousemove " + At(30, 90) + " click 1"), 0);
  helper.join();
  Pump(60);
  EXPECT_EQ(plug->menuControl->chosenIndex, -1);
  EXPECT_FALSE(plug->X11()->WindowIsOpen());
  EXPECT_EQ(x11test::FindByName(probe, "IPlugin menu"), 0u);
  EXPECT_EQ(x11test::SocketCount(), sockets - 1);
}

// --- message boxes and web addresses ----------------------------------------------------------

// Clicks the Yes (0) or No/OK (1) button of the box named caption from a helper thread.
std::thread AnswerBox(int button, Window* owner, const char* caption = kBoxCaption) {
  return std::thread([=] {
    Display* d = XOpenDisplay(nullptr);
    Window box = x11test::WaitForName(d, caption);
    if (!box) return XCloseDisplay(d), void();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    if (owner) XGetTransientForHint(d, box, owner);
    XWindowAttributes a;
    XGetWindowAttributes(d, box, &a);
    std::vector<uint32_t> shot = x11test::Capture(d, box, 0, 0, a.width, a.height);
    x11test::KeepArtifact(shot, a.width, a.height, button == 0 ? "x11-message-box" : "x11-message-box-2");
    // Buttons 84 wide, 10 apart, centred, 16 above the bottom edge.
    const int nButtons = std::string(caption) == "QV notice" ? 1 : 2;
    const int left = (a.width - (nButtons * 84 + (nButtons - 1) * 10)) / 2;
    int rx = 0, ry = 0;
    x11test::RootPosition(d, box, left + (nButtons == 1 ? 0 : button) * 94 + 42, a.height - 16 - 8, &rx, &ry);
    x11test::RunPlain("xdotool mousemove " + Pos(rx, ry) + " sleep 0.1 click 1");
    XCloseDisplay(d);
  });
}

TEST_F(X11EditorTest, TheMessageBoxAnswersYesAndNoThroughRealClicks) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  Window owner = 0;
  helper = AnswerBox(0, &owner);
  ASSERT_EQ(X("mousemove " + At(120, 90) + " click 1"), 0);
  helper.join();
  EXPECT_EQ(owner, window->Id()) << "transient for the host's top-level window";
  helper = AnswerBox(1, nullptr);
  Pump(600);
  ASSERT_EQ(X("mousemove " + At(120, 90) + " click 1"), 0);
  helper.join();
  EXPECT_EQ(plug->boxControl->answers, (std::vector<int>{kMsgAnswerYes, kMsgAnswerNo}));

  // Escape, and closing it through the window manager's protocol, answer No.
  helper = std::thread([&] {
    Display* d = XOpenDisplay(nullptr);
    Window box = x11test::WaitForName(d, kBoxCaption);
    if (box) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      XEvent e{};
      e.xclient.type = ClientMessage;
      e.xclient.window = box;
      e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
      e.xclient.format = 32;
      e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
      XSendEvent(d, box, False, NoEventMask, &e);
      XSync(d, False);
    }
    XCloseDisplay(d);
  });
  EXPECT_EQ(plug->X11()->ShowMessageBox("Closed by the window manager", kBoxCaption, kMsgYesNo), kMsgAnswerNo);
  helper.join();
  helper = std::thread([&] {
    Display* d = XOpenDisplay(nullptr);
    if (x11test::WaitForName(d, kBoxCaption)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      x11test::RunPlain("xdotool key Escape");
    }
    XCloseDisplay(d);
  });
  EXPECT_EQ(plug->X11()->ShowMessageBox("Escape", kBoxCaption, kMsgYesNo), kMsgAnswerNo);
  helper.join();
  EXPECT_EQ(x11test::FindByName(probe, kBoxCaption), 0u);
}

// Our menus and message boxes grow with the editor: text and rows at 200 %.
TEST_F(X11EditorTest, MenusAndMessageBoxesGrowWithTheEditor) {
  ASSERT_TRUE(OpenEditor());
  Pump(100);
  // Opens a window with open(), measures the one named name from the side, and dismisses it.
  auto measure = [&](const char* name, const std::function<void()>& open, const char* artifact) {
    int w = 0, h = 0;
    helper = std::thread([&] {
      Display* d = XOpenDisplay(nullptr);
      if (Window win = x11test::WaitForName(d, name)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        XWindowAttributes a;
        XGetWindowAttributes(d, win, &a);
        w = a.width;
        h = a.height;
        x11test::KeepArtifact(x11test::Capture(d, win, 0, 0, w, h), w, h, artifact);
        x11test::RunPlain("xdotool key Escape");
      }
      XCloseDisplay(d);
    });
    open();
    helper.join();
    return std::make_pair(w, h);
  };
  IPopupMenu menu;
  for (const char* item : {"Check Online for Update", "Visit quorvel.example"}) menu.AddItem(item);
  auto* sizes = new IPopupMenu;
  for (const char* item : {"100 %", "150 %", "200 %"}) sizes->AddItem(item, item[0] == '1' && item[1] == '0' ? 4 : 0);
  menu.AddSubmenu("Editor size", sizes);
  auto openMenu = [&] { plug->X11()->CreatePopupMenu(&menu, IRect(20, 20, 20, 20)); };
  auto openBox = [&] { plug->X11()->ShowMessageBox("Your version is up to date.", kBoxCaption, kMsgOk); };
  const auto menu100 = measure("IPlugin menu", openMenu, "x11-menu-100");
  const auto box100 = measure(kBoxCaption, openBox, "x11-message-box-100");
  ASSERT_TRUE(plug->X11()->SetUserScale(2.0));
  Pump(100);
  const auto menu200 = measure("IPlugin menu", openMenu, "x11-menu-200");
  const auto box200 = measure(kBoxCaption, openBox, "x11-message-box-200");
  ASSERT_GT(menu100.first, 0);
  ASSERT_GT(box100.first, 0);
  // Twice the size, give or take the frame and the hinted text's own widths.
  auto ratio = [](int big, int small) { return static_cast<double>(big) / small; };
  EXPECT_NEAR(ratio(menu200.first, menu100.first), 2.0, 0.1);
  EXPECT_NEAR(ratio(menu200.second, menu100.second), 2.0, 0.1);
  EXPECT_NEAR(ratio(box200.first, box100.first), 2.0, 0.1);
  EXPECT_NEAR(ratio(box200.second, box100.second), 2.0, 0.1);
}

TEST_F(X11EditorTest, OpeningAnAddressAsksFirstStartsTheOpenerAndReportsFailure) {
  ASSERT_TRUE(OpenEditor());
  char dir[] = "/tmp/qv-x11-url-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string script = std::string(dir) + "/opener", out = std::string(dir) + "/args";
  {
    std::ofstream s(script);
    s << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > " << out << ".part && mv " << out << ".part " << out << "\n";
  }
  chmod(script.c_str(), 0755);
  const char* saved = IGraphicsX11::sOpenCommand;
  IGraphicsX11::sOpenCommand = script.c_str();
  const char* url = "https://example.invalid/a b;$(touch x)";

  // Asked, answered Yes: the opener gets the address as one argument.
  helper = AnswerBox(0, nullptr, "QV site");
  EXPECT_TRUE(plug->X11()->OpenURL(url, "QV site", "Open the site?", "It did not open."));
  helper.join();
  std::string text;
  for (int i = 0; i < 250 && text.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(out);
    std::stringstream s;
    s << in.rdbuf();
    text = s.str();
  }
  EXPECT_EQ(text, std::string("1\n") + url + "\n");

  // Answered No: nothing starts.
  std::remove(out.c_str());
  helper = AnswerBox(1, nullptr, "QV site");
  EXPECT_FALSE(plug->X11()->OpenURL(url, "QV site", "Open the site?", "It did not open."));
  helper.join();

  // An opener that cannot start: the failure is told in an OK box.
  IGraphicsX11::sOpenCommand = "/nonexistent/qv-opener";
  helper = AnswerBox(0, nullptr, "QV notice");
  EXPECT_FALSE(plug->X11()->OpenURL(url, "QV notice", nullptr, "It did not open."));
  helper.join();
  IGraphicsX11::sOpenCommand = saved;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(std::ifstream(out).good());
  std::remove(script.c_str());
  rmdir(dir);
}

// --- bad input and leaks ------------------------------------------------------------------

TEST_F(X11EditorTest, BadParentsAndCallsWithoutAnEditorAreRefusedQuietly) {
  const int sockets = x11test::SocketCount();
  const int windows = x11test::TreeWindowCount(probe);
  host.Dispatch(effEditIdle);  // nothing open
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t{0x7FFFFF1})), 0);
  // A display pointer passed as the value is ignored; the id still counts.
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(probe), reinterpret_cast<void*>(uintptr_t{3})), 0);
  EXPECT_FALSE(plug->X11()->WindowIsOpen());
  host.Dispatch(effEditIdle);
  host.Dispatch(effEditClose);
  EXPECT_EQ(x11test::SocketCount(), sockets);
  EXPECT_EQ(x11test::TreeWindowCount(probe), windows);
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(probe), window->Handle()), 1);
  host.Dispatch(effEditClose);
  host.Dispatch(effEditClose);
}

TEST_F(X11EditorTest, AHostWindowDestroyedUnderTheEditorLeavesItClosable) {
  ASSERT_TRUE(OpenEditor());
  Pump(60);
  window->Destroy();
  Pump(100);
  host.SetParameter(0, 0.1f);
  Pump(100);
  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  EXPECT_FALSE(plug->X11()->WindowIsOpen());
}

TEST_F(X11EditorTest, AHundredOpenCloseCyclesLeakNoWindowOrConnection) {
  ASSERT_TRUE(OpenEditor());
  host.Dispatch(effEditIdle);
  host.Dispatch(effEditClose);
  XSync(probe, False);
  const int sockets = x11test::SocketCount();
  const int windows = x11test::TreeWindowCount(probe);
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(OpenEditor()) << i;
    host.Dispatch(effEditIdle);
    host.SetParameter(0, static_cast<float>(i % 10) / 10.f);
    host.Dispatch(effEditIdle);
    host.Dispatch(effEditClose);
  }
  XSync(probe, False);
  EXPECT_EQ(x11test::SocketCount(), sockets);
  EXPECT_EQ(x11test::TreeWindowCount(probe), windows);
  EXPECT_TRUE(window->Children().empty());
}

// --- the command-line host's picture ---------------------------------------------------------

TEST_F(X11EditorTest, QvHostWritesWhatTheEditorShowsAlsoWithoutADisplay) {
  TestHost other;
  ASSERT_TRUE(other.Create(GuiPlug::MakeOffscreen));
  auto* offscreen = static_cast<IGraphicsOffscreen*>(GuiPlug::Of(other.Effect())->Editor());
  int dummy = 1;
  ASSERT_TRUE(offscreen->OpenWindow(&dummy));
  other.SetParameter(0, 0.f);  // what --param 0=0 sets
  offscreen->Tick();

  char dir[] = "/tmp/qv-x11-png-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string png = std::string(dir) + "/editor.png";
  auto resolve = [](const std::string&, std::string*) -> VstEntryProc { return GuiPlug::Make; };
  const std::string display = std::getenv("DISPLAY");
  for (bool withDisplay : {true, false}) {
    if (!withDisplay) unsetenv("DISPLAY");  // qvhost starts a server of its own
    const int rc = RunQvHost({"editor", "test-plug", png, "--param", "0=0"}, resolve);
    setenv("DISPLAY", display.c_str(), 1);
    if (!withDisplay && x11test::RunPlain("command -v Xvfb >/dev/null") != 0) continue;
    ASSERT_EQ(rc, 0) << (withDisplay ? "with DISPLAY" : "without DISPLAY");
    std::unique_ptr<RasterBitmap> read(RasterLoadPngFile(png.c_str()));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->Width(), kEditorW);
    ASSERT_EQ(read->Height(), kEditorH);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < kEditorH; ++y)
      for (int x = 0; x < kEditorW; ++x) pixels.push_back(read->Pixels()[y * read->RowSpan() + x] & 0xFFFFFF);
    EXPECT_EQ(x11test::CountDifferences(pixels, offscreen->Screen()), 0);
    std::remove(png.c_str());
  }
  EXPECT_EQ(RunQvHost({"editor", "test-plug", std::string(dir) + "/editor.bmp"}, resolve), 2);
  rmdir(dir);
}

TEST_F(X11EditorTest, QvHostCapturesAPluginLoadedFromItsLibrary) {
  TestHost other;
  ASSERT_TRUE(other.Create(GuiPlug::MakeOffscreen));
  auto* offscreen = static_cast<IGraphicsOffscreen*>(GuiPlug::Of(other.Effect())->Editor());
  int dummy = 1;
  ASSERT_TRUE(offscreen->OpenWindow(&dummy));
  other.SetParameter(0, 0.25f);
  other.SetParameter(2, 1.f);
  offscreen->Tick();

  char dir[] = "/tmp/qv-x11-lib-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string png = std::string(dir) + "/editor.png";
  for (const char* env : {"", "env -u DISPLAY "}) {
    const std::string command = std::string(env) + QV_QVHOST + " editor " + QV_X11_TEST_PLUGIN + " " + png +
                                " --param 0=0.25 --param 2=1 >/dev/null";
    if (*env && x11test::RunPlain("command -v Xvfb >/dev/null") != 0) continue;
    ASSERT_EQ(x11test::RunPlain(command), 0) << command;
    std::unique_ptr<RasterBitmap> read(RasterLoadPngFile(png.c_str()));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->Width(), kEditorW);
    std::vector<uint32_t> pixels;
    for (int y = 0; y < kEditorH; ++y)
      for (int x = 0; x < kEditorW; ++x) pixels.push_back(read->Pixels()[y * read->RowSpan() + x] & 0xFFFFFF);
    EXPECT_EQ(x11test::CountDifferences(pixels, offscreen->Screen()), 0) << command;
    if (!*env) x11test::KeepArtifact(pixels, kEditorW, kEditorH, "x11-qvhost-editor");
    std::remove(png.c_str());
  }
  rmdir(dir);
}

// --- a server that goes away -----------------------------------------------------------------

// Run by the next test in a child process with a server of its own.
TEST(X11DeadServer, ChildSurvivesItsServer) {
  if (!std::getenv("QV_X11_CHILD_SERVER")) GTEST_SKIP() << "runs only as the child of ADeadServer...";
  const pid_t server = static_cast<pid_t>(std::atol(std::getenv("QV_X11_CHILD_SERVER")));
  XInitThreads();
  RasterSetPngResourceLookup(TestImages);
  TestHost host;
  ASSERT_TRUE(host.Create(GuiPlug::Make));
  GuiPlug* plug = GuiPlug::Of(host.Effect());
  auto* window = new x11test::HostWindow(300, 200);  // left alone once the server is gone
  ASSERT_TRUE(window->Ok());
  ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, window->Handle()), 1);
  x11test::Pump(host, nullptr, 100);
  kill(server, SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  host.SetParameter(0, 0.9f);
  x11test::Pump(host, nullptr, 200);
  EXPECT_TRUE(plug->X11()->ConnectionLost());
  EXPECT_EQ(plug->X11()->ShowMessageBox("nobody sees this", "gone", kMsgYesNo), kMsgAnswerNo);
  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  EXPECT_FALSE(plug->X11()->WindowIsOpen());
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, window->Handle()), 0) << "no server to open on";
  host.Close();
  std::fflush(stdout);
  _exit(::testing::Test::HasFailure() ? 3 : 42);
}

// Runs one test of this program in a child process, on a virtual server of
// its own (started with the given screen, on a display number it picks
// itself). The child learns the server's process id from QV_X11_CHILD_SERVER.
// Returns the child's exit status; -1 when it died from a signal.
int RunChildOnOwnServer(const char* screen, const char* test, std::string* problem) {
  int fds[2];
  if (pipe(fds) != 0) return *problem = "no pipe", -1;
  const std::string fd = std::to_string(fds[1]);
  const char* serverArgv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp", nullptr};
  pid_t server = 0;
  if (posix_spawnp(&server, "Xvfb", nullptr, nullptr, const_cast<char* const*>(serverArgv), environ) != 0)
    return *problem = "Xvfb did not start", -1;
  close(fds[1]);
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) {
    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    return *problem = "Xvfb gave no display number", -1;
  }
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "GTEST_OUTPUT=", 13) != 0) env.push_back(*e);
  env.push_back("DISPLAY=:" + number);
  env.push_back("QV_X11_CHILD_SERVER=" + std::to_string(server));
  std::vector<char*> envp;
  for (std::string& v : env) envp.push_back(&v[0]);
  envp.push_back(nullptr);
  const std::string filter = std::string("--gtest_filter=") + test;
  const char* argv[] = {"/proc/self/exe", filter.c_str(), nullptr};
  pid_t child = 0;
  int status = -1;
  if (posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, const_cast<char* const*>(argv), envp.data()) == 0)
    waitpid(child, &status, 0);
  kill(server, SIGKILL);
  waitpid(server, nullptr, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CanRunOwnServer(std::string* why) {
  if (!x11test::Ready(why)) return false;
  if (x11test::RunPlain("command -v Xvfb >/dev/null") != 0) return *why = "Xvfb is not installed", false;
  return true;
}

TEST(X11DeadServer, ADeadServerDuringUseDoesNotEndTheHostProcess) {
  std::string why;
  if (!CanRunOwnServer(&why)) GTEST_SKIP() << why;
  const int status = RunChildOnOwnServer("640x480x24", "X11DeadServer.ChildSurvivesItsServer", &why);
  ASSERT_NE(status, -1) << "the host process died from a signal " << why;
  EXPECT_EQ(status, 42) << "42: the child survived and its checks passed";
}

// Visuals other than the common 24-bit one: the pixels are converted.
TEST(X11OtherVisuals, ChildPaintsOnASixteenBitServer) {
  if (!std::getenv("QV_X11_CHILD_SERVER")) GTEST_SKIP() << "runs only as the child of ASixteenBitServer...";
  XInitThreads();
  RasterSetPngResourceLookup(TestImages);
  TestHost host;
  ASSERT_TRUE(host.Create(GuiPlug::Make));
  GuiPlug* plug = GuiPlug::Of(host.Effect());
  x11test::HostWindow window(300, 200);
  ASSERT_TRUE(window.Ok());
  ASSERT_EQ(DefaultDepth(window.Dpy(), DefaultScreen(window.Dpy())), 16);
  ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, window.Handle()), 1);
  x11test::Pump(host, &window, 100);
  XImage* image = XGetImage(window.Dpy(), plug->X11()->XWindow(), 0, 0, kEditorW, kEditorH, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  RasterSysBitmap* drawn = plug->X11()->DrawBitmapSurface();
  int wrong = 0;
  for (int y = 0; y < kEditorH; ++y)
    for (int x = 0; x < kEditorW; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      const uint32_t want = drawn->Pixels()[y * drawn->RowSpan() + x];
      // 5-6-5: the top bits of each channel.
      const unsigned long expect = (((want >> 19) & 0x1F) << 11) | (((want >> 10) & 0x3F) << 5) | ((want >> 3) & 0x1F);
      wrong += p != expect;
    }
  XDestroyImage(image);
  EXPECT_EQ(wrong, 0);
  host.Close();
  std::fflush(stdout);
  _exit(::testing::Test::HasFailure() ? 3 : 42);
}

TEST(X11OtherVisuals, ASixteenBitServerGetsTheSamePictureInItsOwnPixels) {
  std::string why;
  if (!CanRunOwnServer(&why)) GTEST_SKIP() << why;
  const int status = RunChildOnOwnServer("640x480x16", "X11OtherVisuals.ChildPaintsOnASixteenBitServer", &why);
  EXPECT_EQ(status, 42) << why;
}

TEST_F(X11EditorTest, AHostWindowWithAnAlphaVisualGetsOpaquePixels) {
  XVisualInfo info;
  if (!XMatchVisualInfo(probe, DefaultScreen(probe), 32, TrueColor, &info)) GTEST_SKIP() << "no 32-bit visual";
  XSetWindowAttributes attr{};
  attr.colormap = XCreateColormap(probe, DefaultRootWindow(probe), info.visual, AllocNone);
  attr.border_pixel = 0;
  attr.background_pixel = 0;
  Window argb = XCreateWindow(probe, window->Id(), 0, 0, 300, 200, 0, 32, InputOutput, info.visual,
                              CWColormap | CWBorderPixel | CWBackPixel, &attr);
  XMapWindow(probe, argb);
  XSync(probe, False);
  ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(argb))), 1);
  Pump(100);
  XImage* image = XGetImage(probe, Editor(), 0, 0, kEditorW, kEditorH, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->depth, 32);
  RasterSysBitmap* drawn = plug->X11()->DrawBitmapSurface();
  int wrong = 0;
  for (int y = 0; y < kEditorH; ++y)
    for (int x = 0; x < kEditorW; ++x)
      wrong += XGetPixel(image, x, y) != (0xFF000000u | (drawn->Pixels()[y * drawn->RowSpan() + x] & 0xFFFFFF));
  XDestroyImage(image);
  EXPECT_EQ(wrong, 0);
  host.Dispatch(effEditClose);
  XDestroyWindow(probe, argb);
  XFreeColormap(probe, attr.colormap);
}

}  // namespace
