// Shared by the fuzz targets: a product instance in one of our test hosts
// (VST 2.4, or VST 3 over the linked binding), text fields of the sizes hosts
// really allocate with a canary behind them, and the checks every target
// applies to an instance after hostile input.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/host/TestHost.h"
#include "tests/host/Vst3TestHost.h"
#include "vst/IPluginVST.h"
#include "vst3/Vst3Factory.h"

// A finding: libFuzzer keeps the input that got here.
#define FUZZ_CHECK(cond)                                                             \
  do {                                                                               \
    if (!(cond)) {                                                                   \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

namespace fuzz {

constexpr unsigned char kUnwritten = 0xA5;
constexpr size_t kCanary = 16;
constexpr size_t kParamTextSize = 32;  // what hosts give parameter names, labels and displays

// Asks for a text into a field of `size` bytes, heap-allocated with a canary
// behind it: a write past the field trips the canary check here, one past the
// canary trips the address sanitizer. A written text must end inside the field.
inline void CheckTextFits(TestHost& host, VstInt32 opcode, VstInt32 index, size_t size) {
  std::unique_ptr<unsigned char[]> field(new unsigned char[size + kCanary]);
  std::memset(field.get(), kUnwritten, size + kCanary);
  host.Dispatch(opcode, index, 0, field.get());
  for (size_t i = size; i < size + kCanary; ++i) FUZZ_CHECK(field[i] == kUnwritten);
  if (field[0] != kUnwritten) FUZZ_CHECK(std::memchr(field.get(), 0, size) != nullptr);
}

// Every parameter normalised, finite and in 0..1; every text within its field.
inline void CheckInstance(TestHost& host) {
  AEffect* e = host.Effect();
  for (int i = 0; i < e->numParams; ++i) {
    float v = host.GetParameter(i);
    FUZZ_CHECK(std::isfinite(v) && v >= 0.f && v <= 1.f);
    CheckTextFits(host, effGetParamName, i, kParamTextSize);
    CheckTextFits(host, effGetParamLabel, i, kParamTextSize);
    CheckTextFits(host, effGetParamDisplay, i, kParamTextSize);
  }
  CheckTextFits(host, effGetProgramName, 0, kVstMaxProgNameLen);
  for (int p = 0; p < e->numPrograms; ++p) CheckTextFits(host, effGetProgramNameIndexed, p, kVstMaxProgNameLen);
}

// Two channels of noise in -1..1, the same for the same seed.
inline void Noise(std::vector<float> (&in)[2], int frames, uint32_t seed) {
  for (auto& ch : in) {
    ch.resize(static_cast<size_t>(frames));
    for (float& s : ch) {
      seed = seed * 1664525u + 1013904223u;
      s = static_cast<float>(seed >> 8) / 8388608.f - 1.f;
    }
  }
}

// Processes a short block of noise; every output sample must be finite.
inline void CheckProcessFinite(TestHost& host, int frames, uint32_t seed) {
  std::vector<float> in[2], out[2];
  Noise(in, frames, seed);
  host.ProcessReplacing(in, out, frames);
  for (auto& ch : out)
    for (float s : ch) FUZZ_CHECK(std::isfinite(s));
}

// The same for a VST 3 instance, when it is processing.
inline void CheckProcessFinite(Vst3TestHost& host, int frames, uint32_t seed) {
  if (!host.Active()) return;
  std::vector<float> in[2], out[2];
  Noise(in, frames, seed);
  host.Process(in, out, frames);
  for (auto& ch : out)
    for (float s : ch) FUZZ_CHECK(std::isfinite(s));
}

// Every parameter a VST 3 host sees stays finite in 0..1 and has a text.
inline void CheckInstance(Vst3TestHost& host) {
  v3::IEditController* c = host.controller;
  for (v3::int32 i = 0; i < c->getParameterCount(); ++i) {
    v3::ParameterInfo info{};
    FUZZ_CHECK(c->getParameterInfo(i, info) == v3::kResultOk);
    const double v = c->getParamNormalized(info.id);
    FUZZ_CHECK(std::isfinite(v) && v >= 0.0 && v <= 1.0);
    v3::TChar text[128];
    FUZZ_CHECK(c->getParamStringByValue(info.id, v, text) == v3::kResultOk);
  }
}

// A new instance started as a DAW starts it, asking nothing of its requests log.
inline std::unique_ptr<TestHost> StartedInstance(double rate = 44100, int block = 512) {
  std::unique_ptr<TestHost> host(new TestHost);
  host->recordRequests = false;
  FUZZ_CHECK(host->Create(VSTPluginMain));
  host->Start(rate, block);
  return host;
}

// A new VST 3 instance over the linked binding, made by its factory as hosts make it.
inline std::unique_ptr<Vst3TestHost> CreatedVst3Instance() {
  std::unique_ptr<Vst3TestHost> host(new Vst3TestHost);
  FUZZ_CHECK(host->UseFactory(AcquireVst3Factory()));
  FUZZ_CHECK(host->Create());
  return host;
}

// The same, set up and processing.
inline std::unique_ptr<Vst3TestHost> StartedVst3Instance() {
  std::unique_ptr<Vst3TestHost> host = CreatedVst3Instance();
  FUZZ_CHECK(host->Start(44100.0, 512));
  return host;
}

}  // namespace fuzz
