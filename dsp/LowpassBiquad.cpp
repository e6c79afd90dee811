#include "dsp/LowpassBiquad.h"

namespace {
// Above pi the formula's sin(w) turns negative and the poles leave the unit
// circle. Cutoffs close to or past Nyquist (6000 Hz at rates below about
// 13.3 kHz) are therefore bent down to 45 % of the sample rate.
constexpr double kMaxOmega = 0.9 * qvmath::kPi;
}  // namespace

LowpassBiquad::LowpassBiquad()
    : cutoff(kMaxCutoff),
      q(kMinQ),
      omegaPerHz(qvmath::kTwoPi / 44100.0),
      a1(0), a2(0), b0(0), b1(0),
      x1(0), x2(0), y1(0), y2(0),
      dither(1e-13) {
  UpdateCoefficients();
}

void LowpassBiquad::SetParameters(double cutoffHz, double newQ) {
  if (cutoffHz < kMinCutoff) cutoff = kMinCutoff;
  else if (cutoffHz > kMaxCutoff) cutoff = kMaxCutoff;
  else if (cutoffHz == cutoffHz) cutoff = cutoffHz;
  if (newQ < kMinQ) q = kMinQ;
  else if (newQ > kMaxQ) q = kMaxQ;
  else if (newQ == newQ) q = newQ;
  UpdateCoefficients();
}

void LowpassBiquad::SetSampleRate(double sampleRate) {
  omegaPerHz = sampleRate > 0 ? qvmath::kTwoPi / sampleRate : 0.0;
  x1 = x2 = y1 = y2 = 0.0;
  a1 = a2 = b0 = b1 = 0.0;
  UpdateCoefficients();
}

void LowpassBiquad::UpdateCoefficients() {
  double w = cutoff * omegaPerHz;
  if (w > kMaxOmega) w = kMaxOmega;
  const double cosW = qvmath::Cos(w);
  const double alpha = qvmath::Sin(w) / (2 * q);
  const double h = 1 / (1 + alpha);
  b1 = (1 - cosW) * h;
  b0 = b1 / 2;
  a1 = 2 * cosW * h;
  a2 = (alpha - 1) * h;
}
