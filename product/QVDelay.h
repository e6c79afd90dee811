// The product: turns parameters and the host's tempo into settings of the
// bucket-brigade engine and runs it, one control tick about every millisecond.
#pragma once

#include <atomic>

#include "dsp/BrigadeLine.h"
#include "dsp/DelayLfo.h"
#include "framework/ITransportInfo.h"
#include "product/Effect.h"

class IControl;
class IQVRangeControl;

// "Quorvel Brigade Delay_2." and three characters: the product's state tag.
constexpr int kStateTagSize = 27;
constexpr int kStateTagPrefixSize = 24;
extern const char kStateTag[kStateTagSize + 1];

class QVDelay : public Effect {
 public:
  explicit QVDelay(PluginHostCallback hostCallback);
  ~QVDelay() override;

  void DefineParameters() override;
  void ResetProcessing() override;
  void ParameterChanged(int index) override;
  void ProcessBlock(double** inputs, double** outputs, int frames) override;
  bool WriteState(IStateChunk& chunk) override;
  int ReadState(const IStateChunk& chunk, int position) override;
  void RefreshEditorParams() override;
  void PresetChanged() override;
  int64_t TailFrames() override;

  void ToggleFreeze() override;
  bool FreezeOn() const override { return mLine.Freeze(); }
  int TicksPerControl() const override { return mTicksPerControl; }

  // Asks the maker's server for a newer version and tells the user through
  // the editor; returns the check's result code.
  int CheckOnlineVersion();

  // Editor references, none owned; absent while no editor exists.
  struct EditorControls {
    IControl* freezeButton = nullptr;
    IQVRangeControl* rangeSelector = nullptr;
    IControl* timeKnob = nullptr;
    IControl* lfoSpeedKnob = nullptr;
  };
  EditorControls& Controls() { return mControls; }

  // What the editor shows of the product's own state. The audio thread
  // publishes it (clock updates, FREEZE) and the editor draws from it without
  // taking the plug-in lock.
  struct EditorViewState {
    std::atomic<int> rangeIndex{0};
    std::atomic<bool> delaySync{false};
    std::atomic<int> delaySyncIndex{7};
    std::atomic<double> delayMs{0.0};
    std::atomic<double> syncedDelayMs{500.0};
    std::atomic<bool> freeze{false};
  };
  const EditorViewState& EditorView() const { return mView; }

  // Read-only views for tests and the editor's read-outs.
  const BrigadeLine& Line() const { return mLine; }
  const DelayLfo& Lfo() const { return mLfo; }
  const ITransportInfo& Transport() const { return mTransport; }
  int RangeIndex() const { return mRangeIndex; }
  double RangeMinimumMs() const { return mRangeMin; }
  double RangeMaximumMs() const { return mRangeMax; }
  double TimePosition() const { return mTimePosition; }
  double SyncedDelayMs() const { return mSyncedDelayMs; }
  int DelaySyncIndex() const { return mDelaySyncIndex; }
  bool DelaySyncOn() const { return mDelaySync; }
  bool LfoSyncOn() const { return mLfoSync; }
  // The delay the line gives with the LFO at rest, in milliseconds.
  double DelayMs() const { return mRangeMin + (mRangeMax - mRangeMin) * mTimePosition; }

 private:
  void ReadHostTime();
  void UpdateDelayClock();
  void SwitchFreezeOff();
  void InstallLfoSpeedText();
  void BuildFactoryPresets();
  void ControlTick();
  void PublishClock();

  BrigadeLine mLine;
  DelayLfo mLfo;
  ITransportInfo mTransport;
  bool mLastPlaying = false;
  int mTicksPerControl = 0;
  int mControlCountdown = 0;
  double mLastSampleRate = 0.0;
  double mLastTempo = 0.0;
  int mRangeIndex = 0;
  int mDelaySyncIndex = 7;
  double mRangeMin = 0.0;
  double mRangeMax = 0.0;
  double mTimePosition = 0.0;
  double mSyncedDelayMs = 500.0;
  bool mDelaySync = false;
  bool mLfoSync = false;
  int mRangeParam = 0;
  double mTimeParam = 0.0;
  double mLfoDepth = 0.0;
  EditorControls mControls;
  EditorViewState mView;
};
