#pragma once

// Elementary functions in plain double arithmetic. The C libraries of our
// targets disagree in the last bits (one of them evaluates on the x87 unit),
// so the engine uses these instead to render identically everywhere.
namespace qvmath {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 6.28318530717958647692;

double Cos(double x);
double Sin(double x);
// 2 to the power x; overflows to +inf, underflows to 0, NaN stays NaN.
double Exp2(double x);
// Nearest integer, halves away from zero (unlike rint, independent of the
// rounding mode).
double Round(double x);
// True for anything but NaN and the infinities.
inline bool IsFinite(double x) { return x - x == 0.0; }

}  // namespace qvmath
