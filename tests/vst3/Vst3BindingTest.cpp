// The VST 3 binding over the real product, linked in and driven by our VST 3
// test host in the order hosts use.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"
#include "tests/host/Vst3TestHost.h"
#include "tests/validator/AllocationCounter.h"
#include "vst3/Vst3Factory.h"
#include "vst3/Vst3Identity.h"
#include "vst3/Vst3Plugin.h"
#include "vst3/Vst3Strings.h"

using namespace v3;

namespace {
constexpr double kRate = 44100.0;

struct Bound : ::testing::Test {
  Vst3TestHost host;
  void SetUp() override {
    ASSERT_TRUE(host.UseFactory(AcquireVst3Factory()));
    ASSERT_TRUE(host.Create()) << host.Error();
  }
  QVDelay& Product() {
    // The component is the binding object's first base.
    auto* object = static_cast<Vst3Plugin*>(static_cast<Vst3ComponentSide*>(host.component));
    return dynamic_cast<QVDelay&>(object->Plug());
  }
  std::string Text(ParamID id, double normalized) {
    TChar text[128];
    EXPECT_EQ(host.controller->getParamStringByValue(id, normalized, text), kResultOk);
    char narrow[128];
    FromTChar(narrow, text, sizeof(narrow));
    return narrow;
  }
};

std::vector<float> Noise(size_t n, unsigned seed) {
  std::vector<float> v(n);
  for (auto& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = static_cast<float>(static_cast<int>(seed >> 8) % 20001 - 10000) / 20000.f;
  }
  return v;
}

size_t FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return i;
  return a.size();
}

void PutBE(std::vector<uint8_t>& out, int32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> s));
}
void PutTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }
}  // namespace

TEST_F(Bound, FactoryClassAndInterfaces) {
  IPluginFactory* f = host.Factory();
  PFactoryInfo fi{};
  ASSERT_EQ(f->getFactoryInfo(&fi), kResultOk);
  EXPECT_STREQ(fi.vendor, "Quorvel Music");
  EXPECT_EQ(fi.flags, kFactoryFlagUnicode);
  ASSERT_EQ(f->countClasses(), 1);
  IPluginFactory3* f3 = nullptr;
  ASSERT_EQ(f->queryInterface(kPluginFactory3IID.b, reinterpret_cast<void**>(&f3)), kResultOk);
  PClassInfo2 c2{};
  ASSERT_EQ(f3->getClassInfo2(0, &c2), kResultOk);
  EXPECT_STREQ(c2.category, "Audio Module Class");
  EXPECT_STREQ(c2.name, "Quorvel Brigade Delay");
  EXPECT_STREQ(c2.subCategories, "Fx|Delay");
  EXPECT_STREQ(c2.version, "2.0.2");
  EXPECT_STREQ(c2.sdkVersion, "VST 3.7.14");
  EXPECT_EQ(c2.cardinality, kManyInstances);
  // The migration id of 'qvbd' and "quorvel b", in this platform's byte order.
#if defined(_WIN32)
  const unsigned char expected[16] = {0x71, 0x54, 0x53, 0x56, 0x62, 0x76, 0x71, 0x64,
                                      0x75, 0x6F, 0x72, 0x76, 0x65, 0x6C, 0x20, 0x62};
#else
  const unsigned char expected[16] = {0x56, 0x53, 0x54, 0x71, 0x76, 0x62, 0x64, 0x71,
                                      0x75, 0x6F, 0x72, 0x76, 0x65, 0x6C, 0x20, 0x62};
#endif
  EXPECT_EQ(std::memcmp(c2.cid, expected, 16), 0);
  PClassInfoW cw{};
  ASSERT_EQ(f3->getClassInfoUnicode(0, &cw), kResultOk);
  EXPECT_EQ(cw.name[0], u'Q');
  EXPECT_EQ(cw.vendor[8], u'M');
  EXPECT_EQ(std::memcmp(cw.cid, expected, 16), 0);
  EXPECT_EQ(f3->getClassInfo2(1, &c2), kInvalidArgument);
  void* obj = &fi;
  EXPECT_EQ(f->createInstance(kComponentIID.b, kComponentIID.b, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  f3->release();

  // Every interface the object offers, and none it does not.
  for (const TUID* iid : {&kFUnknownIID, &kPluginBaseIID, &kComponentIID, &kAudioProcessorIID, &kEditControllerIID,
                          &kMidiMappingIID, &kUnitInfoIID, &kProcessContextRequirementsIID}) {
    FUnknown* u = nullptr;
    EXPECT_EQ(host.component->queryInterface(iid->b, reinterpret_cast<void**>(&u)), kResultOk);
    ASSERT_NE(u, nullptr);
    u->release();
  }
  obj = &fi;
  EXPECT_EQ(host.component->queryInterface(kPlugFrameIID.b, &obj), kNoInterface);
  EXPECT_EQ(obj, nullptr);
  char cid[16];
  EXPECT_EQ(host.component->getControllerClassId(cid), kNotImplemented);
}

TEST_F(Bound, BusesAndArrangements) {
  EXPECT_EQ(host.component->getBusCount(kAudio, kInput), 1);
  EXPECT_EQ(host.component->getBusCount(kAudio, kOutput), 1);
  EXPECT_EQ(host.component->getBusCount(kEvent, kInput), 1);
  EXPECT_EQ(host.component->getBusCount(kEvent, kOutput), 0);
  BusInfo bus{};
  ASSERT_EQ(host.component->getBusInfo(kEvent, kInput, 0, bus), kResultOk);
  EXPECT_EQ(bus.channelCount, 16);
  EXPECT_EQ(host.component->getBusInfo(kAudio, kInput, 1, bus), kInvalidArgument);
  SpeakerArrangement mono = kSpeakerMono, stereo = kSpeakerStereo;
  EXPECT_EQ(host.processor->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
  EXPECT_EQ(host.processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultTrue);
  SpeakerArrangement now = 0;
  ASSERT_EQ(host.processor->getBusArrangement(kInput, 0, now), kResultOk);
  EXPECT_EQ(now, kSpeakerStereo);
  EXPECT_EQ(host.processor->getLatencySamples(), 0u);
  IProcessContextRequirements* req = nullptr;
  ASSERT_EQ(host.component->queryInterface(kProcessContextRequirementsIID.b, reinterpret_cast<void**>(&req)),
            kResultOk);
  const uint32 need = req->getProcessContextRequirements();
  EXPECT_EQ(need & (kNeedTempo | kNeedTransportState | kNeedProjectTimeMusic),
            kNeedTempo | kNeedTransportState | kNeedProjectTimeMusic);
  req->release();
}

TEST_F(Bound, ParametersMatchTheVst2Texts) {
  ASSERT_EQ(host.controller->getParameterCount(), kNumParams + 2 + kMidiProxyCount);
  ParameterInfo info{};
  int bypass = 0, program = 0, hidden = 0;
  for (int32 i = 0; i < host.controller->getParameterCount(); ++i) {
    ASSERT_EQ(host.controller->getParameterInfo(i, info), kResultOk);
    if (i < kNumParams) {
      EXPECT_EQ(info.id, static_cast<ParamID>(i));
      char title[128];
      FromTChar(title, info.title, sizeof(title));
      EXPECT_STREQ(title, Product().GetParam(i)->Name());
      EXPECT_EQ(info.defaultNormalizedValue, Product().GetParam(i)->Normalized(Product().GetParam(i)->Default()));
    }
    bypass += (info.flags & kIsBypass) != 0;
    program += (info.flags & kIsProgramChange) != 0;
    hidden += (info.flags & kIsHidden) != 0;
  }
  EXPECT_EQ(bypass, 1);
  EXPECT_EQ(program, 1);
  EXPECT_EQ(hidden, kMidiProxyCount);
  // Steps: the range's five positions, a switch's two, none for a continuous control.
  const std::pair<int32, int32> stepCounts[] = {{kRange, 4}, {kDelaySync, 1}, {kMix, 0}};
  for (const auto& [param, steps] : stepCounts) {
    ASSERT_EQ(host.controller->getParameterInfo(param, info), kResultOk) << param;
    EXPECT_EQ(info.stepCount, steps) << param;
  }
  EXPECT_EQ(host.controller->getParameterInfo(host.controller->getParameterCount(), info), kInvalidArgument);

  // The same texts as the VST 2.4 display, for a sweep of values.
  for (int i = 0; i < kNumParams; ++i)
    for (double v : {0.0, 0.123, 0.5, 0.77, 1.0}) {
      char vst2[kParamTextSize];
      Product().GetParam(i)->FormatValue(v, true, vst2, true);
      EXPECT_EQ(Text(static_cast<ParamID>(i), v), vst2) << i << " " << v;
    }
  // Text entry: each display text reads back to its value.
  for (int i = 0; i < kNumParams; ++i)
    for (double v : {0.0, 0.25, 1.0}) {
      const std::string shown = Text(static_cast<ParamID>(i), v);
      TChar text[128];
      ToTChar(text, shown.c_str(), 128);
      ParamValue back = -1.0;
      ASSERT_EQ(host.controller->getParamValueByString(static_cast<ParamID>(i), text, back), kResultOk) << shown;
      EXPECT_EQ(Text(static_cast<ParamID>(i), back), shown) << i;
    }
  TChar junk[128];
  ToTChar(junk, "not a value", 128);
  ParamValue v = 0.0;
  EXPECT_EQ(host.controller->getParamValueByString(kDelaySync, junk, v), kResultFalse);
}

TEST_F(Bound, ChangesLandAtTheirOffsets) {
  ASSERT_TRUE(host.Start(kRate, 512));
  std::vector<float> in[2] = {Noise(4096, 1), Noise(4096, 2)}, a[2], b[2];
  const std::vector<Vst3ParamPoint> mixDry = {{kMix, 0, 0.0}};
  host.Process(in, a, 512, mixDry);
  host.Stop();
  ASSERT_TRUE(host.Start(kRate, 512));
  // Frame 1124 is offset 100 of the third block.
  host.Process(in, b, 512, {{kMix, 0, 0.0}, {kMix, 1124, 1.0}});
  EXPECT_EQ(FirstDifference(a[0], b[0]), 1124u);
  EXPECT_EQ(FirstDifference(a[1], b[1]), 1124u);
  EXPECT_DOUBLE_EQ(host.controller->getParamNormalized(kMix), 1.0);

  // Blocks larger than the set-up maximum and calls without frames.
  host.Stop();
  ASSERT_TRUE(host.Start(kRate, 256));
  std::vector<float> c[2];
  host.Flush({{kMix, 0, 0.0}});
  host.Process(in, c, 1000, {});
  EXPECT_EQ(c[0], a[0]);
}

TEST_F(Bound, SixtyFourBitAndNoBuffers) {
  ASSERT_TRUE(host.Start(kRate, 512, true));
  std::vector<double> in[2] = {std::vector<double>(3000, 0.25), std::vector<double>(3000, -0.25)}, out[2];
  host.ProcessDouble(in, out, 512);
  EXPECT_TRUE(std::isfinite(out[0].back()));
  EXPECT_NE(out[0].back(), 0.0);
  // No buses at all, and a bus without channel pointers.
  ProcessData data{};
  data.symbolicSampleSize = kSample64;
  data.numSamples = 64;
  EXPECT_EQ(host.processor->process(data), kResultOk);
  AudioBusBuffers empty{};
  data.numInputs = data.numOutputs = 1;
  data.inputs = data.outputs = &empty;
  EXPECT_EQ(host.processor->process(data), kResultOk);
}

TEST_F(Bound, ProcessContextDrivesSync) {
  ASSERT_TRUE(host.Start(kRate, 512));
  std::vector<float> in[2] = {Noise(1024, 3), Noise(1024, 4)}, out[2];
  host.Process(in, out, 512, {{kDelaySync, 0, 1.0}});
  EXPECT_DOUBLE_EQ(Product().Transport().tempo, 120.0);  // no context: the default
  host.sendContext = true;
  host.context.state = kTempoValid | kPlaying | kProjectTimeMusicValid | kTimeSigValid;
  host.context.tempo = 90.0;
  host.context.timeSigNumerator = 3;
  host.context.timeSigDenominator = 4;
  host.context.projectTimeMusic = 8.0;
  host.Process(in, out, 512);
  EXPECT_DOUBLE_EQ(Product().Transport().tempo, 90.0);
  EXPECT_EQ(Product().Transport().numerator, 3);
  EXPECT_TRUE(Product().Transport().transportIsRunning);
  const double at90 = Product().SyncedDelayMs();
  host.context.tempo = 180.0;
  host.Process(in, out, 512);
  EXPECT_DOUBLE_EQ(Product().SyncedDelayMs() * 2.0, at90);
}

TEST_F(Bound, StateIsTheVst2ChunkAndTakesBanks) {
  ASSERT_TRUE(host.Start(kRate, 512));
  host.Flush({{kMix, 0, 0.3}, {kFeedback, 0, 0.8}});
  const std::vector<uint8_t> state = host.GetState();
  // The VST 2.4 program chunk: header, state, the preset's name.
  IStateChunk chunk;
  WriteChunkHeader(chunk);
  ASSERT_TRUE(Product().WriteState(chunk));
  ASSERT_TRUE(chunk.AppendString(Product().PresetName(Product().CurrentPresetIndex())));
  ASSERT_EQ(state, std::vector<uint8_t>(chunk.Bytes(), chunk.Bytes() + chunk.Size()));

  host.Flush({{kMix, 0, 0.9}});
  Vst3MemoryStream slow(state);
  slow.readLimit = 7;  // streams may hand out less than asked
  ASSERT_EQ(host.component->setState(&slow), kResultOk);
  EXPECT_NEAR(host.controller->getParamNormalized(kMix), 0.3, 1e-12);
  // A preset file's stream that runs on past our chunk into the host's own.
  host.Flush({{kMix, 0, 0.9}});
  std::vector<uint8_t> preset = state;
  for (const char* more : {"Cont", "List"}) preset.insert(preset.end(), more, more + 4);
  ASSERT_TRUE(host.SetState(preset));
  EXPECT_EQ(host.GetState(), state);

  // A VST 2 bank as hosts hand it over when they swap editions: 'FBCh'
  // around our bank chunk, with and without the host's 'VstW' header.
  for (bool header : {false, true}) {
    host.Flush({{kProgramParamId, 0, 0.0}});
    Product().LoadPreset(4);
    host.Flush({{kMix, 0, 0.11}});
    Product().ModifyCurrentPreset("Mine");
    IStateChunk bank;
    WriteChunkHeader(bank);
    ASSERT_TRUE(Product().SerializePresets(bank));
    std::vector<uint8_t> fxb;
    if (header) {
      PutTag(fxb, "VstW");
      PutBE(fxb, 8);
      PutBE(fxb, 1);
      PutBE(fxb, 0);
    }
    PutTag(fxb, "CcnK");
    PutBE(fxb, 0);
    PutTag(fxb, "FBCh");
    PutBE(fxb, 2);
    PutBE(fxb, QVDelayInfo().uniqueID);
    PutBE(fxb, 20002);
    PutBE(fxb, kNumPresets);
    PutBE(fxb, 4);
    fxb.insert(fxb.end(), 124, 0);
    PutBE(fxb, bank.Size());
    fxb.insert(fxb.end(), bank.Bytes(), bank.Bytes() + bank.Size());
    // Elsewhere, then back through the bank.
    Product().LoadPreset(0);
    host.Flush({{kMix, 0, 0.99}});
    ASSERT_TRUE(host.SetState(fxb)) << header;
    EXPECT_EQ(Product().CurrentPresetIndex(), 4);
    EXPECT_STREQ(Product().PresetName(4), "Mine");
    EXPECT_NEAR(Product().GetParam(kMix)->Normalized(), 0.11, 1e-12);
    // Someone else's bank, and a cut one, are refused without harm.
    std::vector<uint8_t> other = fxb;
    other[(header ? 16 : 0) + 16] ^= 1;
    EXPECT_FALSE(host.SetState(other));
    other = fxb;
    other.resize(other.size() - bank.Size() / 2);
    EXPECT_FALSE(host.SetState(other));
  }
  EXPECT_FALSE(host.SetState({}));
}

// A preset file as hosts write one (little-endian header, the processor's
// class id as text, chunks, then the chunk list) and read it back: the host
// checks the id and hands over only the 'Comp' chunk, which must restore the
// same sound.
TEST_F(Bound, PresetFileAsHostsWriteItRestoresTheSound) {
  auto putLE = [](std::vector<uint8_t>& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto getLE = [](const std::vector<uint8_t>& in, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | in.at(at + static_cast<size_t>(i));
    return v;
  };
  PClassInfo info{};
  ASSERT_EQ(host.Factory()->getClassInfo(0, &info), kResultOk);
  const Vst3ClassWords w = MigrationClassWords(QVDelayInfo().uniqueID, QVDelayInfo().effectName);
  char cid[33];
  std::snprintf(cid, sizeof(cid), "%08X%08X%08X%08X", w.l[0], w.l[1], w.l[2], w.l[3]);

  // Each sound from a fresh instance, so nothing of an earlier render lingers.
  const std::vector<float> noise = Noise(4 * 8192, 7);
  auto render = [&](const std::vector<Vst3ParamPoint>& points, const std::vector<uint8_t>* state) {
    Vst3TestHost fresh;
    EXPECT_TRUE(fresh.UseFactory(AcquireVst3Factory()));
    EXPECT_TRUE(fresh.Create());
    EXPECT_TRUE(fresh.Start(kRate, 512));
    if (state) {
      Vst3MemoryStream stream(*state);
      EXPECT_EQ(fresh.component->setState(&stream), kResultOk);
      Vst3MemoryStream again(*state);
      EXPECT_EQ(fresh.controller->setComponentState(&again), kResultOk);
      EXPECT_NEAR(fresh.controller->getParamNormalized(kMix), 0.35, 1e-12);
    }
    fresh.Flush(points);
    std::vector<float> in[2] = {noise, noise}, out[2];
    fresh.Process(in, out, 512);
    return out[0];
  };
  const std::vector<Vst3ParamPoint> settings = {{kTime, 0, 0.4}, {kFeedback, 0, 0.7}, {kMix, 0, 0.35}, {kLFODepth, 0, 0.5}};
  const std::vector<float> expected = render(settings, nullptr);
  ASSERT_NE(render({}, nullptr), expected);
  ASSERT_TRUE(host.Start(kRate, 512));
  host.Flush(settings);
  const std::vector<uint8_t> comp = host.GetState();

  std::vector<uint8_t> file = {'V', 'S', 'T', '3'};
  putLE(file, 1, 4);
  file.insert(file.end(), cid, cid + 32);
  const size_t listOffsetAt = file.size();
  putLE(file, 0, 8);
  const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><MetaInfo></MetaInfo>";
  struct Entry {
    const char* id;
    size_t offset, size;
  };
  const Entry entries[] = {{"Comp", file.size(), comp.size()}, {"Info", file.size() + comp.size(), xml.size()}};
  file.insert(file.end(), comp.begin(), comp.end());
  file.insert(file.end(), xml.begin(), xml.end());
  const size_t list = file.size();
  for (int i = 0; i < 8; ++i) file[listOffsetAt + static_cast<size_t>(i)] = static_cast<uint8_t>(list >> (8 * i));
  file.insert(file.end(), {'L', 'i', 's', 't'});
  putLE(file, 2, 4);
  for (const Entry& e : entries) {
    file.insert(file.end(), e.id, e.id + 4);
    putLE(file, e.offset, 8);
    putLE(file, e.size, 8);
  }

  // The file, read as a host reads it.
  ASSERT_EQ(std::string(file.begin(), file.begin() + 4), "VST3");
  const std::string text(file.begin() + 8, file.begin() + 40);
  uint32_t l[4];
  for (int k = 0; k < 4; ++k) l[k] = static_cast<uint32_t>(std::stoul(text.substr(8 * k, 8), nullptr, 16));
  const TUID named = MakeTUID(l[0], l[1], l[2], l[3]);
  ASSERT_EQ(std::memcmp(named.b, info.cid, 16), 0) << "the file's class id is not the processor's";
  const size_t at = static_cast<size_t>(getLE(file, 40, 8));
  ASSERT_EQ(std::string(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at) + 4), "List");
  std::vector<uint8_t> chunk;
  for (uint64_t i = 0, n = getLE(file, at + 4, 4); i < n; ++i) {
    const size_t e = at + 8 + 20 * static_cast<size_t>(i);
    if (std::string(file.begin() + static_cast<long>(e), file.begin() + static_cast<long>(e) + 4) != "Comp") continue;
    const size_t offset = static_cast<size_t>(getLE(file, e + 4, 8)), size = static_cast<size_t>(getLE(file, e + 12, 8));
    chunk.assign(file.begin() + static_cast<long>(offset), file.begin() + static_cast<long>(offset + size));
  }
  ASSERT_EQ(chunk, comp);
  EXPECT_EQ(render({}, &chunk), expected);
}

TEST_F(Bound, ProgramListAndProgramChange) {
  IUnitInfo* units = nullptr;
  ASSERT_EQ(host.component->queryInterface(kUnitInfoIID.b, reinterpret_cast<void**>(&units)), kResultOk);
  UnitInfo unit{};
  ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
  ProgramListInfo list{};
  ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
  EXPECT_EQ(unit.programListId, list.id);
  EXPECT_EQ(list.programCount, kNumPresets);
  for (int i = 0; i < kNumPresets; ++i) {
    TChar name[128];
    ASSERT_EQ(units->getProgramName(list.id, i, name), kResultOk);
    char narrow[128];
    FromTChar(narrow, name, sizeof(narrow));
    EXPECT_STREQ(narrow, Product().PresetName(i));
    EXPECT_EQ(Text(kProgramParamId, i / 9.0), Product().PresetName(i));
  }
  units->release();

  ASSERT_TRUE(host.Start(kRate, 512));
  host.edits.clear();
  host.Flush({{kProgramParamId, 0, 8.0 / 9.0}});
  EXPECT_EQ(Product().CurrentPresetIndex(), 8);
  EXPECT_EQ(host.restarts, 0);  // never inside the change itself
  EXPECT_DOUBLE_EQ(host.controller->getParamNormalized(kProgramParamId), 8.0 / 9.0);
  ASSERT_EQ(host.restarts, 1);
  EXPECT_EQ(host.edits.back().value, kParamValuesChanged);
  ASSERT_EQ(host.controller->setParamNormalized(kProgramParamId, 2.0 / 9.0), kResultOk);
  EXPECT_EQ(Product().CurrentPresetIndex(), 2);
  EXPECT_EQ(host.restarts, 1);
  // The editor's preset menu tells the host at once, and the program parameter follows.
  Product().SelectPreset(6);
  EXPECT_EQ(host.restarts, 2);
  EXPECT_DOUBLE_EQ(host.controller->getParamNormalized(kProgramParamId), 6.0 / 9.0);
}

TEST_F(Bound, BypassCrossfadesWithoutAClick) {
  ASSERT_TRUE(host.Start(kRate, 512));
  // Fully wet with nothing yet in the line: the effect gives silence, the
  // input is a constant. Switching straight over would jump by 0.5.
  std::vector<float> in[2] = {std::vector<float>(2048, 0.5f), std::vector<float>(2048, 0.5f)}, out[2];
  host.Process(in, out, 512, {{kMix, 0, 1.0}, {kBypassParamId, 0, 1.0}});
  float largestStep = 0.f;
  for (size_t i = 1; i < out[0].size(); ++i) largestStep = std::max(largestStep, std::fabs(out[0][i] - out[0][i - 1]));
  EXPECT_LT(largestStep, 0.01f);
  EXPECT_GT(out[0][200], 0.f);
  EXPECT_EQ(out[0][1000], 0.5f);  // 10 ms on, the input itself
  EXPECT_DOUBLE_EQ(host.controller->getParamNormalized(kBypassParamId), 1.0);
}

TEST_F(Bound, MidiMappingFeedsLearn) {
  IMidiMapping* mapping = nullptr;
  ASSERT_EQ(host.component->queryInterface(kMidiMappingIID.b, reinterpret_cast<void**>(&mapping)), kResultOk);
  ParamID cc7 = 0, other = 0;
  ASSERT_EQ(mapping->getMidiControllerAssignment(0, 5, 7, cc7), kResultTrue);
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, 7, other), kResultTrue);
  EXPECT_EQ(other, cc7);  // one set for every channel
  EXPECT_EQ(mapping->getMidiControllerAssignment(1, 0, 7, other), kResultFalse);
  EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, 129, other), kResultFalse);
  mapping->release();

  ASSERT_TRUE(host.Start(kRate, 512));
  std::vector<float> in[2] = {Noise(2048, 5), Noise(2048, 6)}, out[2];
  // LEARN, then a touched parameter, then the controller.
  Product().StartLearnPass(true, false);
  host.controller->setParamNormalized(kLFODepth, 0.5);
  host.Process(in, out, 512, {{cc7, 0, 1.0}});
  EXPECT_EQ(Product().ControllerTarget(7), kLFODepth);
  EXPECT_FALSE(Product().LearnActive());
  host.Process(in, out, 512, {{cc7, 100, 0.0}});
  EXPECT_EQ(host.controller->getParamNormalized(kLFODepth), 0.0);
  // FREEZE as a target, as in the VST 2.4 build.
  Product().SetControllerTarget(20, kFreezeTarget);
  host.Process(in, out, 512, {{kMidiParamBase + 20, 0, 1.0}});
  EXPECT_TRUE(Product().FreezeOn());
  EXPECT_EQ(host.processor->getTailSamples(), kInfiniteTail);
  host.Process(in, out, 512, {{kMidiParamBase + 20, 0, 0.0}});
  EXPECT_FALSE(Product().FreezeOn());
}

TEST_F(Bound, TailFollowsFeedback) {
  ASSERT_TRUE(host.Start(kRate, 512));
  host.Flush({{kFeedback, 0, 0.5}});  // feedback 0
  const uint32 dry = host.processor->getTailSamples();
  EXPECT_GT(dry, 0u);
  EXPECT_LT(dry, static_cast<uint32>(3 * kRate));
  host.Flush({{kFeedback, 0, 0.9}});
  const uint32 ringing = host.processor->getTailSamples();
  EXPECT_GT(ringing, dry);
  EXPECT_NE(ringing, kInfiniteTail);
  host.Flush({{kFeedback, 0, 1.0}});
  EXPECT_EQ(host.processor->getTailSamples(), kInfiniteTail);
}

TEST_F(Bound, ProcessNeitherAllocatesNorLocksElsewhere) {
  if (!alloccount::Active()) GTEST_SKIP() << "nothing is counted in this build";
  ASSERT_TRUE(host.Start(kRate, 512));
  std::vector<float> in[2] = {Noise(512, 7), Noise(512, 8)}, out[2] = {std::vector<float>(512), std::vector<float>(512)};
  float* ins[2] = {in[0].data(), in[1].data()};
  float* outs[2] = {out[0].data(), out[1].data()};
  AudioBusBuffers inBus{2, 0, {ins}}, outBus{2, 0, {outs}};
  ProcessData data{};
  data.numSamples = 512;
  data.numInputs = data.numOutputs = 1;
  data.inputs = &inBus;
  data.outputs = &outBus;
  host.processor->process(data);  // first block: anything lazily made
  alloccount::Begin(&Product().Mutex(), sizeof(IMutex));
  for (int i = 0; i < 20; ++i) host.processor->process(data);
  const alloccount::Counts c = alloccount::End();
  EXPECT_EQ(c.allocations, 0);
  EXPECT_EQ(c.foreignLocks, 0);
}

namespace {
// The audio thread's longest wait for the plug-in lock, through the binding's probe.
std::atomic<long long> gWaitStart{0}, gLongestWaitNs{0};
long long NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
void Probe(bool held) {
  if (!held) {
    gWaitStart = NowNs();
    return;
  }
  const long long waited = NowNs() - gWaitStart.load();
  if (waited > gLongestWaitNs.load()) gLongestWaitNs = waited;
}
}  // namespace

// process on its own thread while the UI thread does what hosts do there:
// automation, texts, state both ways, program changes. The sanitizer builds
// see the races, if any; the probe gives the longest wait for the lock.
TEST_F(Bound, ConcurrentProcessAndControllerCalls) {
  ASSERT_TRUE(host.Start(kRate, 256));
  IPluginVST3::processLockProbe = Probe;
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    std::vector<float> in[2] = {Noise(256, 9), Noise(256, 10)}, out[2];
    for (int i = 0; i < 400 && !stop; ++i) {
      host.Process(in, out, 256, {{kMix, i % 256, (i % 10) / 10.0}});
      for (float x : out[0]) ASSERT_TRUE(std::isfinite(x));
    }
  });
  for (int i = 0; i < 200; ++i) {
    host.controller->setParamNormalized(kFeedback, (i % 7) / 7.0);
    Text(kTime, host.controller->getParamNormalized(kTime));
    const std::vector<uint8_t> state = host.GetState();
    EXPECT_TRUE(host.SetState(state));
    if (i % 50 == 0) host.controller->setParamNormalized(kProgramParamId, (i / 50) / 9.0);
  }
  stop = true;
  audio.join();
  IPluginVST3::processLockProbe = nullptr;
  std::printf("longest wait of process for the plug-in lock: %.3f ms\n", gLongestWaitNs.load() / 1e6);
}
