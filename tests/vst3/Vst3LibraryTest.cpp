// The built VST 3 bundle, loaded as hosts load it, against the built VST 2.4
// library: the same sound to the bit, each other's state, and what a
// scanning host's many loads leave behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#endif

#include "tests/host/DynamicLibrary.h"
#include "tests/host/TestHost.h"
#include "tests/host/Vst3TestHost.h"
#include "tests/vst3/RunWithPaths.h"

using namespace v3;

namespace {
std::string gBundle, gVst2;
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

struct Vst2 {
  DynamicLibrary library;
  TestHost host;
  Vst2() {
    EXPECT_TRUE(library.Open(gVst2)) << library.Error();
    auto entry = reinterpret_cast<VstEntryProc>(library.Symbol("VSTPluginMain"));
    EXPECT_NE(entry, nullptr);
    if (entry) {
      EXPECT_TRUE(host.Create(entry));
    }
  }
  ~Vst2() { host.Close(); }
};

struct Vst3 {
  Vst3TestHost host;
  Vst3() {
    EXPECT_TRUE(host.Load(gBundle)) << host.Error();
    EXPECT_TRUE(host.Create()) << host.Error();
  }
};

std::vector<float> Phrase(size_t n, unsigned seed) {
  // Bursts of noise with silence between, so echoes and the tail show.
  std::vector<float> v(n, 0.f);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1664525u + 1013904223u;
    if ((i / 4410) % 3 == 0) v[i] = static_cast<float>(static_cast<int>(seed >> 8) % 20001 - 10000) / 25000.f;
  }
  return v;
}

uint64_t Checksum(const std::vector<float>* out) {
  uint64_t h = 1469598103934665603ull;
  for (int c = 0; c < 2; ++c)
    for (float f : out[c]) {
      uint32_t bits;
      std::memcpy(&bits, &f, 4);
      h = (h ^ bits) * 1099511628211ull;
    }
  return h;
}

// Automation at block starts, which both formats can express exactly.
const std::vector<Vst3ParamPoint> kAutomation = {
    {5, 0, 0.7}, {1, 10 * kBlock, 0.35}, {2, 20 * kBlock, 0.85}, {4, 30 * kBlock, 0.4}, {7, 40 * kBlock, 1.0},
    {8, 50 * kBlock, 1.0}, {0, 60 * kBlock, 0.25}, {2, 70 * kBlock, 0.5}};

int OpenResources() {
#if defined(_WIN32)
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return static_cast<int>(handles + GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS) +
                          GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
#else
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
#endif
}
}  // namespace

TEST(Vst3Library, BundleLoadsAndVst2NamesIt) {
  Vst3 v3p;
  ASSERT_NE(v3p.host.Factory(), nullptr);
  PClassInfo info{};
  ASSERT_EQ(v3p.host.Factory()->getClassInfo(0, &info), kResultOk);
  EXPECT_STREQ(info.name, "Quorvel Brigade Delay");
  // The VST 2.4 build answers which class succeeds it, in this platform's order.
  Vst2 v2p;
  char cid[16];
  // Hosts ask with either case of the last letter.
  for (const VstInt32 asked : {VstFourCC('s', 't', 'C', 'A'), VstFourCC('s', 't', 'C', 'a')}) {
    std::memset(cid, 0, sizeof(cid));
    EXPECT_EQ(v2p.host.Dispatch(effVendorSpecific, asked, VstFourCC('F', 'U', 'I', 'D'), cid), 1) << asked;
    EXPECT_EQ(std::memcmp(cid, info.cid, 16), 0) << asked;
  }
  EXPECT_EQ(v2p.host.Dispatch(effVendorSpecific, VstFourCC('s', 't', 'C', 'A'), VstFourCC('F', 'U', 'I', 'X'), cid), 0);
}

TEST(Vst3Library, RendersBitIdenticalToVst2) {
  const size_t frames = 80 * kBlock;
  for (bool doubles : {false, true}) {
    for (bool sync : {false, true}) {
      std::vector<float> in[2] = {Phrase(frames, 11), Phrase(frames, 12)}, a[2], b[2];
      Vst2 v2p;
      v2p.host.Start(kRate, kBlock);
      v2p.host.Dispatch(effSetProgram, 0, 8);
      if (sync) {
        v2p.host.timeInfoAvailable = true;
        v2p.host.advanceTransport = true;
        v2p.host.timeInfo.sampleRate = kRate;
        v2p.host.timeInfo.tempo = 100.0;
        v2p.host.timeInfo.timeSigNumerator = 4;
        v2p.host.timeInfo.timeSigDenominator = 4;
        v2p.host.timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstBarsValid |
                                  kVstTimeSigValid;
      }
      Vst3 v3p;
      ASSERT_TRUE(v3p.host.Start(kRate, kBlock, doubles));
      v3p.host.Flush({{1001, 0, 8.0 / 9.0}});
      if (sync) {
        v3p.host.sendContext = true;
        v3p.host.advanceTransport = true;
        v3p.host.context.tempo = 100.0;
        v3p.host.context.timeSigNumerator = 4;
        v3p.host.context.timeSigDenominator = 4;
        v3p.host.context.state = kPlaying | kTempoValid | kProjectTimeMusicValid | kBarPositionValid | kTimeSigValid;
      }
      size_t next = 0;
      std::vector<double> d[2] = {std::vector<double>(in[0].begin(), in[0].end()),
                                  std::vector<double>(in[1].begin(), in[1].end())},
                          dOut2[2], dOut3[2];
      for (int c = 0; c < 2; ++c) {
        a[c].assign(frames, 0.f);
        b[c].assign(frames, 0.f);
        dOut2[c].assign(frames, 0.0);
      }
      // VST 2.4: parameters set between blocks.
      for (size_t pos = 0; pos < frames; pos += kBlock) {
        while (next < kAutomation.size() && kAutomation[next].offset <= static_cast<int32>(pos)) {
          v2p.host.SetParameter(static_cast<int>(kAutomation[next].id), static_cast<float>(kAutomation[next].value));
          ++next;
        }
        if (doubles) {
          double* ins[2] = {d[0].data() + pos, d[1].data() + pos};
          double* outs[2] = {dOut2[0].data() + pos, dOut2[1].data() + pos};
          v2p.host.Effect()->processDoubleReplacing(v2p.host.Effect(), ins, outs, kBlock);
        } else {
          float* ins[2] = {in[0].data() + pos, in[1].data() + pos};
          float* outs[2] = {a[0].data() + pos, a[1].data() + pos};
          v2p.host.Effect()->processReplacing(v2p.host.Effect(), ins, outs, kBlock);
        }
        if (sync) {
          v2p.host.timeInfo.samplePos += kBlock;
          v2p.host.timeInfo.ppqPos += kBlock / kRate * 100.0 / 60.0;
          v2p.host.timeInfo.barStartPos = static_cast<double>(static_cast<long>(v2p.host.timeInfo.ppqPos / 4.0)) * 4.0;
        }
      }
      // The host's values are floats in VST 2.4: the VST 3 points carry the same.
      std::vector<Vst3ParamPoint> points = kAutomation;
      for (auto& p : points) p.value = static_cast<float>(p.value);
      if (doubles) {
        v3p.host.ProcessDouble(d, dOut3, kBlock, points);
        for (int c = 0; c < 2; ++c)
          for (size_t i = 0; i < frames; ++i) {
            a[c][i] = static_cast<float>(dOut2[c][i]);
            b[c][i] = static_cast<float>(dOut3[c][i]);
          }
        for (int c = 0; c < 2; ++c) EXPECT_EQ(dOut2[c], dOut3[c]) << "double, sync " << sync << ", channel " << c;
      } else {
        v3p.host.Process(in, b, kBlock, points);
        for (int c = 0; c < 2; ++c) EXPECT_EQ(a[c], b[c]) << "float, sync " << sync << ", channel " << c;
      }
      std::printf("cross-format %s%s: VST 2.4 %016llx, VST 3 %016llx\n", doubles ? "double" : "float",
                  sync ? " synced" : "", static_cast<unsigned long long>(Checksum(a)),
                  static_cast<unsigned long long>(Checksum(b)));
      float peak = 0.f;
      for (float f : b[0]) peak = std::max(peak, std::fabs(f));
      EXPECT_GT(peak, 0.01f);
    }
  }
}

TEST(Vst3Library, StateCrossesFormats) {
  Vst2 v2p;
  v2p.host.Start(kRate, kBlock);
  v2p.host.Dispatch(effSetProgram, 0, 3);
  v2p.host.SetParameter(5, 0.2f);
  v2p.host.SetParameter(7, 1.f);
  const std::vector<uint8_t> program = v2p.host.GetChunk(false);
  Vst3 v3p;
  ASSERT_TRUE(v3p.host.SetState(program));
  EXPECT_EQ(v3p.host.GetState(), program);
  EXPECT_NEAR(v3p.host.controller->getParamNormalized(5), 0.2, 1e-7);
  // Back the other way, after a change in the VST 3 edition.
  v3p.host.controller->setParamNormalized(2, 0.9);
  const std::vector<uint8_t> back = v3p.host.GetState();
  ASSERT_TRUE(v2p.host.SetChunk(back, false));
  EXPECT_EQ(v2p.host.GetChunk(false), back);
  EXPECT_NEAR(v2p.host.GetParameter(2), 0.9, 1e-7);
}

TEST(Vst3Library, ScanningLeavesNothingOpen) {
  // One round first: what the process keeps for good (fonts, the runtime's own) is not a leak.
  int before = 0;
  for (int i = 0; i < 101; ++i) {
    if (i == 1) before = OpenResources();
    Vst3TestHost host;
    ASSERT_TRUE(host.Load(gBundle)) << host.Error();
    ASSERT_TRUE(host.Create());
    ASSERT_TRUE(host.Start(kRate, kBlock));
    std::vector<float> in[2] = {Phrase(kBlock, 1), Phrase(kBlock, 2)}, out[2];
    host.Process(in, out, kBlock);
    host.Unload();
  }
  const int after = OpenResources();
  std::printf("open resources around 100 load/unload cycles: %d before, %d after\n", before, after);
  // Wine answers the handle and GUI object counts with 0: nothing to compare there.
  if (before == 0) GTEST_SKIP() << "this system does not count its handles";
  EXPECT_LE(after, before);
}

int main(int argc, char** argv) { return RunWithPaths(argc, argv, "BUNDLE VST2-LIBRARY", {&gBundle, &gVst2}); }
