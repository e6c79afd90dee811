#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/Trace.h"
#include "tests/host/TestHost.h"
#include "tests/host/TestPlug.h"

using Fixture = PlugFixture;

namespace {

std::vector<std::string> gTraces;
void Collect(const char* location, int, const char* message) { gTraces.push_back(std::string(location) + " " + message); }
}  // namespace

TEST(IPluginBase, FreshInstanceState) {
  Fixture f;
  EXPECT_EQ(f.plug->SampleRate(), 44100.0);
  EXPECT_EQ(f.plug->BlockSize(), 1024);
  EXPECT_EQ(f.plug->Latency(), 0);
  EXPECT_EQ(f.plug->TailSize(), 0);
  EXPECT_EQ(f.plug->CurrentPresetIndex(), 0);
  EXPECT_EQ(f.plug->NInChannels(), 2);
  EXPECT_EQ(f.plug->NOutChannels(), 2);
  EXPECT_EQ(f.plug->GetHostKind(), kHostUninit);
  EXPECT_EQ(f.plug->DecimalVersion(), 10203);
  for (int i = 0; i < 10; ++i) {
    EXPECT_FALSE(f.plug->Preset(i).initialised);
    EXPECT_STREQ(f.plug->PresetName(i), "empty");
  }
}

TEST(IPluginBase, LegalIOMatchesTheConfigurations) {
  Fixture f;
  SetTraceSink(Collect);
  gTraces.clear();
  EXPECT_TRUE(f.plug->LegalIO(1, -1));
  EXPECT_TRUE(f.plug->LegalIO(2, 2));
  EXPECT_TRUE(f.plug->LegalIO(1, 1));
  EXPECT_FALSE(f.plug->LegalIO(2, 1));
  EXPECT_FALSE(f.plug->LegalIO(3, -1));
  SetTraceSink(nullptr);
  ASSERT_EQ(gTraces.size(), 5u);
  EXPECT_EQ(gTraces[0], "IPluginBase::LegalIO 1:-1:legal");
  EXPECT_EQ(gTraces[3], "IPluginBase::LegalIO 2:1:illegal");
}

TEST(IPluginBase, BlockSizeResizesAndClearsScratchOnlyOnChange) {
  Fixture f;
  double* s = f.plug->InChannel(0).scratch.Samples();
  s[5] = 3.0;
  f.plug->SetBlockSize(1024);
  EXPECT_EQ(f.plug->InChannel(0).scratch.Samples()[5], 3.0);
  f.plug->SetBlockSize(64);
  EXPECT_EQ(f.plug->BlockSize(), 64);
  for (int c = 0; c < 2; ++c) {
    ASSERT_EQ(f.plug->OutChannel(c).scratch.Frames(), 64);
    for (int i = 0; i < 64; ++i) {
      EXPECT_EQ(f.plug->InChannel(c).scratch.Samples()[i], 0.0);
      EXPECT_EQ(f.plug->OutChannel(c).scratch.Samples()[i], 0.0);
    }
  }
}

TEST(IPluginBase, HugeBlockSizesAreBoundedAndServedInPieces) {
  Fixture f;
  f.host.SetBlockSize(4 << 20);
  EXPECT_EQ(f.plug->BlockSize(), kMaxBlockSize);
  EXPECT_EQ(f.plug->OutChannel(0).scratch.Frames(), kMaxBlockSize);
  f.host.SetBlockSize(100000000);
  EXPECT_EQ(f.plug->BlockSize(), kMaxBlockSize);
  const int frames = kMaxBlockSize + 5;
  std::vector<float> in[2] = {std::vector<float>(frames, 0.5f), std::vector<float>(frames, 0.25f)};
  std::vector<float> out[2];
  f.host.ProcessReplacing(in, out, frames);
  EXPECT_EQ(f.plug->maxFrames, kMaxBlockSize);
  EXPECT_EQ(f.plug->lastFrames, 5);
  EXPECT_EQ(out[0][frames - 1], 0.5f);
  EXPECT_EQ(out[1][frames - 1], 0.25f);
}

namespace {
// Moves every block it grows and fails once the budget of calls is spent.
int gReallocations = 0;
void* MovingOrFailing(void* data, size_t bytes) {
  if (gReallocations-- <= 0) return nullptr;
  void* p = std::malloc(bytes);
  if (p && data) {
    std::memcpy(p, data, 64);  // every block here holds at least 64 bytes
    std::free(data);
  }
  return p;
}
}  // namespace

TEST(IPluginBase, AFailedBlockSizeChangeLeavesNoChannelPointingAtFreedMemory) {
  Fixture f;
  f.plug->SetInputConnected(0, false);
  f.plug->SetOutputConnected(0, false);
  for (int budget : {1, 2, 3}) {
    GrowBuffer::Reallocator normal = GrowBuffer::reallocate;
    GrowBuffer::reallocate = MovingOrFailing;
    gReallocations = budget;  // the first channels grow (and move), a later one fails
    f.plug->SetBlockSize(4096 * budget);
    GrowBuffer::reallocate = normal;
    EXPECT_EQ(f.plug->BlockSize(), 1024) << budget;
    EXPECT_EQ(f.plug->InputPointers()[0], f.plug->InChannel(0).scratch.Samples()) << budget;
    EXPECT_EQ(f.plug->OutputPointers()[0], f.plug->OutChannel(0).scratch.Samples()) << budget;
  }
  std::vector<float> in[2] = {std::vector<float>(2048, 0.5f), std::vector<float>(2048, 0.5f)};
  std::vector<float> out[2];
  f.host.ProcessReplacing(in, out, 2048);
  EXPECT_EQ(f.plug->maxFrames, 1024);
}

TEST(IPluginBase, EditorValueReachesTheHostUnrounded) {
  Fixture f;
  f.host.ClearRequests();
  f.plug->changed.clear();
  f.plug->SetParamFromEditor(1, 0.33);  // Int parameter: stored value is rounded to the step
  EXPECT_EQ(f.plug->GetParam(1)->Value(), 1.0);
  ASSERT_EQ(f.host.CountRequests(audioMasterAutomate), 1);
  EXPECT_EQ(f.host.requests[0].index, 1);
  EXPECT_EQ(f.host.requests[0].opt, 0.33f);
  EXPECT_EQ(f.plug->changed, std::vector<int>{1});

  f.host.ClearRequests();
  f.plug->NotifyHostAllParams();
  ASSERT_EQ(f.host.CountRequests(audioMasterAutomate), 3);
  EXPECT_EQ(f.host.requests[1].opt, 0.25f);  // Mode 1 of 0..4
}

TEST(IPluginBase, RecursiveLockAllowsHooksToLockAgain) {
  Fixture f;
  IMutexLock outer(f.plug->Mutex());
  f.plug->changed.clear();
  f.host.Open();  // the dispatcher takes the lock, ParameterChanged takes it again
  EXPECT_EQ(f.plug->changed, (std::vector<int>{0, 1, 2}));
}

TEST(IPluginBase, PresetOperations) {
  Fixture f;
  IPluginBase& p = *f.plug;
  EXPECT_STREQ(p.PresetName(10), "");
  EXPECT_STREQ(p.PresetName(-1), "");

  p.GetParam(0)->SetValue(0.75);
  p.ModifyCurrentPreset("");
  EXPECT_TRUE(p.Preset(0).initialised == false) << "storing does not mark a slot";
  EXPECT_STREQ(p.PresetName(0), "empty") << "an empty name keeps the old one";
  EXPECT_EQ(p.Preset(0).state.Size(), 3 * 8);
  p.ModifyCurrentPreset("mine");
  EXPECT_STREQ(p.PresetName(0), "mine");

  // Making an uninitialised slot current turns it into a user preset.
  f.plug->presetChanges = 0;
  EXPECT_TRUE(p.LoadPreset(3));
  EXPECT_STREQ(p.PresetName(3), "user preset 1");
  EXPECT_EQ(p.CurrentPresetIndex(), 3);
  EXPECT_EQ(f.plug->presetChanges, 1);
  EXPECT_TRUE(p.LoadPreset(4));
  EXPECT_STREQ(p.PresetName(4), "user preset 2");
  EXPECT_FALSE(p.LoadPreset(10));
  EXPECT_EQ(p.CurrentPresetIndex(), 4);

  p.FillEmptyPresets(p.NPresets());
  for (int i = 0; i < p.NPresets(); ++i) EXPECT_TRUE(p.Preset(i).initialised);
  EXPECT_STREQ(p.PresetName(0), "Empty");
  EXPECT_STREQ(p.PresetName(3), "user preset 1");
}

TEST(IPluginBase, UnserializeParamsClampsAndStopsAtTheEnd) {
  Fixture f;
  IStateChunk c;
  c.Put(7.0);  // above max: clamped
  c.Put(2.5);  // Int parameter: no step rounding from chunks
  f.plug->changed.clear();
  EXPECT_EQ(f.plug->UnserializeParams(c, 0), -1);
  EXPECT_EQ(f.plug->GetParam(0)->Value(), 1.0);
  EXPECT_EQ(f.plug->GetParam(1)->Value(), 2.5);
  EXPECT_EQ(f.plug->GetParam(2)->Value(), 0.0) << "the parameter where the data ran out gets a clamped zero";
  EXPECT_EQ(f.plug->changed, (std::vector<int>{0, 1, 2}));
}
