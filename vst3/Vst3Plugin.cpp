#include "vst3/Vst3Plugin.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "framework/ParamText.h"
#include "framework/ProbedLock.h"
#include "graphics/IGraphics.h"
#include "vst3/Vst3Identity.h"
#include "vst3/Vst3Strings.h"
#include "vst3/Vst3View.h"

using namespace v3;

namespace {
// Bytes of state a host may hand over at most; far above any bank of ours.
constexpr int kMaxStateBytes = 64 << 20;

int32_t BigEndian32(const unsigned char* p) {
  return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]);
}

bool Tag(const unsigned char* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

}  // namespace

Vst3Plugin* Vst3Plugin::Create() {
  Vst3Plugin* object = new (std::nothrow) Vst3Plugin();
  if (!object) return nullptr;
  try {
    object->mPlug.reset(MakePlugin(object));
  } catch (...) {
    object->mPlug.reset();
  }
  if (!object->mPlug) {
    delete object;
    return nullptr;
  }
  object->mPlug->FillEmptyPresets(object->mPlug->NPresets());
  try {
    for (auto& d : object->mDry) d.assign(static_cast<size_t>(object->mMaxBlock), 0.0);
  } catch (...) {
    delete object;
    return nullptr;
  }
  return object;
}

std::atomic<int> Vst3Plugin::sLive{0};

Vst3Plugin::Vst3Plugin() { ++sLive; }

Vst3Plugin::~Vst3Plugin() {
  --sLive;
  if (mHandler) mHandler->release();
  if (mContext) mContext->release();
}

// --- FUnknown ------------------------------------------------------------------
tresult QV3_API Vst3Plugin::queryInterface(const char* iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (!iid) return kNoInterface;
  void* found = nullptr;
  if (SameTUID(iid, kFUnknownIID) || SameTUID(iid, kPluginBaseIID) || SameTUID(iid, kComponentIID))
    found = static_cast<IComponent*>(this);
  else if (SameTUID(iid, kAudioProcessorIID))
    found = static_cast<IAudioProcessor*>(this);
  else if (SameTUID(iid, kProcessContextRequirementsIID))
    found = static_cast<IProcessContextRequirements*>(this);
  else if (SameTUID(iid, kEditControllerIID))
    found = static_cast<IEditController*>(this);
  else if (SameTUID(iid, kMidiMappingIID))
    found = static_cast<IMidiMapping*>(this);
  else if (SameTUID(iid, kUnitInfoIID))
    found = static_cast<IUnitInfo*>(this);
  if (!found) return kNoInterface;
  addRef();
  *obj = found;
  return kResultOk;
}

uint32 QV3_API Vst3Plugin::addRef() { return ++mRefs; }

uint32 QV3_API Vst3Plugin::release() {
  const uint32 left = --mRefs;
  if (left == 0) delete this;
  return left;
}

// --- IPluginBase -----------------------------------------------------------------
tresult QV3_API Vst3Plugin::initialize(FUnknown* context) {
  // The same object is component and controller: hosts may initialise it as each.
  if (mInitialized) return kResultOk;
  IMutexLock lock(mPlug->Mutex());
  if (context) {
    context->addRef();
    mContext = context;
    IHostApplication* app = nullptr;
    if (context->queryInterface(kHostApplicationIID.b, reinterpret_cast<void**>(&app)) == kResultOk && app) {
      TChar name[128] = {0};
      char text[128];
      if (app->getName(name) == kResultOk) {
        name[127] = 0;
        FromTChar(text, name, sizeof(text));
        mPlug->SetHostName(text);
      }
      app->release();
    }
  }
  mPlug->PrepareForHost();
  for (int n = 0; n < mPlug->NParams(); ++n) mPlug->ParameterChanged(n);
  mInitialized = true;
  return kResultOk;
}

tresult QV3_API Vst3Plugin::terminate() {
  IMutexLock lock(mPlug->Mutex());
  if (mHandler) mHandler->release();
  mHandler = nullptr;
  if (mContext) mContext->release();
  mContext = nullptr;
  mInitialized = false;
  return kResultOk;
}

// --- IComponent ------------------------------------------------------------------
tresult QV3_API Vst3Plugin::getControllerClassId(char*) { return kNotImplemented; }

tresult QV3_API Vst3Plugin::setIoMode(IoMode) { return kResultOk; }

int32 QV3_API Vst3Plugin::getBusCount(MediaType type, BusDirection dir) {
  if (type == kAudio) return 1;
  if (type == kEvent && dir == kInput) return 1;
  return 0;
}

tresult QV3_API Vst3Plugin::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
  if (index != 0 || getBusCount(type, dir) < 1) return kInvalidArgument;
  std::memset(&bus, 0, sizeof(bus));
  bus.mediaType = type;
  bus.direction = dir;
  bus.busType = kMain;
  bus.flags = kDefaultActive;
  if (type == kAudio) {
    bus.channelCount = 2;
    ToTChar(bus.name, dir == kInput ? "Input" : "Output", 128);
  } else {
    bus.channelCount = 16;
    ToTChar(bus.name, "MIDI In", 128);
  }
  return kResultOk;
}

tresult QV3_API Vst3Plugin::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult QV3_API Vst3Plugin::activateBus(MediaType type, BusDirection dir, int32 index, TBool) {
  return index == 0 && getBusCount(type, dir) > 0 ? kResultOk : kInvalidArgument;
}

tresult QV3_API Vst3Plugin::setActive(TBool state) {
  IMutexLock lock(mPlug->Mutex());
  if (state) {
    mPlug->SetActive(true);
  } else {
    mPlug->SetActive(false);
    mPlug->ResetProcessing();
  }
  mActive = state != 0;
  return kResultOk;
}

bool Vst3Plugin::ReadStream(IBStream* stream, IStateChunk& into) {
  into.Clear();
  if (!stream) return false;
  for (;;) {
    const int have = into.Size();
    const int step = 64 * 1024;
    if (have > kMaxStateBytes - step || !into.Resize(have + step)) return false;
    int32 got = 0;
    const tresult r = stream->read(into.Bytes() + have, step, &got);
    if (got < 0 || got > step) got = 0;
    into.Resize(have + got);
    if (r != kResultOk || got == 0) return true;
  }
}

tresult Vst3Plugin::GetComponentStateBytes(IBStream* state) {
  if (!state) return kInvalidArgument;
  FlushPendingRestart();
  IMutexLock lock(mPlug->Mutex());
  // Exactly the VST 2.4 program chunk, so either format restores the other's state.
  IStateChunk& chunk = mGetState;
  chunk.Clear();
  WriteChunkHeader(chunk);
  if (!mPlug->WriteState(chunk) || !chunk.AppendString(mPlug->PresetName(mPlug->CurrentPresetIndex())))
    return kInternalError;
  int32 written = 0;
  if (state->write(chunk.Bytes(), chunk.Size(), &written) != kResultOk || written != chunk.Size())
    return kInternalError;
  return kResultOk;
}

tresult Vst3Plugin::SetComponentStateBytes(IBStream* state) {
  if (!state) return kInvalidArgument;
  // Read outside the lock: a host's stream may be slow, audio must not wait for it.
  if (!ReadStream(state, mSetState)) return kResultFalse;
  IMutexLock lock(mPlug->Mutex());
  const bool ok = LoadStateBytes(mSetState);
  return ok ? kResultOk : kResultFalse;
}

bool Vst3Plugin::LoadStateBytes(const IStateChunk& bytes) {
  const unsigned char* p = bytes.Bytes();
  const int size = bytes.Size();
  int at = 0;
  // A VST 2 project's state as hosts pass it to the successor: an optional
  // host header, then a bank or program file, all big-endian.
  if (size >= 8 && Tag(p, "VstW")) {
    const int32_t headerSize = BigEndian32(p + 4);
    if (headerSize < 0 || headerSize > size - 8) return false;
    at = 8 + headerSize;
  }
  if (size - at >= 8 && Tag(p + at, "CcnK")) {
    const unsigned char* f = p + at;
    const int left = size - at;
    if (left < 28 || BigEndian32(f + 16) != mPlug->UniqueID()) return false;
    if (Tag(f + 8, "FBCh")) {
      const int32_t bankVersion = BigEndian32(f + 12);
      int current = -1, sizeAt = 28;
      if (bankVersion >= 1) {
        if (left < 28 + 4 + 124) return false;
        current = BigEndian32(f + 28);
        sizeAt = 28 + 4 + 124;
      }
      if (left < sizeAt + 4) return false;
      const int32_t chunkSize = BigEndian32(f + sizeAt);
      if (chunkSize < 0 || chunkSize > left - sizeAt - 4) return false;
      return LoadBankChunk(f + sizeAt + 4, chunkSize, current);
    }
    if (Tag(f + 8, "FPCh")) {
      if (left < 60) return false;
      const int32_t chunkSize = BigEndian32(f + 56);
      if (chunkSize < 0 || chunkSize > left - 60) return false;
      return LoadProgramChunk(f + 60, chunkSize);
    }
    return false;  // parameter lists: this plug-in always saved chunks
  }
  if (at != 0) return false;
  return LoadProgramChunk(p, size);
}

bool Vst3Plugin::LoadBankChunk(const unsigned char* data, int size, int currentProgram) {
  if (!mInnerChunk.Resize(size)) return false;
  if (size > 0) std::memcpy(mInnerChunk.Bytes(), data, static_cast<size_t>(size));
  int position = 0;
  const int32_t version = ReadChunkHeader(mInnerChunk, position);
  if (version < kChunkHeaderVersion) return false;
  position = mPlug->UnserializePresets(mInnerChunk, position);
  if (position >= 0 && currentProgram >= 0 && currentProgram < mPlug->NPresets()) mPlug->LoadPreset(currentProgram);
  mPlug->RefreshEditorParams();
  return position >= 0;
}

bool Vst3Plugin::LoadProgramChunk(const unsigned char* data, int size) {
  // What the VST 2.4 binding does with a program chunk.
  if (!mInnerChunk.Resize(size)) return false;
  if (size > 0) std::memcpy(mInnerChunk.Bytes(), data, static_cast<size_t>(size));
  int position = 0;
  ReadChunkHeader(mInnerChunk, position);
  if (position >= 0) position = mPlug->ReadState(mInnerChunk, position);
  char name[kPresetNameSize] = "";
  if (position >= 0 && position < mInnerChunk.Size()) position = mInnerChunk.ReadString(name, kPresetNameSize, position);
  mPlug->ModifyCurrentPreset(name);
  mPlug->RefreshEditorParams();
  return position >= 0;
}

// --- IAudioProcessor ---------------------------------------------------------------
tresult QV3_API Vst3Plugin::setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                                int32 numOuts) {
  // Stereo in, stereo out: the product's "1-1 2-2" has no mono-to-stereo form.
  if (numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == kSpeakerStereo &&
      outputs[0] == kSpeakerStereo)
    return kResultTrue;
  return kResultFalse;
}

tresult QV3_API Vst3Plugin::getBusArrangement(BusDirection, int32 index, SpeakerArrangement& arr) {
  if (index != 0) return kInvalidArgument;
  arr = kSpeakerStereo;
  return kResultOk;
}

tresult QV3_API Vst3Plugin::canProcessSampleSize(int32 size) {
  return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
}

uint32 QV3_API Vst3Plugin::getLatencySamples() { return static_cast<uint32>(std::max(0, mPlug->Latency())); }

tresult QV3_API Vst3Plugin::setupProcessing(ProcessSetup& setup) {
  if (setup.symbolicSampleSize != kSample32 && setup.symbolicSampleSize != kSample64) return kResultFalse;
  const int block = std::max(1, std::min(setup.maxSamplesPerBlock, kMaxBlockSize));
  // Allocated here, on the host's UI thread, never in process.
  try {
    for (auto& d : mDry) d.assign(static_cast<size_t>(block), 0.0);
  } catch (...) {
    return kOutOfMemory;
  }
  IMutexLock lock(mPlug->Mutex());
  mSampleSize = setup.symbolicSampleSize;
  mMaxBlock = block;
  mPlug->SetSampleRate(setup.sampleRate);
  mPlug->SetBlockSize(block);
  mPlug->ResetProcessing();
  return kResultOk;
}

tresult QV3_API Vst3Plugin::setProcessing(TBool) { return kResultOk; }

uint32 QV3_API Vst3Plugin::getProcessContextRequirements() {
  // Tempo, position and transport drive delay and LFO sync; without asking,
  // hosts may send no time at all.
  return kNeedTempo | kNeedTransportState | kNeedProjectTimeMusic | kNeedBarPositionMusic | kNeedTimeSignature |
         kNeedCycleMusic;
}

uint32 QV3_API Vst3Plugin::getTailSamples() {
  IMutexLock lock(mPlug->Mutex());
  const int64_t tail = mPlug->TailFrames();
  if (tail < 0 || tail >= static_cast<int64_t>(kInfiniteTail)) return kInfiniteTail;
  return static_cast<uint32>(tail);
}

int Vst3Plugin::ProgramIndex(double normalized) const {
  const int n = mPlug->NPresets();
  if (n < 2 || !(normalized > 0.0)) return 0;
  return std::min(n - 1, static_cast<int>(normalized * n));
}

void Vst3Plugin::ApplyProgram(int index) {
  if (index == mPlug->CurrentPresetIndex()) return;
  mPlug->ModifyCurrentPreset();
  mPlug->LoadPreset(index);
  mRestartPending = true;
}

void Vst3Plugin::ApplyParameter(ParamID id, double value) {
  if (id < static_cast<ParamID>(mPlug->NParams())) {
    const int index = static_cast<int>(id);
    const double normalized = ClampNormalized(value);
    if (std::isnan(normalized)) return;
    if (mPlug->Editor()) mPlug->Editor()->SetParameterFromPlug(index, normalized, true);
    mPlug->GetParam(index)->SetFromNormalized(normalized);
    mPlug->ParameterChanged(index);
  } else if (id == kBypassParamId) {
    mBypass = value >= 0.5;
  } else if (id == kProgramParamId) {
    ApplyProgram(ProgramIndex(value));
  } else if (id >= kMidiParamBase && id < kMidiParamBase + kMidiProxyCount) {
    if (!(value >= 0.0)) value = 0.0;
    IMidiMessage message;
    message.status = 0xB0;
    message.data1 = static_cast<uint8_t>(id - kMidiParamBase);
    message.data2 = static_cast<uint8_t>(std::min(127.0, std::floor(value * 127.0 + 0.5)));
    mPlug->HandleMidiMessage(message);
  }
}

struct Vst3Plugin::ParamPoint {
  IParamValueQueue* queue;
  ParamID id;
  int32 count;
  int32 next;
};

tresult QV3_API Vst3Plugin::process(ProcessData& data) {
  ProbedLock lock(mPlug->Mutex(), IPluginVST3::processLockProbe);
  const int frames = std::max(0, data.numSamples);
  // Changes apply at their offsets: the block is split there, so automation
  // lands on the frame the host gave. Queues beyond the table apply at once.
  constexpr int kMaxQueues = 256;
  ParamPoint points[kMaxQueues];
  int nQueues = 0;
  if (IParameterChanges* changes = data.inputParameterChanges) {
    const int32 n = changes->getParameterCount();
    for (int32 i = 0; i < n; ++i) {
      IParamValueQueue* q = changes->getParameterData(i);
      if (!q) continue;
      const int32 count = q->getPointCount();
      if (count <= 0) continue;
      if (nQueues < kMaxQueues) {
        points[nQueues++] = {q, q->getParameterId(), count, 0};
      } else {
        int32 offset = 0;
        ParamValue value = 0.0;
        if (q->getPoint(count - 1, offset, value) == kResultOk) ApplyParameter(q->getParameterId(), value);
      }
    }
  }
  int pos = 0;
  for (;;) {
    int split = frames;
    for (int k = 0; k < nQueues; ++k) {
      ParamPoint& p = points[k];
      while (p.next < p.count) {
        int32 offset = 0;
        ParamValue value = 0.0;
        if (p.queue->getPoint(p.next, offset, value) != kResultOk) {
          p.next = p.count;
          break;
        }
        if (offset > pos && pos < frames) {
          split = std::min(split, static_cast<int>(std::min<int32>(offset, frames)));
          break;
        }
        ApplyParameter(p.id, value);
        ++p.next;
      }
    }
    if (pos >= frames) break;
    Render(data, pos, split - pos);
    pos = split;
  }
  mPlug->SetProcessContext(nullptr, 0);
  if (data.numOutputs > 0 && data.outputs) data.outputs[0].silenceFlags = 0;
  return kResultOk;
}

void Vst3Plugin::Render(ProcessData& data, int start, int frames) {
  // Pieces of at most the block size the host set up: the scratch buffers hold no more.
  while (frames > 0) {
    const int n = std::min(frames, mMaxBlock);
    mPlug->SetProcessContext(data.processContext, start);
    RenderPiece(data, start, n);
    start += n;
    frames -= n;
  }
}

void Vst3Plugin::RenderPiece(ProcessData& data, int start, int n) {
  const bool dbl = data.symbolicSampleSize == kSample64;
  const AudioBusBuffers* in = data.numInputs > 0 && data.inputs ? &data.inputs[0] : nullptr;
  const AudioBusBuffers* out = data.numOutputs > 0 && data.outputs ? &data.outputs[0] : nullptr;
  auto inChannel = [&](int c) -> const void* {
    if (!in || c >= in->numChannels || !in->channelBuffers32) return nullptr;
    return dbl ? static_cast<const void*>(in->channelBuffers64[c]) : static_cast<const void*>(in->channelBuffers32[c]);
  };
  auto outChannel = [&](int c) -> void* {
    if (!out || c >= out->numChannels || !out->channelBuffers32) return nullptr;
    return dbl ? static_cast<void*>(out->channelBuffers64[c]) : static_cast<void*>(out->channelBuffers32[c]);
  };
  const bool bypassing = mBypass || mBypassMix > 0.0;
  const size_t bytes = sizeof(double) * static_cast<size_t>(n);
  for (int i = 0; i < mPlug->NInChannels(); ++i) {
    IInputChannel& c = mPlug->InChannel(i);
    if (!c.connected) continue;
    const void* src = inChannel(i);
    double* scratch = c.scratch.Samples();
    if (!src) {
      std::memset(scratch, 0, bytes);
    } else if (dbl) {
      std::memcpy(scratch, static_cast<const double*>(src) + start, bytes);
    } else {
      const float* f = static_cast<const float*>(src) + start;
      for (int k = 0; k < n; ++k) scratch[k] = f[k];
    }
    // The input is copied: hosts may process in place.
    if (bypassing && i < 2) std::memcpy(mDry[i].data(), scratch, bytes);
    *c.slot = scratch;
  }
  for (int i = 0; i < mPlug->NOutChannels(); ++i) {
    IOutputChannel& c = mPlug->OutChannel(i);
    if (!c.connected) continue;
    std::memset(c.scratch.Samples(), 0, bytes);
    *c.slot = c.scratch.Samples();
  }
  mPlug->ProcessBlock(mPlug->InputPointers(), mPlug->OutputPointers(), n);
  if (bypassing) {
    // 10 ms from the effect to the input or back: no click either way.
    const double step = 1.0 / std::max(1.0, mPlug->SampleRate() * 0.01);
    const double target = mBypass ? 1.0 : 0.0;
    double mix = mBypassMix;
    for (int k = 0; k < n; ++k) {
      mix = target > mix ? std::min(target, mix + step) : std::max(target, mix - step);
      for (int i = 0; i < std::min(2, mPlug->NOutChannels()); ++i) {
        IOutputChannel& c = mPlug->OutChannel(i);
        double* wet = c.scratch.Samples();
        const double dry = i < mPlug->NInChannels() ? mDry[i][static_cast<size_t>(k)] : 0.0;
        wet[k] = wet[k] + (dry - wet[k]) * mix;
      }
    }
    mBypassMix = mix;
  }
  for (int i = 0; i < mPlug->NOutChannels(); ++i) {
    IOutputChannel& c = mPlug->OutChannel(i);
    void* dst = outChannel(i);
    if (!dst) continue;
    const double* wet = c.scratch.Samples();
    if (dbl) {
      std::memcpy(static_cast<double*>(dst) + start, wet, bytes);
    } else {
      float* f = static_cast<float*>(dst) + start;
      for (int k = 0; k < n; ++k) f[k] = static_cast<float>(wet[k]);
    }
  }
}

// --- IEditController ----------------------------------------------------------------
tresult QV3_API Vst3Plugin::setComponentState(IBStream* state) {
  // Component and controller are one object: the component's setState has
  // already set every value.
  return state ? kResultOk : kInvalidArgument;
}

int32 QV3_API Vst3Plugin::getParameterCount() { return mPlug->NParams() + 2 + kMidiProxyCount; }

tresult QV3_API Vst3Plugin::getParameterInfo(int32 index, ParameterInfo& info) {
  if (index < 0 || index >= getParameterCount()) return kInvalidArgument;
  IMutexLock lock(mPlug->Mutex());
  std::memset(&info, 0, sizeof(info));
  info.unitId = kRootUnitId;
  const int nParams = mPlug->NParams();
  if (index < nParams) {
    const IParameter* p = mPlug->GetParam(index);
    info.id = static_cast<ParamID>(index);
    ToTChar(info.title, p->Name(), 128);
    ToTChar(info.shortTitle, p->Name(), 128);
    ToTChar(info.units, p->LabelForValue(), 128);
    info.defaultNormalizedValue = p->Normalized(p->Default());
    info.flags = kCanAutomate;
    if (p->Type() == kTypeBool) {
      info.stepCount = 1;
      info.flags |= kIsList;
    } else if (p->Type() == kTypeInt || p->Type() == kTypeEnum) {
      info.stepCount = static_cast<int32>(p->Max() - p->Min());
      info.flags |= kIsList;
    }
  } else if (index == nParams) {
    info.id = kBypassParamId;
    ToTChar(info.title, "Bypass", 128);
    ToTChar(info.shortTitle, "Bypass", 128);
    info.stepCount = 1;
    info.flags = kCanAutomate | kIsBypass;
  } else if (index == nParams + 1) {
    info.id = kProgramParamId;
    ToTChar(info.title, "Program", 128);
    ToTChar(info.shortTitle, "Program", 128);
    info.stepCount = std::max(0, mPlug->NPresets() - 1);
    info.flags = kIsProgramChange | kIsList;
  } else {
    const int cc = index - nParams - 2;
    char title[32];
    std::snprintf(title, sizeof(title), "MIDI CC %d", cc);
    info.id = kMidiParamBase + static_cast<ParamID>(cc);
    ToTChar(info.title, title, 128);
    ToTChar(info.shortTitle, title, 128);
    info.flags = kIsHidden | kIsReadOnly;
  }
  return kResultOk;
}

tresult QV3_API Vst3Plugin::getParamStringByValue(ParamID id, ParamValue value, TChar* string) {
  if (!string) return kInvalidArgument;
  IMutexLock lock(mPlug->Mutex());
  char text[kParamTextSize] = {0};
  if (id < static_cast<ParamID>(mPlug->NParams())) {
    const IParameter* p = mPlug->GetParam(static_cast<int>(id));
    p->FormatValue(ClampNormalized(value), true, text, true);
  } else if (id == kBypassParamId) {
    CopyText(text, value >= 0.5 ? "ON" : "OFF", sizeof(text));
  } else if (id == kProgramParamId) {
    CopyText(text, mPlug->PresetName(ProgramIndex(value)), sizeof(text));
  } else if (id >= kMidiParamBase && id < kMidiParamBase + kMidiProxyCount) {
    std::snprintf(text, sizeof(text), "%d", static_cast<int>(std::floor(ClampNormalized(value) * 127.0 + 0.5)));
  } else {
    return kInvalidArgument;
  }
  ToTChar(string, text, 128);
  return kResultOk;
}

tresult QV3_API Vst3Plugin::getParamValueByString(ParamID id, TChar* string, ParamValue& normalized) {
  if (!string) return kInvalidArgument;
  IMutexLock lock(mPlug->Mutex());
  char text[256];
  FromTChar(text, string, sizeof(text));
  if (id >= static_cast<ParamID>(mPlug->NParams())) {
    if (id == kBypassParamId) {
      normalized = SameText(text, "ON") ? 1.0 : 0.0;
      return kResultOk;
    }
    return kResultFalse;
  }
  // The VST 2.4 binding's text entry, but a bare plain value only where the
  // parameter has no form of its own.
  const IParameter* p = mPlug->GetParam(static_cast<int>(id));
  double v = 0.0;
  if (!ReadTypedValue(*p, text, &v)) {
    if (p->parseFunction || p->NDisplayTexts() > 0) return kResultFalse;
    char* end = nullptr;
    v = std::strtod(text, &end);
    if (end == text) return kResultFalse;
    if (p->NegateDisplay()) v = -v;
  }
  const double n = ClampNormalized(p->Normalized(std::max(p->Min(), std::min(p->Max(), v))));
  if (std::isnan(n)) return kResultFalse;
  normalized = n;
  return kResultOk;
}

ParamValue QV3_API Vst3Plugin::normalizedParamToPlain(ParamID id, ParamValue value) {
  if (id < static_cast<ParamID>(mPlug->NParams())) return mPlug->GetParam(static_cast<int>(id))->FromNormalized(value);
  if (id == kProgramParamId) return ProgramIndex(value);
  return value;
}

ParamValue QV3_API Vst3Plugin::plainParamToNormalized(ParamID id, ParamValue plain) {
  if (id < static_cast<ParamID>(mPlug->NParams())) return mPlug->GetParam(static_cast<int>(id))->Normalized(plain);
  if (id == kProgramParamId) return mPlug->NPresets() > 1 ? plain / (mPlug->NPresets() - 1) : 0.0;
  return plain;
}

ParamValue QV3_API Vst3Plugin::getParamNormalized(ParamID id) {
  FlushPendingRestart();
  if (id < static_cast<ParamID>(mPlug->NParams())) {
    IMutexLock lock(mPlug->Mutex());
    return mPlug->GetParam(static_cast<int>(id))->Normalized();
  }
  if (id == kBypassParamId) return mBypass ? 1.0 : 0.0;
  if (id == kProgramParamId) {
    // The editor's preset menu changes it too, not only the host.
    IMutexLock lock(mPlug->Mutex());
    return mPlug->NPresets() > 1 ? static_cast<double>(mPlug->CurrentPresetIndex()) / (mPlug->NPresets() - 1) : 0.0;
  }
  return 0.0;
}

tresult QV3_API Vst3Plugin::setParamNormalized(ParamID id, ParamValue value) {
  FlushPendingRestart();
  {
    IMutexLock lock(mPlug->Mutex());
    if (id < static_cast<ParamID>(mPlug->NParams()) || id == kBypassParamId || id == kProgramParamId) {
      ApplyParameter(id, value);
    } else if (!(id >= kMidiParamBase && id < kMidiParamBase + kMidiProxyCount)) {
      return kInvalidArgument;
    }
    // Controllers reach the product through process only, once.
  }
  return kResultOk;
}

tresult QV3_API Vst3Plugin::setComponentHandler(IComponentHandler* handler) {
  IMutexLock lock(mPlug->Mutex());
  if (handler == mHandler) return kResultOk;
  if (handler) handler->addRef();
  if (mHandler) mHandler->release();
  mHandler = handler;
  return kResultOk;
}

// --- IMidiMapping -----------------------------------------------------------------
tresult QV3_API Vst3Plugin::getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber cc, ParamID& id) {
  if (busIndex != 0 || channel < 0 || channel > 15 || cc < 0 || cc >= kMidiProxyCount) return kResultFalse;
  id = kMidiParamBase + static_cast<ParamID>(cc);
  return kResultTrue;
}

// --- IUnitInfo: the factory presets as the root unit's program list -----------------
int32 QV3_API Vst3Plugin::getUnitCount() { return 1; }

tresult QV3_API Vst3Plugin::getUnitInfo(int32 index, UnitInfo& info) {
  if (index != 0) return kInvalidArgument;
  std::memset(&info, 0, sizeof(info));
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  ToTChar(info.name, "Root", 128);
  info.programListId = kProgramListId;
  return kResultOk;
}

int32 QV3_API Vst3Plugin::getProgramListCount() { return 1; }

tresult QV3_API Vst3Plugin::getProgramListInfo(int32 index, ProgramListInfo& info) {
  if (index != 0) return kInvalidArgument;
  std::memset(&info, 0, sizeof(info));
  info.id = kProgramListId;
  ToTChar(info.name, "Factory Presets", 128);
  info.programCount = mPlug->NPresets();
  return kResultOk;
}

tresult QV3_API Vst3Plugin::getProgramName(ProgramListID listId, int32 program, TChar* name) {
  if (listId != kProgramListId || program < 0 || program >= mPlug->NPresets() || !name) return kInvalidArgument;
  IMutexLock lock(mPlug->Mutex());
  ToTChar(name, mPlug->PresetName(program), 128);
  return kResultOk;
}

tresult QV3_API Vst3Plugin::getProgramInfo(ProgramListID, int32, const char8*, TChar*) { return kResultFalse; }
tresult QV3_API Vst3Plugin::hasProgramPitchNames(ProgramListID, int32) { return kResultFalse; }
tresult QV3_API Vst3Plugin::getProgramPitchName(ProgramListID, int32, int16, TChar*) { return kResultFalse; }
UnitID QV3_API Vst3Plugin::getSelectedUnit() { return kRootUnitId; }
tresult QV3_API Vst3Plugin::selectUnit(UnitID id) { return id == kRootUnitId ? kResultOk : kInvalidArgument; }

tresult QV3_API Vst3Plugin::getUnitByBus(MediaType, BusDirection, int32, int32, UnitID& unitId) {
  unitId = kRootUnitId;
  return kResultOk;
}

tresult QV3_API Vst3Plugin::setUnitProgramData(int32, int32, IBStream*) { return kNotImplemented; }

// --- requests of the instance ---------------------------------------------------------
void Vst3Plugin::BeginEdit(int id) {
  if (mHandler) mHandler->beginEdit(static_cast<ParamID>(id));
}

void Vst3Plugin::PerformEdit(int id, double normalized) {
  if (mHandler) mHandler->performEdit(static_cast<ParamID>(id), normalized);
}

void Vst3Plugin::EndEdit(int id) {
  if (mHandler) mHandler->endEdit(static_cast<ParamID>(id));
}

// The editor's preset menu, on the UI thread: not inside a host's own call.
void Vst3Plugin::ValuesChanged() {
  if (mHandler) mHandler->restartComponent(kParamValuesChanged);
}

bool Vst3Plugin::EditorSizeChanged(int width, int height) { return !mView || mView->RequestSize(width, height); }

void Vst3Plugin::FlushPendingRestart() {
  if (!mRestartPending.exchange(false)) return;
  if (mHandler) mHandler->restartComponent(kParamValuesChanged);
}

IPlugView* QV3_API Vst3Plugin::createView(FIDString name) {
  // One editor per instance: the product has one window.
  if (!name || std::strcmp(name, "editor") != 0 || mView) return nullptr;
  IGraphics* editor = mPlug->Editor();
  if (!editor || !editor->HasWindowLayer()) return nullptr;
  mView = new (std::nothrow) Vst3View(this);
  return mView;
}

void Vst3Plugin::ViewClosed(Vst3View* view) {
  if (mView == view) mView = nullptr;
}
