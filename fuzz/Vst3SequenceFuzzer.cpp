// Host calls to the VST 3 object in any order a byte string gives: setup,
// activation, processing with parameter points at any offsets (MIDI proxies,
// program and bypass included), state, the controller's calls, views made
// and dropped. Nothing may crash, every parameter stays finite in 0..1, and
// output stays finite.
#include <algorithm>

#include "fuzz/FuzzSupport.h"

using namespace v3;

namespace {
struct Reader {
  const uint8_t* p;
  size_t n;
  uint8_t Byte() {
    if (!n) return 0;
    --n;
    return *p++;
  }
  double Unit() { return Byte() / 255.0; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<Vst3TestHost> instance = fuzz::CreatedVst3Instance();
  Vst3TestHost& host = *instance;
  Reader r{data, size};
  const double rates[] = {8000.0, 44100.0, 48000.0, 96000.0, 192000.0, 1.0};
  const int blocks[] = {1, 16, 64, 512, 4096};
  std::vector<uint8_t> state;
  for (int step = 0; step < 64 && r.n; ++step) {
    switch (r.Byte() % 10) {
      case 0:
        host.Stop();
        host.Start(rates[r.Byte() % 6], blocks[r.Byte() % 5], r.Byte() & 1);
        break;
      case 1:
        host.Stop();
        break;
      case 2: {
        // A block of up to twice the set-up maximum, points anywhere in it.
        const int frames = r.Byte() * 4;
        std::vector<Vst3ParamPoint> points;
        for (int k = r.Byte() % 8; k > 0; --k) {
          const uint8_t which = r.Byte();
          ParamID id = which % 12;
          if (id == 9) id = 1000;                       // bypass
          if (id == 10) id = 1001;                      // program
          if (id == 11) id = 0x10000 + (which >> 1);    // a MIDI controller
          points.push_back({id, static_cast<int32>(r.Byte()) * 4 - 16, r.Unit()});
        }
        std::stable_sort(points.begin(), points.end(),
                         [](const Vst3ParamPoint& a, const Vst3ParamPoint& b) { return a.offset < b.offset; });
        if (host.Active()) {
          if (host.Doubles()) {
            std::vector<double> in[2] = {std::vector<double>(static_cast<size_t>(frames), 0.5),
                                         std::vector<double>(static_cast<size_t>(frames), -0.5)},
                                out[2];
            host.ProcessDouble(in, out, std::max(1, frames), points);
            for (auto& ch : out)
              for (double x : ch) FUZZ_CHECK(std::isfinite(x));
          } else {
            std::vector<float> in[2] = {std::vector<float>(static_cast<size_t>(frames), 0.5f),
                                        std::vector<float>(static_cast<size_t>(frames), -0.5f)},
                               out[2];
            host.Process(in, out, std::max(1, frames), points);
            for (auto& ch : out)
              for (float x : ch) FUZZ_CHECK(std::isfinite(x));
          }
        }
        break;
      }
      case 3:
        if (host.Active()) host.Flush({{static_cast<ParamID>(r.Byte() % 9), 0, r.Unit()}});
        break;
      case 4:
        host.controller->setParamNormalized(r.Byte() % 2 ? r.Byte() % 9 : 1001, r.Unit());
        break;
      case 5:
        state = host.GetState();
        break;
      case 6:
        if (!state.empty()) {
          // Cut, as a damaged project gives it.
          state.resize(state.size() * r.Byte() / 255);
          host.SetState(state);
        }
        break;
      case 7:
        if (IPlugView* view = host.controller->createView(r.Byte() & 1 ? "editor" : "other")) view->release();
        break;
      case 8:
        host.processor->getTailSamples();
        host.controller->getParamNormalized(1001);
        break;
      case 9: {
        SpeakerArrangement in = r.Byte() & 1 ? kSpeakerStereo : kSpeakerMono, out = kSpeakerStereo;
        if (!host.Active()) host.processor->setBusArrangements(&in, 1, &out, 1);
        break;
      }
    }
  }
  fuzz::CheckInstance(host);
  return 0;
}
