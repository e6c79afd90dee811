#include "dsp/PortableMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace qvmath {
namespace {

// pi/2 in three pieces whose leading parts have trailing zero bits, so that
// k * piece is exact for the multiples of pi/2 we reduce by.
constexpr double kInvPio2 = 6.36619772367581382433e-01;
constexpr double kPio2_1 = 1.57079632673412561417e+00;
constexpr double kPio2_1t = 6.07710050650619224932e-11;
constexpr double kPio2_2 = 6.07710050630396597660e-11;
constexpr double kPio2_2t = 2.02226624879595063154e-21;
constexpr double kPio2_3 = 2.02226624871116645580e-21;
constexpr double kPio2_3t = 8.47842766036889956997e-32;

// Beyond this the three-piece reduction is no longer exact; such arguments are
// first folded into one period (exactly, by fmod) so results stay bounded.
constexpr double kReduceLimit = 1073741824.0;  // 2^30

// Minimax kernels on [-pi/4, pi/4]; (x, tail) is the reduced argument.
double KernelSin(double x, double tail) {
  const double z = x * x;
  const double v = z * x;
  const double r = 8.33333333332248946124e-03 +
                   z * (-1.98412698298579493134e-04 +
                        z * (2.75573137070700676789e-06 +
                             z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)));
  return x - ((z * (0.5 * tail - v * r) - tail) - v * -1.66666666666666324348e-01);
}

double KernelCos(double x, double tail) {
  const double z = x * x;
  const double w = z * z;
  const double r = z * (4.16666666666666019037e-02 +
                        z * (-1.38888888888741095749e-03 + z * 2.48015872894767294178e-05)) +
                   w * w *
                       (-2.75573143513906633035e-07 +
                        z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11));
  const double hz = 0.5 * z;
  const double one = 1.0 - hz;
  return one + (((1.0 - one) - hz) + (z * r - x * tail));
}

int Exponent(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return static_cast<int>((bits >> 52) & 0x7ff);
}

// Reduces x to head + tail in about [-pi/4, pi/4] and returns the quadrant.
// Further pieces of pi/2 are taken only when cancellation has eaten the bits
// of the previous one.
int Reduce(double x, double& head, double& tail) {
  if (std::fabs(x) >= kReduceLimit) x = std::fmod(x, 2.0 * kPi);
  const double k = std::floor(x * kInvPio2 + 0.5);
  const int ex = Exponent(x);
  double r = x - k * kPio2_1;
  double w = k * kPio2_1t;
  head = r - w;
  if (ex - Exponent(head) > 16) {
    double t = r;
    w = k * kPio2_2;
    r = t - w;
    w = k * kPio2_2t - ((t - r) - w);
    head = r - w;
    if (ex - Exponent(head) > 49) {
      t = r;
      w = k * kPio2_3;
      r = t - w;
      w = k * kPio2_3t - ((t - r) - w);
      head = r - w;
    }
  }
  tail = (r - head) - w;
  const std::int64_t n = static_cast<std::int64_t>(k);
  return static_cast<int>(n & 3);
}

}  // namespace

double Cos(double x) {
  if (!IsFinite(x)) return x - x;
  double h, t;
  switch (Reduce(x, h, t)) {
    case 0: return KernelCos(h, t);
    case 1: return -KernelSin(h, t);
    case 2: return -KernelCos(h, t);
    default: return KernelSin(h, t);
  }
}

double Sin(double x) {
  if (!IsFinite(x)) return x - x;
  double h, t;
  switch (Reduce(x, h, t)) {
    case 0: return KernelSin(h, t);
    case 1: return KernelCos(h, t);
    case 2: return -KernelSin(h, t);
    default: return -KernelCos(h, t);
  }
}

namespace {

// Exact product a * b = p + e (Dekker), without relying on fused multiply-add.
void TwoProduct(double a, double b, double& p, double& e) {
  constexpr double kSplit = 134217729.0;  // 2^27 + 1
  p = a * b;
  const double ca = kSplit * a;
  const double ah = ca - (ca - a);
  const double al = a - ah;
  const double cb = kSplit * b;
  const double bh = cb - (cb - b);
  const double bl = b - bh;
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

double Pow2Int(int k) {
  const std::uint64_t bits = static_cast<std::uint64_t>(k + 1023) << 52;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace

double Exp2(double x) {
  if (x != x) return x;
  if (x >= 1024.0) return HUGE_VAL;
  if (x < -1080.0) return 0.0;
  const double k = std::floor(x + 0.5);
  const double f = x - k;  // exact, |f| <= 0.5
  // r = f * ln 2 as hi - lo, carried to about 106 bits
  constexpr double kLn2 = 6.93147180559945286227e-01;
  constexpr double kLn2Tail = 2.31904681384629955842e-17;
  double p, e;
  TwoProduct(f, kLn2, p, e);
  const double hi = p;
  const double lo = -(e + f * kLn2Tail);
  const double r = hi - lo;
  const double rr = r * r;
  const double c =
      r - rr * (1.66666666666666019037e-01 +
                rr * (-2.77777777770155933842e-03 +
                      rr * (6.61375632143793436117e-05 +
                            rr * (-1.65339022054652515390e-06 + rr * 4.13813679705723846039e-08))));
  const double y = 1.0 + (r * c / (2.0 - c) - lo + hi);
  const int n = static_cast<int>(k);
  if (n > 1023) return y * 2.0 * Pow2Int(n - 1);
  if (n < -1021) return y * Pow2Int(n + 1000) * Pow2Int(-1000);
  return y * Pow2Int(n);
}

double Round(double x) {
  const double a = std::fabs(x);
  if (!(a < 4503599627370496.0)) return x;  // already integral (or NaN)
  double t = std::floor(a);
  if (a - t >= 0.5) t += 1.0;
  return x < 0 ? -t : t;
}

}  // namespace qvmath
