// Shared by the validator-style tests: a product instance in our test host,
// noise, and the checks a strict validator applies to output.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "product/QVDelay.h"
#include "tests/host/TestHost.h"

namespace validator {

struct Random {
  uint64_t state;
  explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state >> 11);
  }
  double Unit() { return Next() / 2097152.0 / 2048.0; }  // 0 .. 1
  double Signed() { return 2.0 * Unit() - 1.0; }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

struct Instance {
  TestHost host;
  QVDelay* plug = nullptr;
  AEffect* effect = nullptr;

  explicit Instance(double rate = 44100, int block = 512, bool start = true) {
    host.recordRequests = false;
    EXPECT_TRUE(host.Create(VSTPluginMain));
    effect = host.Effect();
    plug = static_cast<QVDelay*>(IPluginVST::FromEffect(effect));
    if (start) host.Start(rate, block);
  }
  void Restart(double rate, int block, bool suspend) {
    if (suspend) host.Suspend();
    host.SetSampleRate(rate);
    host.SetBlockSize(block);
    if (suspend) host.Resume();
  }
  void RandomiseParameters(Random& r) {
    for (int i = 0; i < effect->numParams; ++i) host.SetParameter(i, static_cast<float>(r.Unit()));
  }
  std::vector<float> Parameters() {
    std::vector<float> v;
    for (int i = 0; i < effect->numParams; ++i) v.push_back(host.GetParameter(i));
    return v;
  }
};

struct Stereo {
  std::vector<float> ch[2];
  explicit Stereo(size_t frames = 0) {
    ch[0].resize(frames);
    ch[1].resize(frames);
  }
  size_t Frames() const { return ch[0].size(); }
};

inline Stereo Noise(size_t frames, uint64_t seed, float level = 1.f) {
  Stereo s(frames);
  Random r(seed);
  for (auto& c : s.ch)
    for (float& v : c) v = level * static_cast<float>(r.Signed());
  return s;
}

// Processes `in` with processReplacing in calls of `call` frames; before every
// call `between` may automate. Returns the output.
inline Stereo Process(Instance& inst, const Stereo& in, int call,
                      const std::function<void(size_t position)>& between = nullptr) {
  Stereo out(in.Frames());
  for (size_t pos = 0; pos < in.Frames(); pos += static_cast<size_t>(call)) {
    int n = static_cast<int>(std::min(in.Frames() - pos, static_cast<size_t>(call)));
    if (between) between(pos);
    float* ins[2] = {const_cast<float*>(in.ch[0].data()) + pos, const_cast<float*>(in.ch[1].data()) + pos};
    float* outs[2] = {out.ch[0].data() + pos, out.ch[1].data() + pos};
    inst.effect->processReplacing(inst.effect, ins, outs, n);
  }
  return out;
}

// No NaN, no infinity, no subnormal: what a validator asks of every sample.
inline ::testing::AssertionResult CleanOutput(const Stereo& out) {
  for (int c = 0; c < 2; ++c)
    for (size_t i = 0; i < out.Frames(); ++i) {
      float v = out.ch[c][i];
      if (!std::isfinite(v) || std::fpclassify(v) == FP_SUBNORMAL)
        return ::testing::AssertionFailure() << "channel " << c << " frame " << i << " is " << v;
    }
  return ::testing::AssertionSuccess();
}

inline bool Silent(const Stereo& out) {
  for (const auto& c : out.ch)
    for (float v : c)
      if (v != 0.f) return false;
  return true;
}

inline double Peak(const Stereo& out) {
  double p = 0;
  for (const auto& c : out.ch)
    for (float v : c) p = std::max(p, static_cast<double>(std::fabs(v)));
  return p;
}

// Under x86 Wine, which runs emulated here, the heavy parts are cut short.
inline bool Emulated() {
#if defined(_WIN32) && !defined(_WIN64)
  return true;
#else
  return false;
#endif
}

}  // namespace validator
