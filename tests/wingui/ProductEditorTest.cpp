// The built plug-in DLL's editor under Wine and a real X server: each shared
// scenario runs on a fresh instance loaded through VSTPluginMain from a copy of
// the DLL in a folder of the test's own (the settings file lands beside it),
// its editor a child of the test's host frame, pointer input from xdotool and
// captures from the X side. Without a reachable display these tests skip.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win/IGraphicsWin.h"
#include "tests/host/DynamicLibrary.h"
#include "tests/host/EditorScenarios.h"
#include "tests/host/TestHost.h"
#include "tests/wingui/GuiHarness.h"
#include "vst/VendorEditorScale.h"

namespace {

using scenario::kHeight;
using scenario::kWidth;

// The host's frame is this much larger than the editor it holds.
constexpr int kFrameW = 60, kFrameH = 80;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The popup menu, looked at from inside its modal loop; then the wanted item
// is clicked with real input, or the menu is dismissed with Escape.
struct MenuVisit {
  int choose = -1;
  int rows = -1, checked = -2;
  bool seen = false;
  std::string done;  // the outside step's done file
  // A choice in a submenu: its parent item was clicked; the item follows once it shows.
  HMENU submenu = nullptr;
  int subIndex = -1;
  std::string opening;  // the done file of that click
};
MenuVisit* gVisit = nullptr;
UINT_PTR gVisitTimer = 0;

struct PopupSearch {
  HMENU menu;  // null: any
  HWND found;
};
BOOL CALLBACK FindPopup(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<PopupSearch*>(param);
  char name[16] = {0};
  GetClassNameA(hwnd, name, sizeof(name));
  if (IsWindowVisible(hwnd) && std::string(name) == "#32768" &&
      (!search->menu || reinterpret_cast<HMENU>(SendMessageA(hwnd, MN_GETHMENU, 0, 0)) == search->menu)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
HWND Popup(HMENU menu) {
  PopupSearch search{menu, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindPopup, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ClickItem(HMENU menu, int index) {
  RECT item;
  if (!GetMenuItemRect(nullptr, menu, static_cast<UINT>(index), &item)) return "";
  return gui::StartX("xdotool mousemove --sync " + std::to_string((item.left + item.right) / 2) + " " +
                     std::to_string((item.top + item.bottom) / 2) + " sleep 0.1 click 1");
}

void EndVisit() {
  KillTimer(nullptr, gVisitTimer);
  gVisitTimer = 0;
  gVisit = nullptr;
}

void CALLBACK VisitTimer(HWND, UINT, UINT_PTR, DWORD) {
  MenuVisit* visit = gVisit;
  if (!visit) return;
  if (visit->submenu) {
    if (!Popup(visit->submenu)) return;  // not open yet
    EndVisit();
    visit->done = ClickItem(visit->submenu, visit->subIndex);
    if (visit->done.empty()) visit->done = gui::StartX("xdotool key Escape key Escape");
    return;
  }
  HWND popup = Popup(nullptr);
  if (!popup) return;
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  if (!menu) return EndVisit();
  visit->seen = true;
  // Numbered as the tree is: a menu's items, then each submenu's.
  struct Level {
    HMENU menu;
    HMENU parent;
    int parentIndex;
  };
  std::vector<Level> menus{{menu, nullptr, -1}};
  visit->rows = 0;
  visit->checked = -1;
  Level chosen{nullptr, nullptr, -1};
  int chosenIndex = -1;
  for (size_t m = 0; m < menus.size(); ++m) {
    const int n = GetMenuItemCount(menus[m].menu);
    for (int i = 0; i < n; ++i, ++visit->rows) {
      if (GetMenuState(menus[m].menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED)
        visit->checked = visit->checked == -1 ? visit->rows : -3;  // -3: more than one
      if (visit->rows == visit->choose) {
        chosen = menus[m];
        chosenIndex = i;
      }
      if (HMENU sub = GetSubMenu(menus[m].menu, i)) menus.push_back({sub, menus[m].menu, i});
    }
  }
  if (chosen.menu == menu) {
    EndVisit();
    visit->done = ClickItem(menu, chosenIndex);
  } else if (chosen.menu && chosen.parent == menu && !(visit->opening = ClickItem(menu, chosen.parentIndex)).empty()) {
    // The timer goes on until the submenu shows.
    visit->submenu = chosen.menu;
    visit->subIndex = chosenIndex;
  } else {
    EndVisit();
  }
  if (visit->done.empty() && !visit->submenu) visit->done = gui::StartX("xdotool key Escape");
}

// Where the Wine browser launcher looks for a browser: for the test, only our
// stand-in, which writes its argument down; the user's setting comes back after.
class OpenerStandIn {
 public:
  static constexpr const char* kKey = "Software\\Wine\\WineBrowser";
  bool Install(const std::string& script) {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &mKey, nullptr)) return false;
    char old[1024] = {0};
    DWORD size = sizeof(old) - 1, type = 0;
    mHadValue = RegQueryValueExA(mKey, "Browsers", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == 0;
    mOld.assign(old, size && !old[size - 1] ? size - 1 : size);
    return RegSetValueExA(mKey, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(script.c_str()),
                          static_cast<DWORD>(script.size() + 1)) == 0;
  }
  ~OpenerStandIn() {
    if (!mKey) return;
    if (mHadValue)
      RegSetValueExA(mKey, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(mOld.c_str()),
                     static_cast<DWORD>(mOld.size() + 1));
    else
      RegDeleteValueA(mKey, "Browsers");
    RegCloseKey(mKey);
  }

 private:
  HKEY mKey = nullptr;
  bool mHadValue = false;
  std::string mOld;
};

class WinTarget : public scenario::Target {
 public:
  WinTarget(VstEntryProc entry, const std::string& folder, double scale = 1.0) : mFolder(folder) {
    if (!host.Create(entry)) return;
    host.Start(44100, 512);
    if (scale != 1.0 &&
        host.Dispatch(effVendorSpecific, kVendorEditorScale, 0, nullptr, static_cast<float>(scale)) != 1)
      return;
    ERect* rect = nullptr;
    if (host.Dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return;
    frame = gui::HostFrame::Create(rect->right - rect->left + kFrameW, rect->bottom - rect->top + kFrameH);
    // A host with a real window follows the editor's size requests.
    host.onSizeWindow = [this](int width, int height) {
      SetWindowPos(frame->Handle(), nullptr, 0, 0, width + kFrameW, height + kFrameH,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    if (!frame || host.Dispatch(effEditOpen, 0, 0, frame->Handle()) != 1) return;
    editor = FindWindowExA(frame->Handle(), nullptr, IGraphicsWin::kWindowClassName, nullptr);
    // Keys (Escape in menus) go to the window that has the X focus.
    mOk = editor && gui::RunX("focus " + frame->Title()) == 0;
    gui::Pump(150);
  }
  ~WinTarget() override {
    host.Dispatch(effEditClose);
    host.Close();
    if (frame) frame->Destroy();
    gui::Pump(30);
  }
  bool Ok() const { return mOk; }
  TestHost& Host() override { return host; }

  // A design position on the screen.
  std::string At(int x, int y) const {
    POINT p = {scenario::DevicePos(x, mScale), scenario::DevicePos(y, mScale)};
    ClientToScreen(editor, &p);
    return std::to_string(p.x) + " " + std::to_string(p.y);
  }
  bool X(const std::string& steps) { return gui::RunX("xdotool " + steps) == 0; }
  // A synchronous move to where the pointer already is waits for a motion
  // that never comes: only move when it is elsewhere.
  std::string MoveTo(int x, int y) {
    const std::string at = At(x, y);
    if (at == mPointer) return "";
    mPointer = at;
    return "mousemove --sync " + at + " ";
  }

  bool Perform(const scenario::Step& s, double scale) override {
    using scenario::Op;
    mScale = scale;
    bool ok = false;
    switch (s.op) {
      case Op::Click:
        ok = X(MoveTo(s.x, s.y) + "click " + std::to_string(s.button));
        break;
      case Op::DoubleClick:
        ok = X(MoveTo(s.x, s.y) + "click --repeat 2 --delay 80 1");
        break;
      case Op::Drag: {
        std::string steps = MoveTo(s.x, s.y) + "mousedown 1";
        const int n = (std::abs(s.amount) + 4) / 5;
        for (int i = 1; i <= n; ++i) steps += " " + MoveTo(s.x, s.y + s.amount * i / n);
        ok = X(steps + "mouseup 1");
        break;
      }
      case Op::Wheel: {
        std::string steps = MoveTo(s.x, s.y);
        for (int i = 0; i < std::abs(s.amount); ++i) steps += s.amount > 0 ? "click 4 " : "click 5 ";
        ok = X(steps);
        break;
      }
      case Op::MenuClick: {
        mVisit = MenuVisit();
        mVisit.choose = s.amount;
        // Without our stand-in the launcher would start whatever browser the
        // machine has: then the site entry is only looked at and dismissed.
        if (sOpenLog.empty() && s.items == 6 && s.amount == 1) mVisit.choose = -1;
        gVisit = &mVisit;
        gVisitTimer = SetTimer(nullptr, 0, 30, VisitTimer);
        ok = X(MoveTo(s.x, s.y) + "click 1");
        mPointer.clear();  // the item's click moved it
        ok = ok && mVisit.seen && gui::WaitX(mVisit.done) == 0;
        if (!mVisit.opening.empty()) ok = gui::WaitX(mVisit.opening) == 0 && ok;
        if (gVisitTimer) KillTimer(nullptr, gVisitTimer);
        gVisitTimer = 0;
        gVisit = nullptr;
        break;
      }
      default:
        break;
    }
    // Settle, and keep the next press from pairing with this one as a double click.
    gui::Pump(450);
    return ok;
  }

  // What GDI holds for the window: cheap enough for every check. The X side's
  // dump is compared with it in the test of two runs.
  std::vector<uint32_t> Capture() override {
    gui::Pump(150);
    RECT r = {0, 0, 0, 0};
    GetClientRect(editor, &r);
    return gui::CaptureWindow(editor, r.right, r.bottom);
  }
  std::vector<uint32_t> CaptureX() {
    gui::Pump(150);
    gui::Screenshot shot;
    if (!gui::CaptureScreen(&shot)) return {};
    POINT origin = {0, 0};
    ClientToScreen(editor, &origin);
    RECT r = {0, 0, 0, 0};
    GetClientRect(editor, &r);
    return shot.Crop(origin.x, origin.y, r.right, r.bottom);
  }
  void WindowSizes(int* editorW, int* editorH, int* hostW, int* hostH) override {
    gui::Pump(50);
    RECT r = {0, 0, 0, 0};
    GetClientRect(editor, &r);
    *editorW = r.right;
    *editorH = r.bottom;
    RECT f = {0, 0, 0, 0};
    GetClientRect(frame->Handle(), &f);
    *hostW = f.right;
    *hostH = f.bottom;
  }
  bool LastMenu(int* rows, int* checked) override {
    *rows = mVisit.rows;
    *checked = mVisit.checked;
    return mVisit.seen;
  }
  bool Urls(std::vector<std::string>* urls) override {
    if (sOpenLog.empty()) return false;
    std::string text;
    for (int i = 0; i < 150 && text.empty(); ++i) {
      text = ReadFile(sOpenLog);
      if (text.empty()) gui::Pump(20);
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) urls->push_back(line);
    DeleteFileA(sOpenLog.c_str());
    return true;
  }
  std::string ModuleFolder() override { return mFolder; }
  void Keep(const std::vector<uint32_t>& pixels, int width, int height, const std::string& name) override {
    const char* dir = std::getenv("QV_GUI_ARTIFACTS");
    if (!dir || !*dir) return;
    std::string path = std::string(dir) + "/win" + std::to_string(sizeof(void*) * 8) + "-scenario-" + name + ".ppm";
    if (path[0] == '/') path = gui::WinPath(path);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (uint32_t v : pixels) {
      const unsigned char rgb[3] = {static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v)};
      std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
  }

  static inline std::string sOpenLog;  // empty: the opener cannot be observed

  TestHost host;
  gui::HostFrame* frame = nullptr;
  HWND editor = nullptr;

 private:
  std::string mFolder;
  bool mOk = false;
  MenuVisit mVisit;
  std::string mPointer;
  double mScale = 1.0;
};

class WinProductEditor : public ::testing::TestWithParam<size_t> {
 protected:
  static void SetUpTestSuite() {
    if (!gui::DisplayReady()) return;
    const std::string unixFolder = "/tmp/qv-wingui-scenarios-" + std::to_string(GetCurrentProcessId()) + "-" +
                                   std::to_string(GetTickCount());
    sFolder = gui::WinPath(unixFolder) + "\\";
    CreateDirectoryA(sFolder.c_str(), nullptr);
    std::string file = QV_PLUGIN_FILE;
    file = file.substr(file.find_last_of('/') + 1);
    // A copy of its own: the settings file goes beside it.
    const std::string copy = sFolder + file;
    if (!CopyFileA(gui::WinPath(QV_PLUGIN_FILE).c_str(), copy.c_str(), FALSE)) return;
    sOpener = new OpenerStandIn();
    if (sOpener->Install(QV_FAKE_OPENER)) WinTarget::sOpenLog = gui::WinPath("/tmp/qv-fake-open.log");
    DeleteFileA(gui::WinPath("/tmp/qv-fake-open.log").c_str());
    sLibrary = new DynamicLibrary();
    if (!sLibrary->Open(copy)) return;
    sEntry = reinterpret_cast<VstEntryProc>(sLibrary->Symbol("VSTPluginMain"));
  }
  static void TearDownTestSuite() {
    delete sOpener;
    sOpener = nullptr;
    delete sLibrary;
    sLibrary = nullptr;
    sEntry = nullptr;
    if (!sFolder.empty()) {
      WIN32_FIND_DATAA data;
      HANDLE find = FindFirstFileA((sFolder + "*").c_str(), &data);
      if (find != INVALID_HANDLE_VALUE) {
        do DeleteFileA((sFolder + data.cFileName).c_str());
        while (FindNextFileA(find, &data));
        FindClose(find);
      }
      RemoveDirectoryA(sFolder.c_str());
    }
    sFolder.clear();
  }
  void SetUp() override {
    if (!gui::DisplayReady()) GTEST_SKIP() << gui::DisplayProblem();
    ASSERT_NE(sEntry, nullptr) << "the library " << QV_PLUGIN_FILE << " did not load";
  }

  static inline DynamicLibrary* sLibrary = nullptr;
  static inline OpenerStandIn* sOpener = nullptr;
  static inline VstEntryProc sEntry = nullptr;
  static inline std::string sFolder;
};

TEST_P(WinProductEditor, Scenario) {
  const scenario::Scenario& s = scenario::All()[GetParam()];
  // A size remembered by an earlier scenario would open this one at it.
  DeleteFileA((sFolder + "qvdelay.ini").c_str());
  WinTarget target(sEntry, sFolder, s.scale);
  ASSERT_TRUE(target.Ok()) << "the editor did not open in the host's frame";
  scenario::Run(s, target);
}

INSTANTIATE_TEST_SUITE_P(All, WinProductEditor, ::testing::Range<size_t>(0, scenario::All().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           std::string name;
                           for (char c : scenario::All()[info.param].name)
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return std::to_string(info.param) + "_" + name.substr(0, 40);
                         });

TEST_F(WinProductEditor, TwoRunsShowTheSamePixelsAsTheOffscreenRender) {
  const std::vector<uint32_t> want = scenario::DefaultRender();
  std::vector<uint32_t> shots[2];
  for (auto& shot : shots) {
    WinTarget target(sEntry, sFolder);
    ASSERT_TRUE(target.Ok());
    shot = target.CaptureX();
    EXPECT_TRUE(shot == target.Capture()) << "the X server shows what GDI holds";
    target.Keep(shot, kWidth, kHeight, "default");
  }
  ASSERT_EQ(shots[0].size(), static_cast<size_t>(kWidth * kHeight));
  EXPECT_TRUE(shots[0] == shots[1]) << "two runs differ";
  EXPECT_TRUE(shots[0] == want) << "the window differs from the off-screen render";
}

// The scenarios compare what GDI holds; at 200 % the X server must show the same.
TEST_F(WinProductEditor, OpenedAt200PercentTheXServerShowsTheOffscreenRender) {
  WinTarget target(sEntry, sFolder, 2.0);
  ASSERT_TRUE(target.Ok());
  const std::vector<uint32_t> shot = target.CaptureX();
  ASSERT_EQ(shot.size(), static_cast<size_t>(scenario::DeviceWidth(2.0) * scenario::DeviceHeight(2.0)));
  EXPECT_TRUE(shot == target.Capture()) << "the X server shows what GDI holds";
  EXPECT_TRUE(shot == scenario::DefaultRender(2.0)) << "the window differs from the off-screen render";
  target.Keep(shot, scenario::DeviceWidth(2.0), scenario::DeviceHeight(2.0), "default-200");
}

}  // namespace
