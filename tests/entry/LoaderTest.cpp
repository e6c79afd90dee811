// Loads the built plug-in library the way a host does and checks its record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "tests/host/DynamicLibrary.h"
#include "tests/host/TestHost.h"

namespace {
std::string gPluginPath;

VstIntPtr VSTCALLBACK SilentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

struct Loaded {
  DynamicLibrary library;
  VstEntryProc main = nullptr;
  VstEntryProc pluginMain = nullptr;
  Loaded() {
    EXPECT_TRUE(library.Open(gPluginPath)) << gPluginPath << ": " << library.Error();
    pluginMain = reinterpret_cast<VstEntryProc>(library.Symbol("VSTPluginMain"));
    main = reinterpret_cast<VstEntryProc>(library.Symbol("main"));
  }
};
}  // namespace

TEST(PluginLibrary, BothEntriesGiveTheSameRecord) {
  Loaded lib;
  ASSERT_NE(lib.pluginMain, nullptr);
  ASSERT_NE(lib.main, nullptr);
  AEffect* a = lib.pluginMain(SilentHost);
  AEffect* b = lib.main(SilentHost);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_NE(a->object, b->object);
  EXPECT_EQ(a->magic, kEffectMagic);
  EXPECT_EQ(a->numPrograms, 10);
  EXPECT_EQ(a->numParams, 9);
  EXPECT_EQ(a->numInputs, 2);
  EXPECT_EQ(a->numOutputs, 2);
  EXPECT_EQ(a->flags, 0x1039);
  ERect* rect = nullptr;
  ASSERT_EQ(a->dispatcher(a, effEditGetRect, 0, 0, &rect, 0.f), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->right, 683);
  EXPECT_EQ(rect->bottom, 174);
  EXPECT_EQ(a->uniqueID, VstFourCC('q', 'v', 'b', 'd'));
  EXPECT_EQ(a->version, 20002);
  EXPECT_EQ(a->ioRatio, 1.0f);
  EXPECT_EQ(a->initialDelay, 0);
  // Equal in every field but the instance pointer.
  AEffect copy = *b;
  copy.object = a->object;
  EXPECT_EQ(std::memcmp(&copy, a, sizeof(AEffect)), 0);
  EXPECT_EQ(lib.pluginMain(nullptr), nullptr);
  a->dispatcher(a, effClose, 0, 0, nullptr, 0.f);
  b->dispatcher(b, effClose, 0, 0, nullptr, 0.f);
}

TEST(PluginLibrary, DrivesLikeAHost) {
  Loaded lib;
  ASSERT_NE(lib.pluginMain, nullptr);
  TestHost host;
  ASSERT_TRUE(host.Create(lib.pluginMain));
  host.Start(44100, 512);
  char text[256] = {0};
  host.Dispatch(effGetEffectName, 0, 0, text);
  EXPECT_STREQ(text, "Quorvel Brigade Delay");
  host.Dispatch(effGetParamName, 3, 0, text);
  EXPECT_STREQ(text, "LFOSpeed");
  std::vector<float> in[2] = {std::vector<float>(2000, 0.25f), std::vector<float>(2000, -0.25f)};
  std::vector<float> out[2];
  host.ProcessReplacing(in, out, 512);
  EXPECT_EQ(out[0].size(), 2000u);
  std::vector<uint8_t> chunk = host.GetChunk(false);
  EXPECT_GT(chunk.size(), 8u);
  EXPECT_TRUE(host.SetChunk(chunk, false));
}

TEST(PluginLibrary, ConcurrentEntries) {
  Loaded lib;
  ASSERT_NE(lib.pluginMain, nullptr);
  AEffect* made[2] = {nullptr, nullptr};
  std::thread a([&] { made[0] = lib.pluginMain(SilentHost); });
  std::thread b([&] { made[1] = lib.main(SilentHost); });
  a.join();
  b.join();
  for (AEffect* e : made) {
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->numParams, 9);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.f);
  }
}

TEST(PluginLibrary, ManyInstancesComeAndGo) {
  Loaded lib;
  ASSERT_NE(lib.pluginMain, nullptr);
  for (int i = 0; i < 200; ++i) {
    AEffect* e = lib.pluginMain(SilentHost);
    ASSERT_NE(e, nullptr);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.f);
  }
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PLUGIN-LIBRARY\n", argv[0]);
    return 2;
  }
  gPluginPath = argv[1];
  return RUN_ALL_TESTS();
}
