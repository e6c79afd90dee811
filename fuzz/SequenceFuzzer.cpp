// Bytes become a script of host calls on a fresh instance: dispatcher
// opcodes with buffers of the sizes hosts allocate (a canary behind every
// text field), setParameter with any float, MIDI event lists, and the three
// process entries with random frame counts, rates, block sizes and transport.
// After every step the instance must answer sanely: parameters finite in 0..1,
// output finite, texts within their fields.
#include <fuzzer/FuzzedDataProvider.h>

#include <limits>
#include <string>

#include "fuzz/FuzzSupport.h"

namespace {

const double kRates[] = {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1.0, 800.0, 8000.0, 22050.0,
                         44100.0, 48000.0, 96000.0, 192000.0, 768000.0, 2.0e6, 1.0e9, 1.0e30};
const float kOddFloats[] = {-1.f, 2.f, -1e30f, 1e30f, std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                            1e-40f, 0.f, 1.f, 0.5f};

struct TextCall {
  VstInt32 opcode;
  size_t size;
};
const TextCall kTexts[] = {
    {effGetProgramName, kVstMaxProgNameLen},     {effGetProgramNameIndexed, kVstMaxProgNameLen},
    {effGetParamLabel, fuzz::kParamTextSize},    {effGetParamDisplay, fuzz::kParamTextSize},
    {effGetParamName, fuzz::kParamTextSize},     {effGetEffectName, kVstMaxEffectNameLen},
    {effGetVendorString, kVstMaxVendorStrLen},   {effGetProductString, kVstMaxProductStrLen},
};
const VstInt32 kPlain[] = {effGetProgram,   effGetVstVersion, effGetPlugCategory, effGetTailSize,  effIdle,
                           effStartProcess, effStopProcess,   effSetBypass,       effBeginSetProgram,
                           effEndSetProgram, effCanBeAutomated, effGetVendorVersion, effIdentify, effEditIdle,
                           effSetProcessPrecision, effProcessVarIo, effEditClose, effOpen};

float AnyFloat(FuzzedDataProvider& in) {
  if (in.ConsumeBool()) return kOddFloats[in.ConsumeIntegralInRange<size_t>(0, std::size(kOddFloats) - 1)];
  return in.ConsumeFloatingPointInRange<float>(-0.25f, 1.25f);
}

int AnyIndex(FuzzedDataProvider& in, int count) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.ConsumeIntegral<int>();
    case 1: return -1;
    case 2: return count;
    default: return in.ConsumeIntegralInRange<int>(0, count - 1);
  }
}

void SendEvents(TestHost& host, FuzzedDataProvider& in) {
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 40);
  std::vector<VstMidiEvent> midi(n);
  std::vector<unsigned char> storage(sizeof(VstEvents) + sizeof(VstEvent*) * n);
  VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
  list->numEvents = static_cast<VstInt32>(n);
  VstEvent** slots = list->events;  // the list runs past the declared two
  for (size_t i = 0; i < n; ++i) {
    VstMidiEvent& e = midi[i];
    e.type = in.ConsumeBool() ? kVstMidiType : in.ConsumeIntegral<VstInt32>();
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(0, 4096) : in.ConsumeIntegral<VstInt32>();
    e.midiData[0] = static_cast<char>(in.ConsumeBool() ? 0xB0 | in.ConsumeIntegralInRange<int>(0, 15)
                                                        : in.ConsumeIntegral<uint8_t>());
    e.midiData[1] = static_cast<char>(in.ConsumeIntegral<uint8_t>());
    e.midiData[2] = static_cast<char>(in.ConsumeIntegral<uint8_t>());
    slots[i] = e.type == kVstSysExType ? nullptr : reinterpret_cast<VstEvent*>(&e);
  }
  host.Dispatch(effProcessEvents, 0, 0, list);
}

void Process(TestHost& host, FuzzedDataProvider& in) {
  host.timeInfoAvailable = in.ConsumeBool();
  if (host.timeInfoAvailable) {
    VstTimeInfo& t = host.timeInfo;
    t.tempo = in.ConsumeBool() ? in.ConsumeFloatingPointInRange<double>(20, 300) : in.ConsumeFloatingPoint<double>();
    t.ppqPos = in.ConsumeFloatingPoint<double>();
    t.samplePos = in.ConsumeFloatingPointInRange<double>(0, 1e9);
    t.sampleRate = in.ConsumeFloatingPointInRange<double>(0, 2e5);
    t.barStartPos = in.ConsumeFloatingPoint<double>();
    t.timeSigNumerator = in.ConsumeIntegralInRange<VstInt32>(-1, 17);
    t.timeSigDenominator = in.ConsumeIntegralInRange<VstInt32>(-1, 17);
    t.flags = in.ConsumeIntegral<VstInt32>();
    host.advanceTransport = in.ConsumeBool();
  }
  const int frames = in.ConsumeIntegralInRange<int>(0, 4096);
  const int kind = in.ConsumeIntegralInRange<int>(0, 2);
  const uint32_t seed = in.ConsumeIntegral<uint32_t>();
  if (kind == 2) {
    std::vector<double> inD[2] = {std::vector<double>(static_cast<size_t>(frames)),
                                  std::vector<double>(static_cast<size_t>(frames))};
    uint32_t s = seed;
    for (auto& ch : inD)
      for (double& v : ch) v = static_cast<double>((s = s * 1664525u + 1013904223u) >> 8) / 8388608.0 - 1.0;
    std::vector<double> out[2] = {std::vector<double>(static_cast<size_t>(frames), 7.0),
                                  std::vector<double>(static_cast<size_t>(frames), 7.0)};
    double* ins[2] = {inD[0].data(), inD[1].data()};
    double* outs[2] = {out[0].data(), out[1].data()};
    host.Effect()->processDoubleReplacing(host.Effect(), ins, outs, frames);
    for (auto& ch : out)
      for (double v : ch) FUZZ_CHECK(std::isfinite(v));
    return;
  }
  std::vector<float> inF[2] = {std::vector<float>(static_cast<size_t>(frames)),
                               std::vector<float>(static_cast<size_t>(frames))};
  uint32_t s = seed;
  for (auto& ch : inF)
    for (float& v : ch) v = static_cast<float>((s = s * 1664525u + 1013904223u) >> 8) / 8388608.f - 1.f;
  std::vector<float> out[2] = {std::vector<float>(static_cast<size_t>(frames), 0.f),
                               std::vector<float>(static_cast<size_t>(frames), 0.f)};
  float* ins[2] = {inF[0].data(), inF[1].data()};
  float* outs[2] = {out[0].data(), out[1].data()};
  if (kind == 0)
    host.Effect()->processReplacing(host.Effect(), ins, outs, frames);
  else
    host.Effect()->process(host.Effect(), ins, outs, frames);
  for (auto& ch : out)
    for (float v : ch) FUZZ_CHECK(std::isfinite(v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  TestHost host;
  host.recordRequests = false;
  FUZZ_CHECK(host.Create(VSTPluginMain));
  AEffect* e = host.Effect();
  host.Start(44100, in.ConsumeIntegralInRange<int>(0, 1024));
  int steps = 0;
  while (in.remaining_bytes() > 0 && ++steps < 64) {
    switch (in.ConsumeIntegralInRange<int>(0, 13)) {
      case 0: {
        const TextCall& t = kTexts[in.ConsumeIntegralInRange<size_t>(0, std::size(kTexts) - 1)];
        fuzz::CheckTextFits(host, t.opcode, AnyIndex(in, e->numParams), t.size);
        break;
      }
      case 1:
        host.SetParameter(AnyIndex(in, e->numParams), AnyFloat(in));
        break;
      case 2: {
        float v = host.GetParameter(AnyIndex(in, e->numParams));
        FUZZ_CHECK(std::isfinite(v));
        break;
      }
      case 3: {
        double rate = in.ConsumeBool() ? kRates[in.ConsumeIntegralInRange<size_t>(0, std::size(kRates) - 1)]
                                       : in.ConsumeFloatingPointInRange<double>(1, 200000);
        host.SetSampleRate(rate);
        break;
      }
      case 4:
        host.SetBlockSize(in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-1, 8192) : in.ConsumeIntegral<int>());
        break;
      case 5:
        host.Dispatch(effMainsChanged, 0, in.ConsumeIntegralInRange<int>(0, 1));
        break;
      case 6:
        host.Dispatch(effSetProgram, 0, AnyIndex(in, e->numPrograms));
        break;
      case 7: {
        char name[kVstMaxProgNameLen] = {0};
        std::string text = in.ConsumeRandomLengthString(kVstMaxProgNameLen - 1);
        std::memcpy(name, text.data(), text.size());
        host.Dispatch(effSetProgramName, 0, 0, name);
        break;
      }
      case 8:
        SendEvents(host, in);
        break;
      case 9:
        Process(host, in);
        break;
      case 10: {
        std::string text = in.ConsumeRandomLengthString(40);
        host.Dispatch(effString2Parameter, AnyIndex(in, e->numParams), 0, &text[0]);
        break;
      }
      case 11: {
        const bool bank = in.ConsumeBool();
        if (in.ConsumeBool()) {
          std::vector<uint8_t> chunk = host.GetChunk(bank);
          if (!chunk.empty() && in.ConsumeBool()) chunk[in.ConsumeIntegralInRange<size_t>(0, chunk.size() - 1)] ^= in.ConsumeIntegral<uint8_t>();
          host.SetChunk(chunk, bank);
        } else {
          void* own = nullptr;
          VstIntPtr n = host.Dispatch(effGetChunk, bank ? 0 : 1, 0, &own);
          if (n > 0) FUZZ_CHECK(host.Dispatch(effSetChunk, bank ? 0 : 1, n, own) == 1);
        }
        break;
      }
      case 12: {
        VstInt32 op = kPlain[in.ConsumeIntegralInRange<size_t>(0, std::size(kPlain) - 1)];
        host.Dispatch(op, AnyIndex(in, e->numParams), in.ConsumeIntegralInRange<int>(-1, 2), nullptr, AnyFloat(in));
        break;
      }
      default: {
        // Structures and free-form calls.
        switch (in.ConsumeIntegralInRange<int>(0, 4)) {
          case 0: {
            std::unique_ptr<VstPinProperties> pin(new VstPinProperties());
            host.Dispatch(in.ConsumeBool() ? effGetInputProperties : effGetOutputProperties, AnyIndex(in, 2), 0, pin.get());
            FUZZ_CHECK(std::memchr(pin->label, 0, sizeof(pin->label)) && std::memchr(pin->shortLabel, 0, sizeof(pin->shortLabel)));
            break;
          }
          case 1: {
            std::unique_ptr<VstSpeakerArrangement> a(new VstSpeakerArrangement()), b(new VstSpeakerArrangement());
            a->numChannels = in.ConsumeIntegralInRange<int>(-1, 8);
            a->type = in.ConsumeIntegral<VstInt32>();
            b->numChannels = in.ConsumeIntegralInRange<int>(-1, 8);
            host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(a.get()), b.get());
            break;
          }
          case 2: {
            std::string text = in.ConsumeRandomLengthString(64);
            host.Dispatch(effCanDo, 0, 0, &text[0]);
            break;
          }
          case 3: {
            std::unique_ptr<unsigned char[]> buffer(new unsigned char[256 + fuzz::kCanary]);
            std::memset(buffer.get(), 0, 256 + fuzz::kCanary);
            host.Dispatch(effVendorSpecific, in.ConsumeBool() ? effGetParamDisplay : in.ConsumeIntegral<VstInt32>(),
                          AnyIndex(in, e->numParams), buffer.get(), AnyFloat(in));
            for (size_t i = 256; i < 256 + fuzz::kCanary; ++i) FUZZ_CHECK(buffer[i] == 0);
            break;
          }
          default: {
            std::unique_ptr<VstMidiKeyName> key(new VstMidiKeyName());
            key->thisKeyNumber = in.ConsumeIntegral<VstInt32>();
            host.Dispatch(effGetMidiKeyName, 0, 0, key.get());
            FUZZ_CHECK(std::memchr(key->keyName, 0, sizeof(key->keyName)));
            break;
          }
        }
        break;
      }
    }
    for (int i = 0; i < e->numParams; ++i) {
      float v = host.GetParameter(i);
      FUZZ_CHECK(std::isfinite(v) && v >= 0.f && v <= 1.f);
    }
  }
  // Whatever happened, a sane setting brings sound back.
  host.Dispatch(effMainsChanged, 0, 0);
  host.SetSampleRate(48000);
  host.SetBlockSize(256);
  host.Dispatch(effMainsChanged, 0, 1);
  fuzz::CheckProcessFinite(host, 300, 1);
  fuzz::CheckInstance(host);
  return 0;
}
