#pragma once

#include "dsp/PortableMath.h"

// Resonant two-pole low-pass (direct form I) used as the anti-alias and
// reconstruction filter around the brigade line.
class LowpassBiquad {
 public:
  static constexpr double kMinCutoff = 60.0;
  static constexpr double kMaxCutoff = 6000.0;
  static constexpr double kMinQ = 0.70710678118654752440;  // sqrt(0.5)
  static constexpr double kMaxQ = 0.9;

  LowpassBiquad();

  // Limits and stores cutoff (Hz) and q, then recomputes the coefficients.
  // A NaN request keeps the stored value.
  void SetParameters(double cutoffHz, double q);
  // Clears the history and recomputes the coefficients for the new rate.
  void SetSampleRate(double sampleRate);

  double Cutoff() const { return cutoff; }
  double Q() const { return q; }

  // The "!(v - v == 0)" form catches NaN and the infinities alike: an infinity
  // left in the recursion would turn into NaN and back for ever.
  double Process(double x) {
    if (!qvmath::IsFinite(x)) x = 0.0; else x += dither;
    if (!qvmath::IsFinite(x1)) x1 = 0.0; else x1 += dither;
    if (!qvmath::IsFinite(x2)) x2 = 0.0; else x2 += dither;
    if (!qvmath::IsFinite(y1)) y1 = 0.0; else y1 += dither;
    if (!qvmath::IsFinite(y2)) y2 = 0.0; else y2 += dither;
    const double y = b0 * (x + x2) + b1 * x1 + a1 * y1 + a2 * y2;
    dither = -dither;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

  double cutoff;
  double q;
  double omegaPerHz;
  double a1;
  double a2;
  double b0;
  double b1;
  double x1, x2;
  double y1, y2;
  // Alternating offset that keeps the recursion out of denormals without a
  // DC bias.
  double dither;

 private:
  void UpdateCoefficients();
};
