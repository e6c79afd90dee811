// The built plug-in library's own editor, loaded as a host loads it: its
// window opens in a host frame, shows the same picture on both sides of Wine,
// and many open/close cycles leave nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "platform/win/IGraphicsWin.h"
#include "tests/host/DynamicLibrary.h"
#include "tests/host/TestHost.h"
#include "tests/wingui/GuiHarness.h"

namespace {

std::string LibraryFileName() {
  std::string path = QV_PLUGIN_FILE;
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool LibraryClassRegistered() {
  WNDCLASSA wc;
  return GetClassInfoA(GetModuleHandleA(LibraryFileName().c_str()), IGraphicsWin::kWindowClassName, &wc) != 0;
}

TEST(WinGuiPlugin, TheLibrarysEditorOpensWhereOfferedAndLeavesNothingBehind) {
  DynamicLibrary library;
  ASSERT_TRUE(library.Open(gui::WinPath(QV_PLUGIN_FILE))) << library.Error();
  auto entry = reinterpret_cast<VstEntryProc>(library.Symbol("VSTPluginMain"));
  ASSERT_NE(entry, nullptr);
  TestHost host;
  ASSERT_TRUE(host.Create(entry));
  ERect* rect = nullptr;
  if (!(host.Effect()->flags & effFlagsHasEditor)) {
    // A build without an editor must not offer one. (No skip here: a skip
    // message crashes where x86 Wine runs emulated.)
    std::printf("the plug-in offers no editor in this build; checked that none opens\n");
    EXPECT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 0);
    HWND desktop = GetDesktopWindow();
    EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, desktop), 0);
    EXPECT_EQ(gui::ChildrenOfClass(desktop, IGraphicsWin::kWindowClassName), 0);
    return;
  }
  if (!gui::DisplayReady()) GTEST_SKIP() << gui::DisplayProblem();


  ASSERT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  const int w = rect->right - rect->left, h = rect->bottom - rect->top;
  EXPECT_EQ(w, 683);
  EXPECT_EQ(h, 174);
  gui::HostFrame* frame = gui::HostFrame::Create(w + 60, h + 80);
  ASSERT_NE(frame, nullptr);
  EXPECT_FALSE(LibraryClassRegistered());
  ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, frame->Handle()), 1);
  HWND editor = FindWindowExA(frame->Handle(), nullptr, IGraphicsWin::kWindowClassName, nullptr);
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(LibraryClassRegistered());
  RECT client;
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, w);
  EXPECT_EQ(client.bottom, h);
  gui::Pump(400);

  // The X server shows what GDI holds, and that is a picture, not a blank.
  std::vector<uint32_t> gdi = gui::CaptureWindow(editor, w, h);
  std::set<uint32_t> colours(gdi.begin(), gdi.end());
  EXPECT_GT(colours.size(), 16u);
  gui::Screenshot shot;
  ASSERT_TRUE(gui::CaptureScreen(&shot));
  POINT origin = {0, 0};
  ClientToScreen(editor, &origin);
  std::vector<uint32_t> x11 = shot.Crop(origin.x, origin.y, w, h);
  int differ = 0;
  for (size_t i = 0; i < gdi.size(); ++i) differ += gdi[i] != x11[i];
  EXPECT_EQ(differ, 0);
  gui::KeepArtifact(shot, "plugin-editor");

  host.Dispatch(effEditClose);
  gui::Pump(50);
  // A first round of cycles lets the process-wide caches (fonts, the glyph
  // scratch bitmap) make what they keep for the life of the library; after
  // that every cycle must give back all it took.
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, frame->Handle()), 1);
    gui::Pump(i % 10 == 0 ? 60 : 0);
    host.Dispatch(effEditClose);
  }
  gui::Pump(100);
  gui::ResourceCount before = gui::CountResources();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(host.Dispatch(effEditOpen, 0, 0, frame->Handle()), 1);
    gui::Pump(i % 10 == 0 ? 60 : 0);
    host.Dispatch(effEditClose);
  }
  gui::Pump(100);
  gui::ResourceCount after = gui::CountResources();
  std::printf("plug-in editor: GDI objects %d -> %d, windows %d -> %d, menus %d -> %d (%s)\n", before.gdi,
              after.gdi, before.windows, after.windows, before.menus, after.menus, before.how);
  EXPECT_EQ(after.gdi, before.gdi);
  EXPECT_EQ(after.windows, before.windows);
  EXPECT_EQ(after.menus, before.menus);
  EXPECT_FALSE(LibraryClassRegistered());
  host.Close();
  frame->Destroy();
  gui::Pump(30);
}

}  // namespace
