#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "dsp/BrigadeLine.h"
#include "dsp/DelayLfo.h"
#include "dsp/PortableMath.h"

namespace {

const double kDivisions[DelayLfo::kSyncRows] = {
    64, 48, 32, 24, 16, 12, 10, 8, 6, 4, 3, 2, 1.5, 4.0 / 3, 1, 0.75, 2.0 / 3, 0.5, 0.375, 0.25};

struct Fnv {
  std::uint64_t h = 14695981039346656037ull;
  void Add(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    for (int i = 0; i < 8; ++i) {
      h ^= (bits >> (8 * i)) & 0xff;
      h *= 1099511628211ull;
    }
  }
};

// Drives line and LFO the way the product does: a control tick every
// ticksPerControl + 1 frames, LFO sync once per block, a rate change half way.
std::uint64_t RenderChecksum() {
  BrigadeLine line;
  DelayLfo lfo;
  Fnv fnv;
  std::uint32_t seed = 12345;
  const double timePosition = 0.35, depth = 0.6;
  int frame = 0;
  for (double rate : {44100.0, 48000.0}) {
    const int ticksPerControl = static_cast<int>(rate) / 1000;
    lfo.SetRate(rate, ticksPerControl);
    if (!line.Rebuild(rate, 2)) return 0;
    line.SetQuality(0.63);
    line.SetFeedback(0.72);
    line.SetMix(0.4);
    lfo.SetSpeedHz(3.3);
    int countdown = 0;
    const int frames = static_cast<int>(rate * 1.5);
    for (int i = 0; i < frames; ++i, ++frame) {
      if (i % 512 == 0) {
        const bool synced = i >= frames / 2;
        lfo.SetSyncOn(synced);
        if (synced) lfo.SyncLfoToHost(128.5, i / rate * 128.5 / 60 + 0.37, rate > 45000, kDivisions);
      }
      if (--countdown < 0) {
        countdown = ticksPerControl;
        line.SetClockStep(BrigadeLine::ModulatedClockStep(timePosition, depth, lfo.Tick()));
      }
      line.SetFreeze(frame >= 30000 && frame < 40000);
      seed = seed * 1664525u + 1013904223u;
      const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
      const double tone = qvmath::Sin(frame * 0.031);
      const double inL = frame == 50000 ? std::numeric_limits<double>::quiet_NaN() : 0.5 * noise;
      const double inR = (frame / 7000) % 2 ? tone : 0.0;
      double outL, outR;
      line.Process(inL, inR, outL, outR);
      fnv.Add(outL);
      fnv.Add(outR);
    }
  }
  return fnv.h;
}

}  // namespace

// The same settings and input must give the same output bits on every target
// (x86-64 and x86 Windows, Linux).
TEST(EngineRenderIdentity, FixedRenderHasTheSameChecksumOnEveryTarget) {
  const std::uint64_t kExpected = 0x34bbea77969f1e36ull;
  const std::uint64_t got = RenderChecksum();
  char text[32];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(got));
  EXPECT_EQ(got, kExpected) << "checksum " << text;
}
