#include <gtest/gtest.h>

#include <vector>

#include "tests/product/ProductFixture.h"

namespace {
VstMidiEvent CC(int controller, int value, int offset = 0, int channel = 0) {
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof(VstMidiEvent);
  e.deltaFrames = offset;
  e.midiData[0] = static_cast<char>(0xB0 | channel);
  e.midiData[1] = static_cast<char>(controller);
  e.midiData[2] = static_cast<char>(value);
  return e;
}

void Advance(ProductFixture& f, int frames) {
  std::vector<double> in[2] = {std::vector<double>(static_cast<size_t>(frames), 0.0),
                               std::vector<double>(static_cast<size_t>(frames), 0.0)};
  std::vector<double> out[2];
  f.host.ProcessDouble(in, out, frames);
}
}  // namespace

TEST(ProductLearn, ParameterThenController) {
  ProductFixture f;
  f.plug->SetControllerTarget(3, kMix);  // another controller already on "Mix"
  f.plug->StartLearnPass(true, false);
  f.plug->SetParamFromEditor(kMix, 0.3);  // turn the Mix knob
  EXPECT_EQ(f.plug->LearnTarget(), kMix);
  EXPECT_TRUE(f.plug->LearnActive());
  f.host.SendMidi({CC(7, 20)});
  EXPECT_EQ(f.plug->ControllerTarget(7), kMix);
  EXPECT_EQ(f.plug->ControllerTarget(3), -1) << "a target has at most one controller";
  EXPECT_FALSE(f.plug->LearnActive());
  EXPECT_TRUE(f.plug->ControllerQueue().Empty()) << "the captured message is not applied";
}

TEST(ProductLearn, ControllersFirstThenFreeze) {
  ProductFixture f;
  f.plug->StartLearnPass(true, false);
  f.host.SendMidi({CC(1, 5), CC(2, 5)});
  EXPECT_EQ(f.plug->LearnController(), 2) << "later captures replace earlier ones";
  f.plug->ToggleFreeze();  // the FREEZE button
  EXPECT_FALSE(f.plug->FreezeOn()) << "while learning FREEZE itself does not change";
  EXPECT_EQ(f.plug->ControllerTarget(2), kFreezeTarget);
  EXPECT_EQ(f.plug->ControllerTarget(1), -1);
  EXPECT_FALSE(f.plug->LearnActive());
}

TEST(ProductLearn, Unlearn) {
  ProductFixture f;
  f.plug->SetControllerTarget(7, kMix);
  f.plug->SetControllerTarget(9, kMix);
  f.plug->SetControllerTarget(11, kTime);
  f.plug->StartLearnPass(true, true);
  f.host.SendMidi({CC(7, 1)});
  EXPECT_EQ(f.plug->ControllerTarget(7), -1);
  EXPECT_EQ(f.plug->ControllerTarget(9), kMix);
  EXPECT_FALSE(f.plug->LearnActive());
  EXPECT_FALSE(f.plug->UnlearnMode());

  f.plug->SetControllerTarget(7, kMix);
  f.plug->StartLearnPass(true, true);
  f.plug->SetParamFromEditor(kMix, 0.2);  // touch "Mix"
  EXPECT_EQ(f.plug->ControllerTarget(7), -1);
  EXPECT_EQ(f.plug->ControllerTarget(9), -1);
  EXPECT_EQ(f.plug->ControllerTarget(11), kTime);

  // A reset ends a pass that caught nothing.
  f.plug->StartLearnPass(true, false);
  f.host.SetSampleRate(48000);
  EXPECT_FALSE(f.plug->LearnActive());
}

TEST(ProductLearn, ControllersBeyondTheMapTouchNothing) {
  ProductFixture f;
  for (int n = 0; n < kNumControllers; ++n) f.plug->SetControllerTarget(n, -1);
  f.plug->StartLearnPass(true, false);
  f.host.SendMidi({CC(121, 64), CC(123, 64)});
  f.plug->SetParamFromEditor(kMix, 0.4);
  EXPECT_TRUE(f.plug->LearnActive()) << "controllers 120-122 cannot be learned";
  for (int n = 0; n < kNumControllers; ++n) EXPECT_EQ(f.plug->ControllerTarget(n), -1);
  f.plug->StartLearnPass(false, false);
  f.host.SendMidi({CC(120, 127), CC(122, 0)});
  Advance(f, 200);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.4);
}

TEST(ProductLearn, ControllersApplyAtTheirControlTick) {
  ProductFixture f;  // 44100 Hz: a control tick every 45 frames, offsets count down by 44
  f.plug->SetControllerTarget(7, kMix);
  Advance(f, 45);  // frames 0-44; the next tick falls on the first frame of the next block
  f.host.SendMidi({CC(7, 127, 100), CC(7, 0, 140)});
  f.host.ClearRequests();
  Advance(f, 1);
  // The first tick takes 44 off the front message (56 left, not yet due), then
  // 44 off every waiting message: the front one twice. 12 and 96 remain.
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.5);
  EXPECT_EQ(f.plug->ControllerQueue().At(0).offset, 12);
  EXPECT_EQ(f.plug->ControllerQueue().At(1).offset, 96);
  Advance(f, 44);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.5);
  Advance(f, 1);  // next tick: 12 - 44 is due
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 1.0);
  EXPECT_EQ(f.host.CountRequests(audioMasterAutomate), 1) << "the host hears of it like an editor change";
  Advance(f, 45);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.0);
  EXPECT_TRUE(f.plug->ControllerQueue().Empty());
}

TEST(ProductLearn, FreezeControllerSwitchesWithoutRetoggling) {
  ProductFixture f;
  f.plug->SetControllerTarget(10, kFreezeTarget);
  f.host.SendMidi({CC(10, 64)});
  Advance(f, 50);
  EXPECT_TRUE(f.plug->FreezeOn());
  f.host.SendMidi({CC(10, 100)});
  Advance(f, 50);
  EXPECT_TRUE(f.plug->FreezeOn()) << "a repeated 'on' does not toggle";
  f.host.SendMidi({CC(10, 63)});
  Advance(f, 50);
  EXPECT_FALSE(f.plug->FreezeOn());
  f.host.SendMidi({CC(10, 64)});
  Advance(f, 50);
  EXPECT_TRUE(f.plug->FreezeOn());
  f.host.Dispatch(effSetProgram, 0, 2);
  EXPECT_FALSE(f.plug->FreezeOn()) << "making a preset current switches FREEZE off";
}

TEST(ProductLearn, OnlyControlChangesCount) {
  ProductFixture f;
  f.plug->StartLearnPass(true, false);
  VstMidiEvent note = CC(60, 100);
  note.midiData[0] = static_cast<char>(0x90);
  f.host.SendMidi({note});
  EXPECT_EQ(f.plug->LearnController(), -1);
  f.host.SendMidi({CC(5, 1, 0, 9)});  // any channel
  EXPECT_EQ(f.plug->LearnController(), 5);
}
