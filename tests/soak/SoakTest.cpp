// Thirty simulated seconds of the soak run (tools/soak; the tool runs an hour).
#include <gtest/gtest.h>

#include "tools/soak/SoakRun.h"

TEST(SoakRun, ThirtySecondsHardDrivenStayFiniteWithinTheLimiterAndFlat) {
  SoakOptions o;
  o.seconds = 30;
  o.block = 256;
  SoakReport r = RunSoak(o);
  EXPECT_EQ(r.frames, 30 * 48000);
  EXPECT_TRUE(r.finite);
  EXPECT_TRUE(r.cellsWithinBound) << r.cellPeak << " against " << r.cellBound;
  EXPECT_GT(r.cellPeak, 0.5);  // the line was really driven
  EXPECT_GT(r.outputPeak, 0.1);
  EXPECT_LT(r.outputPeak, 64.0);  // no runaway
}
