#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dsp/PortableMath.h"

// The Windows C library evaluates cos and sin on the x87 unit, whose reduction
// is far off near multiples of pi: it is no yardstick. Identity across targets
// is checked by the engine render checksum instead.
#if !defined(_WIN32)

namespace {

// Distance in units in the last place between two finite doubles.
std::int64_t UlpDistance(double a, double b) {
  auto key = [](double d) {
    std::int64_t i;
    std::memcpy(&i, &d, sizeof i);
    return i < 0 ? std::numeric_limits<std::int64_t>::min() - i : i;
  };
  const std::int64_t d = key(a) - key(b);
  return d < 0 ? -d : d;
}

// Deterministic spread of points over [lo, hi] without depending on <random>.
template <typename F>
void Sweep(double lo, double hi, int count, F f) {
  std::uint64_t s = 0x9e3779b97f4a7c15ull;
  for (int i = 0; i < count; ++i) {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    const double u = static_cast<double>(s >> 11) * (1.0 / 9007199254740992.0);
    f(lo + (hi - lo) * u);
  }
}

}  // namespace

TEST(PortableMathAccuracy, CosAndSinWithinOneUlpOverLfoAndFilterRanges) {
  std::int64_t worstCos = 0, worstSin = 0;
  Sweep(-2 * qvmath::kPi, 2 * qvmath::kPi, 200000, [&](double x) {
    worstCos = std::max(worstCos, UlpDistance(qvmath::Cos(x), std::cos(x)));
    worstSin = std::max(worstSin, UlpDistance(qvmath::Sin(x), std::sin(x)));
  });
  EXPECT_LE(worstCos, 1);
  EXPECT_LE(worstSin, 1);
  // Near the zeros the result is tiny; relative accuracy must hold there too.
  for (double x : {qvmath::kPi, 2 * qvmath::kPi, -2 * qvmath::kPi, qvmath::kPi / 2,
                   3 * qvmath::kPi / 2, -qvmath::kPi / 2}) {
    EXPECT_LE(UlpDistance(qvmath::Sin(x), std::sin(x)), 1) << x;
    EXPECT_LE(UlpDistance(qvmath::Cos(x), std::cos(x)), 1) << x;
  }
  EXPECT_EQ(qvmath::Cos(0.0), 1.0);
  EXPECT_TRUE(std::signbit(qvmath::Sin(-0.0)));
}

TEST(PortableMathAccuracy, Exp2WithinOneUlp) {
  std::int64_t worst = 0;
  auto check = [&](double x) { worst = std::max(worst, UlpDistance(qvmath::Exp2(x), std::exp2(x))); };
  Sweep(0.0, 1.0, 100000, check);
  Sweep(-1070.0, 1023.0, 100000, check);
  EXPECT_LE(worst, 1);
}
#endif

TEST(PortableMathSpecial, Exp2IsExactOnIntegersAndSaneAtTheExtremes) {
  EXPECT_EQ(qvmath::Exp2(0.0), 1.0);
  EXPECT_EQ(qvmath::Exp2(1.0), 2.0);
  EXPECT_EQ(qvmath::Exp2(-1074.0), std::ldexp(1.0, -1074));
  EXPECT_EQ(qvmath::Exp2(1023.0), std::ldexp(1.0, 1023));
  EXPECT_EQ(qvmath::Exp2(1024.0), HUGE_VAL);
  EXPECT_EQ(qvmath::Exp2(-2000.0), 0.0);
  EXPECT_EQ(qvmath::Exp2(-HUGE_VAL), 0.0);
  EXPECT_TRUE(std::isnan(qvmath::Exp2(std::nan(""))));
}

TEST(PortableMathSpecial, NonFiniteAndHugeArguments) {
  EXPECT_TRUE(std::isnan(qvmath::Cos(HUGE_VAL)));
  EXPECT_TRUE(std::isnan(qvmath::Sin(-HUGE_VAL)));
  EXPECT_TRUE(std::isnan(qvmath::Cos(std::nan(""))));
  for (double x : {1e10, -3e15, 1e300, -1.7e308}) {
    EXPECT_LE(std::fabs(qvmath::Cos(x)), 1.0) << x;
    EXPECT_LE(std::fabs(qvmath::Sin(x)), 1.0) << x;
  }
}

TEST(PortableMathSpecial, RoundTakesHalvesAwayFromZero) {
  EXPECT_EQ(qvmath::Round(2.5), 3.0);
  EXPECT_EQ(qvmath::Round(-2.5), -3.0);
  EXPECT_EQ(qvmath::Round(0.49999999999999994), 0.0);  // floor(x + 0.5) gets this wrong
  EXPECT_EQ(qvmath::Round(-0.4), 0.0);
  EXPECT_EQ(qvmath::Round(4503599627370497.0), 4503599627370497.0);
  EXPECT_TRUE(std::isnan(qvmath::Round(std::nan(""))));
  EXPECT_FALSE(qvmath::IsFinite(HUGE_VAL));
  EXPECT_FALSE(qvmath::IsFinite(std::nan("")));
  EXPECT_TRUE(qvmath::IsFinite(-1e308));
}
