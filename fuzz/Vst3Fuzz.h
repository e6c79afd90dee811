// What the VST 3 fuzz targets share: an instance over the linked binding,
// driven by our VST 3 test host, and the checks every input must pass.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "tests/host/Vst3TestHost.h"
#include "vst3/Vst3Factory.h"

#define FUZZ3_CHECK(cond)                                                                 \
  do {                                                                                    \
    if (!(cond)) {                                                                        \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)

namespace fuzz3 {

inline std::unique_ptr<Vst3TestHost> StartedInstance() {
  auto host = std::make_unique<Vst3TestHost>();
  FUZZ3_CHECK(host->UseFactory(AcquireVst3Factory()));
  FUZZ3_CHECK(host->Create());
  FUZZ3_CHECK(host->Start(44100.0, 512));
  return host;
}

// Every parameter the host sees stays finite in 0..1.
inline void CheckParams(Vst3TestHost& host) {
  v3::IEditController* c = host.controller;
  for (v3::int32 i = 0; i < c->getParameterCount(); ++i) {
    v3::ParameterInfo info{};
    FUZZ3_CHECK(c->getParameterInfo(i, info) == v3::kResultOk);
    const double v = c->getParamNormalized(info.id);
    FUZZ3_CHECK(std::isfinite(v) && v >= 0.0 && v <= 1.0);
    v3::TChar text[128];
    FUZZ3_CHECK(c->getParamStringByValue(info.id, v, text) == v3::kResultOk);
  }
}

inline void CheckProcessFinite(Vst3TestHost& host, int frames, uint32_t seed) {
  if (!host.Active()) return;
  std::vector<float> in[2] = {std::vector<float>(static_cast<size_t>(frames)),
                              std::vector<float>(static_cast<size_t>(frames))},
                     out[2];
  for (auto& ch : in)
    for (auto& x : ch) {
      seed = seed * 1664525u + 1013904223u;
      x = static_cast<float>(static_cast<int>(seed >> 8) % 2001 - 1000) / 1000.f;
    }
  host.Process(in, out, frames);
  for (auto& ch : out)
    for (float x : ch) FUZZ3_CHECK(std::isfinite(x));
}

}  // namespace fuzz3
