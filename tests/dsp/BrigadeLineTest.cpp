#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dsp/BrigadeLine.h"

namespace {

// Wet only, no feedback, full quality: what comes out is the line itself.
void SetUpWet(BrigadeLine& line, double rate, int rangeIndex, double step) {
  ASSERT_TRUE(line.Rebuild(rate, rangeIndex));
  line.SetQuality(1);
  line.SetFeedback(0);
  line.SetGains(0, 1);
  line.SetClockStep(step);
}

std::vector<double> RunLine(BrigadeLine& line, const std::vector<double>& in) {
  std::vector<double> out(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    double r;
    line.Process(in[i], in[i], out[i], r);
  }
  return out;
}

size_t PeakIndex(const std::vector<double>& v) {
  size_t best = 0;
  for (size_t i = 1; i < v.size(); ++i)
    if (std::fabs(v[i]) > std::fabs(v[best])) best = i;
  return best;
}

std::vector<double> Noise(size_t n, std::uint32_t seed) {
  std::vector<double> v(n);
  for (auto& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
  }
  return v;
}

int failAfter = 0;
int liveCells = 0;
void* CountingAllocate(std::size_t count, std::size_t size) {
  if (failAfter-- <= 0) return nullptr;
  ++liveCells;
  return std::calloc(count, size);
}
void CountingRelease(void* p) {
  --liveCells;
  std::free(p);
}

}  // namespace

TEST(BrigadeLineRebuild, CellCountsAndStageCountsPerRange) {
  BrigadeLine line;
  ASSERT_TRUE(line.Rebuild(44100, 0));
  EXPECT_EQ(line.bufferLength, 88200);
  EXPECT_EQ(line.stageCount, 88200);
  line.SetRangeIndex(4);
  EXPECT_EQ(line.stageCount, 344);
  line.SetRangeIndex(1);
  EXPECT_EQ(line.stageCount, 22050);
  // Under tempo sync the index can go past 4; a shift past the cell count
  // must still leave at least one stage (no stages would mean two seconds).
  line.SetRangeIndex(9);
  EXPECT_EQ(line.stageCount, 1);
  line.SetRangeIndex(40);
  EXPECT_EQ(line.stageCount, 1);
  line.SetStageCount(1 << 30);
  EXPECT_EQ(line.stageCount, 88200);
  ASSERT_TRUE(line.Rebuild(0.5, 0));
  EXPECT_EQ(line.bufferLength, 1);
  EXPECT_EQ(line.stageCount, 1);
}

TEST(BrigadeLineRebuild, NewRateReallocatesSilentCellsAndKeepsHistories) {
  BrigadeLine line;
  SetUpWet(line, 44100, 2, 0.5);
  line.SetFeedback(0.9);
  RunLine(line, Noise(20000, 1));
  const double keptIn = line.inputHistoryL[3];
  const double keptOut = line.outputHistoryR[1];
  ASSERT_NE(keptIn, 0.0);
  ASSERT_TRUE(line.Rebuild(48000, 2));
  EXPECT_EQ(line.bufferLength, 96000);
  EXPECT_EQ(line.stageCount, 6000);
  EXPECT_EQ(line.writeIndex, 0);
  EXPECT_EQ(line.clockPhase, 0.0);
  EXPECT_EQ(line.clockStep, 1.0);
  EXPECT_EQ(line.inverseClockStep, 1.0);
  EXPECT_EQ(line.inputHistoryL[3], keptIn);
  EXPECT_EQ(line.outputHistoryR[1], keptOut);
  EXPECT_EQ(line.outputFilterL.y1, 0.0);
  for (int i = 0; i < line.bufferLength; ++i) {
    ASSERT_EQ(line.bufferL[i], 0.0);
    ASSERT_EQ(line.bufferR[i], 0.0);
  }
}

TEST(BrigadeLineRebuild, BadRatesAndFailedAllocationLeaveNoCellsAndWriteNothing) {
  BrigadeLine line;
  double l = 7, r = 7;
  line.Process(1, 1, l, r);  // before any rebuild
  EXPECT_EQ(l, 7.0);
  // Above 1 MHz the cells would not fit comfortably (and above 2^29 Hz the
  // stage arithmetic would leave 32 bits).
  for (double bad : {0.0, 0.4999, -48000.0, std::nan(""), HUGE_VAL, 1000000.5, 2e6, 536870912.0, 1.1e9, 1e300}) {
    ASSERT_TRUE(line.Rebuild(44100, 0));
    EXPECT_FALSE(line.Rebuild(bad, 0)) << bad;
    EXPECT_EQ(line.bufferLength, 0);
    EXPECT_EQ(line.bufferL, nullptr);
    EXPECT_FALSE(line.IsReady());
    line.Process(1, 1, l, r);
    EXPECT_EQ(l, 7.0);
    EXPECT_EQ(r, 7.0);
  }
  line.allocateCells = &CountingAllocate;
  line.releaseCells = &CountingRelease;
  for (int okAllocations : {0, 1}) {
    failAfter = okAllocations;
    EXPECT_FALSE(line.Rebuild(48000, 0));
    EXPECT_EQ(line.bufferLength, 0);
    EXPECT_EQ(liveCells, 0);  // the half that succeeded was given back
    line.Process(1, 1, l, r);
    EXPECT_EQ(l, 7.0);
  }
  failAfter = 2;
  ASSERT_TRUE(line.Rebuild(48000, 0));
  EXPECT_EQ(line.bufferLength, 96000);
  line.SetGains(0, 1);
  line.Process(1, 1, l, r);
  EXPECT_NE(l, 7.0);
  line.Rebuild(0, 0);
  EXPECT_EQ(liveCells, 0);
}

TEST(BrigadeLineClock, StepIsLimitedSoEveryFrameRunsOneToEightTicks) {
  BrigadeLine line;
  SetUpWet(line, 44100, 0, 1);
  struct Case { double request, step; int ticksPerFrame; };
  for (Case c : {Case{1, 1, 1}, Case{0.125, 0.125, 8}, Case{0, 0.125, 8}, Case{-5, 0.125, 8},
                 Case{7, 1, 1}, Case{std::nan(""), 1, 1}}) {
    line.SetClockStep(c.request);
    EXPECT_EQ(line.clockStep, c.step);
    EXPECT_EQ(line.inverseClockStep, 1 / c.step);
    double l, r;
    line.Process(0, 0, l, r);  // settle the phase
    const int before = line.writeIndex;
    line.Process(0, 0, l, r);
    EXPECT_EQ((before - line.writeIndex + line.bufferLength) % line.bufferLength, c.ticksPerFrame);
  }
}

// At one tick per frame both interpolations sit on a history point, so the
// line is exactly: input filter, 2 samples, stageCount ticks, output filter,
// 1 more sample. A direct model of that must agree to rounding.
TEST(BrigadeLineDelay, OneTickPerFrameMatchesAFilteredPureDelay) {
  BrigadeLine line;
  SetUpWet(line, 48000, 3, 1);
  line.SetQuality(0.7);
  const std::vector<double> in = Noise(3000, 5);
  const std::vector<double> out = RunLine(line, in);
  LowpassBiquad fin, fout;
  fin.SetSampleRate(48000);
  fout.SetSampleRate(48000);
  const double q = LowpassBiquad::kMinQ + (0.9 - LowpassBiquad::kMinQ) * 0.3;
  fin.SetParameters(0.7 * 6000, q);
  fout.SetParameters(0.7 * 6000, q);
  const int stages = line.stageCount;
  std::vector<double> filtered(in.size()), read(in.size(), 0.0), model(in.size(), 0.0);
  for (size_t n = 0; n < in.size(); ++n) filtered[n] = fin.Process(in[n]);
  double previous = 0;
  for (size_t n = 0; n < in.size(); ++n) {
    const long m = static_cast<long>(n) - stages - 2;
    const double o = fout.Process(m >= 0 ? filtered[m] : 0.0);
    model[n] = previous;
    previous = o;
  }
  for (size_t n = 0; n < in.size(); ++n) ASSERT_NEAR(out[n], model[n], 1e-12) << n;
}

TEST(BrigadeLineDelay, ImpulseReturnsAtRangeMaximumAndOneEighthOfIt) {
  // Extra delay of the two 6 kHz filters at one tick per frame, found from the
  // filters alone.
  for (double rate : {44100.0, 48000.0}) {
    LowpassBiquad a, b;
    a.SetSampleRate(rate);
    b.SetSampleRate(rate);
    std::vector<double> h(64);
    for (size_t i = 0; i < h.size(); ++i) h[i] = b.Process(a.Process(i == 0 ? 1.0 : 0.0));
    const long filterLag = static_cast<long>(PeakIndex(h));

    for (int rangeIndex = 0; rangeIndex <= 4; ++rangeIndex) {
      BrigadeLine slow, fast;
      SetUpWet(slow, rate, rangeIndex, 1);
      SetUpWet(fast, rate, rangeIndex, 0.125);
      const long stages = slow.stageCount;
      const double maxMs = 2000.0 / std::pow(4.0, rangeIndex);
      EXPECT_EQ(stages, static_cast<long>(rate * maxMs / 1000)) << rate << " " << rangeIndex;
      std::vector<double> impulse(stages + 64, 0.0);
      impulse[0] = 1;
      const long slowPeak = static_cast<long>(PeakIndex(RunLine(slow, impulse)));
      EXPECT_EQ(slowPeak - stages, 3 + filterLag) << rate << " " << rangeIndex;
      RecordProperty("filter_lag_" + std::to_string(static_cast<int>(rate)),
                     std::to_string(filterLag));
      // Eight ticks per frame: one eighth of the stages, and the latency
      // measured in ticks shrinks accordingly.
      const double fastPeak = static_cast<double>(PeakIndex(RunLine(fast, impulse)));
      EXPECT_NEAR(fastPeak - stages / 8.0, 3.0, 0.75) << rate << " " << rangeIndex;
      RecordProperty("latency_fast_" + std::to_string(static_cast<int>(rate)) + "_" +
                         std::to_string(rangeIndex),
                     std::to_string(fastPeak - stages / 8.0));
    }
  }
}

TEST(BrigadeLineFeedback, MinusOneInvertsEachRepeatAndTheLoopStaysBounded) {
  BrigadeLine line;
  SetUpWet(line, 44100, 3, 1);
  line.SetFeedback(-1);
  const long stages = line.stageCount;
  std::vector<double> in(5 * stages, 0.0);
  in[0] = 1;
  const std::vector<double> out = RunLine(line, in);
  double previous = 0;
  for (int echo = 1; echo <= 4; ++echo) {
    const std::vector<double> window(out.begin() + echo * stages - stages / 2,
                                     out.begin() + echo * stages + stages / 2);
    const double peak = window[PeakIndex(window)];
    EXPECT_EQ(peak > 0, echo % 2 == 1) << echo;
    if (echo > 1) {
      EXPECT_LT(std::fabs(peak), std::fabs(previous)) << echo;  // filtered each pass
    }
    previous = peak;
  }

  // Resonant filters, full feedback, a loud square wave: the +-3 limit holds.
  BrigadeLine hot;
  SetUpWet(hot, 44100, 4, 0.3);
  hot.SetQuality(0.05);
  hot.SetFeedback(1);
  double worst = 0;
  for (int i = 0; i < 100000; ++i) {
    double l, r;
    hot.Process(i % 400 < 200 ? 10.0 : -10.0, 0, l, r);
    worst = std::max(worst, std::fabs(l));
  }
  EXPECT_LT(worst, 50.0);
}

TEST(BrigadeLineFreeze, RecirculatesIgnoringInputAndResumesWhenReleased) {
  BrigadeLine a, b;
  for (BrigadeLine* line : {&a, &b}) {
    SetUpWet(*line, 44100, 4, 1);  // 344 stages
    std::vector<double> tone(3000);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = 0.5 * std::sin(2 * 3.141592653589793 * 200 * i / 44100);
    RunLine(*line, tone);
    line->SetFreeze(true);
    EXPECT_TRUE(line->Freeze());
  }
  // Different input while frozen: same output to the bit.
  const std::vector<double> outA = RunLine(a, Noise(20 * 344, 9));
  const std::vector<double> outB = RunLine(b, std::vector<double>(20 * 344, 0.0));
  ASSERT_EQ(outA, outB);
  // Level holds pass after pass (a 200 Hz tone is well inside the filter).
  auto rms = [&](int pass) {
    double s = 0;
    for (int i = pass * 344; i < (pass + 1) * 344; ++i) s += outA[i] * outA[i];
    return std::sqrt(s / 344);
  };
  EXPECT_GT(rms(1), 0.3);
  EXPECT_NEAR(rms(19) / rms(1), 1.0, 0.02);
  // Released: the next tick writes the new input again.
  a.SetFreeze(false);
  b.SetFreeze(false);
  double l, r;
  a.Process(1, 1, l, r);
  b.Process(0, 0, l, r);
  a.Process(1, 1, l, r);
  b.Process(0, 0, l, r);
  a.Process(1, 1, l, r);
  b.Process(0, 0, l, r);
  EXPECT_NE(a.bufferL[a.writeIndex], b.bufferL[b.writeIndex]);
}

TEST(BrigadeLineFreeze, ZeroQualityFallsSilentAfterOnePass) {
  BrigadeLine line;
  SetUpWet(line, 44100, 4, 1);  // 344 stages
  line.SetQuality(0);
  RunLine(line, Noise(3000, 3));
  line.SetFreeze(true);
  const std::vector<double> out = RunLine(line, Noise(12 * 344, 4));
  // One pass later every cell still to be read holds silence; only the
  // output filter's 60 Hz ringing is left, and it dies away.
  for (int k = 0; k < line.stageCount; ++k) {
    ASSERT_EQ(line.bufferL[(line.writeIndex + k) % line.bufferLength], 0.0) << k;
  }
  double firstPass = 0, later = 0;
  for (int i = 0; i < 344; ++i) firstPass = std::max(firstPass, std::fabs(out[i]));
  for (size_t i = 10 * 344; i < out.size(); ++i) later = std::max(later, std::fabs(out[i]));
  EXPECT_GT(firstPass, 1e-3);
  EXPECT_LT(later, 1e-6);
}

TEST(BrigadeLineBadInput, NaNAndInfinityInTheInputLeaveFiniteOutput) {
  for (double bad : {std::nan(""), HUGE_VAL}) {
    BrigadeLine clean, hit;
    for (BrigadeLine* line : {&clean, &hit}) {
      ASSERT_TRUE(line->Rebuild(44100, 3));
      line->SetQuality(0.8);
      line->SetFeedback(0.6);
      line->SetMix(0.5);
      line->SetClockStep(0.4);
    }
    const std::vector<double> in = Noise(5000, 11);
    for (size_t i = 0; i < in.size(); ++i) {
      double cl, cr, hl, hr;
      clean.Process(in[i], in[i], cl, cr);
      const double x = i == 1000 ? bad : in[i];
      hit.Process(x, in[i], hl, hr);
      ASSERT_TRUE(std::isfinite(hl) && std::isfinite(hr)) << i;
      // The bad sample counts as silence: afterwards the two runs differ only
      // by that one missing sample's echo, never by NaN.
      if (i < 1000) {
        ASSERT_EQ(hl, cl);
      }
    }
    for (int i = 0; i < hit.bufferLength; ++i) ASSERT_TRUE(std::isfinite(hit.bufferL[i]));
  }
}

// The packed block form must round exactly like the plain per-sample form,
// including freeze, every clock step, and bad or huge input.
TEST(BrigadeLineBlock, BlockFormIsBitIdenticalToThePlainForm) {
  BrigadeLine packed, plain, frames;
  for (BrigadeLine* line : {&packed, &plain, &frames}) {
    ASSERT_TRUE(line->Rebuild(48000, 3));
    line->SetQuality(0.6);
    line->SetFeedback(-0.97);
    line->SetMix(0.3);
  }
  const int n = 48000;
  std::vector<double> inL = Noise(n, 21), inR = Noise(n, 22);
  inL[1000] = std::nan("");
  inR[2000] = HUGE_VAL;
  inL[3000] = -HUGE_VAL;
  inR[4000] = 1e300;
  inL[4001] = -1e300;
  std::vector<double> outL(n), outR(n), refL(n), refR(n);
  for (int chunk = 0; chunk * 48 < n; ++chunk) {
    const double step = 0.125 + 0.875 * (chunk % 17) / 16.0;
    const bool frozen = chunk % 23 == 5 || chunk % 29 == 7;
    const double quality = chunk % 31 == 7 ? 0.0 : 0.6;
    const int at = chunk * 48;
    for (BrigadeLine* line : {&packed, &plain, &frames}) {
      line->SetClockStep(step);
      line->SetFreeze(frozen);
      line->SetQuality(quality);
    }
    packed.ProcessBlock(&inL[at], &inR[at], &outL[at], &outR[at], 48);
    plain.ProcessBlockPlain(&inL[at], &inR[at], &refL[at], &refR[at], 48);
    for (int i = at; i < at + 48; ++i) {
      double l, r;
      frames.Process(inL[i], inR[i], l, r);
      ASSERT_EQ(std::memcmp(&l, &refL[i], sizeof l), 0) << i;
      ASSERT_EQ(std::memcmp(&r, &refR[i], sizeof r), 0) << i;
    }
  }
  ASSERT_EQ(std::memcmp(outL.data(), refL.data(), n * sizeof(double)), 0);
  ASSERT_EQ(std::memcmp(outR.data(), refR.data(), n * sizeof(double)), 0);
  ASSERT_EQ(std::memcmp(packed.bufferR, plain.bufferR, packed.bufferLength * sizeof(double)), 0);
  EXPECT_EQ(packed.outputFilterR.y1, plain.outputFilterR.y1);
  EXPECT_EQ(packed.inputHistoryL[2], plain.inputHistoryL[2]);
  // In place, as the double-precision host entry does it.
  std::vector<double> l = inL, r = inR;
  packed.ProcessBlock(l.data(), r.data(), l.data(), r.data(), n);
  plain.ProcessBlockPlain(inL.data(), inR.data(), refL.data(), refR.data(), n);
  EXPECT_EQ(std::memcmp(l.data(), refL.data(), n * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(r.data(), refR.data(), n * sizeof(double)), 0);
}

TEST(BrigadeLineRebuild, HighestAcceptedRateRunsAFullSweepWithinTheCells) {
  BrigadeLine line;
  SetUpWet(line, BrigadeLine::kMaxSampleRate, 0, 0.125);
  EXPECT_EQ(line.bufferLength, 2000000);
  std::vector<double> in(40000, 0.5), outL(in.size()), outR(in.size());
  // Eight ticks a frame from the last cell: the write index wraps many times.
  line.writeIndex = 3;
  line.ProcessBlock(in.data(), in.data(), outL.data(), outR.data(), static_cast<int>(in.size()));
  EXPECT_TRUE(std::isfinite(outL.back()));
}

#if defined(__linux__)
#include <sys/resource.h>

namespace {
long MinorFaultsOfThisThread() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}
}  // namespace

// The first sweep through fresh cells must not fault pages in on the audio
// thread: Rebuild has written them all already.
TEST(BrigadeLineRebuild, TheFirstSweepTakesNoPageFaults) {
  BrigadeLine line;
  SetUpWet(line, 96000, 0, 0.125);  // 192,000 cells a channel: 375 pages each
  std::vector<double> in(24000, 0.5), outL(in.size()), outR(in.size());
  const long before = MinorFaultsOfThisThread();
  // 24,000 frames at eight ticks each: every cell is written once.
  line.ProcessBlock(in.data(), in.data(), outL.data(), outR.data(), static_cast<int>(in.size()));
  const long faults = MinorFaultsOfThisThread() - before;
  EXPECT_LT(faults, 40) << "pages of the cells mapped during processing";
}
#endif
