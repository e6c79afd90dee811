// The entry point as linked into the plug-in, driven in-process.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/host/TestHost.h"
#include "vst/IPluginVST.h"

namespace {
VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

void ExpectProductRecord(const AEffect* e) {
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->numPrograms, 10);
  EXPECT_EQ(e->numParams, 9);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags, 0x1039);  // the editor opens a real window on every target
  EXPECT_EQ(e->uniqueID, VstFourCC('q', 'v', 'b', 'd'));
  EXPECT_EQ(e->version, 20002);
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_NE(e->dispatcher, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  EXPECT_NE(e->processDoubleReplacing, nullptr);
}
}  // namespace

TEST(VstEntry, BuildsACompleteProductInstance) {
  TestHost host;
  ASSERT_TRUE(host.Create(VSTPluginMain));
  ExpectProductRecord(host.Effect());
  IPluginVST* plug = IPluginVST::FromEffect(host.Effect());
  for (int i = 0; i < plug->NPresets(); ++i) EXPECT_TRUE(plug->Preset(i).initialised) << "slot " << i;
  EXPECT_EQ(host.requests.size(), 0u) << "the entry asks the host nothing";
}

TEST(VstEntry, RefusesANullCallback) { EXPECT_EQ(VSTPluginMain(nullptr), nullptr); }

TEST(VstEntry, ConcurrentCallsEachGetAWholeInstance) {
  for (int round = 0; round < 20; ++round) {
    AEffect* made[2] = {nullptr, nullptr};
    std::atomic<bool> go{false};
    std::thread a([&] { while (!go) {} made[0] = VSTPluginMain(SilentHost); });
    std::thread b([&] { while (!go) {} made[1] = VSTPluginMain(SilentHost); });
    go = true;
    a.join();
    b.join();
    ASSERT_NE(made[0], made[1]);
    for (AEffect* e : made) {
      ExpectProductRecord(e);
      e->dispatcher(e, effClose, 0, 0, nullptr, 0.f);
    }
  }
}

TEST(VstEntry, ThousandInstancesComeAndGo) {
  // Under the address sanitizer a leak here fails the run.
  for (int i = 0; i < 1000; ++i) {
    AEffect* e = VSTPluginMain(SilentHost);
    ASSERT_NE(e, nullptr);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.f);
  }
}
