#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/product/ProductFixture.h"

namespace {
const char* kNames[kNumPresets] = {"default",   "Soft Flanger", "Sharp Flanger", "Soft Chorus", "Hard Chorus",
                                   "Slapback",  "Space-like",   "Vibrato",       "Tape Echo",   "Comb Resonator"};
}

TEST(ProductState, FactoryPresets) {
  ProductFixture f;
  for (int i = 0; i < kNumPresets; ++i) {
    char name[256] = {0};
    EXPECT_EQ(f.host.Dispatch(effGetProgramNameIndexed, i, 0, name), 1);
    EXPECT_STREQ(name, kNames[i]);
    const IStateChunk& s = f.plug->Preset(i).state;
    ASSERT_EQ(s.Size(), 27 + 9 * 8) << "presets have exactly the state format";
    EXPECT_EQ(std::memcmp(s.Bytes(), "Quorvel Brigade Delay_2.", 24), 0);
  }
  // The "default" preset differs from the parameter defaults in Feedback.
  double feedback = 0;
  f.plug->Preset(0).state.Get(&feedback, 27 + 2 * 8);
  EXPECT_EQ(feedback, 0.4);
  EXPECT_EQ(f.plug->GetParam(kFeedback)->Value(), 0.0);

  f.host.Dispatch(effSetProgram, 0, 6);  // Space-like
  EXPECT_EQ(f.plug->GetParam(kRange)->Value(), 3);
  EXPECT_EQ(f.plug->GetParam(kTime)->Value(), 0.85);
  EXPECT_EQ(f.plug->GetParam(kFeedback)->Value(), 0.75);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.4);
  EXPECT_EQ(f.plug->GetParam(kQuality)->Value(), 0.44);
  f.host.Dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(f.plug->GetParam(kFeedback)->Value(), -0.2);
  EXPECT_EQ(f.plug->GetParam(kLFODepth)->Value(), 0.8);
}

TEST(ProductState, RoundTripAndOlderForms) {
  ProductFixture a;
  double values[kNumParams] = {1, 0.25, -0.3, 7.5, 0.4, 0.8, 0.2, 1, 1};
  for (int i = 0; i < kNumParams; ++i) a.SetPlain(i, values[i]);
  IStateChunk state;
  ASSERT_TRUE(a.plug->WriteState(state));
  ASSERT_EQ(state.Size(), 27 + 72);

  ProductFixture b;
  EXPECT_EQ(b.plug->ReadState(state, 0), state.Size());
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_EQ(b.plug->GetParam(i)->Value(), a.plug->GetParam(i)->Value()) << "parameter " << i;

  // Another minor version is still read: only the prefix is compared.
  IStateChunk other;
  other.Append("Quorvel Brigade Delay_2.1.5", 27);
  for (int i = 0; i < kNumParams; ++i) other.Put(i == kRange ? 4.0 : a.plug->GetParam(i)->Value());
  ProductFixture c;
  EXPECT_EQ(c.plug->ReadState(other, 0), other.Size());
  EXPECT_EQ(c.plug->GetParam(kRange)->Value(), 4.0);

  // The untagged form: parameters 0-6, both sync switches back to off, out-of-range values limited.
  IStateChunk old;
  double oldValues[7] = {2, 0.5, 3.0, 1.0, 0.5, 0.5, 0.9};
  for (double v : oldValues) old.Put(v);
  ASSERT_EQ(old.Size(), 56);
  EXPECT_EQ(b.plug->ReadState(old, 0), 56);
  EXPECT_EQ(b.plug->GetParam(kRange)->Value(), 2);
  EXPECT_EQ(b.plug->GetParam(kFeedback)->Value(), 1.0);
  EXPECT_EQ(b.plug->GetParam(kQuality)->Value(), 0.9);
  EXPECT_EQ(b.plug->GetParam(kDelaySync)->Value(), 0);
  EXPECT_EQ(b.plug->GetParam(kLFOSync)->Value(), 0);

  // Short data: not a tag, read as the old form, ending at -1 after a clamped zero.
  IStateChunk shortData;
  shortData.Put(3.0);
  shortData.Append("Quorvel", 7);
  EXPECT_EQ(b.plug->ReadState(shortData, 0), -1);
  EXPECT_EQ(b.plug->GetParam(kRange)->Value(), 3.0);
  EXPECT_EQ(b.plug->GetParam(kTime)->Value(), 0.0);
}

TEST(ProductState, HostChunksRoundTripByteForByte) {
  ProductFixture a;
  a.host.Dispatch(effSetProgram, 0, 4);
  a.SetPlain(kMix, 0.7);
  std::vector<uint8_t> program = a.host.GetChunk(false);
  std::vector<uint8_t> bank = a.host.GetChunk(true);
  ASSERT_EQ(program.size(), 8u + 99u + 4u + std::strlen("Hard Chorus"));

  ProductFixture b;
  ASSERT_TRUE(b.host.SetChunk(bank, true));
  b.host.Dispatch(effSetProgram, 0, 4);
  ASSERT_TRUE(b.host.SetChunk(program, false));
  b.host.Dispatch(effSetProgram, 0, 4);
  EXPECT_EQ(b.plug->GetParam(kMix)->Value(), a.plug->GetParam(kMix)->Value());
  EXPECT_EQ(b.host.GetChunk(false), program);
  EXPECT_EQ(b.host.GetChunk(true), bank);
}

TEST(ProductState, PresetMenuSelection) {
  ProductFixture f;
  f.host.Dispatch(effSetProgram, 0, 2);
  f.plug->SetParamFromEditor(kMix, 0.9);
  f.host.ClearRequests();
  f.plug->SelectPreset(5);
  EXPECT_EQ(f.host.Dispatch(effGetProgram), 5);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.33);
  EXPECT_EQ(f.host.CountRequests(audioMasterUpdateDisplay), 1);
  EXPECT_EQ(f.host.CountRequests(audioMasterAutomate), kNumParams);
  f.plug->SelectPreset(2);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.9) << "the preset that was left kept the live settings";
  f.host.ClearRequests();
  f.plug->SelectPreset(12);
  EXPECT_EQ(f.host.Dispatch(effGetProgram), 2);
  EXPECT_EQ(f.host.CountRequests(audioMasterUpdateDisplay), 1) << "the host hears even of a failed load";
}
