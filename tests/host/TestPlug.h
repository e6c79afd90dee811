// A small plug-in on the framework, for testing the base and the binding
// without the product: three parameters, base state format, pass-through audio.
#pragma once

#include <atomic>
#include <vector>

#include "tests/host/TestHost.h"
#include "vst/IPluginVST.h"

class TestPlug : public IPluginVST {
 public:
  static IPluginInfo Info(const char* channels = "1-1 2-2", int nPresets = 10) {
    return IPluginInfo{channels, 3, nPresets, "Test Plug", "Test Product", "Test Vendor", VstFourCC('t', 'e', 's', 't'),
                       0x00010203, false, true};
  }

  explicit TestPlug(audioMasterCallback host, const char* channels = "1-1 2-2", int nPresets = 10)
      : IPluginVST(host, Info(channels, nPresets)) {
    GetParam(0)->DefineDouble("Gain", 0.5, 0.0, 1.0, 0.01);
    GetParam(1)->DefineInt("Mode", 1, 0, 4);
    GetParam(2)->DefineBool("On");
  }

  // Takes the lock again, as product hooks do, and records the call.
  void ParameterChanged(int index) override {
    IMutexLock lock(Mutex());
    changed.push_back(index);
  }
  void PresetChanged() override { ++presetChanges; }
  void ProcessBlock(double** inputs, double** outputs, int frames) override {
    ++blocks;
    lastFrames = frames;
    maxFrames = frames > maxFrames ? frames : maxFrames;
    IPluginVST::ProcessBlock(inputs, outputs, frames);
  }
  void HandleMidiMessage(const IMidiMessage& message) override {
    midi.push_back(message);
    IPluginVST::HandleMidiMessage(message);
  }
  void HandleSysEx(const ISysExMessage& message) override { sysexSizes.push_back(message.size); }

  static AEffect* Make(audioMasterCallback host) { return (new TestPlug(host))->Effect(); }
  static TestPlug* Of(AEffect* effect) { return static_cast<TestPlug*>(FromEffect(effect)); }

  std::vector<int> changed;
  std::vector<IMidiMessage> midi;
  std::vector<int> sysexSizes;
  int presetChanges = 0;
  int blocks = 0;
  int lastFrames = -1;
  int maxFrames = 0;
};

// A TestPlug in our test host.
struct PlugFixture {
  TestHost host;
  TestPlug* plug = nullptr;
  AEffect* e = nullptr;
  explicit PlugFixture(const char* vendor = "Quorvel Test Host") {
    host.vendorString = vendor;
    host.Create(TestPlug::Make);
    e = host.Effect();
    plug = TestPlug::Of(e);
  }
};
