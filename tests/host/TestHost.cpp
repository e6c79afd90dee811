#include "tests/host/TestHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace {
std::mutex gRegistryMutex;
std::map<AEffect*, TestHost*> gRegistry;
thread_local TestHost* gCreating = nullptr;  // answers requests made while the entry point runs

TestHost* HostFor(AEffect* effect) {
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  auto it = gRegistry.find(effect);
  return it != gRegistry.end() ? it->second : gCreating;
}
}  // namespace

TestHost::TestHost() = default;

TestHost::~TestHost() { Close(); }

bool TestHost::Create(const std::function<AEffect*(audioMasterCallback)>& entry) {
  gCreating = this;
  mEffect = entry(Callback);
  gCreating = nullptr;
  if (!mEffect) return false;
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  gRegistry[mEffect] = this;
  return true;
}

void TestHost::Close() {
  if (!mEffect) return;
  mEffect->dispatcher(mEffect, effClose, 0, 0, nullptr, 0.f);
  std::lock_guard<std::mutex> lock(gRegistryMutex);
  gRegistry.erase(mEffect);
  mEffect = nullptr;
}

VstIntPtr TestHost::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (opcode == effClose) {
    Close();
    return 0;
  }
  return mEffect->dispatcher(mEffect, opcode, index, value, ptr, opt);
}

void TestHost::Start(double rate, int blockSize) {
  Open();
  SetSampleRate(rate);
  SetBlockSize(blockSize);
  Resume();
}

std::string TestHost::ParamText(VstInt32 opcode, int index) {
  char text[256] = {0};
  Dispatch(opcode, index, 0, text);
  return text;
}

std::string TestHost::ProgramName() {
  char text[256] = {0};
  Dispatch(effGetProgramName, 0, 0, text);
  return text;
}

void TestHost::ProcessReplacing(std::vector<float>* in, std::vector<float>* out, int blockFrames) {
  size_t total = in[0].size();
  out[0].assign(total, 0.f);
  out[1].assign(total, 0.f);
  for (size_t pos = 0; pos < total; pos += static_cast<size_t>(blockFrames)) {
    int n = static_cast<int>(std::min(total - pos, static_cast<size_t>(blockFrames)));
    float* ins[2] = {in[0].data() + pos, in[1].data() + pos};
    float* outs[2] = {out[0].data() + pos, out[1].data() + pos};
    mEffect->processReplacing(mEffect, ins, outs, n);
    BlockDone(pos + static_cast<size_t>(n), total, n);
  }
}

void TestHost::ProcessDouble(std::vector<double>* in, std::vector<double>* out, int blockFrames) {
  size_t total = in[0].size();
  out[0].assign(total, 0.0);
  out[1].assign(total, 0.0);
  for (size_t pos = 0; pos < total; pos += static_cast<size_t>(blockFrames)) {
    int n = static_cast<int>(std::min(total - pos, static_cast<size_t>(blockFrames)));
    double* ins[2] = {in[0].data() + pos, in[1].data() + pos};
    double* outs[2] = {out[0].data() + pos, out[1].data() + pos};
    mEffect->processDoubleReplacing(mEffect, ins, outs, n);
    BlockDone(pos + static_cast<size_t>(n), total, n);
  }
}

void TestHost::BlockDone(size_t done, size_t total, int frames) {
  if (advanceTransport) {
    timeInfo.samplePos += frames;
    if (timeInfo.sampleRate > 0) timeInfo.ppqPos += frames / timeInfo.sampleRate * timeInfo.tempo / 60.0;
    if (timeInfo.timeSigNumerator > 0 && timeInfo.timeSigDenominator > 0) {
      double bar = 4.0 * timeInfo.timeSigNumerator / timeInfo.timeSigDenominator;
      timeInfo.barStartPos = std::floor(timeInfo.ppqPos / bar) * bar;
    }
  }
  if (progress) progress(done, total);
}

void TestHost::SendMidi(const std::vector<VstMidiEvent>& events) {
  // VstEvents ends in a two-pointer array; longer lists extend past it.
  std::vector<unsigned char> storage(sizeof(VstEvents) + sizeof(VstEvent*) * events.size());
  VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
  list->numEvents = static_cast<VstInt32>(events.size());
  std::vector<VstMidiEvent> copies(events);
  // Through a pointer: indexing the two-element member past its end is undefined.
  VstEvent** slots = list->events;
  for (size_t i = 0; i < copies.size(); ++i) slots[i] = reinterpret_cast<VstEvent*>(&copies[i]);
  Dispatch(effProcessEvents, 0, 0, list);
}

std::vector<uint8_t> TestHost::GetChunk(bool bank) {
  void* data = nullptr;
  VstIntPtr size = Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || !data) return {};
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

bool TestHost::SetChunk(const std::vector<uint8_t>& data, bool bank) {
  std::vector<uint8_t> copy(data);
  return Dispatch(effSetChunk, bank ? 0 : 1, static_cast<VstIntPtr>(copy.size()), copy.data()) == 1;
}

void TestHost::SendControlChange(int controller, int value) {
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof(VstMidiEvent);
  e.midiData[0] = static_cast<char>(0xB0);
  e.midiData[1] = static_cast<char>(controller);
  e.midiData[2] = static_cast<char>(value);
  SendMidi({e});
  std::vector<double> in[2] = {std::vector<double>(256), std::vector<double>(256)}, out[2];
  ProcessDouble(in, out, 256);
}

int TestHost::CountRequests(VstInt32 opcode) const {
  return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                        [opcode](const HostRequest& r) { return r.opcode == opcode; }));
}

VstIntPtr VSTCALLBACK TestHost::Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                         void* ptr, float opt) {
  TestHost* host = HostFor(effect);
  return host ? host->Answer(opcode, index, value, ptr, opt) : 0;
}

VstIntPtr TestHost::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  HostRequest request{opcode, index, value, opt, {}, 0};
  VstIntPtr answer = 0;
  switch (opcode) {
    case audioMasterVersion:
      answer = 2400;
      break;
    case audioMasterGetTime:
      answer = timeInfoAvailable ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
      break;
    case audioMasterProcessEvents:
      if (const VstEvents* events = recordRequests ? static_cast<const VstEvents*>(ptr) : nullptr) {
        for (VstInt32 i = 0; i < events->numEvents; ++i) {
          const VstEvent* e = events->events[i];
          if (e && e->type == kVstMidiType) request.midi.push_back(*reinterpret_cast<const VstMidiEvent*>(e));
          if (e && e->type == kVstSysExType) ++request.sysexEvents;
        }
      }
      answer = processEventsAnswer;
      break;
    case audioMasterGetVendorString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", vendorString.c_str());
      answer = 1;
      break;
    case audioMasterGetProductString:
      if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", productString.c_str());
      answer = 1;
      break;
    case audioMasterGetVendorVersion:
      answer = vendorVersion;
      break;
    case audioMasterSizeWindow:
      if (sizeWindowAnswer && onSizeWindow) onSizeWindow(index, static_cast<int>(value));
      answer = sizeWindowAnswer;
      break;
    default:
      break;
  }
  if (recordRequests) requests.push_back(std::move(request));
  return answer;
}
