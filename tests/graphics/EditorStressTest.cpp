// The editor under the threads a host uses: its user-interface thread draws,
// ticks, clicks, drags and opens menus; the audio thread moves parameters and
// their controls as learned MIDI controllers do; a third thread automates.
// Run under ThreadSanitizer (linux-tsan) to look for data races;
// QV_STRESS_SECONDS sets the length (2 s without it).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "graphics/ISwitchControl.h"
#include "tests/graphics/GraphicsFixture.h"

namespace {
using Clock = std::chrono::steady_clock;

std::atomic<long> gAutomates{0}, gBegins{0}, gEnds{0};

VstIntPtr VSTCALLBACK StressHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterAutomate) gAutomates.fetch_add(1);
  if (opcode == audioMasterBeginEdit) gBegins.fetch_add(1);
  if (opcode == audioMasterEndEdit) gEnds.fetch_add(1);
  return 0;
}

void PercentText(double v, char* text) { std::snprintf(text, kParamTextSize, "%d%%", static_cast<int>(v * 100)); }
void FractionText(double v, char* text) { std::snprintf(text, kParamTextSize, "%.3f", v); }

class StressPlug : public TestPlug {
 public:
  StressPlug() : TestPlug(StressHost) {}
  // Counted, not recorded: millions of changes would fill the base's list.
  void ParameterChanged(int) override {
    IMutexLock lock(Mutex());
    ++changes;
  }
  // What the product's controller queue does at a control tick.
  void ProcessBlock(double** inputs, double** outputs, int frames) override {
    IPluginVST::ProcessBlock(inputs, outputs, frames);
    ++mController;
    const int target = mController % NParams();
    const double value = (mController * 37 % 128) / 127.0;
    // The product swaps a read-out's text function when a sync switch flips.
    GetParam(0)->displayFunction = (mController & 4) ? PercentText : FractionText;
    SetParamFromEditor(target, value);
    if (Editor()) Editor()->SetParameterFromPlug(target, value, true);
    audioBlocks.fetch_add(1);
  }
  std::atomic<long> audioBlocks{0};
  long changes = 0;

 private:
  int mController = 0;
};

// A knob with a read-out, as the product draws them: a film-strip frame and
// the parameter's text, formatted from the control's own value.
class ReadoutKnob : public IKnobControl {
 public:
  ReadoutKnob(IPluginBase* plug, const IRect& r, int paramIdx, const IBitmap& strip)
      : IKnobControl(plug, r, paramIdx), mStrip(strip) {}
  bool Draw(IGraphics* g) override {
    const double v = Value();
    g->DrawBitmapFrame(mStrip, IRect(mRect.L, mRect.T, mRect.L + mStrip.W, mRect.T + mStrip.W),
                       FrameForValue(v, mStrip.N));
    char text[kParamTextSize];
    Plug()->GetParam(ParamIdx())->FormatValue(v, true, text, true);
    g->DrawText(mText, text, IRect(mRect.L, mRect.B - 14, mRect.R, mRect.B));
    if (slowDraws.load() > 0) {
      slowDraws.fetch_sub(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    return true;
  }
  std::atomic<int> slowDraws{0};

 private:
  IBitmap mStrip;
};

// Waits until the audio thread has processed a few more blocks; false when it
// seems stuck behind the caller.
bool AudioMovesOn(StressPlug* plug) {
  const long before = plug->audioBlocks.load();
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < until) {
    if (plug->audioBlocks.load() >= before + 3) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}
}  // namespace

TEST(EditorConcurrent, DrawClickAudioAndAutomation) {
  double seconds = 2.0;
  if (const char* s = std::getenv("QV_STRESS_SECONDS")) seconds = std::max(1.0, std::atof(s));

  auto* plug = new StressPlug();
  auto* g = new TestGraphics(plug, 683, 174);
  g->AttachBackground(TestGraphics::ImageId(1, 90, 7), "back.png");
  IBitmap strip = g->LoadBitmap(TestGraphics::ImageId(9, 40, 7), "knob.png", 9);
  IBitmap two = g->LoadBitmap(TestGraphics::ImageId(2, 20, 7), "switch.png", 2);
  auto* gain = new ReadoutKnob(plug, IRect(10, 10, 70, 72), 0, strip);
  auto* mode = new ReadoutKnob(plug, IRect(100, 10, 160, 72), 1, strip);
  auto* on = new ISwitchControl(plug, 200, 20, 2, two);
  gain->SetDefaultValue(0.5);
  g->AttachControl(gain);
  g->AttachControl(mode);
  g->AttachControl(on);
  plug->AttachEditor(g);
  AEffect* e = plug->Effect();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.f);
  e->dispatcher(e, effSetBlockSize, 0, 64, nullptr, 0.f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.f);
  int parent = 0;
  ASSERT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &parent, 0.f), 1);

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    std::vector<float> in(128, 0.25f), out(128);
    float* ins[2] = {in.data(), in.data() + 64};
    float* outs[2] = {out.data(), out.data() + 64};
    while (!stop.load()) e->processReplacing(e, ins, outs, 64);
  });
  std::atomic<long> automations{0};
  std::thread automation([&] {
    int n = 0;
    while (!stop.load()) {
      ++n;
      e->setParameter(e, n % 3, static_cast<float>((n * 13 % 100) / 99.0));
      if (e->getParameter(e, n % 3) < 0.f) ADD_FAILURE() << "normalised values are never negative";
      automations.fetch_add(1);
      if (n % 64 == 0) std::this_thread::yield();
    }
  });

  // This thread is the host's user-interface thread.
  const IMouseMod left(true, false);
  int stuckMenus = 0, stuckDraws = 0, menus = 0, rounds = 0, draws = 0;
  g->menuAnswer = [&](IPopupMenu&) {
    ++menus;
    if (!AudioMovesOn(plug)) ++stuckMenus;  // the menu is modal: audio must go on meanwhile
    return 1;
  };
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    ++rounds;
    if (g->Tick()) ++draws;
    g->OnMouseDown(40, 40, left);
    for (int i = 0; i < 6; ++i) g->OnMouseDrag(40 + i, 40 - (rounds % 7) * i, left);
    g->OnMouseUp(40, 10, left);
    g->OnMouseWheel(130, 40, IMouseMod(), (rounds % 5) - 2);
    if (g->Tick()) ++draws;
    g->OnMouseDown(205, 25, left);
    g->OnMouseUp(205, 25, left);
    if (rounds % 10 == 0) g->OnMouseDblClick(40, 40, left);
    if (rounds % 25 == 0) {
      ERect* rect = nullptr;
      e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.f);
      e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.f);
      e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.f);
      e->dispatcher(e, effEditOpen, 0, 0, &parent, 0.f);
    }
    if (rounds % 50 == 0) {
      IPopupMenu menu;
      menu.AddItem("a");
      menu.AddItem("b");
      g->CreatePopupMenu(&menu, IRect(0, 0, 10, 10));
    }
    if (rounds % 50 == 25) {
      // A slow draw pass: audio must not wait for it either.
      gain->slowDraws.store(1);
      std::thread watch([&] {
        if (!AudioMovesOn(plug)) ++stuckDraws;
      });
      g->SetAllControlsDirty();
      g->Tick();
      watch.join();
    }
  }
  stop.store(true);
  audio.join();
  automation.join();

  EXPECT_EQ(stuckMenus, 0);
  EXPECT_EQ(stuckDraws, 0);
  EXPECT_GT(menus, 0);
  EXPECT_GT(draws, 10);
  EXPECT_GT(plug->audioBlocks.load(), 100);
  EXPECT_GT(automations.load(), 100);
  EXPECT_EQ(gBegins.load(), gEnds.load()) << "every gesture ended";
  EXPECT_GT(gAutomates.load(), 0);

  // Quiet again: every control shows what its parameter holds, because a
  // parameter and its controls always change together under the plug-in lock.
  for (IControl* c : {static_cast<IControl*>(gain), static_cast<IControl*>(mode), static_cast<IControl*>(on)}) {
    IParameter* p = plug->GetParam(c->ParamIdx());
    const double held = p->Value();
    p->SetFromNormalized(c->Value());
    EXPECT_EQ(p->Value(), held) << c->ParamIdx();
  }
  while (g->Tick()) {
  }
  EXPECT_FALSE(gain->IsDirty());
  e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.f);
  std::printf("stress: %.0f s, %d UI rounds, %d draws, %d menus, %ld audio blocks, %ld automations\n", seconds,
              rounds, draws, menus, plug->audioBlocks.load(), automations.load());
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.f);
}
