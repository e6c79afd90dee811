// What strict plug-in validators check, through our test host on the real
// product: opening cold and warm, every program, state round trips, clean
// output at the common rates and every block size, automation, rate changes,
// oversized blocks, no allocation or foreign lock while processing, the
// editor used while audio runs, and many instances on two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "graphics/IGraphicsOffscreen.h"
#include "product/QVDelayConfig.h"
#include "product/editor/QVDelayEditor.h"
#include "tests/host/DynamicLibrary.h"
#include "tests/validator/AllocationCounter.h"
#include "tests/validator/ValidatorSupport.h"

using namespace validator;

#if defined(__SANITIZE_ADDRESS__)
// The system's font library keeps its configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

std::string gPluginPath;  // optional: the built library, for the cold load

namespace {

// Renders the same noise through program p of a fresh or a reused instance.
Stereo RenderProgram(Instance& inst, int program, uint64_t seed) {
  inst.host.Dispatch(effSetProgram, 0, program);
  return Process(inst, Noise(4096, seed), 512);
}

}  // namespace

TEST(ValidatorOpen, ColdAndWarmOpeningsGiveTheSameSound) {
  // Closed without ever being opened, opened and closed without audio, and
  // suspended and resumed many times: nothing leaks (ASan) or crashes.
  { Instance never(44100, 512, false); }
  {
    Instance opened(44100, 512, false);
    opened.host.Open();
  }
  Instance first;
  Stereo a = RenderProgram(first, 3, 7);
  for (int i = 0; i < 20; ++i) {
    first.host.Suspend();
    first.host.Resume();
  }
  first.host.Close();
  Instance warm;  // the library has made and closed instances before
  Stereo b = RenderProgram(warm, 3, 7);
  EXPECT_EQ(a.ch[0], b.ch[0]);
  EXPECT_EQ(a.ch[1], b.ch[1]);
  EXPECT_FALSE(Silent(a));

  if (gPluginPath.empty()) return;
  // Cold: the library loaded afresh, twice, sounds like the linked code.
  for (int round = 0; round < 2; ++round) {
    DynamicLibrary library;
    ASSERT_TRUE(library.Open(gPluginPath)) << library.Error();
    auto entry = reinterpret_cast<VstEntryProc>(library.Symbol("VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    TestHost host;
    host.recordRequests = false;
    ASSERT_TRUE(host.Create(entry));
    host.Start(44100, 512);
    host.Dispatch(effSetProgram, 0, 3);
    Stereo in = Noise(4096, 7), out(4096);
    for (size_t pos = 0; pos < 4096; pos += 512) {
      float* ins[2] = {in.ch[0].data() + pos, in.ch[1].data() + pos};
      float* outs[2] = {out.ch[0].data() + pos, out.ch[1].data() + pos};
      host.Effect()->processReplacing(host.Effect(), ins, outs, 512);
    }
    EXPECT_EQ(out.ch[0], a.ch[0]) << "round " << round;
    host.Close();
  }
}

TEST(ValidatorPrograms, EveryProgramLoadsNamesAndPlaysCleanly) {
  Instance inst;
  for (int p = 0; p < inst.effect->numPrograms; ++p) {
    inst.host.Dispatch(effSetProgram, 0, p);
    EXPECT_EQ(inst.host.Dispatch(effGetProgram), p);
    // The name as the host's 24-byte field holds it, canary behind.
    char field[kVstMaxProgNameLen + 8];
    std::memset(field, 0x5A, sizeof(field));
    inst.host.Dispatch(effGetProgramName, 0, 0, field);
    for (size_t i = kVstMaxProgNameLen; i < sizeof(field); ++i) EXPECT_EQ(field[i], 0x5A) << "program " << p;
    EXPECT_NE(std::memchr(field, 0, kVstMaxProgNameLen), nullptr);
    char indexed[kVstMaxProgNameLen + 8];
    std::memset(indexed, 0x5A, sizeof(indexed));
    EXPECT_EQ(inst.host.Dispatch(effGetProgramNameIndexed, p, 0, indexed), 1);
    EXPECT_STREQ(indexed, field);
    for (float v : inst.Parameters()) EXPECT_TRUE(v >= 0.f && v <= 1.f) << "program " << p;
    Stereo out = Process(inst, Noise(8192, static_cast<uint64_t>(p)), 512);
    EXPECT_TRUE(CleanOutput(out)) << "program " << p;
  }
  // Out-of-range program numbers change nothing.
  inst.host.Dispatch(effSetProgram, 0, 4);
  inst.host.Dispatch(effSetProgram, 0, inst.effect->numPrograms);
  inst.host.Dispatch(effSetProgram, 0, -1);
  EXPECT_EQ(inst.host.Dispatch(effGetProgram), 4);
}

TEST(ValidatorState, GetRandomiseSetRestoresAndResavesByteIdentically) {
  for (bool bank : {false, true}) {
    Instance inst;
    Random r(bank ? 11 : 12);
    inst.host.Dispatch(effSetProgram, 0, 2);
    inst.RandomiseParameters(r);
    const std::vector<float> before = inst.Parameters();
    const std::vector<uint8_t> saved = inst.host.GetChunk(bank);
    ASSERT_FALSE(saved.empty());
    for (int round = 0; round < 3; ++round) {
      inst.RandomiseParameters(r);
      if (bank)
        for (int p = 0; p < inst.effect->numPrograms; ++p) {
          inst.host.Dispatch(effSetProgram, 0, p);
          inst.RandomiseParameters(r);
        }
      ASSERT_TRUE(inst.host.SetChunk(saved, bank));
      // A bank does not say which program was current: the host selects it again.
      if (bank) inst.host.Dispatch(effSetProgram, 0, 2);
      EXPECT_EQ(inst.Parameters(), before) << (bank ? "bank" : "program");
      EXPECT_EQ(inst.host.GetChunk(bank), saved) << (bank ? "bank" : "program");
    }
    // A second instance given the state sounds like the first.
    Instance other;
    ASSERT_TRUE(other.host.SetChunk(saved, bank));
    if (bank) other.host.Dispatch(effSetProgram, 0, 2);
    Stereo a = Process(inst, Noise(4096, 5), 256), b = Process(other, Noise(4096, 5), 256);
    EXPECT_EQ(a.ch[0], b.ch[0]);
  }
}

TEST(ValidatorProcess, NoiseAtCommonRatesAndEveryBlockSizeIsClean) {
  const int blocks[] = {1, 2, 3, 7, 31, 32, 33, 64, 100, 128, 255, 256, 441, 512, 1000, 1024, 2048, 4095, 4096};
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    for (int block : blocks) {
      if (Emulated() && block < 64) continue;
      Instance inst(rate, block);
      Random r(static_cast<uint64_t>(block));
      inst.host.Dispatch(effSetProgram, 0, block % 10);
      inst.host.SetParameter(kFeedback, 1.f);  // +100 %: the line's limit is all that holds it
      inst.host.SetParameter(kQuality, 0.f);   // the most resonant filters
      const size_t frames = static_cast<size_t>(std::max(block * 4, 8192));
      Stereo out = Process(inst, Noise(frames, static_cast<uint64_t>(block)), block);
      EXPECT_TRUE(CleanOutput(out)) << rate << " Hz, block " << block;
      EXPECT_FALSE(Silent(out));
    }
  }
}

TEST(ValidatorProcess, RandomAutomationEvery32SamplesIsClean) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    Instance inst(rate, 512);
    Random r(static_cast<uint64_t>(rate));
    Stereo in = Noise(static_cast<size_t>(rate) * (Emulated() ? 1 : 3), 3);
    Stereo out = Process(inst, in, 32, [&](size_t) {
      int n = r.Below(3);
      for (int i = 0; i <= n; ++i) inst.host.SetParameter(r.Below(kNumParams), static_cast<float>(r.Unit()));
    });
    EXPECT_TRUE(CleanOutput(out)) << rate;
    // Automation leaves the parameters in range.
    for (float v : inst.Parameters()) EXPECT_TRUE(v >= 0.f && v <= 1.f);
  }
}

TEST(ValidatorProcess, SampleRateChangesWithAndWithoutSuspendKeepTheDelayRight) {
  // Program 0, time at its middle, no LFO: the echo of an impulse comes at
  // the same time at any rate, whichever way the rate arrived.
  auto echoMs = [](Instance& inst, double rate) {
    inst.host.SetParameter(kFeedback, 0.5f);  // 0 %
    inst.host.SetParameter(kLFODepth, 0.f);
    inst.host.SetParameter(kMix, 1.f);
    inst.host.SetParameter(kRange, 0.25f);
    Process(inst, Stereo(static_cast<size_t>(rate)), 512);  // flush what the old rate left
    Stereo in(static_cast<size_t>(rate));
    in.ch[0][0] = in.ch[1][0] = 1.f;
    Stereo out = Process(inst, in, 512);
    size_t best = 0;
    for (size_t i = 1; i < out.Frames(); ++i)
      if (std::fabs(out.ch[0][i]) > std::fabs(out.ch[0][best])) best = i;
    return 1000.0 * static_cast<double>(best) / rate;
  };
  Instance fresh(48000, 512);
  const double expected = echoMs(fresh, 48000);
  EXPECT_GT(expected, 1.0);
  for (bool suspend : {true, false}) {
    Instance inst(44100, 512);
    for (double rate : {96000.0, 22050.0, 192000.0, 44100.0}) {
      inst.Restart(rate, 512, suspend);
      Stereo out = Process(inst, Noise(4096, 1), 512);
      EXPECT_TRUE(CleanOutput(out)) << rate << (suspend ? " suspended" : " running");
    }
    inst.Restart(48000, 512, suspend);
    EXPECT_NEAR(echoMs(inst, 48000), expected, 0.1) << (suspend ? "suspended" : "running");
  }
}

TEST(ValidatorProcess, CallsLargerThanTheBlockSizeSoundLikeBlockSizedCalls) {
  Instance a(44100, 64), b(44100, 64);
  a.host.Dispatch(effSetProgram, 0, 5);
  b.host.Dispatch(effSetProgram, 0, 5);
  Stereo in = Noise(6000, 9);
  Stereo big = Process(a, in, 1000);  // 1000 frames against a block size of 64
  Stereo small = Process(b, in, 8);
  EXPECT_TRUE(CleanOutput(big));
  // Control ticks fall on the same frames either way.
  EXPECT_EQ(big.ch[0], small.ch[0]);
  EXPECT_EQ(big.ch[1], small.ch[1]);
}

TEST(ValidatorRealtime, CounterSeesWhatItCounts) {
  // The hook must see allocations (and, where interposed, locks), or the
  // zero below proves nothing.
  if (!alloccount::Active()) GTEST_SKIP() << "no allocation count under a sanitizer";
  IMutex own;
  alloccount::Begin(&own, sizeof(own));
  std::unique_ptr<int> p(new int(3));
  std::vector<double> v(100);
  IMutex other;
  other.Enter();
  other.Leave();
  own.Enter();
  own.Leave();
  alloccount::Counts c = alloccount::End();
  EXPECT_GE(c.allocations, 2);
  if (alloccount::SeesMallocAndLocks()) {
    EXPECT_EQ(c.foreignLocks, 1);
  }
}

namespace {
// A host that itself never allocates or locks while answering: the test host
// keeps a registry behind a mutex, which would count against the plug-in.
VstTimeInfo gRawTime{};
VstIntPtr VSTCALLBACK RawHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return 2400;
  if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&gRawTime);
  return 0;
}
}  // namespace

TEST(ValidatorRealtime, ProcessingAllocatesNothingAndTakesOnlyTheInstanceLock) {
  if (!alloccount::Active()) GTEST_SKIP() << "no allocation count under a sanitizer";
  AEffect* e = VSTPluginMain(RawHost);
  ASSERT_NE(e, nullptr);
  QVDelay* plug = static_cast<QVDelay*>(IPluginVST::FromEffect(e));
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.f);
  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.f);
  gRawTime.tempo = 120;
  gRawTime.sampleRate = 48000;
  gRawTime.timeSigNumerator = gRawTime.timeSigDenominator = 4;
  gRawTime.flags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid | kVstBarsValid;
  plug->SetControllerTarget(7, kFeedback);
  plug->SetControllerTarget(8, kFreezeTarget);
  e->setParameter(e, kDelaySync, 1.f);
  e->setParameter(e, kLFOSync, 1.f);
  e->setParameter(e, kLFODepth, 1.f);
  Random r(4);
  Stereo in = Noise(512, 2), out(512);
  std::vector<double> inD(512, 0.25), outD[2] = {std::vector<double>(512), std::vector<double>(512)};
  float* ins[2] = {in.ch[0].data(), in.ch[1].data()};
  float* outs[2] = {out.ch[0].data(), out.ch[1].data()};
  double* insD[2] = {inD.data(), inD.data()};
  double* outsD[2] = {outD[0].data(), outD[1].data()};
  // More than a thousand controllers at once: a queue that grows would allocate.
  std::vector<VstMidiEvent> events(1200);
  std::vector<unsigned char> storage(sizeof(VstEvents) + sizeof(VstEvent*) * events.size());
  VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
  list->numEvents = static_cast<VstInt32>(events.size());
  long allocations = 0, locks = 0;
  for (int block = 0; block < 600; ++block) {
    // Host-side work, not counted: automation.
    e->setParameter(e, r.Below(kNumParams), static_cast<float>(r.Unit()));
    // Events come on the audio thread, just before the block: counted with it.
    alloccount::Begin(&plug->Mutex(), sizeof(IMutex));
    if (block % 3 == 0) {
      for (size_t i = 0; i < events.size(); ++i) {
        VstMidiEvent& m = events[i];
        m = VstMidiEvent{};
        m.type = kVstMidiType;
        m.byteSize = sizeof(VstMidiEvent);
        m.deltaFrames = r.Below(512);
        m.midiData[0] = static_cast<char>(0xB0);
        m.midiData[1] = static_cast<char>(7 + r.Below(2));
        m.midiData[2] = static_cast<char>(r.Below(128));
        VstEvent** slots = list->events;
        slots[i] = reinterpret_cast<VstEvent*>(&m);
      }
      e->dispatcher(e, effProcessEvents, 0, 0, list, 0.f);
    }
    gRawTime.ppqPos += 512 / 48000.0 * 2;
    gRawTime.samplePos += 512;
    switch (block % 3) {
      case 0: e->processReplacing(e, ins, outs, 512); break;
      case 1: e->process(e, ins, outs, 512); break;
      default: e->processDoubleReplacing(e, insD, outsD, 512); break;
    }
    alloccount::Counts c = alloccount::End();
    // The first blocks may settle what a host's first calls set up; after that, nothing.
    if (block >= 3) {
      allocations += c.allocations;
      locks += c.foreignLocks;
    }
  }
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.f);
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(locks, 0);
}

TEST(ValidatorEditorConcurrent, EditorOpenedClickedAndClosedWhileProcessing) {
  Instance inst(44100, 256);
  inst.plug->SetSettingsPath(testing::TempDir() + "qv-validator-settings.ini");
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::atomic<bool> dirty{false};
  std::thread audio([&] {
    Stereo in = Noise(256, 8), out(256);
    float* ins[2] = {in.ch[0].data(), in.ch[1].data()};
    float* outs[2] = {out.ch[0].data(), out.ch[1].data()};
    while (!stop) {
      inst.effect->processReplacing(inst.effect, ins, outs, 256);
      if (!CleanOutput(out)) dirty = true;
      ++blocks;
    }
  });
  Random r(21);
  for (int round = 0; round < (Emulated() ? 2 : 6); ++round) {
    auto* g = new IGraphicsOffscreen(inst.plug, kEditorWidth, kEditorHeight, kEditorFps, true);
    LayoutEditor(inst.plug, g);
    inst.plug->AttachEditor(g);
    int parent = 0;
    EXPECT_EQ(inst.host.Dispatch(effEditOpen, 0, 0, &parent), 1);
    const IMouseMod left(true, false);
    for (int i = 0; i < 60; ++i) {
      int x = r.Below(kEditorWidth), y = r.Below(kEditorHeight);
      g->OnMouseDown(x, y, left);
      for (int d = 1; d <= 4; ++d) g->OnMouseDrag(x, y - d * (r.Below(20) - 10), left);
      g->OnMouseUp(x, y, left);
      inst.host.Dispatch(effEditIdle);
      g->Tick();
    }
    EXPECT_EQ(inst.host.Dispatch(effEditClose), 1);
    EXPECT_FALSE(g->WindowIsOpen());
    inst.plug->AttachEditor(nullptr);
  }
  long seen = blocks;
  while (blocks < seen + 10) std::this_thread::yield();  // audio kept running throughout
  stop = true;
  audio.join();
  EXPECT_FALSE(dirty);
  for (float v : inst.Parameters()) EXPECT_TRUE(v >= 0.f && v <= 1.f);
}

TEST(ValidatorConcurrent, SixteenInstancesOnTwoThreadsSoundAsAlone) {
  constexpr int kInstances = 16;
  const size_t frames = Emulated() ? 8192 : 44100;
  auto setUp = [](Instance& inst, int i) {
    inst.host.Dispatch(effSetProgram, 0, i % 10);
    inst.host.SetParameter(kLFODepth, 0.06f * static_cast<float>(i));
  };
  std::vector<Stereo> alone;
  for (int i = 0; i < kInstances; ++i) {
    Instance inst(48000, 256);
    setUp(inst, i);
    alone.push_back(Process(inst, Noise(frames, static_cast<uint64_t>(i)), 256));
  }
  std::vector<std::unique_ptr<Instance>> insts;
  std::vector<Stereo> inputs, outputs;
  for (int i = 0; i < kInstances; ++i) {
    insts.emplace_back(new Instance(48000, 256));
    setUp(*insts.back(), i);
    inputs.push_back(Noise(frames, static_cast<uint64_t>(i)));
    outputs.emplace_back(frames);
  }
  auto worker = [&](int half) {
    // Each thread runs eight instances block by block, alongside the other thread.
    for (size_t pos = 0; pos < frames; pos += 256) {
      int n = static_cast<int>(std::min<size_t>(256, frames - pos));
      for (int i = half; i < kInstances; i += 2) {
        float* ins[2] = {inputs[static_cast<size_t>(i)].ch[0].data() + pos, inputs[static_cast<size_t>(i)].ch[1].data() + pos};
        float* outs[2] = {outputs[static_cast<size_t>(i)].ch[0].data() + pos, outputs[static_cast<size_t>(i)].ch[1].data() + pos};
        insts[static_cast<size_t>(i)]->effect->processReplacing(insts[static_cast<size_t>(i)]->effect, ins, outs, n);
      }
    }
  };
  std::thread a(worker, 0), b(worker, 1);
  a.join();
  b.join();
  for (int i = 0; i < kInstances; ++i) {
    EXPECT_EQ(outputs[static_cast<size_t>(i)].ch[0], alone[static_cast<size_t>(i)].ch[0]) << "instance " << i;
    EXPECT_EQ(outputs[static_cast<size_t>(i)].ch[1], alone[static_cast<size_t>(i)].ch[1]) << "instance " << i;
  }
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (argc > 1) gPluginPath = argv[1];
  return RUN_ALL_TESTS();
}
