#include "framework/IPluginBase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/Trace.h"
#include "graphics/IGraphics.h"

std::vector<IChannelConfig> ParseChannelConfigs(const char* text) {
  std::vector<IChannelConfig> configs;
  const char* p = text ? text : "";
  for (;;) {
    int inputs = 0, outputs = 0;
    std::sscanf(p, "%d-%d", &inputs, &outputs);
    configs.push_back({inputs, outputs});
    p = std::strchr(p, ' ');
    if (!p) break;
    ++p;
  }
  return configs;
}

IPluginBase::IPluginBase(const IPluginInfo& info)
    : mUniqueID(info.uniqueID),
      mVersion(info.version),
      mIsInstrument(info.isInstrument),
      mHandlesMidi(info.handlesMidi) {
  // The timestamp costs clock and calendar calls: only made when someone listens.
  if (TraceActive()) Trace("IPluginBase::IPluginBase", __LINE__, "%s:%s", info.effectName, TraceTimestamp());
  for (int i = 0; i < info.nParams; ++i) mParams.push_back(std::make_unique<IParameter>());
  for (int i = 0; i < info.nPresets; ++i) mPresets.push_back(std::make_unique<IPresetSlot>());
  CopyText(mEffectName, info.effectName, kNameSize);
  CopyText(mProductName, info.productName, kNameSize);
  CopyText(mVendorName, info.vendorName, kNameSize);

  mChannelConfigs = ParseChannelConfigs(info.channelIOText);
  int nIn = 0, nOut = 0;
  for (const IChannelConfig& c : mChannelConfigs) {
    nIn = std::max(nIn, c.inputs);
    nOut = std::max(nOut, c.outputs);
  }
  mInPointers.assign(static_cast<size_t>(nIn), nullptr);
  mOutPointers.assign(static_cast<size_t>(nOut), nullptr);
  for (int i = 0; i < nIn; ++i) {
    mInChannels.push_back(std::make_unique<IInputChannel>());
    mInChannels.back()->slot = &mInPointers[static_cast<size_t>(i)];
  }
  for (int i = 0; i < nOut; ++i) {
    mOutChannels.push_back(std::make_unique<IOutputChannel>());
    mOutChannels.back()->slot = &mOutPointers[static_cast<size_t>(i)];
  }
}

IPluginBase::~IPluginBase() { delete mEditor; }

int32_t IPluginBase::DecimalVersion() const {
  return ((mVersion >> 16) & 0xFFFF) * 10000 + ((mVersion >> 8) & 0xFF) * 100 + (mVersion & 0xFF);
}

void IPluginBase::ResetProcessing() { IMutexLock lock(mMutex); }

void IPluginBase::ParameterChanged(int) { IMutexLock lock(mMutex); }

void IPluginBase::SetActive(bool) { IMutexLock lock(mMutex); }

void IPluginBase::ProcessBlock(double** inputs, double** outputs, int frames) {
  int nIn = NInChannels(), nOut = NOutChannels();
  for (int i = 0; i < nOut; ++i) {
    if (!outputs[i]) continue;
    if (i < nIn && inputs[i]) {
      if (outputs[i] != inputs[i]) std::memmove(outputs[i], inputs[i], sizeof(double) * static_cast<size_t>(frames));
    } else {
      std::memset(outputs[i], 0, sizeof(double) * static_cast<size_t>(frames));
    }
  }
}

void IPluginBase::HandleMidiMessage(const IMidiMessage& message) { SendMidiToHost(message); }

bool IPluginBase::MidiNoteName(int, char* text) {
  if (text) text[0] = '\0';
  return false;
}

bool IPluginBase::WriteState(IStateChunk& chunk) { return SerializeParams(chunk); }

int IPluginBase::ReadState(const IStateChunk& chunk, int position) { return UnserializeParams(chunk, position); }

void IPluginBase::SetParamFromEditor(int index, double normalized) {
  IMutexLock lock(mMutex);
  if (!ValidParam(index)) return;
  normalized = ClampNormalized(normalized);  // the host must only ever hear 0..1
  GetParam(index)->SetFromNormalized(normalized);
  NotifyHostParamValue(index, normalized);
  ParameterChanged(index);
}

void IPluginBase::AttachEditor(IGraphics* editor) {
  IMutexLock lock(mMutex);
  if (editor) {
    for (int n = 0; n < NParams(); ++n) editor->AttachParamValue(n, GetParam(n)->Normalized());
  }
  if (mEditor != editor) delete mEditor;
  mEditor = editor;
}

void IPluginBase::RefreshEditorParams() {
  if (!mEditor) return;
  for (int n = 0; n < NParams(); ++n) mEditor->SetParameterFromPlug(n, GetParam(n)->Value(), false);
}

void IPluginBase::SetBlockSize(int frames) {
  if (frames < 0) frames = 0;
  // Larger host blocks are served in pieces; beyond this the scratch memory
  // (and zero-filling it inside the dispatcher) buys nothing.
  if (frames > kMaxBlockSize) frames = kMaxBlockSize;
  if (frames == mBlockSize) return;
  // All or nothing: a host must never see buffers shorter than the block size.
  bool ok = true;
  for (auto& c : mInChannels) ok = ok && c->scratch.ResizeAndClear(frames);
  for (auto& c : mOutChannels) ok = ok && c->scratch.ResizeAndClear(frames);
  if (!ok) {
    for (auto& c : mInChannels) c->scratch.ResizeAndClear(mBlockSize);
    for (auto& c : mOutChannels) c->scratch.ResizeAndClear(mBlockSize);
  } else {
    mBlockSize = frames;
  }
  // Disconnected channels point at their own scratch buffers, which may have
  // moved even when a later channel failed and the size went back.
  for (auto& c : mInChannels)
    if (!c->connected) *c->slot = c->scratch.Samples();
  for (auto& c : mOutChannels)
    if (!c->connected) *c->slot = c->scratch.Samples();
}

bool IPluginBase::LegalIO(int inputs, int outputs) const {
  bool legal = false;
  for (const IChannelConfig& c : mChannelConfigs) {
    if (c.inputs == inputs && (outputs == -1 || c.outputs == outputs)) {
      legal = true;
      break;
    }
  }
  Trace("IPluginBase::LegalIO", __LINE__, "%d:%d:%s", inputs, outputs, legal ? "legal" : "illegal");
  return legal;
}

void IPluginBase::NotifyHostAllParams() {
  IMutexLock lock(mMutex);
  for (int n = 0; n < NParams(); ++n) NotifyHostParamValue(n, GetParam(n)->Normalized());
}

void IPluginBase::SetInputConnected(int i, bool connected) {
  IInputChannel& c = InChannel(i);
  // The scratch buffer may still hold audio of the last single-precision block.
  if (!connected && c.connected) c.scratch.ResizeAndClear(c.scratch.Frames());
  c.connected = connected;
  if (!connected) *c.slot = c.scratch.Samples();
}

void IPluginBase::SetOutputConnected(int i, bool connected) {
  IOutputChannel& c = OutChannel(i);
  c.connected = connected;
  if (!connected) *c.slot = c.scratch.Samples();
}

void IPluginBase::RestrictToStereo() {
  for (int i = 2; i < NInChannels(); ++i) SetInputConnected(i, false);
  if (NOutChannels() > 2)
    for (int i = 2; i < NOutChannels(); ++i) SetOutputConnected(i, true);
}
