// A small VST 2.4 host of our own: drives an effect record the way a DAW
// does and records every request the plug-in sends back, with its arguments.
// Used by the tests and by the command-line host.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vst/VstAbi.h"

using VstEntryProc = AEffect*(VSTCALLBACK*)(audioMasterCallback);

struct HostRequest {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
  std::vector<VstMidiEvent> midi;  // audioMasterProcessEvents: the MIDI events sent
  int sysexEvents = 0;
};

class TestHost {
 public:
  TestHost();
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  // Calls the entry point with this host's callback; false when it gives no record.
  bool Create(const std::function<AEffect*(audioMasterCallback)>& entry);
  AEffect* Effect() const { return mEffect; }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.f);
  void Open() { Dispatch(effOpen); }
  void Close();
  void SetSampleRate(double rate) { Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate)); }
  void SetBlockSize(int frames) { Dispatch(effSetBlockSize, 0, frames); }
  void Resume() { Dispatch(effMainsChanged, 0, 1); }
  void Suspend() { Dispatch(effMainsChanged, 0, 0); }
  // open, rate, block size, resume: what a DAW does before the first block
  void Start(double rate, int blockSize);

  void SetParameter(int index, float value) { mEffect->setParameter(mEffect, index, value); }
  float GetParameter(int index) { return mEffect->getParameter(mEffect, index); }
  std::string ParamText(VstInt32 opcode, int index);
  std::string ProgramName();

  // Stereo processing of whole buffers, in blocks of at most blockFrames.
  void ProcessReplacing(std::vector<float>* in, std::vector<float>* out, int blockFrames);
  void ProcessDouble(std::vector<double>* in, std::vector<double>* out, int blockFrames);
  void SendMidi(const std::vector<VstMidiEvent>& events);
  // A control change on channel 1, then one block of silence so that it applies.
  void SendControlChange(int controller, int value);

  std::vector<uint8_t> GetChunk(bool bank);
  bool SetChunk(const std::vector<uint8_t>& data, bool bank);

  // What the host answers.
  std::string vendorString = "Quorvel Test Host";
  std::string productString = "qvhost";
  VstIntPtr vendorVersion = 10203;
  VstIntPtr processEventsAnswer = 1;
  // audioMasterSizeWindow (index width, value height): the answer, and what a
  // host with a real window does to follow before it answers.
  VstIntPtr sizeWindowAnswer = 1;
  std::function<void(int width, int height)> onSizeWindow;
  bool timeInfoAvailable = false;
  VstTimeInfo timeInfo{};
  // When set, the time info follows the audio as a playing transport does:
  // after every block samplePos and ppqPos (from tempo and sampleRate) move
  // on, and barStartPos follows the time signature.
  bool advanceTransport = false;
  // Called after every processed block with the frames done and the total.
  std::function<void(size_t done, size_t total)> progress;

  // Off: requests are answered but not kept (fuzzing, threads, counting allocations).
  bool recordRequests = true;
  std::vector<HostRequest> requests;
  int CountRequests(VstInt32 opcode) const;
  void ClearRequests() { requests.clear(); }

 private:
  static VstIntPtr VSTCALLBACK Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);
  VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  void BlockDone(size_t done, size_t total, int frames);

  AEffect* mEffect = nullptr;
};
