// Draining the controller queue when a host delivers a flood of controllers
// that all fall due in one control tick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "framework/IMidiEventQueue.h"
#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"
#include "tests/host/TestHost.h"

namespace {

constexpr int kDue = 16000;
constexpr int kTicks = 48;

void Fill(IMidiEventQueue& q, int n) {
  q.Clear();
  for (int i = 0; i < n; ++i) {
    IMidiMessage m;
    m.offset = i % 32;
    m.status = 0xB0;
    m.data1 = 7;
    m.data2 = static_cast<uint8_t>(i & 127);
    q.Add(m);
  }
}

// The former drain: one Consume(1), and so one move of the rest, per message.
void BM_DrainOneMessageAtATime(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  IMidiEventQueue q(n);
  for (auto _ : state) {
    state.PauseTiming();
    Fill(q, n);
    state.ResumeTiming();
    int applied = 0;
    while (q.Front() != q.Back()) {
      IMidiMessage& m = q.At(q.Front());
      m.offset -= kTicks;
      if (m.offset > 0) break;
      applied += m.data2;
      q.Consume(1);
    }
    benchmark::DoNotOptimize(applied);
  }
}
BENCHMARK(BM_DrainOneMessageAtATime)->Arg(1024)->Arg(kDue)->Unit(benchmark::kMicrosecond);

// The drain as it is now: one pass, one move at the end.
void BM_DrainInOnePass(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  IMidiEventQueue q(n);
  for (auto _ : state) {
    state.PauseTiming();
    Fill(q, n);
    state.ResumeTiming();
    int applied = 0;
    int i = q.Front();
    for (; i < q.Back(); ++i) {
      IMidiMessage& m = q.At(i);
      m.offset -= kTicks;
      if (m.offset > 0) break;
      applied += m.data2;
    }
    q.Consume(i - q.Front());
    benchmark::DoNotOptimize(applied);
  }
}
BENCHMARK(BM_DrainInOnePass)->Arg(1024)->Arg(kDue)->Unit(benchmark::kMicrosecond);

// The product itself: 16,000 controllers, all due in the first control tick
// of one 256-frame block at 48 kHz. The controller is not learned, so this is
// the queue's own cost (applying values costs a host notification each).
void BM_ProductBlockWithDueControllers(benchmark::State& state) {
  TestHost host;
  host.Create(VSTPluginMain);
  host.Start(48000, 256);
  QVDelay* plug = static_cast<QVDelay*>(IPluginVST::FromEffect(host.Effect()));
  plug->SetControllerTarget(7, -1);
  std::vector<VstMidiEvent> events(kDue);
  for (int i = 0; i < kDue; ++i) {
    VstMidiEvent& e = events[static_cast<size_t>(i)];
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = i % 32;
    e.midiData[0] = static_cast<char>(0xB0);
    e.midiData[1] = 7;
    e.midiData[2] = static_cast<char>(i & 127);
  }
  std::vector<unsigned char> list(sizeof(VstEvents) + sizeof(VstEvent*) * events.size());
  reinterpret_cast<VstEvents*>(list.data())->numEvents = kDue;
  for (size_t i = 0; i < events.size(); ++i) {
    VstEvent* p = reinterpret_cast<VstEvent*>(&events[i]);
    std::memcpy(list.data() + offsetof(VstEvents, events) + i * sizeof(p), &p, sizeof(p));
  }
  std::vector<double> in(256, 0.0), outL(256), outR(256);
  double* ins[2] = {in.data(), in.data()};
  double* outs[2] = {outL.data(), outR.data()};
  for (auto _ : state) {
    state.PauseTiming();
    host.Dispatch(effProcessEvents, 0, 0, list.data());
    state.ResumeTiming();
    host.Effect()->processDoubleReplacing(host.Effect(), ins, outs, 256);
    benchmark::DoNotOptimize(outL.data());
  }
  host.Close();
}
BENCHMARK(BM_ProductBlockWithDueControllers)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
