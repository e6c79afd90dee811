#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "dsp/BrigadeLine.h"
#include "dsp/DelayLfo.h"
#include "dsp/PortableMath.h"

namespace {

constexpr double kRate = 48000;
constexpr int kTicksPerControl = 48;
constexpr int kFrames = 4800;

std::vector<double> Noise(size_t n, std::uint32_t seed, double gain) {
  std::vector<double> v(n);
  for (auto& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = gain * (static_cast<double>(seed >> 8) / 8388608.0 - 1.0);
  }
  return v;
}

// Line and LFO driven as the product drives them: a control tick every
// ticksPerControl + 1 frames, then one line step per frame.
struct Engine {
  BrigadeLine line;
  DelayLfo lfo;
  double timePosition = 0;
  double depth = 0;
  int countdown = 0;
  std::vector<double> outL = std::vector<double>(kFrames), outR = std::vector<double>(kFrames);

  Engine(double time, double lfoDepth, double lfoHz, double quality, double feedback) {
    line.Rebuild(kRate, 1);
    lfo.SetRate(kRate, kTicksPerControl);
    lfo.SetSpeedHz(lfoHz);
    line.SetQuality(quality);
    line.SetFeedback(feedback);
    line.SetMix(0.5);
    timePosition = time;
    depth = lfoDepth;
  }

  void ControlTick() {
    line.SetClockStep(BrigadeLine::ModulatedClockStep(timePosition, depth, lfo.Tick()));
  }

  // The frames between two control ticks go to the line as one block.
  void Run(const std::vector<double>& inL, const std::vector<double>& inR) {
    int i = 0;
    while (i < kFrames) {
      if (countdown <= 0) {
        ControlTick();
        countdown = kTicksPerControl + 1;
      }
      const int run = countdown < kFrames - i ? countdown : kFrames - i;
      line.ProcessBlock(&inL[i], &inR[i], &outL[i], &outR[i], run);
      countdown -= run;
      i += run;
    }
  }

  // The same, one Process call per frame.
  void RunPerFrame(const std::vector<double>& inL, const std::vector<double>& inR) {
    for (int i = 0; i < kFrames; ++i) {
      if (--countdown < 0) {
        countdown = kTicksPerControl;
        ControlTick();
      }
      line.Process(inL[i], inR[i], outL[i], outR[i]);
    }
  }
};

void Report(benchmark::State& state) {
  state.counters["per_frame"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFrames,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["realtime_x"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFrames / kRate, benchmark::Counter::kIsRate);
}

void RunEngine(benchmark::State& state, Engine& e, const std::vector<double>& inL,
               const std::vector<double>& inR) {
  for (auto _ : state) {
    e.Run(inL, inR);
    benchmark::DoNotOptimize(e.outL.data());
    benchmark::DoNotOptimize(e.outR.data());
  }
  Report(state);
}

void BM_a_TimeOne(benchmark::State& state) {
  Engine e(1, 0, 0.15, 1, 0.5);
  const auto inL = Noise(kFrames, 1, 0.5), inR = Noise(kFrames, 2, 0.5);
  RunEngine(state, e, inL, inR);
}

void BM_b_TimeZero(benchmark::State& state) {
  Engine e(0, 0, 0.15, 1, 0.5);
  const auto inL = Noise(kFrames, 1, 0.5), inR = Noise(kFrames, 2, 0.5);
  RunEngine(state, e, inL, inR);
}

void BM_b_TimeZeroPerFrameCalls(benchmark::State& state) {
  Engine e(0, 0, 0.15, 1, 0.5);
  const auto inL = Noise(kFrames, 1, 0.5), inR = Noise(kFrames, 2, 0.5);
  for (auto _ : state) {
    e.RunPerFrame(inL, inR);
    benchmark::DoNotOptimize(e.outL.data());
  }
  Report(state);
}

void BM_c_LfoDepthOne5Hz(benchmark::State& state) {
  Engine e(0.5, 1, 5, 1, 0.5);
  const auto inL = Noise(kFrames, 1, 0.5), inR = Noise(kFrames, 2, 0.5);
  RunEngine(state, e, inL, inR);
}


void WarmUpAfterBurst(Engine& e) {
  const auto loudL = Noise(kFrames, 3, 1000), loudR = Noise(kFrames, 4, 1000);
  const std::vector<double> silence(kFrames, 0.0);
  for (int i = 0; i < 5; ++i) e.Run(loudL, loudR);
  for (int i = 0; i < 100; ++i) e.Run(silence, silence);
}

void BM_d_SilenceAfterBurst(benchmark::State& state) {
  Engine e(0, 0, 0.15, 0.05, 0.9);
  WarmUpAfterBurst(e);
  const std::vector<double> silence(kFrames, 0.0);
  RunEngine(state, e, silence, silence);
}

void BM_e_NoiseAfterBurst(benchmark::State& state) {
  Engine e(0, 0, 0.15, 0.05, 0.9);
  WarmUpAfterBurst(e);
  const auto inL = Noise(kFrames, 5, 0.5), inR = Noise(kFrames, 6, 0.5);
  RunEngine(state, e, inL, inR);
}

// The floor: the filter alone, as often as the eight-tick line runs it.
void BM_f_FilterFloor(benchmark::State& state) {
  LowpassBiquad fL, fR;
  fL.SetSampleRate(kRate);
  fR.SetSampleRate(kRate);
  const auto inL = Noise(8 * kFrames, 7, 0.5), inR = Noise(8 * kFrames, 8, 0.5);
  std::vector<double> outL(kFrames), outR(kFrames);
  for (auto _ : state) {
    for (int i = 0; i < kFrames; ++i) {
      double l = 0, r = 0;
      for (int k = 0; k < 8; ++k) {
        l = fL.Process(inL[8 * i + k]);
        r = fR.Process(inR[8 * i + k]);
      }
      outL[i] = l;
      outR[i] = r;
    }
    benchmark::DoNotOptimize(outL.data());
    benchmark::DoNotOptimize(outR.data());
  }
  Report(state);
}

}  // namespace

BENCHMARK(BM_a_TimeOne);
BENCHMARK(BM_b_TimeZero);
BENCHMARK(BM_b_TimeZeroPerFrameCalls);
BENCHMARK(BM_c_LfoDepthOne5Hz);
BENCHMARK(BM_d_SilenceAfterBurst);
BENCHMARK(BM_e_NoiseAfterBurst);
BENCHMARK(BM_f_FilterFloor);

BENCHMARK_MAIN();
