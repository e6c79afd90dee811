#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/PortableMath.h"
#include "tests/product/ProductFixture.h"

namespace {
// The first echo comes after the nominal delay plus the line's interpolation
// and filter latency: a few samples, more at low Quality.
void ExpectEchoAt(ProductFixture& f, double delayMs, double rate, int frames) {
  std::vector<double> out[2];
  f.RenderImpulse(frames, out);
  int expected = static_cast<int>(std::lround(delayMs * rate / 1000.0));
  int peak = PeakIndex(out[0], 8);
  EXPECT_GE(peak, expected) << "delay " << delayMs << " ms";
  EXPECT_LE(peak, expected + 12) << "delay " << delayMs << " ms";
  EXPECT_EQ(out[0], out[1]);
}
}  // namespace

TEST(ProductRender, EachFactoryPresetEchoesAtItsDelay) {
  for (double rate : {44100.0, 48000.0}) {
    for (int preset = 0; preset < kNumPresets; ++preset) {
      ProductFixture f(rate);
      f.host.Dispatch(effSetProgram, 0, preset);
      f.SetPlain(kLFODepth, 0.0);  // the delay as Range and Time set it
      double range = f.plug->GetParam(kRange)->Value();
      double time = f.plug->GetParam(kTime)->Value();
      double maxMs = 2000.0 * std::ldexp(1.0, -2 * (4 - static_cast<int>(range)));
      double delayMs = maxMs * 0.125 + maxMs * 0.875 * time;
      EXPECT_DOUBLE_EQ(f.plug->DelayMs(), delayMs);
      SCOPED_TRACE(testing::Message() << "preset " << preset << " at " << rate);
      ExpectEchoAt(f, delayMs, rate, static_cast<int>(rate * 0.6));
    }
  }
}

TEST(ProductRender, LongestRangeAndMixGains) {
  ProductFixture f;
  f.SetPlain(kRange, 4);
  f.plug->SetParamFromEditor(kTime, 0.6);
  EXPECT_DOUBLE_EQ(f.plug->DelayMs(), 1300.0);
  EXPECT_EQ(f.plug->Line().stageCount, 88200);
  f.SetPlain(kRange, 0);
  EXPECT_EQ(f.plug->Line().stageCount, 344);
  f.SetPlain(kMix, 0.5);
  EXPECT_EQ(f.plug->Line().dryGain, std::sqrt(0.5));
  EXPECT_EQ(f.plug->Line().wetGain, std::sqrt(0.5));
}

TEST(ProductRender, TempoSyncedDelay) {
  struct Case {
    double tempo;
    double time;  // selects the division row
    double delayMs, syncedMs;
    int rangeIndex;
  } cases[] = {
      {120, 1.0 - 7.0 / 19.0, 500.0, 500.0, 0},     // "1/4"
      {30, 1.0, 2000.0, 16000.0, 0},                // "2/1" folds by halving
      {200, 0.0, 18.75, 18.75, 2},                  // "1/64"
  };
  for (const Case& c : cases) {
    ProductFixture f;
    f.host.timeInfoAvailable = true;
    f.host.timeInfo.tempo = c.tempo;
    f.host.timeInfo.flags = kVstTempoValid;
    f.SetPlain(kTime, c.time);
    f.host.SetParameter(kDelaySync, 1.0f);
    std::vector<double> in[2] = {std::vector<double>(64, 0.0), std::vector<double>(64, 0.0)};
    std::vector<double> out[2];
    f.host.ProcessDouble(in, out, 64);  // the block reads the host's tempo
    EXPECT_NEAR(f.plug->DelayMs(), c.delayMs, 1e-9) << c.tempo;
    EXPECT_EQ(f.plug->SyncedDelayMs(), c.syncedMs) << c.tempo;
    EXPECT_EQ(f.plug->RangeIndex(), c.rangeIndex) << c.tempo;
    if (c.tempo == 120) ExpectEchoAt(f, 500.0, 44100, 30000);
  }
}

TEST(ProductRender, LfoSyncFollowsTheHostAndRestartsOnPlay) {
  ProductFixture f;
  f.SetPlain(kLFOSpeed, 25.0);  // last row: "1/16", one cycle per sixteenth
  f.host.SetParameter(kLFOSync, 1.0f);
  f.host.timeInfoAvailable = true;
  f.host.timeInfo.tempo = 120;
  f.host.timeInfo.ppqPos = 0;
  f.host.timeInfo.flags = kVstTempoValid | kVstPpqPosValid;
  std::vector<double> in[2] = {std::vector<double>(100, 0.0), std::vector<double>(100, 0.0)};
  std::vector<double> out[2];
  f.host.ProcessDouble(in, out, 100);
  const double controlRate = 44100.0 / 44;
  EXPECT_DOUBLE_EQ(f.plug->Lfo().increment, 120 * qvmath::kTwoPi / (1 * 15 * controlRate));

  f.host.timeInfo.flags |= kVstTransportPlaying;
  f.host.timeInfo.ppqPos = 0.1;
  // The next control tick falls 35 frames into this block.
  std::vector<double> some[2] = {std::vector<double>(40, 0.0), std::vector<double>(40, 0.0)};
  f.host.ProcessDouble(some, out, 40);
  EXPECT_EQ(f.plug->Lfo().value, 1.0) << "the LFO restarts at phase -2pi when the transport starts";

  // Switching sync off brings the free-running rate back at once.
  f.host.SetParameter(kLFOSync, 0.0f);
  EXPECT_DOUBLE_EQ(f.plug->Lfo().increment, 25.0 * qvmath::kTwoPi / controlRate);
}

TEST(ProductRender, NoOutputBeforeTheLineExists) {
  ProductFixture f(44100, 512, false);
  std::vector<double> in[2] = {std::vector<double>(32, 0.5), std::vector<double>(32, 0.5)};
  std::vector<double> out[2] = {std::vector<double>(32, 7.0), std::vector<double>(32, 7.0)};
  double* ins[2] = {in[0].data(), in[1].data()};
  double* outs[2] = {out[0].data(), out[1].data()};
  f.host.Effect()->processDoubleReplacing(f.host.Effect(), ins, outs, 32);
  // Silence, as the single-precision path gives: not the host's input or garbage.
  EXPECT_EQ(out[0], std::vector<double>(32, 0.0));
  EXPECT_EQ(out[1], std::vector<double>(32, 0.0));

  // A sample rate the line cannot take leaves it without cells; a sane rate recovers.
  f.host.Open();
  f.host.SetSampleRate(0.1);
  out[0].assign(32, 7.0);
  out[1].assign(32, 7.0);
  f.host.Effect()->processDoubleReplacing(f.host.Effect(), ins, outs, 32);
  EXPECT_EQ(out[0], std::vector<double>(32, 0.0));
  EXPECT_EQ(out[1], std::vector<double>(32, 0.0));
  out[0].assign(32, 7.0);
  f.host.SetSampleRate(48000);
  f.host.Resume();
  f.host.Effect()->processDoubleReplacing(f.host.Effect(), ins, outs, 32);
  EXPECT_NE(out[0][0], 7.0);
  EXPECT_EQ(f.plug->Line().bufferLength, 96000);
}

TEST(ProductRender, FailedAllocationIsRetriedAtTheNextReset) {
  ProductFixture f;
  BrigadeLine& line = const_cast<BrigadeLine&>(f.plug->Line());
  BrigadeLine::CellAllocator normal = line.allocateCells;
  line.allocateCells = [](std::size_t, std::size_t) -> void* { return nullptr; };
  f.host.SetSampleRate(48000);
  EXPECT_FALSE(line.IsReady());
  line.allocateCells = normal;
  f.host.Suspend();  // a reset at the same rate
  EXPECT_TRUE(line.IsReady());
  EXPECT_EQ(line.bufferLength, 96000);
}
