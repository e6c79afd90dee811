// qvsoak [--seconds S] [--rate HZ] [--block N] [--seed N]: one simulated hour
// (by default) of a hard-driven instance; prints the figures and exits 1 when
// the output went non-finite, a cell passed the limiter, a block got slower
// or memory grew.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/soak/SoakRun.h"

int main(int argc, char** argv) {
  SoakOptions o;
  o.progress = true;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--seconds")) o.seconds = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--rate")) o.rate = std::atof(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--block")) o.block = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--seed")) o.seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
    else {
      std::fprintf(stderr, "usage: %s [--seconds S] [--rate HZ] [--block N] [--seed N]\n", argv[0]);
      return 2;
    }
  }
  if (argc % 2 == 0 || o.seconds <= 0 || o.rate < 1000 || o.block < 1) {
    std::fprintf(stderr, "usage: %s [--seconds S] [--rate HZ] [--block N] [--seed N]\n", argv[0]);
    return 2;
  }
  SoakReport r = RunSoak(o);
  const auto& m = r.minuteMeanBlockUs;
  const double first = m.empty() ? 0 : m.front();
  // The last whole minute: a partial one is too short to compare.
  const double last = m.size() > 1 && r.frames % static_cast<long long>(60 * o.rate) ? m[m.size() - 2] : m.back();
  std::printf("simulated %.1f s at %.0f Hz in blocks of %d\n", static_cast<double>(r.frames) / o.rate, o.rate, o.block);
  std::printf("output finite: %s, peak %.4f\n", r.finite ? "yes" : "NO", r.outputPeak);
  std::printf("cells: peak %.4f, limiter bound %.4f: %s\n", r.cellPeak, r.cellBound, r.cellsWithinBound ? "within" : "EXCEEDED");
  std::printf("mean block time: first minute %.2f us, last minute %.2f us (ratio %.2f)\n", first, last,
              first > 0 ? last / first : 0.0);
  std::printf("resident memory: after the first minute %ld kB, at the end %ld kB\n", r.firstRssKb, r.lastRssKb);
  const bool slower = first > 0 && last > 1.5 * first;
  const bool grew = r.lastRssKb > r.firstRssKb + 4096;
  if (!r.finite || !r.cellsWithinBound || slower || grew) {
    std::printf("FAILED%s%s%s%s\n", r.finite ? "" : ": non-finite output", r.cellsWithinBound ? "" : ": cells past the limiter",
                slower ? ": blocks got slower" : "", grew ? ": memory grew" : "");
    return 1;
  }
  std::printf("ok\n");
  return 0;
}
