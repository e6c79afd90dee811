#include <gtest/gtest.h>

#include <cmath>

#include "dsp/DelayLfo.h"
#include "dsp/PortableMath.h"

namespace {

constexpr double kTwoPi = qvmath::kTwoPi;

// Cycle length per row in quarter notes, as the product's table gives it.
const double kDivisions[DelayLfo::kSyncRows] = {
    64, 48, 32, 24, 16, 12, 10, 8, 6, 4, 3, 2, 1.5, 4.0 / 3, 1, 0.75, 2.0 / 3, 0.5, 0.375, 0.25};

DelayLfo MakeLfo(double rate = 48000, int ticksPerControl = 48) {
  DelayLfo lfo;
  lfo.SetRate(rate, ticksPerControl);
  return lfo;
}

}  // namespace

TEST(DelayLfoTick, StartsAtTheTopAndWrapsToMinusTwoPi) {
  DelayLfo lfo;
  EXPECT_EQ(lfo.controlRate, 44100.0 / 44);
  EXPECT_EQ(lfo.syncIndex, 10);
  lfo.SetSpeedHz(25);
  EXPECT_EQ(lfo.Tick(), 1.0);
  double lowest = 1;
  for (int i = 0; i < 1000; ++i) {
    const double v = lfo.Tick();
    ASSERT_GE(v, 0.0);
    ASSERT_LE(v, 1.0);
    lowest = std::min(lowest, v);
    ASSERT_GE(lfo.phase, -kTwoPi);
    ASSERT_LT(lfo.phase, kTwoPi);
  }
  EXPECT_LT(lowest, 1e-3);
  // The overshoot past 2 pi is dropped, not carried.
  lfo.phase = kTwoPi - lfo.increment / 2;
  lfo.Tick();
  EXPECT_EQ(lfo.phase, -kTwoPi);
  // A poisoned phase restarts instead of staying NaN.
  lfo.phase = std::nan("");
  EXPECT_EQ(lfo.Tick(), 1.0);
}

TEST(DelayLfoRate, RestartsOnlyOnARealChangeAndPicksSyncRowsByKnobPosition) {
  DelayLfo lfo = MakeLfo();
  lfo.SetSpeedHz(2);
  lfo.Tick();
  const double phase = lfo.phase;
  EXPECT_FALSE(lfo.SetRate(48000, 48));
  EXPECT_EQ(lfo.phase, phase);
  EXPECT_TRUE(lfo.SetRate(500, 0));  // below 1 kHz the product ticks every sample
  EXPECT_EQ(lfo.phase, -kTwoPi);
  EXPECT_EQ(lfo.controlRate, 500.0);
  EXPECT_EQ(DelayLfo::SyncIndexForSpeed(0.001), 0);
  EXPECT_EQ(DelayLfo::SyncIndexForSpeed(25), 19);
  EXPECT_EQ(DelayLfo::SyncIndexForSpeed(6.1), 9);  // square law: half travel is 6.25 Hz
  EXPECT_EQ(DelayLfo::SyncIndexForSpeed(6.3), 10);
  EXPECT_EQ(DelayLfo::SyncIndexForSpeed(1e9), 19);
}

TEST(DelayLfoSync, IncrementFollowsTempoAndDivision) {
  DelayLfo lfo = MakeLfo();
  lfo.syncIndex = 14;  // "1/4": one cycle per beat
  lfo.SyncLfoToHost(120, 0, false, kDivisions);
  EXPECT_DOUBLE_EQ(lfo.increment, 2.0 * kTwoPi / 1000.0);
  lfo.syncIndex = 0;  // "16/1": one cycle per 64 beats
  lfo.SyncLfoToHost(120, 0, false, kDivisions);
  EXPECT_DOUBLE_EQ(lfo.increment, 2.0 / 64 * kTwoPi / 1000.0);
  // Tempo taken to three decimals; none, NaN or negative counts as 120.
  lfo.syncIndex = 14;
  lfo.SyncLfoToHost(120.0004, 0, false, kDivisions);
  EXPECT_DOUBLE_EQ(lfo.increment, 2.0 * kTwoPi / 1000.0);
  for (double bad : {0.0, -10.0, 0.0004, std::nan(""), HUGE_VAL}) {
    lfo.increment = 0;
    lfo.SyncLfoToHost(bad, 0, false, kDivisions);
    EXPECT_DOUBLE_EQ(lfo.increment, 2.0 * kTwoPi / 1000.0) << bad;
  }
  // Switching sync off restores the free-running speed at once.
  lfo.SetSpeedHz(0.5);
  lfo.SetSyncOn(true);
  lfo.SyncLfoToHost(90, 0, false, kDivisions);
  EXPECT_NE(lfo.increment, 0.5 * kTwoPi / 1000.0);
  lfo.SetSyncOn(false);
  EXPECT_EQ(lfo.increment, 0.5 * kTwoPi / 1000.0);
}

TEST(DelayLfoSync, PhaseCatchesUpForwardsOnlyAndOnlyWhileRunning) {
  DelayLfo lfo = MakeLfo();
  lfo.syncIndex = 14;  // 1 beat = 4 sixteenths per cycle
  const double sixteenth = kTwoPi / 4;
  lfo.phase = 0.1 * sixteenth;
  // Stopped transport: rate only.
  lfo.SyncLfoToHost(120, 7.2, false, kDivisions);
  EXPECT_EQ(lfo.phase, 0.1 * sixteenth);
  // Host ahead by 0.3 of a sixteenth inside the same sixteenth: pulled forwards.
  lfo.SyncLfoToHost(120, 3.1, true, kDivisions);  // 12.4 sixteenths -> fraction 0.4
  EXPECT_NEAR(lfo.phase, 0.4 * sixteenth, 1e-12);
  // Host behind: left alone.
  lfo.SyncLfoToHost(120, 3.05, true, kDivisions);  // fraction 0.2
  EXPECT_NEAR(lfo.phase, 0.4 * sixteenth, 1e-12);
  // Phase just past the middle of a sixteenth (n rounds up): the host's
  // fraction counts within the previous sixteenth.
  lfo.phase = 1.6 * sixteenth;
  lfo.SyncLfoToHost(120, 0.45, true, kDivisions);  // fraction 0.8 -> target 1.8
  EXPECT_NEAR(lfo.phase, 1.8 * sixteenth, 1e-12);
  // Negative phases are caught up the same way.
  lfo.phase = -2.9 * sixteenth;
  lfo.SyncLfoToHost(120, 10.0 + 0.25 * 0.5, true, kDivisions);  // fraction 0.5
  EXPECT_NEAR(lfo.phase, -2.5 * sixteenth, 1e-12);
  // A garbage position changes nothing.
  lfo.SyncLfoToHost(120, std::nan(""), true, kDivisions);
  lfo.SyncLfoToHost(120, HUGE_VAL, true, kDivisions);
  EXPECT_NEAR(lfo.phase, -2.5 * sixteenth, 1e-12);
  // An out-of-range row is limited rather than read past the table.
  lfo.syncIndex = 99;
  lfo.SyncLfoToHost(120, 0, false, kDivisions);
  EXPECT_DOUBLE_EQ(lfo.increment, 8.0 * kTwoPi / 1000.0);
}
