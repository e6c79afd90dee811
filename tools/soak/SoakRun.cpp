#include "tools/soak/SoakRun.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"
#include "tests/host/TestHost.h"

#if defined(__linux__)
#include <unistd.h>
#endif

long ResidentKb() {
#if defined(__linux__)
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
#else
  return 0;
#endif
}

namespace {
double MaxAbs(const double* v, int n) {
  double m = 0;
  for (int i = 0; i < n; ++i) m = std::fmax(m, std::fabs(v[i]));
  return m;
}
}  // namespace

SoakReport RunSoak(const SoakOptions& o) {
  using Clock = std::chrono::steady_clock;
  SoakReport report;
  TestHost host;
  host.recordRequests = false;
  if (!host.Create(VSTPluginMain)) {
    report.finite = false;
    return report;
  }
  host.Start(o.rate, o.block);
  QVDelay* plug = static_cast<QVDelay*>(IPluginVST::FromEffect(host.Effect()));
  AEffect* e = host.Effect();
  host.SetParameter(kLFODepth, 1.f);
  host.SetParameter(kMix, 0.5f);

  std::vector<float> in[2] = {std::vector<float>(static_cast<size_t>(o.block)), std::vector<float>(static_cast<size_t>(o.block))};
  std::vector<float> out[2] = {std::vector<float>(static_cast<size_t>(o.block)), std::vector<float>(static_cast<size_t>(o.block))};
  float* ins[2] = {in[0].data(), in[1].data()};
  float* outs[2] = {out[0].data(), out[1].data()};
  uint32_t s = o.seed * 2654435761u + 1;
  auto next = [&s] { return (s = s * 1664525u + 1013904223u) >> 8; };

  const long long total = static_cast<long long>(o.seconds * o.rate);
  const long long minute = static_cast<long long>(60 * o.rate);
  const long long second = static_cast<long long>(o.rate);
  double minuteUs = 0;
  long minuteBlocks = 0;
  double inputPeak = 0;
  long long nextCellCheck = second;
  for (long long pos = 0; pos < total; pos += o.block) {
    const double t = static_cast<double>(pos) / o.rate;
    // Noise for 20 s, silence for 10 s: the silences are where slow denormal tails would show.
    const bool loud = std::fmod(t, 30.0) < 20.0;
    for (auto& ch : in)
      for (float& v : ch) v = loud ? (static_cast<float>(next()) / 8388608.f - 1.f) * 0.5f : 0.f;
    // Feedback at +1 and -1 in turns, quality a triangle over 90 s, FREEZE every 7 s.
    host.SetParameter(kFeedback, std::fmod(t, 40.0) < 20.0 ? 1.f : 0.f);
    const double phase = std::fmod(t, 90.0) / 45.0;
    host.SetParameter(kQuality, static_cast<float>(phase < 1 ? phase : 2 - phase));
    const int others[] = {kRange, kTime, kLFOSpeed, kMix, kDelaySync, kLFOSync};
    host.SetParameter(others[next() % 6], static_cast<float>(next() % 1001) / 1000.f);
    if (pos / o.block % static_cast<long long>(7 * o.rate / o.block) == 0 && pos > 0) plug->ToggleFreeze();

    const auto t0 = Clock::now();
    e->processReplacing(e, ins, outs, o.block);
    minuteUs += std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
    ++minuteBlocks;

    for (auto& ch : out)
      for (float v : ch) {
        if (!std::isfinite(v)) report.finite = false;
        report.outputPeak = std::fmax(report.outputPeak, std::fabs(static_cast<double>(v)));
      }
    const BrigadeLine& line = plug->Line();
    inputPeak = std::fmax(inputPeak, std::fmax(MaxAbs(line.inputHistoryL, 4), MaxAbs(line.inputHistoryR, 4)));
    report.frames = pos + o.block;
    if (report.frames >= nextCellCheck && line.IsReady()) {
      nextCellCheck += second;
      report.cellPeak = std::fmax(report.cellPeak, std::fmax(MaxAbs(line.bufferL, line.bufferLength),
                                                             MaxAbs(line.bufferR, line.bufferLength)));
      report.cellBound = 1.25 * inputPeak + 3.0;
      if (!(report.cellPeak <= report.cellBound)) report.cellsWithinBound = false;
    }
    if (report.frames % minute < o.block || report.frames >= total) {
      report.minuteMeanBlockUs.push_back(minuteUs / static_cast<double>(minuteBlocks));
      minuteUs = 0;
      minuteBlocks = 0;
      if (report.minuteMeanBlockUs.size() == 1) report.firstRssKb = ResidentKb();
      if (o.progress)
        std::fprintf(stderr, "minute %zu: %.1f us per block, peak %.3f, cells %.3f (bound %.3f), RSS %ld kB\n",
                     report.minuteMeanBlockUs.size(), report.minuteMeanBlockUs.back(), report.outputPeak,
                     report.cellPeak, report.cellBound, ResidentKb());
    }
  }
  report.lastRssKb = ResidentKb();
  return report;
}
