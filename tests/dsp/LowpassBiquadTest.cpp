#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "dsp/LowpassBiquad.h"

TEST(LowpassBiquadLimits, CutoffAndQAreLimitedAndNaNIsIgnored) {
  LowpassBiquad f;
  EXPECT_EQ(f.Cutoff(), 6000.0);
  EXPECT_EQ(f.Q(), std::sqrt(0.5));
  EXPECT_EQ(f.omegaPerHz, 0.00014247585730565955);
  f.SetParameters(10, 2);
  EXPECT_EQ(f.Cutoff(), 60.0);
  EXPECT_EQ(f.Q(), 0.9);
  f.SetParameters(10000, 0.5);
  EXPECT_EQ(f.Cutoff(), 6000.0);
  EXPECT_EQ(f.Q(), std::sqrt(0.5));
  f.SetParameters(1234, 0.8);
  f.SetParameters(std::nan(""), std::nan(""));
  EXPECT_EQ(f.Cutoff(), 1234.0);
  EXPECT_EQ(f.Q(), 0.8);
  EXPECT_TRUE(std::isfinite(f.a1) && std::isfinite(f.b0));
}

TEST(LowpassBiquadResponse, UnityAtDcAndStrongCutAtNyquist) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    LowpassBiquad f;
    f.SetSampleRate(rate);
    f.SetParameters(1000, 0.9);
    double y = 0;
    for (int i = 0; i < 20000; ++i) y = f.Process(1.0);
    EXPECT_NEAR(y, 1.0, 1e-9) << rate;
    double peak = 0;
    for (int i = 0; i < 20000; ++i) {
      y = f.Process(i % 2 ? 1.0 : -1.0);
      if (i > 10000) peak = std::max(peak, std::fabs(y));
    }
    EXPECT_LT(peak, 1e-3) << rate;
  }
}

TEST(LowpassBiquadResponse, StaysStableWhenCutoffIsAboveNyquist) {
  // 6000 Hz at 8000 Hz would put the poles outside the unit circle.
  LowpassBiquad f;
  f.SetSampleRate(8000);
  f.SetParameters(6000, 0.9);
  double tail = 0;
  f.Process(1.0);
  for (int i = 0; i < 4000; ++i) {
    const double y = f.Process(0.0);
    ASSERT_TRUE(std::isfinite(y));
    if (i > 3000) tail = std::max(tail, std::fabs(y));
  }
  EXPECT_LT(tail, 1e-9);
}

TEST(LowpassBiquadBadInput, NaNAndInfinityGiveFiniteOutputAndClearHistory) {
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    LowpassBiquad f;
    for (int i = 0; i < 100; ++i) f.Process(0.5);
    EXPECT_TRUE(std::isfinite(f.Process(bad)));
    // The bad sample itself counts as 0, without its dither.
    EXPECT_EQ(f.x1, 0.0);
    double worst = 0;
    for (int i = 0; i < 2000; ++i) {
      const double y = f.Process(0.0);
      ASSERT_TRUE(std::isfinite(y)) << bad << " at " << i;
      if (i > 1000) worst = std::max(worst, std::fabs(y));
    }
    EXPECT_LT(worst, 1e-9) << bad;
  }
  // A NaN planted in the state is dropped on the next sample.
  LowpassBiquad g;
  g.y2 = std::nan("");
  g.x1 = HUGE_VAL;
  EXPECT_TRUE(std::isfinite(g.Process(0.0)));
  EXPECT_TRUE(std::isfinite(g.y1) && std::isfinite(g.x2));
}

TEST(LowpassBiquadBadInput, SilenceAfterALoudBurstNeverGoesDenormal) {
  LowpassBiquad f;
  f.SetParameters(60, 0.9);
  for (int i = 0; i < 1000; ++i) f.Process(i % 50 < 25 ? 1e3 : -1e3);
  for (int i = 0; i < 2000000; ++i) {
    const double y = f.Process(0.0);
    ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << i;
  }
}
