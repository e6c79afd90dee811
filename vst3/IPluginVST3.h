// The VST 3 binding base of a plug-in instance: the host-facing requests of
// IPluginBase, answered through the binding object that hosts talk to.
#pragma once

#include <atomic>

#include "framework/IPluginBase.h"
#include "vst3/Vst3Abi.h"

// What the binding object offers the instance. Not an ABI interface: the
// object that implements it is the one the host holds.
class IVst3HostLink {
 public:
  virtual void BeginEdit(int id) = 0;
  virtual void PerformEdit(int id, double normalized) = 0;
  virtual void EndEdit(int id) = 0;
  // All values may have changed (a preset was loaded).
  virtual void ValuesChanged() = 0;
  // The editor's window takes a new size; false when the host refused it.
  virtual bool EditorSizeChanged(int width, int height) = 0;

 protected:
  ~IVst3HostLink() = default;
};

class IPluginVST3 : public IPluginBase {
 public:
  IPluginVST3(IVst3HostLink* host, const IPluginInfo& info);
  ~IPluginVST3() override;

  void BeginParamGesture(int index) override;
  void NotifyHostParamValue(int index, double normalized) override;
  void EndParamGesture(int index) override;
  void NotifyHostDisplayChanged() override;
  void ReadTransport(ITransportInfo& info) override;
  bool ResizeEditor(int width, int height) override;
  void AttachEditor(IGraphics* editor) override;
  bool SendMidiToHost(const IMidiMessage& message) override;

  // The host's time for the piece of the block about to be processed: the
  // context of the call and the frames already done in it. Null: no time.
  void SetProcessContext(const v3::ProcessContext* context, int frameOffset) {
    mContext = context;
    mContextOffset = frameOffset;
  }
  void SetHostName(const char* name);
  int EditorWidth() const { return mEditorWidth; }
  int EditorHeight() const { return mEditorHeight; }

  // Test seam, as in the VST 2.4 binding: called just before process asks
  // for the plug-in lock (false) and once it holds it (true).
  using ProcessLockProbe = void (*)(bool held);
  static std::atomic<ProcessLockProbe> processLockProbe;

 private:
  IVst3HostLink* mHost;
  const v3::ProcessContext* mContext = nullptr;
  int mContextOffset = 0;
  int mEditorWidth = 0;
  int mEditorHeight = 0;
};

// Made by the product: one new instance bound to the binding object, or null.
IPluginVST3* MakePlugin(IVst3HostLink* host);
