// The host-neutral core of a plug-in instance: identity, channels, parameters,
// presets, the editor object and the recursive lock that serialises audio,
// host and editor access. The host binding implements the host-facing hooks;
// the product overrides the processing hooks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/HostKind.h"
#include "framework/IChannel.h"
#include "framework/IMidiMessage.h"
#include "framework/IParameter.h"
#include "framework/IPresetSlot.h"
#include "framework/IStateChunk.h"
#include "framework/ITransportInfo.h"
#include "platform/IMutex.h"

class IGraphics;

constexpr int kNameSize = 128;  // effect, product and vendor names: 127 characters
constexpr int kMaxBlockSize = 1 << 20;  // frames; block sizes above are taken as this

// The product's constants, handed down the construction chain.
struct IPluginInfo {
  const char* channelIOText;
  int nParams;
  int nPresets;
  const char* effectName;
  const char* productName;
  const char* vendorName;
  int32_t uniqueID;
  int32_t version;  // major in bits 16-31, minor 8-15, patch 0-7
  bool isInstrument;
  bool handlesMidi;
  // What kind of effect it is, as '|'-separated words from general to
  // specific ("Fx|Delay"): formats that list plug-ins by kind show it.
  const char* category = "Fx";
};

// The product's constants without an instance: hosts list classes before
// they make one. Defined by the product.
const IPluginInfo& ProductInfo();

class IPluginBase {
 public:
  explicit IPluginBase(const IPluginInfo& info);
  virtual ~IPluginBase();
  IPluginBase(const IPluginBase&) = delete;
  IPluginBase& operator=(const IPluginBase&) = delete;

  // --- hooks, in slot order -------------------------------------------------
  virtual void ResetProcessing();
  virtual void ParameterChanged(int index);
  virtual void ProcessBlock(double** inputs, double** outputs, int frames);
  virtual void EditorOpened() {}
  virtual void EditorClosed() {}
  virtual void EditorIdle() {}
  virtual void SetActive(bool active);
  virtual void HandleMidiMessage(const IMidiMessage& message);
  virtual void HandleSysEx(const ISysExMessage&) {}
  virtual bool MidiNoteName(int key, char* text);
  virtual bool WriteState(IStateChunk& chunk);
  virtual int ReadState(const IStateChunk& chunk, int position);
  virtual void EditorResized() {}
  virtual void HostIdentified() {}
  virtual void SetParamFromEditor(int index, double normalized);
  virtual void BeginParamGesture(int index) = 0;
  virtual void NotifyHostParamValue(int index, double normalized) = 0;
  virtual void EndParamGesture(int index) = 0;
  virtual void NotifyHostDisplayChanged() = 0;
  virtual void ReadTransport(ITransportInfo& info) = 0;
  virtual HostKind IdentifyHost() { return mHostKind; }
  virtual int ApiKind() const { return mApiKind; }
  // The editor's window takes a new size (device pixels). While it is open
  // the host is asked to follow; false when it will not, and nothing changed.
  virtual bool ResizeEditor(int width, int height) = 0;
  virtual void PrepareForHost() {}
  virtual void AttachEditor(IGraphics* editor);
  virtual void SetLatency(int frames) { mLatency = frames; }
  virtual bool SendMidiToHost(const IMidiMessage& message) = 0;
  virtual bool SendSysExToHost(const ISysExMessage&) { return false; }
  virtual void RefreshEditorParams();
  virtual int UnserializePresets(const IStateChunk& chunk, int position);
  virtual void ModifyCurrentPreset(const char* name = nullptr);
  virtual void PresetChanged() {}
  virtual void SetSampleRate(double rate) { mSampleRate = rate; }
  virtual void SetBlockSize(int frames);
  // Frames the output goes on sounding once the input falls silent; -1 for
  // ever (a line kept ringing).
  virtual int64_t TailFrames() { return TailSize(); }

  // --- services -------------------------------------------------------------
  bool LegalIO(int inputs, int outputs) const;
  void NotifyHostAllParams();

  bool SerializeParams(IStateChunk& chunk);
  int UnserializeParams(const IStateChunk& chunk, int position);
  bool SerializePresets(IStateChunk& chunk);
  bool LoadPreset(int index);
  const char* PresetName(int index) const;
  void FillEmptyPresets(int count);
  void RestrictToStereo();

  IMutex& Mutex() { return mMutex; }

  int NParams() const { return static_cast<int>(mParams.size()); }
  IParameter* GetParam(int index) { return mParams[static_cast<size_t>(index)].get(); }
  const IParameter* GetParam(int index) const { return mParams[static_cast<size_t>(index)].get(); }
  bool ValidParam(int index) const { return index >= 0 && index < NParams(); }

  int NPresets() const { return static_cast<int>(mPresets.size()); }
  IPresetSlot& Preset(int index) { return *mPresets[static_cast<size_t>(index)]; }
  int CurrentPresetIndex() const { return mCurrentPreset; }

  int NInChannels() const { return static_cast<int>(mInChannels.size()); }
  int NOutChannels() const { return static_cast<int>(mOutChannels.size()); }
  IInputChannel& InChannel(int i) { return *mInChannels[static_cast<size_t>(i)]; }
  IOutputChannel& OutChannel(int i) { return *mOutChannels[static_cast<size_t>(i)]; }
  const std::vector<IChannelConfig>& ChannelConfigs() const { return mChannelConfigs; }
  double** InputPointers() { return mInPointers.data(); }
  double** OutputPointers() { return mOutPointers.data(); }
  // Connects or disconnects a channel; a disconnected channel reads its own zeros.
  void SetInputConnected(int i, bool connected);
  void SetOutputConnected(int i, bool connected);

  const char* EffectName() const { return mEffectName; }
  const char* ProductName() const { return mProductName; }
  const char* VendorName() const { return mVendorName; }
  int32_t UniqueID() const { return mUniqueID; }
  int32_t Version() const { return mVersion; }
  // major * 10000 + minor * 100 + patch, as hosts expect it.
  int32_t DecimalVersion() const;
  HostKind GetHostKind() const { return mHostKind; }
  int32_t HostVersion() const { return mHostVersion; }
  bool IsInstrument() const { return mIsInstrument; }
  bool HandlesMidi() const { return mHandlesMidi; }
  double SampleRate() const { return mSampleRate; }
  int BlockSize() const { return mBlockSize; }
  int Latency() const { return mLatency; }
  int TailSize() const { return mTailSize; }
  IGraphics* Editor() const { return mEditor; }

 protected:
  void SetHostIdentity(HostKind kind, int32_t version) {
    mHostKind = kind;
    mHostVersion = version;
  }
  void SetCurrentPresetIndex(int index) { mCurrentPreset = index; }

 private:
  std::vector<IChannelConfig> mChannelConfigs;
  IMutex mMutex;
  char mEffectName[kNameSize] = {0};
  char mProductName[kNameSize] = {0};
  char mVendorName[kNameSize] = {0};
  int32_t mUniqueID;
  int32_t mVersion;
  int32_t mApiKind = 0;
  HostKind mHostKind = kHostUninit;
  int32_t mHostVersion = 0;
  bool mIsInstrument;
  bool mHandlesMidi;
  int mCurrentPreset = 0;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency = 0;
  int mTailSize = 0;
  std::vector<std::unique_ptr<IParameter>> mParams;
  IGraphics* mEditor = nullptr;
  std::vector<std::unique_ptr<IPresetSlot>> mPresets;
  std::vector<double*> mInPointers;
  std::vector<double*> mOutPointers;
  std::vector<std::unique_ptr<IInputChannel>> mInChannels;
  std::vector<std::unique_ptr<IOutputChannel>> mOutChannels;
};

// Parses "1-1 2-2" style texts: pairs of "%d-%d" separated by single spaces.
std::vector<IChannelConfig> ParseChannelConfigs(const char* text);
