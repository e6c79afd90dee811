// The Win32 editor window under a real X server: a host window opens the editor
// of a small test plug-in through the VST dispatcher, real pointer and key
// events come from outside (xdotool), the screen is read back from both sides
// (GDI and xwd). Without a reachable display these tests skip.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/IKnobControl.h"
#include "graphics/ISwitchControl.h"
#include "platform/EditorFactory.h"
#include "platform/ModuleInfo.h"
#include "platform/win/IGraphicsWin.h"
#include "platform/win/ModuleInfoWin.h"
#include "raster/RasterSysBitmap.h"
#include "tests/host/TestPlug.h"
#include "tests/wingui/GuiHarness.h"

namespace {

constexpr int kEditorW = 240;
constexpr int kEditorH = 120;
const IRect kKnobRect(20, 30, 60, 70);
constexpr int kSwitchX = 100;
constexpr int kSwitchY = 40;
const IRect kKeyRect(160, 30, 220, 90);
constexpr int kKnobFrames = 11;

// A knob drawn from the test film strip with the bitmap frame rule.
class TestKnob : public IKnobControl {
 public:
  TestKnob(IPluginBase* plug, const IRect& rect, int paramIdx, const IBitmap& bitmap)
      : IKnobControl(plug, rect, paramIdx), mBitmap(bitmap) {}
  bool Draw(IGraphics* graphics) override {
    int frame = static_cast<int>((mBitmap.N - 1) * Value() + 0.5) + 1;
    return graphics->DrawBitmapFrame(mBitmap, mRect, frame, &mBlend);
  }

 private:
  IBitmap mBitmap;
};

// Records the key codes it is offered; takes them only when asked to.
class KeyControl : public IControl {
 public:
  KeyControl(IPluginBase* plug, const IRect& rect) : IControl(plug, rect) {}
  bool Draw(IGraphics*) override { return true; }
  bool OnKeyDown(int, int, int key) override {
    keys.push_back(key);
    return takeKeys;
  }
  std::vector<int> keys;
  bool takeKeys = false;
};

class GuiPlug : public TestPlug {
 public:
  explicit GuiPlug(audioMasterCallback host) : TestPlug(host) {
    IGraphics* g = CreateEditorGraphics(this, kEditorW, kEditorH, 25);
    g->AttachBackground(1, "img/back.png");
    knob = new TestKnob(this, kKnobRect, 0, g->LoadBitmap(2, "img/knob.png", kKnobFrames));
    g->AttachControl(knob);
    g->AttachControl(new ISwitchControl(this, kSwitchX, kSwitchY, 2, g->LoadBitmap(3, "img/switch.PNG", 2)));
    keyControl = new KeyControl(this, kKeyRect);
    g->AttachControl(keyControl);
    AttachEditor(g);
  }
  static AEffect* Make(audioMasterCallback host) { return (new GuiPlug(host))->Effect(); }
  static GuiPlug* Of(AEffect* effect) { return static_cast<GuiPlug*>(FromEffect(effect)); }
  IGraphicsWin* Win() { return static_cast<IGraphicsWin*>(Editor()); }

  TestKnob* knob = nullptr;
  KeyControl* keyControl = nullptr;
};

// The gesture requests for one parameter, in the order the host got them.
std::vector<VstInt32> Gesture(const TestHost& host, int index) {
  std::vector<VstInt32> ops;
  for (const HostRequest& r : host.requests)
    if (r.index == index &&
        (r.opcode == audioMasterBeginEdit || r.opcode == audioMasterAutomate || r.opcode == audioMasterEndEdit))
      ops.push_back(r.opcode);
  return ops;
}

float LastAutomated(const TestHost& host, int index) {
  float v = -1.f;
  for (const HostRequest& r : host.requests)
    if (r.opcode == audioMasterAutomate && r.index == index) v = r.opt;
  return v;
}

bool ClassRegistered() {
  WNDCLASSA wc;
  return GetClassInfoA(static_cast<HINSTANCE>(ModuleHandle()), IGraphicsWin::kWindowClassName, &wc) != 0;
}

class WinGuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gui::DisplayReady()) GTEST_SKIP() << gui::DisplayProblem();
    ASSERT_TRUE(host.Create(GuiPlug::Make));
    plug = GuiPlug::Of(host.Effect());
    frame = gui::HostFrame::Create();
    ASSERT_NE(frame, nullptr);
    gui::ResetDialogs();
  }
  void TearDown() override {
    gui::ResetDialogs();
    host.Close();
    if (frame) frame->Destroy();
    gui::Pump(30);
  }

  bool OpenEditor() { return host.Dispatch(effEditOpen, 0, 0, frame->Handle()) != 0; }
  HWND Editor() const { return plug->Win()->Window(); }
  POINT Screen(int x, int y) const {
    POINT p = {x, y};
    ClientToScreen(Editor(), &p);
    return p;
  }
  std::string At(int x, int y) const {
    POINT p = Screen(x, y);
    return std::to_string(p.x) + " " + std::to_string(p.y);
  }
  double Value(int index) { return plug->GetParam(index)->Normalized(); }

  TestHost host;
  GuiPlug* plug = nullptr;
  gui::HostFrame* frame = nullptr;
};

// --- window, class and timer ---------------------------------------------------

TEST_F(WinGuiTest, OpensAChildWindowAndRegistersTheClassWhileOpen) {
  EXPECT_FALSE(ClassRegistered());
  ERect* rect = nullptr;
  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, kEditorW);
  EXPECT_EQ(rect->bottom - rect->top, kEditorH);

  ASSERT_TRUE(OpenEditor());
  HWND w = Editor();
  ASSERT_TRUE(IsWindow(w));
  WNDCLASSA wc;
  ASSERT_TRUE(GetClassInfoA(static_cast<HINSTANCE>(ModuleHandle()), IGraphicsWin::kWindowClassName, &wc));
  EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS));
  EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
  EXPECT_EQ(wc.hIcon, nullptr);
  EXPECT_EQ(wc.hbrBackground, nullptr);
  char text[64] = {0};
  GetWindowTextA(w, text, sizeof(text));
  EXPECT_STREQ(text, "IPlugin");
  LONG style = GetWindowLongA(w, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_POPUP), WS_CHILD | WS_VISIBLE);
  EXPECT_EQ(GetParent(w), frame->Handle());
  EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(plug->Win()));
  RECT client;
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, kEditorW);
  EXPECT_EQ(client.bottom, kEditorH);
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 1);

  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(plug->Win()->WindowIsOpen());
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
  EXPECT_FALSE(ClassRegistered());

  // Opening again registers the class again.
  ASSERT_TRUE(OpenEditor());
  EXPECT_TRUE(ClassRegistered());
  // WM_CLOSE closes the editor like the host's close does.
  PostMessageA(Editor(), WM_CLOSE, 0, 0);
  gui::Pump(50);
  EXPECT_FALSE(plug->Win()->WindowIsOpen());
  EXPECT_FALSE(ClassRegistered());
}

TEST_F(WinGuiTest, TheClassStaysWhileAnyEditorOfTheProcessIsOpen) {
  TestHost other;
  ASSERT_TRUE(other.Create(GuiPlug::Make));
  ASSERT_TRUE(OpenEditor());
  ASSERT_EQ(other.Dispatch(effEditOpen, 0, 0, frame->Handle()), 1);
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 2);
  host.Dispatch(effEditClose);
  EXPECT_TRUE(ClassRegistered());
  EXPECT_TRUE(GuiPlug::Of(other.Effect())->Win()->WindowIsOpen());
  other.Dispatch(effEditClose);
  EXPECT_FALSE(ClassRegistered());
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
}

TEST_F(WinGuiTest, OpeningTwiceKeepsOneWindowInItsPlace) {
  ASSERT_TRUE(OpenEditor());
  HWND first = Editor();
  // The user (or the host) moved it; the host's frame has a caption and a border.
  SetWindowPos(first, nullptr, 17, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_TRUE(OpenEditor());
  HWND second = Editor();
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(gui::ChildrenOfClass(frame->Handle(), IGraphicsWin::kWindowClassName), 1);
  RECT r;
  GetWindowRect(second, &r);
  POINT topLeft = {r.left, r.top};
  ScreenToClient(frame->Handle(), &topLeft);
  EXPECT_EQ(topLeft.x, 17);
  EXPECT_EQ(topLeft.y, 9);
  EXPECT_EQ(r.right - r.left, kEditorW);
  EXPECT_EQ(r.bottom - r.top, kEditorH);
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 1);
}

// --- what the screen shows ------------------------------------------------------------

TEST_F(WinGuiTest, TheScreenShowsTheOffscreenBitmapAndFollowsParameterChanges) {
  ASSERT_TRUE(OpenEditor());
  gui::Pump(300);
  RasterSysBitmap* drawn = plug->Win()->DrawBitmapSurface();
  ASSERT_NE(drawn, nullptr);
  ASSERT_EQ(drawn->Width(), kEditorW);
  // The editor really drew the test images: background and the knob's middle frame.
  EXPECT_EQ(drawn->Pixels()[9 * drawn->RowSpan() + 9] & 0xFFFFFF, 0x08105Au);
  EXPECT_EQ(drawn->Pixels()[40 * drawn->RowSpan() + 40] & 0xFFFFFF, 0x8C7D3Cu);

  std::vector<uint32_t> gdi = gui::CaptureWindow(Editor(), kEditorW, kEditorH);
  EXPECT_EQ(gui::CountDifferences(gdi, *drawn), 0);
  gui::Screenshot shot;
  ASSERT_TRUE(gui::CaptureScreen(&shot));
  POINT origin = Screen(0, 0);
  std::vector<uint32_t> x11 = shot.Crop(origin.x, origin.y, kEditorW, kEditorH);
  EXPECT_EQ(gui::CountDifferences(x11, *drawn), 0);
  gui::KeepArtifact(shot, "editor-open");

  // A change from the host reaches the screen by the timer alone.
  host.SetParameter(0, 0.f);
  gui::Pump(200);
  EXPECT_EQ(drawn->Pixels()[40 * drawn->RowSpan() + 40] & 0xFFFFFF, 0x28C83Cu);  // frame 1
  ASSERT_TRUE(gui::CaptureScreen(&shot));
  x11 = shot.Crop(origin.x, origin.y, kEditorW, kEditorH);
  EXPECT_EQ(gui::CountDifferences(x11, *drawn), 0);
  gui::KeepArtifact(shot, "knob-at-zero");
}

// --- real pointer input ---------------------------------------------------------------

TEST_F(WinGuiTest, ARealDragTurnsTheKnobInsideOneGesture) {
  ASSERT_TRUE(OpenEditor());
  gui::Pump(100);
  ASSERT_NEAR(Value(0), 0.5, 1e-12);
  host.ClearRequests();
  // 40 pixels up on a 40-pixel knob with gearing 4 is a quarter turn.
  std::string steps = "mousemove --sync " + At(40, 60) + " mousedown 1";
  for (int dy = 5; dy <= 40; dy += 5) steps += " mousemove --sync " + At(40, 60 - dy);
  steps += " mouseup 1";
  ASSERT_EQ(gui::RunX("xdotool " + steps), 0);
  gui::Pump(150);
  EXPECT_NEAR(Value(0), 0.75, 1e-9);
  std::vector<VstInt32> ops = Gesture(host, 0);
  ASSERT_GE(ops.size(), 3u);
  EXPECT_EQ(ops.front(), audioMasterBeginEdit);
  EXPECT_EQ(ops.back(), audioMasterEndEdit);
  for (size_t i = 1; i + 1 < ops.size(); ++i) EXPECT_EQ(ops[i], audioMasterAutomate) << i;
  EXPECT_NEAR(LastAutomated(host, 0), 0.75f, 1e-6);
  EXPECT_FALSE(GetCapture() == Editor());
  // The window shows the knob's new frame.
  gui::Screenshot shot;
  ASSERT_TRUE(gui::CaptureScreen(&shot));
  POINT origin = Screen(0, 0);
  EXPECT_EQ(gui::CountDifferences(shot.Crop(origin.x, origin.y, kEditorW, kEditorH),
                                  *plug->Win()->DrawBitmapSurface()),
            0);
  gui::KeepArtifact(shot, "knob-dragged");

  // Far beyond the top, and released outside the editor: the value stops at 1
  // and the gesture still ends.
  host.ClearRequests();
  POINT outside = Screen(40, -200);
  ASSERT_EQ(gui::RunX("xdotool mousemove --sync " + At(40, 60) + " mousedown 1 mousemove --sync " +
                      std::to_string(outside.x) + " " + std::to_string(outside.y) + " mouseup 1"),
            0);
  gui::Pump(150);
  EXPECT_DOUBLE_EQ(Value(0), 1.0);
  EXPECT_FLOAT_EQ(LastAutomated(host, 0), 1.f);
  ops = Gesture(host, 0);
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.front(), audioMasterBeginEdit);
  EXPECT_EQ(ops.back(), audioMasterEndEdit);
}

TEST_F(WinGuiTest, WheelNotchesAndDoubleClickReachTheKnob) {
  ASSERT_TRUE(OpenEditor());
  gui::Pump(100);
  // A click first gives the editor the focus, as a user's would.
  ASSERT_EQ(gui::RunX("xdotool mousemove --sync " + At(40, 50) + " click 1"), 0);
  gui::Pump(100);
  ASSERT_EQ(gui::RunX("xdotool click 4 click 4 click 4"), 0);
  gui::Pump(150);
  EXPECT_NEAR(Value(0), 0.53, 1e-9);
  ASSERT_EQ(gui::RunX("xdotool click 5"), 0);
  gui::Pump(150);
  EXPECT_NEAR(Value(0), 0.52, 1e-9);

  // A double click returns the knob to its first value, without a second gesture start.
  host.ClearRequests();
  ASSERT_EQ(gui::RunX("xdotool click --repeat 2 --delay 80 1"), 0);
  gui::Pump(150);
  EXPECT_NEAR(Value(0), 0.5, 1e-9);
  std::vector<VstInt32> ops = Gesture(host, 0);
  int begins = 0, ends = 0;
  for (VstInt32 op : ops) {
    begins += op == audioMasterBeginEdit;
    ends += op == audioMasterEndEdit;
  }
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 2);
}

TEST_F(WinGuiTest, ARealClickTogglesTheSwitch) {
  ASSERT_TRUE(OpenEditor());
  gui::Pump(100);
  host.ClearRequests();
  ASSERT_EQ(gui::RunX("xdotool mousemove --sync " + At(kSwitchX + 15, kSwitchY + 10) + " click 1"), 0);
  gui::Pump(150);
  EXPECT_DOUBLE_EQ(Value(2), 1.0);
  std::vector<VstInt32> ops = Gesture(host, 2);
  EXPECT_EQ(ops, (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
  ASSERT_EQ(gui::RunX("xdotool sleep 0.5 click 1"), 0);  // apart, so not a double click
  gui::Pump(150);
  EXPECT_DOUBLE_EQ(Value(2), 0.0);
}

// --- keys ---------------------------------------------------------------------------------

TEST_F(WinGuiTest, RealKeysReachTheHostsRootWindow) {
  ASSERT_TRUE(OpenEditor());
  ASSERT_EQ(gui::RunX("focus " + frame->Title()), 0);
  ASSERT_EQ(gui::RunX("xdotool mousemove --sync " + At(190, 60) + " click 1"), 0);
  gui::Pump(100);
  ASSERT_EQ(GetFocus(), Editor());
  frame->keys.clear();
  ASSERT_EQ(gui::RunX("xdotool key a"), 0);
  gui::Pump(150);
  EXPECT_EQ(plug->keyControl->keys, std::vector<int>{kKeyA});
  EXPECT_EQ(frame->keys, (std::vector<gui::KeyEvent>{{WM_KEYDOWN, 'A'}, {WM_KEYUP, 'A'}}));

  // A key a control takes stays in the editor; its release still goes up.
  plug->keyControl->takeKeys = true;
  frame->keys.clear();
  ASSERT_EQ(gui::RunX("xdotool key b"), 0);
  gui::Pump(150);
  EXPECT_EQ(plug->keyControl->keys.back(), kKeyA + 1);
  EXPECT_EQ(frame->keys, (std::vector<gui::KeyEvent>{{WM_KEYUP, 'B'}}));
}

TEST_F(WinGuiTest, KeyCodesFollowTheMappingTable) {
  ASSERT_TRUE(OpenEditor());
  POINT p = Screen(190, 60);
  SetCursorPos(p.x, p.y);
  gui::Pump(50);
  plug->keyControl->takeKeys = true;
  struct {
    WPARAM vk;
    int key;
  } table[] = {{VK_SPACE, 0},   {VK_UP, 1},   {VK_DOWN, 2},       {VK_LEFT, 3},       {VK_RIGHT, 4},
               {'0', 5},        {'9', 14},    {'A', 15},          {'Z', 40},          {VK_NUMPAD1, 15},
               {VK_NUMPAD9, 23}, {0x7A, 40}};
  for (const auto& row : table) {
    plug->keyControl->keys.clear();
    SendMessageA(Editor(), WM_KEYDOWN, row.vk, 0);
    EXPECT_EQ(plug->keyControl->keys, std::vector<int>{row.key}) << std::hex << row.vk;
  }
  // Keys without a code go to the host even while a control would take keys.
  frame->keys.clear();
  plug->keyControl->keys.clear();
  for (WPARAM vk : {WPARAM(VK_RETURN), WPARAM(VK_NUMPAD0), WPARAM(VK_ESCAPE)}) SendMessageA(Editor(), WM_KEYDOWN, vk, 0);
  EXPECT_TRUE(plug->keyControl->keys.empty());
  EXPECT_EQ(frame->keys, (std::vector<gui::KeyEvent>{
                             {WM_KEYDOWN, VK_RETURN}, {WM_KEYDOWN, VK_NUMPAD0}, {WM_KEYDOWN, VK_ESCAPE}}));
}

// --- menus, message boxes, web pages --------------------------------------------------------

IPopupMenu* TestMenu() {
  auto* menu = new IPopupMenu();
  menu->AddItem("One");
  menu->AddItem("Two", IPopupMenuItem::kChecked);
  menu->AddSeparator();
  auto* more = new IPopupMenu();
  more->AddItem("Three", IPopupMenuItem::kGreyed);
  more->AddItem("Four");
  menu->AddSubmenu("More", more);
  return menu;
}

TEST_F(WinGuiTest, ThePopupMenuIsBuiltFromTheTree) {
  ASSERT_TRUE(OpenEditor());
  std::unique_ptr<IPopupMenu> menu(TestMenu());
  gui::MenuSnapshot seen;
  gui::InspectNextMenu(&seen);  // looks at the native menu, then dismisses it
  EXPECT_EQ(plug->Win()->CreatePopupMenu(menu.get(), kKnobRect), nullptr);
  ASSERT_EQ(seen.items.size(), 4u);
  EXPECT_EQ(seen.items[0].id, 0u);
  EXPECT_EQ(seen.items[1].id, 1u);
  EXPECT_TRUE(seen.items[1].state & MF_CHECKED);
  EXPECT_FALSE(seen.items[0].state & MF_CHECKED);
  EXPECT_TRUE(seen.items[2].state & MF_SEPARATOR);
  EXPECT_TRUE(seen.items[3].submenu);
  ASSERT_EQ(seen.subItems.size(), 2u);
  EXPECT_EQ(seen.subItems[0].id, 4u);
  EXPECT_TRUE(seen.subItems[0].state & MF_GRAYED);
  EXPECT_EQ(seen.subItems[1].id, 5u);
  EXPECT_EQ(seen.checkMarks, 1);
  // Shown at the bottom-left corner of the rectangle.
  POINT corner = Screen(kKnobRect.L, kKnobRect.B);
  EXPECT_EQ(seen.at.x, corner.x);
  EXPECT_EQ(seen.at.y, corner.y);
}

TEST_F(WinGuiTest, RealKeysChooseFromThePopupMenu) {
  ASSERT_TRUE(OpenEditor());
  ASSERT_EQ(gui::RunX("focus " + frame->Title()), 0);
  std::unique_ptr<IPopupMenu> menu(TestMenu());

  std::string done = gui::StartX("later 0.7 key Down Down Return");
  IPopupMenu* chosen = plug->Win()->CreatePopupMenu(menu.get(), kKnobRect);
  ASSERT_EQ(gui::WaitX(done), 0);
  EXPECT_EQ(chosen, menu.get());
  EXPECT_EQ(menu->chosenIndex, 1);

  // Into the submenu: Right opens it on its first (greyed) item, Down moves to the next.
  IPopupMenu* more = menu->Item(3)->submenu.get();
  done = gui::StartX("later 0.7 key Down Down Down Right Down Return");
  chosen = plug->Win()->CreatePopupMenu(menu.get(), kKnobRect);
  ASSERT_EQ(gui::WaitX(done), 0);
  EXPECT_EQ(chosen, more);
  EXPECT_EQ(more->chosenIndex, 1);

  done = gui::StartX("later 0.7 key Escape");
  EXPECT_EQ(plug->Win()->CreatePopupMenu(menu.get(), kKnobRect), nullptr);
  ASSERT_EQ(gui::WaitX(done), 0);
  gui::Pump(100);
  // The editor repaints after the menu.
  RECT update;
  EXPECT_FALSE(GetUpdateRect(Editor(), &update, FALSE));
}

TEST_F(WinGuiTest, MenusWithoutItemsOrWindowShowNothing) {
  IPopupMenu empty;
  EXPECT_EQ(plug->Win()->CreatePopupMenu(&empty, kKnobRect), nullptr);  // no window yet
  ASSERT_TRUE(OpenEditor());
  EXPECT_EQ(plug->Win()->CreatePopupMenu(&empty, kKnobRect), nullptr);
  EXPECT_EQ(plug->Win()->CreatePopupMenu(nullptr, kKnobRect), nullptr);
}

TEST_F(WinGuiTest, MessageBoxesBelongToTheHostsMainWindow) {
  gui::HostFrame* panel = gui::HostFrame::CreateChild(frame->Handle());
  ASSERT_TRUE(host.Dispatch(effEditOpen, 0, 0, panel->Handle()));
  gui::DialogSnapshot box;
  gui::AnswerDialog(IDOK, &box);
  EXPECT_EQ(plug->Win()->ShowMessageBox("Hello", "Caption", kMsgOk | kMsgIconInformation), kMsgAnswerOk);
  EXPECT_EQ(box.owner, frame->Handle());
  EXPECT_EQ(box.text, "Hello");
  EXPECT_EQ(box.caption, "Caption");

  // After the editor closed and the host made its main window anew, the box
  // finds the new one by its class.
  host.Dispatch(effEditClose);
  frame->Destroy();
  frame = gui::HostFrame::Create();
  gui::AnswerDialog(IDNO, &box);
  EXPECT_EQ(plug->Win()->ShowMessageBox("Again?", "Caption", kMsgYesNo), kMsgAnswerNo);
  EXPECT_EQ(box.owner, frame->Handle());
}

TEST_F(WinGuiTest, OpeningAnAddressAsksFirstAndReportsFailure) {
  ASSERT_TRUE(OpenEditor());
  gui::DialogSnapshot box;
  gui::AnswerDialog(IDNO, &box);
  EXPECT_FALSE(plug->Win()->OpenURL("qv-test-no-such-scheme:page", "Site", "Open the site?", "It failed"));
  EXPECT_EQ(box.text, "Open the site?");
  EXPECT_EQ(box.caption, "Site");
  // Owned by the editor, which makes its top-level window the box's owner.
  EXPECT_EQ(box.owner, frame->Handle());
  EXPECT_EQ(gui::DialogsAnswered(), 1);

  // Confirmed, but nothing can open the address: the failure text follows.
  gui::AnswerDialog(IDYES, &box);
  gui::DialogSnapshot failure;
  gui::AnswerDialog(IDOK, &failure);
  EXPECT_FALSE(plug->Win()->OpenURL("qv-test-no-such-scheme:page", "Site", "Open the site?", "It failed"));
  EXPECT_EQ(failure.text, "It failed");
  EXPECT_EQ(failure.caption, "Site");
}

// --- bad input and resource hygiene ----------------------------------------------------------

TEST_F(WinGuiTest, AWindowThatIsNotTheEditorsGetsOnlyDefaultHandling) {
  ASSERT_TRUE(OpenEditor());
  gui::Pump(100);
  host.ClearRequests();
  // Another window of the class that claims the same graphics object.
  HWND stranger = CreateWindowExA(0, IGraphicsWin::kWindowClassName, "stranger", WS_CHILD | WS_VISIBLE, 0, 0,
                                  kEditorW, kEditorH, frame->Handle(), nullptr,
                                  static_cast<HINSTANCE>(ModuleHandle()), plug->Win());
  ASSERT_NE(stranger, nullptr);
  SendMessageA(stranger, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 50));
  SendMessageA(stranger, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 10));
  SendMessageA(stranger, WM_LBUTTONUP, 0, MAKELPARAM(40, 10));
  SendMessageA(stranger, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), MAKELPARAM(40, 50));
  EXPECT_TRUE(host.requests.empty());
  EXPECT_NEAR(Value(0), 0.5, 1e-12);
  SendMessageA(stranger, WM_CLOSE, 0, 0);  // the default handling destroys it
  EXPECT_FALSE(IsWindow(stranger));
  EXPECT_TRUE(plug->Win()->WindowIsOpen());
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 1);

  // Drags without a press, and a press with no pointer movement, send nothing.
  SendMessageA(Editor(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 10));
  EXPECT_TRUE(host.requests.empty());
}

TEST_F(WinGuiTest, BadParentsAndUnbalancedClosesAreRefused) {
  EXPECT_EQ(host.Dispatch(effEditClose), 1);  // never opened
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(0x7ff0))), 0);
  gui::HostFrame* gone = gui::HostFrame::Create();
  HWND dead = gone->Handle();
  gone->Destroy();
  EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, dead), 0);
  EXPECT_FALSE(plug->Win()->WindowIsOpen());
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
  EXPECT_FALSE(ClassRegistered());
  ASSERT_TRUE(OpenEditor());
}

TEST_F(WinGuiTest, AFrameDestroyedUnderTheEditorLeavesItClosed) {
  ASSERT_TRUE(OpenEditor());
  frame->Destroy();
  frame = nullptr;
  EXPECT_FALSE(plug->Win()->WindowIsOpen());
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
  EXPECT_EQ(host.Dispatch(effEditClose), 1);
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
  frame = gui::HostFrame::Create();
  ASSERT_TRUE(OpenEditor());
  EXPECT_TRUE(ClassRegistered());
  // Deleting the plug-in with its editor open closes the window too.
  HWND w = Editor();
  host.Close();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(IGraphicsWin::OpenWindowCount(), 0);
  EXPECT_FALSE(ClassRegistered());

  // The frame goes with the editor in it, then the plug-in: the class goes too.
  TestHost other;
  ASSERT_TRUE(other.Create(GuiPlug::Make));
  ASSERT_EQ(other.Dispatch(effEditOpen, 0, 0, frame->Handle()), 1);
  frame->Destroy();
  frame = nullptr;
  other.Close();
  EXPECT_FALSE(ClassRegistered());
}

TEST_F(WinGuiTest, AHundredOpenCloseCyclesLeakNothing) {
  // One cycle first: the system creates its stock objects on first use.
  ASSERT_TRUE(OpenEditor());
  gui::Pump(100);
  host.Dispatch(effEditClose);
  gui::Pump(50);
  gui::ResourceCount before = gui::CountResources();
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(OpenEditor());
    gui::Pump(i % 10 == 0 ? 60 : 0);  // now and then long enough for the timer to paint
    if (i % 2) {
      host.Dispatch(effEditClose);
    } else {
      PostMessageA(Editor(), WM_CLOSE, 0, 0);
      gui::Pump(0);
    }
  }
  gui::Pump(100);
  gui::ResourceCount after = gui::CountResources();
  std::printf("GDI objects %d -> %d, windows %d -> %d, menus %d -> %d (%s)\n", before.gdi, after.gdi,
              before.windows, after.windows, before.menus, after.menus, before.how);
  RecordProperty("gdi_before", before.gdi);
  RecordProperty("gdi_after", after.gdi);
  EXPECT_EQ(after.gdi, before.gdi);
  EXPECT_EQ(after.windows, before.windows);
  EXPECT_EQ(after.menus, before.menus);
  EXPECT_EQ(gui::ChildrenOfClass(frame->Handle(), IGraphicsWin::kWindowClassName), 0);
  EXPECT_FALSE(ClassRegistered());
  // No timer is left to fire for this thread.
  gui::Pump(120);
  EXPECT_EQ(HIWORD(GetQueueStatus(QS_TIMER)) & QS_TIMER, 0u);
}

// --- images and the module folder (no display needed) ------------------------------------------

TEST(WinEditorImages, OnlyPngNamesLoadTheModulesResources) {
  IGraphicsWin g(nullptr, 10, 10);
  std::unique_ptr<RasterBitmap> png(g.LoadPlatformBitmap(3, "img/switch.PNG"));
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(png->Width(), 30);
  EXPECT_EQ(png->Height(), 40);
  std::unique_ptr<RasterBitmap> dotOnly(g.LoadPlatformBitmap(3, ".png"));
  EXPECT_NE(dotOnly, nullptr);
  std::unique_ptr<RasterBitmap> lastDot(g.LoadPlatformBitmap(3, "a.png.bmp"));
  EXPECT_EQ(lastDot, nullptr);
  EXPECT_EQ(g.LoadPlatformBitmap(3, "png"), nullptr);
  EXPECT_EQ(g.LoadPlatformBitmap(3, "a.pngx"), nullptr);
  EXPECT_EQ(g.LoadPlatformBitmap(3, nullptr), nullptr);
  EXPECT_EQ(g.LoadPlatformBitmap(99, "missing.png"), nullptr);
  EXPECT_TRUE(g.HasWindowLayer());
  EXPECT_EQ(g.OpenWindow(nullptr), nullptr);
}

TEST(WinEditorImages, TheModuleFolderEndsAtTheLastBackslash) {
  EXPECT_EQ(ModuleFolderOf("C:\\Program Files\\VST\\QVDelay64.dll"), "C:\\Program Files\\VST\\");
  EXPECT_EQ(ModuleFolderOf("QVDelay64.dll"), "");
  EXPECT_EQ(ModuleFolderOf("C:/VST/QVDelay64.dll"), "");
  EXPECT_EQ(ModuleFolderOf(""), "");
  std::string folder = ModuleFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_EQ(ModulePath().compare(0, folder.size(), folder), 0);
}

}  // namespace
