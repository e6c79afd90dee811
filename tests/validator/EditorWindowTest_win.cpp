// Under Wine (or Windows): the product's own Win32 editor, opened in a host's
// window, clicked and closed while another thread processes audio. Skipped
// where no window can be made (Wine without a display).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/validator/ValidatorSupport.h"

using namespace validator;

namespace {
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeFrame() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"QvValidatorHostFrame";
  RegisterClassW(&wc);  // fails harmlessly when already registered
  return CreateWindowExW(0, wc.lpszClassName, L"validator host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 760, 260,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg;
  do {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(2);
  } while (GetTickCount() - start < ms);
}
}  // namespace

TEST(ValidatorEditorWindowConcurrent, RealEditorOpenedClickedAndClosedWhileProcessing) {
  Instance inst(44100, 256);
  if (!(inst.effect->flags & effFlagsHasEditor)) GTEST_SKIP() << "the plug-in offers no editor here";
  HWND frame = MakeFrame();
  if (!frame) GTEST_SKIP() << "no window can be made here (no display)";
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  inst.plug->SetSettingsPath(std::string(temp) + "qv-validator-settings.ini");
  std::atomic<bool> stop{false}, dirty{false};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    Stereo in = Noise(256, 8), out(256);
    float* ins[2] = {in.ch[0].data(), in.ch[1].data()};
    float* outs[2] = {out.ch[0].data(), out.ch[1].data()};
    while (!stop) {
      inst.effect->processReplacing(inst.effect, ins, outs, 256);
      if (!CleanOutput(out)) dirty = true;
      ++blocks;
    }
  });
  Random r(33);
  const std::vector<float> before = inst.Parameters();
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(inst.host.Dispatch(effEditOpen, 0, 0, frame), 1);
    HWND editor = GetWindow(frame, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    for (int i = 0; i < 40; ++i) {
      // Knobs, switches and the range selector: the menus and the tools
      // column open modal loops nobody here would end.
      const int x = r.Below(600), y = 60 + r.Below(114);
      PostMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
      PostMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y - 12 + r.Below(25)));
      PostMessageW(editor, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
      Pump(5);
      inst.host.Dispatch(effEditIdle);
    }
    EXPECT_EQ(inst.host.Dispatch(effEditClose), 1);
    Pump(20);
    EXPECT_FALSE(IsWindow(editor));
  }
  const long seen = blocks;
  while (blocks < seen + 10) std::this_thread::yield();
  stop = true;
  audio.join();
  DestroyWindow(frame);
  EXPECT_FALSE(dirty);
  const std::vector<float> after = inst.Parameters();
  EXPECT_NE(after, before) << "the clicks reached no control";
  for (float v : after) EXPECT_TRUE(v >= 0.f && v <= 1.f);
}
