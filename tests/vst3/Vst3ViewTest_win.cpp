// The VST 3 view of the built bundle under Wine: a child of the host's HWND,
// input from outside through xdotool, the capture compared with the
// off-screen replica, and 100 open/close cycles counted in GDI and USER
// objects.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win/IGraphicsWin.h"
#include "tests/host/EditorScenarios.h"
#include "tests/host/Vst3TestHost.h"
#include "tests/vst3/RunWithPaths.h"
#include "tests/wingui/GuiHarness.h"

using namespace v3;

namespace {
std::string gBundle;

struct Opened {
  Vst3TestHost host;
  Vst3HostFrame frame{false};  // Windows hosts offer no run loop
  gui::HostFrame* window = nullptr;
  IPlugView* view = nullptr;
  HWND editor = nullptr;

  bool Open() {
    if (!host.Load(gBundle) || !host.Create() || !host.Start(44100.0, 512)) return false;
    window = gui::HostFrame::Create(scenario::kWidth + 60, scenario::kHeight + 80);
    if (!window) return false;
    return Attach();
  }
  bool Attach() {
    view = host.controller->createView("editor");
    if (!view || view->isPlatformTypeSupported("HWND") != kResultTrue) return false;
    view->setFrame(&frame);
    if (view->attached(window->Handle(), "HWND") != kResultOk) return false;
    editor = FindWindowExA(window->Handle(), nullptr, IGraphicsWin::kWindowClassName, nullptr);
    gui::Pump(150);
    return editor != nullptr;
  }
  void Detach() {
    CloseView(view);
    editor = nullptr;
  }
  ~Opened() {
    Detach();
    host.Unload();
    if (window) window->Destroy();
    gui::Pump(30);
  }
  std::string At(int x, int y) const {
    POINT p = {x, y};
    ClientToScreen(editor, &p);
    return std::to_string(p.x) + " " + std::to_string(p.y);
  }
};

class Vst3ViewWin : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gui::DisplayReady()) GTEST_SKIP() << gui::DisplayProblem();
  }
};
}  // namespace

TEST_F(Vst3ViewWin, ChildWindowTakesRealInput) {
  Opened o;
  ASSERT_TRUE(o.Open()) << o.host.Error();
  EXPECT_EQ(GetParent(o.editor), o.window->Handle());
  const std::vector<uint32_t> shot = gui::CaptureWindow(o.editor, scenario::kWidth, scenario::kHeight);
  EXPECT_TRUE(shot == scenario::DefaultRender()) << "the view differs from the off-screen render";

  ASSERT_EQ(gui::RunX("focus " + o.window->Title()), 0);
  const double before = o.host.controller->getParamNormalized(5);
  o.host.edits.clear();
  ASSERT_EQ(gui::RunX("xdotool mousemove --sync " + o.At(480, 120) + " mousedown 1 mousemove --sync " +
                      o.At(480, 105) + " mousemove --sync " + o.At(480, 90) + " mouseup 1"),
            0);
  ASSERT_TRUE(gui::PumpUntil([&] { return !o.host.edits.empty() && o.host.edits.back().kind == 'e'; }));
  EXPECT_GT(o.host.controller->getParamNormalized(5), before);
  EXPECT_EQ(o.host.edits.front().kind, 'b');
  EXPECT_EQ(o.host.edits.front().id, 5u);
}

TEST_F(Vst3ViewWin, HundredOpenCloseCyclesLeaveNothing) {
  Opened o;
  ASSERT_TRUE(o.Open()) << o.host.Error();
  o.Detach();
  // A first round: what the process-wide caches keep from it is not a leak.
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(o.Attach());
    o.Detach();
  }
  gui::Pump(30);
  const gui::ResourceCount before = gui::CountResources();
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(o.Attach());
    o.Detach();
  }
  gui::Pump(50);
  const gui::ResourceCount after = gui::CountResources();
  std::printf("100 view cycles (%s): GDI %d -> %d, windows %d -> %d, menus %d -> %d\n", before.how, before.gdi,
              after.gdi, before.windows, after.windows, before.menus, after.menus);
  EXPECT_LE(after.gdi, before.gdi);
  EXPECT_LE(after.windows, before.windows);
  EXPECT_EQ(o.frame.refs, 1);
}

int main(int argc, char** argv) { return RunWithPaths(argc, argv, "BUNDLE", {&gBundle}); }
