#include "product/QVDelay.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/PortableMath.h"
#include "graphics/IControl.h"
#include "graphics/IGraphics.h"
#include "product/DivisionTables.h"
#include "product/ParamDisplays.h"
#include "product/QVDelayConfig.h"
#include "product/editor/IQVRangeControl.h"
#include "product/editor/QVDelayEditor.h"
#include "platform/EditorFactory.h"
#include "resources/EmbeddedImages.h"
#include "update/VersionCheck.h"

// The version characters are not compared when reading, so any 2.x state loads.
const char kStateTag[kStateTagSize + 1] = "Quorvel Brigade Delay_2.X.X";

QVDelay::QVDelay(PluginHostCallback hostCallback) : Effect(hostCallback) {
  DefineParameters();
  PublishClock();
  InstallEmbeddedImages();
  if (IGraphics* graphics = CreateEditorGraphics(this, kEditorWidth, kEditorHeight, kEditorFps)) {
    LayoutEditor(this, graphics);
    InstallLfoSpeedText();
    AttachEditor(graphics);
    ApplyEditorSizeSetting();
  }
  BuildFactoryPresets();
}

QVDelay::~QVDelay() = default;

void QVDelay::DefineParameters() {
  GetParam(kRange)->DefineInt("Range", 3, 0, 4);
  GetParam(kRange)->displayFunction = RangeText;
  GetParam(kRange)->parseFunction = RangeParse;
  GetParam(kTime)->DefineDouble("Time", 0.6, 0.0, 1.0, 0.001, 1.0);
  GetParam(kFeedback)->DefineDouble("Feedback", 0.0, -1.0, 1.0, 0.01, 1.0);
  GetParam(kFeedback)->displayFunction = PercentText;
  GetParam(kFeedback)->parseFunction = PercentParse;
  GetParam(kLFOSpeed)->DefineDouble("LFOSpeed", 0.15, 0.001, 25.0, 0.01, 2.0);
  GetParam(kLFOSpeed)->displayFunction = HzText;
  GetParam(kLFODepth)->DefineDouble("LFO Depth", 0.0, 0.0, 1.0, 0.01, 2.0);
  GetParam(kLFODepth)->displayFunction = PercentText;
  GetParam(kLFODepth)->parseFunction = PercentParse;
  GetParam(kMix)->DefineDouble("Mix", 0.5, 0.0, 1.0, 0.01, 1.0);
  GetParam(kMix)->displayFunction = MixText;
  GetParam(kMix)->parseFunction = MixParse;
  GetParam(kQuality)->DefineDouble("Quality", 1.0, 0.0, 1.0, 0.01, 1.0);
  GetParam(kQuality)->displayFunction = PercentText;
  GetParam(kQuality)->parseFunction = PercentParse;
  GetParam(kDelaySync)->DefineBool("Delay Sync to Host");
  GetParam(kDelaySync)->displayFunction = SwitchText;
  GetParam(kLFOSync)->DefineBool("LFO Sync to Host");
  GetParam(kLFOSync)->displayFunction = SwitchText;
}

void QVDelay::ResetProcessing() {
  IMutexLock lock(Mutex());
  Effect::ResetProcessing();  // learning stops
  double rate = SampleRate();
  // A line whose cells could not be had is built again at the next reset.
  if (rate != mLastSampleRate || !mLine.IsReady()) {
    mLastSampleRate = rate;
    // Whole samples per millisecond; rates that do not fit an int give no ticks worth having.
    mTicksPerControl = rate >= 0.0 && rate < 2147483647.0 ? static_cast<int>(rate) / 1000 : 0;
    mLfo.SetRate(rate, mTicksPerControl);
    mLine.Rebuild(rate, mRangeIndex);
    UpdateDelayClock();
    mControlCountdown = 0;
  }
  SwitchFreezeOff();
}

void QVDelay::ParameterChanged(int index) {
  IMutexLock lock(Mutex());
  Effect::ParameterChanged(index);  // captures the learn target first
  if (!ValidParam(index)) return;
  const double v = GetParam(index)->Value();
  const bool on = v >= 0.5;
  switch (index) {
    case kRange:
      // Limited before the cast: a value outside the int range must not reach it.
      mRangeParam = static_cast<int>(qvmath::Round(std::max(0.0, std::min(4.0, v))));
      UpdateDelayClock();
      break;
    case kTime:
      mTimeParam = v;
      mDelaySyncIndex = static_cast<int>(
          qvmath::Round(std::max(0.0, std::min(static_cast<double>(kDivisionRows - 1), (1.0 - v) * 19.0))));
      UpdateDelayClock();
      break;
    case kFeedback:
      mLine.SetFeedback(v);
      break;
    case kLFOSpeed:
      mLfo.SetSpeedHz(v);
      InstallLfoSpeedText();
      break;
    case kLFODepth:
      mLfoDepth = v;
      break;
    case kMix:
      mLine.SetMix(v);
      break;
    case kQuality:
      mLine.SetQuality(v);
      break;
    case kDelaySync:
      mDelaySync = on;
      UpdateDelayClock();
      break;
    case kLFOSync:
      mLfoSync = on;
      mLfo.SetSyncOn(on);
      InstallLfoSpeedText();
      if (mControls.lfoSpeedKnob) mControls.lfoSpeedKnob->Redraw();
      break;
    default:
      break;
  }
}

int64_t QVDelay::TailFrames() {
  IMutexLock lock(Mutex());
  if (FreezeOn()) return -1;
  const double feedback = std::fabs(GetParam(kFeedback)->Value());
  if (feedback >= 0.999) return -1;
  // Echoes until they are 100 dB down, each at most the range's longest
  // delay, and the filters' ringing after the last.
  const double repeats = feedback < 1e-6 ? 1.0 : std::ceil(std::log(1e-5) / std::log(feedback)) + 1.0;
  const double ms = repeats * mRangeMax + 50.0;
  const double frames = std::ceil(ms * SampleRate() / 1000.0);
  return frames > 0.0 && frames < 4.0e9 ? static_cast<int64_t>(frames) : -1;
}

void QVDelay::InstallLfoSpeedText() {
  GetParam(kLFOSpeed)->displayFunction = mLfoSync ? LfoDivisionText : HzText;
}

void QVDelay::ControlTick() {
  DrainMidiQueue();
  double value = mLfo.Tick();
  mLine.SetClockStep(BrigadeLine::ModulatedClockStep(mTimePosition, mLfoDepth, value));
}

void QVDelay::ProcessBlock(double** inputs, double** outputs, int frames) {
  const bool ready = mLine.IsReady();
  if (!ready) {
    // No cells (no usable rate yet, or none to be had): silence, whatever the
    // host's buffers held. Controllers still fall due below.
    for (int c = 0; c < 2; ++c)
      if (outputs[c] && frames > 0) std::memset(outputs[c], 0, sizeof(double) * static_cast<size_t>(frames));
  }
  if (mDelaySync || mLfoSync) ReadHostTime();
  // The countdown holds the frames left before the next control tick, which
  // falls every ticksPerControl + 1 frames; runs between ticks go to the line
  // in one call.
  int i = 0;
  while (i < frames) {
    if (mControlCountdown <= 0) {
      mControlCountdown = mTicksPerControl + 1;
      ControlTick();
    }
    int run = std::min(frames - i, mControlCountdown);
    if (ready) mLine.ProcessBlock(inputs[0] + i, inputs[1] + i, outputs[0] + i, outputs[1] + i, run);
    mControlCountdown -= run;
    i += run;
  }
}

void QVDelay::ReadHostTime() {
  ReadTransport(mTransport);
  if (mLfoSync) {
    mLfo.SyncLfoToHost(mTransport.tempo, mTransport.ppqPos, mTransport.transportIsRunning, kLfoDivisionQuarterNotes);
    if (mTransport.transportIsRunning != mLastPlaying) {
      mLastPlaying = mTransport.transportIsRunning;
      if (mLastPlaying) mLfo.RestartPhase();
    }
  }
  if (mDelaySync && mTransport.tempo != mLastTempo) UpdateDelayClock();
}

void QVDelay::UpdateDelayClock() {
  if (!mDelaySync) {
    mRangeIndex = 4 - std::max(0, std::min(4, mRangeParam));
    mLine.SetRangeIndex(mRangeIndex);
    mRangeMax = 2000.0 * std::ldexp(1.0, -2 * mRangeIndex);
    mRangeMin = mRangeMax * 0.125;
    mTimePosition = mTimeParam;
  } else {
    const double tempo = mTransport.tempo;
    mLastTempo = tempo;
    double d = 60000.0 / tempo * kDelayDivisions[mDelaySyncIndex].quarterNotes;
    // The transport record only takes tempi above 0, but guard the arithmetic
    // against anything that would make d useless.
    if (!(d > 0.0) || !qvmath::IsFinite(d)) d = 500.0;
    mSyncedDelayMs = d;
    while (d > 2000.0) d *= 0.5;
    // The smallest range whose minimum reaches down to d; at most 15 ranges
    // below the longest, which is already far shorter than one tick.
    int k = 0;
    while (k < 15 && 2000.0 * std::ldexp(1.0, -2 * k) * 0.125 > d) ++k;
    mRangeIndex = k;
    mRangeMax = 2000.0 * std::ldexp(1.0, -2 * k);
    mRangeMin = mRangeMax * 0.125;
    mLine.SetRangeIndex(k);
    mTimePosition = std::min(1.0, (d - mRangeMin) / (mRangeMax - mRangeMin));
  }
  PublishClock();
  // Also while the window is closed: it must open showing the current state.
  if (mControls.rangeSelector) {
    mControls.rangeSelector->SetDisabled(mDelaySync);
    mControls.rangeSelector->Redraw();
  }
  if (mControls.timeKnob) mControls.timeKnob->Redraw();
}

void QVDelay::PublishClock() {
  mView.rangeIndex.store(mRangeIndex, std::memory_order_relaxed);
  mView.delaySync.store(mDelaySync, std::memory_order_relaxed);
  mView.delaySyncIndex.store(mDelaySyncIndex, std::memory_order_relaxed);
  mView.delayMs.store(DelayMs(), std::memory_order_relaxed);
  mView.syncedDelayMs.store(mSyncedDelayMs, std::memory_order_relaxed);
}

void QVDelay::ToggleFreeze() {
  IMutexLock lock(Mutex());
  if (LearnActive()) {
    CaptureTarget(kFreezeTarget);
    return;
  }
  mLine.SetFreeze(!mLine.Freeze());
  mView.freeze.store(mLine.Freeze(), std::memory_order_relaxed);
  if (mControls.freezeButton) mControls.freezeButton->Redraw();
}

namespace {
// The version check talks to the user through the editor's message boxes.
class EditorVersionCheckUi : public IVersionCheckUi {
 public:
  explicit EditorVersionCheckUi(IGraphics* graphics) : mGraphics(graphics) {}
  int ShowMessageBox(const char* text, const char* caption, int type) override {
    return mGraphics->ShowMessageBox(text, caption, type);
  }
  bool OpenURL(const char* url) override { return mGraphics->OpenURL(url); }

 private:
  IGraphics* mGraphics;
};
}  // namespace

int QVDelay::CheckOnlineVersion() {
  if (!Editor()) return -1;
  EditorVersionCheckUi ui(Editor());
  return ::CheckOnlineVersion(ui);
}

void QVDelay::SwitchFreezeOff() {
  mLine.SetFreeze(true);
  ToggleFreeze();
  mView.freeze.store(mLine.Freeze(), std::memory_order_relaxed);  // learning leaves it on
}

void QVDelay::RefreshEditorParams() { Effect::RefreshEditorParams(); }

void QVDelay::PresetChanged() {
  SwitchFreezeOff();
  RefreshEditorParams();
}

bool QVDelay::WriteState(IStateChunk& chunk) {
  return chunk.Append(kStateTag, kStateTagSize) && SerializeParams(chunk);
}

int QVDelay::ReadState(const IStateChunk& chunk, int position) {
  if (position >= 0 && position <= chunk.Size() - kStateTagPrefixSize &&
      !std::memcmp(chunk.Bytes() + position, kStateTag, kStateTagPrefixSize))
    return UnserializeParams(chunk, position + kStateTagSize);

  // The older form: parameters 0 to 6 only, and the sync switches at their defaults.
  IMutexLock lock(Mutex());
  GetParam(kDelaySync)->SetValue(GetParam(kDelaySync)->Default());
  GetParam(kLFOSync)->SetValue(GetParam(kLFOSync)->Default());
  for (int n = 0; n <= kQuality; ++n) {
    double v = 0.0;
    int next = chunk.Get(&v, position);
    if (next < 0) {
      GetParam(n)->SetClamped(0.0);
      position = -1;
      break;
    }
    GetParam(n)->SetClamped(v);
    position = next;
  }
  for (int n = 0; n < NParams(); ++n) ParameterChanged(n);
  return position;
}
