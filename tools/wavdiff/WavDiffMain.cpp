// qvwavdiff: compares two renders sample by sample. The difference is given
// in units of the float rounding step at each sample's magnitude, so "within
// float rounding" is a limit of 1 whatever the level.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/qvhost/WavFile.h"

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--max-ulps")) {
    std::fputs("usage: qvwavdiff A.wav B.wav [--max-ulps N]\n", stderr);
    return 2;
  }
  double limit = argc == 5 ? std::atof(argv[4]) : 0.0;
  WavAudio a, b;
  std::string error;
  if (!ReadWavFile(argv[1], &a, &error) || !ReadWavFile(argv[2], &b, &error)) {
    std::fprintf(stderr, "qvwavdiff: %s\n", error.c_str());
    return 2;
  }
  if (a.channels.size() != b.channels.size() || a.Frames() != b.Frames() || a.sampleRate != b.sampleRate) {
    std::printf("shapes differ: %zu ch x %zu frames at %u Hz against %zu ch x %zu frames at %u Hz\n", a.channels.size(),
                a.Frames(), a.sampleRate, b.channels.size(), b.Frames(), b.sampleRate);
    return 1;
  }
  double worstUlps = 0, worstAbs = 0;
  size_t differing = 0;
  for (size_t c = 0; c < a.channels.size(); ++c)
    for (size_t i = 0; i < a.Frames(); ++i) {
      double x = a.channels[c][i], y = b.channels[c][i];
      if (x == y || (std::isnan(x) && std::isnan(y))) continue;
      ++differing;
      double diff = std::fabs(x - y);
      double scale = std::max(std::fabs(x), std::fabs(y));
      // One float step at this magnitude (subnormal floor included).
      double step = std::max(std::ldexp(1.0, std::ilogb(scale > 0 ? scale : 1e-45) - 23), std::ldexp(1.0, -149));
      worstUlps = std::max(worstUlps, std::isfinite(diff) ? diff / step : HUGE_VAL);
      worstAbs = std::max(worstAbs, diff);
    }
  std::printf("%zu of %zu samples differ; largest difference %.3g (%.2f float steps)\n", differing,
              a.Frames() * a.channels.size(), worstAbs, worstUlps);
  return worstUlps <= limit ? 0 : 1;
}
