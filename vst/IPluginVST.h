// The VST 2.4 binding: the effect record handed to the host, the dispatcher,
// the parameter and process entries, and the requests sent back to the host.
#pragma once

#include <atomic>

#include "framework/IPluginBase.h"
#include "framework/IStateChunk.h"
#include "vst/VstAbi.h"

class IPluginVST : public IPluginBase {
 public:
  IPluginVST(audioMasterCallback hostCallback, const IPluginInfo& info);
  ~IPluginVST() override;

  AEffect* Effect() { return &mAEffect; }
  static IPluginVST* FromEffect(AEffect* effect) {
    return effect ? static_cast<IPluginVST*>(effect->object) : nullptr;
  }

  // Requests to the host.
  void BeginParamGesture(int index) override;
  void NotifyHostParamValue(int index, double normalized) override;
  void EndParamGesture(int index) override;
  void NotifyHostDisplayChanged() override;
  void ReadTransport(ITransportInfo& info) override;
  HostKind IdentifyHost() override;
  bool ResizeEditor(int width, int height) override;
  void PrepareForHost() override;
  void AttachEditor(IGraphics* editor) override;
  void SetLatency(int frames) override;
  bool SendMidiToHost(const IMidiMessage& message) override;
  bool SendSysExToHost(const ISysExMessage& message) override;

  bool IsChunkSwapHost();
  int CockosExtensionFlags() const { return mCockosFlags; }
  const ERect& EditRect() const { return mEditRect; }
  const VstSpeakerArrangement& InputArrangement() const { return mInputArrangement; }
  const VstSpeakerArrangement& OutputArrangement() const { return mOutputArrangement; }

  // The entries of the effect record.
  static VstIntPtr VSTCALLBACK VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                             void* ptr, float opt);
  static void VSTCALLBACK VSTProcess(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
  static void VSTCALLBACK VSTProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
  static void VSTCALLBACK VSTProcessDoubleReplacing(AEffect* effect, double** inputs, double** outputs,
                                                    VstInt32 frames);
  static void VSTCALLBACK VSTSetParameter(AEffect* effect, VstInt32 index, float value);
  static float VSTCALLBACK VSTGetParameter(AEffect* effect, VstInt32 index);

  // Test seam: called by the process entries just before they ask for the
  // plug-in lock (false) and once they hold it (true), so a stress test can
  // measure how long audio waits for it. Unset in the product.
  using ProcessLockProbe = void (*)(bool held);
  static std::atomic<ProcessLockProbe> processLockProbe;

 private:
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr GetChunk(void** data, bool isBank);
  VstIntPtr SetChunk(const void* data, VstIntPtr size, bool isBank);
  VstIntPtr String2Parameter(int index, const char* text);
  VstIntPtr PinProperties(int index, VstPinProperties* properties, bool isInput);
  void SetSpeakerArrangement(const VstSpeakerArrangement* arrangement, bool isInput);
  VstIntPtr CanDo(const char* capability);
  VstIntPtr VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt);
  void ProcessEvents(const VstEvents* events);
  void ProcessFloat(float** inputs, float** outputs, VstInt32 frames, bool accumulate);
  VstIntPtr Host(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.f);

  ERect mEditRect{};
  audioMasterCallback mHostCallback;
  VstSpeakerArrangement mInputArrangement{};
  VstSpeakerArrangement mOutputArrangement{};
  bool mHostPrepared = false;
  int mCockosFlags = 0;
  // What effGetChunk hands out stays valid until the next effGetChunk of the
  // same kind: effSetChunk reads into buffers of its own.
  IStateChunk mProgramChunk{4096};
  IStateChunk mBankChunk{4096};
  IStateChunk mProgramSetChunk{4096};
  IStateChunk mBankSetChunk{4096};
  bool mChunkSwapChecked = false;
  bool mChunkSwapResult = false;
  AEffect mAEffect{};
};

// Made by the product: one new instance bound to the host callback, or null.
IPluginVST* MakePlugin(audioMasterCallback hostCallback);

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback);
