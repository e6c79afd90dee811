// A product instance in our test host, opened and running like in a DAW.
#pragma once

#include <cmath>
#include <vector>

#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"
#include "tests/host/TestHost.h"

struct ProductFixture {
  TestHost host;
  QVDelay* plug = nullptr;

  explicit ProductFixture(double rate = 44100, int block = 512, bool start = true) {
    host.Create(VSTPluginMain);
    plug = static_cast<QVDelay*>(IPluginVST::FromEffect(host.Effect()));
    if (start) host.Start(rate, block);
  }

  void SetPlain(int index, double v) { host.SetParameter(index, static_cast<float>(plug->GetParam(index)->Normalized(v))); }
  std::string Display(int index) { return host.ParamText(effGetParamDisplay, index); }

  // Renders an impulse (after `silence` frames of quiet) and returns both outputs.
  void RenderImpulse(int frames, std::vector<double>* out, int block = 512) {
    std::vector<double> in[2] = {std::vector<double>(static_cast<size_t>(frames), 0.0),
                                 std::vector<double>(static_cast<size_t>(frames), 0.0)};
    in[0][0] = 1.0;
    in[1][0] = 1.0;
    host.ProcessDouble(in, out, block);
  }
};

// Index of the largest magnitude at or after `from`.
inline int PeakIndex(const std::vector<double>& v, int from) {
  int best = from;
  for (int i = from; i < static_cast<int>(v.size()); ++i)
    if (std::fabs(v[static_cast<size_t>(i)]) > std::fabs(v[static_cast<size_t>(best)])) best = i;
  return best;
}
