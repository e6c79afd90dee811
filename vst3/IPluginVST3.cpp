#include "vst3/IPluginVST3.h"

#include <cmath>

#include "graphics/IGraphics.h"

std::atomic<IPluginVST3::ProcessLockProbe> IPluginVST3::processLockProbe{nullptr};

IPluginVST3::IPluginVST3(IVst3HostLink* host, const IPluginInfo& info) : IPluginBase(info), mHost(host) {
  for (int i = 0; i < NInChannels(); ++i) SetInputConnected(i, true);
  for (int i = 0; i < NOutChannels(); ++i) SetOutputConnected(i, true);
  SetBlockSize(1024);
}

IPluginVST3::~IPluginVST3() = default;

void IPluginVST3::BeginParamGesture(int index) {
  if (mHost) mHost->BeginEdit(index);
}

void IPluginVST3::NotifyHostParamValue(int index, double normalized) {
  if (mHost) mHost->PerformEdit(index, normalized);
}

void IPluginVST3::EndParamGesture(int index) {
  if (mHost) mHost->EndEdit(index);
}

void IPluginVST3::NotifyHostDisplayChanged() {
  if (mHost) mHost->ValuesChanged();
}

void IPluginVST3::ReadTransport(ITransportInfo& info) {
  const v3::ProcessContext* t = mContext;
  constexpr uint32_t wanted =
      v3::kProjectTimeMusicValid | v3::kTempoValid | v3::kBarPositionValid | v3::kCycleValid | v3::kTimeSigValid;
  if (!t || !(t->state & wanted)) return;
  // The same rules as the VST 2.4 time info: what is not finite is not given.
  auto finite = [](double v) { return std::isfinite(v); };
  const bool tempoValid = (t->state & v3::kTempoValid) && finite(t->tempo) && t->tempo > 0.0;
  info.samplePos = static_cast<double>(t->projectTimeSamples + mContextOffset);
  if ((t->state & v3::kProjectTimeMusicValid) && finite(t->projectTimeMusic) && t->projectTimeMusic >= 0.0) {
    double ppq = t->projectTimeMusic;
    // A block split at an automation point starts later than the context says.
    if (mContextOffset > 0 && tempoValid && t->sampleRate > 0.0)
      ppq += mContextOffset * (t->tempo / 60.0) / t->sampleRate;
    info.ppqPos = ppq;
  }
  if (tempoValid) info.tempo = t->tempo;
  if ((t->state & v3::kBarPositionValid) && finite(t->barPositionMusic) && t->barPositionMusic >= 0.0)
    info.lastBar = t->barPositionMusic;
  if ((t->state & v3::kCycleValid) && finite(t->cycleStartMusic) && finite(t->cycleEndMusic) &&
      t->cycleStartMusic >= 0.0 && t->cycleEndMusic >= 0.0) {
    info.cycleStart = t->cycleStartMusic;
    info.cycleEnd = t->cycleEndMusic;
  }
  if ((t->state & v3::kTimeSigValid) && t->timeSigNumerator > 0 && t->timeSigDenominator > 0) {
    info.numerator = t->timeSigNumerator;
    info.denominator = t->timeSigDenominator;
  }
  info.transportIsRunning = (t->state & v3::kPlaying) != 0;
  info.transportLoopEnabled = (t->state & v3::kCycleActive) != 0;
}

bool IPluginVST3::ResizeEditor(int width, int height) {
  if (mHost && !mHost->EditorSizeChanged(width, height)) return false;
  mEditorWidth = width;
  mEditorHeight = height;
  EditorResized();
  return true;
}

void IPluginVST3::AttachEditor(IGraphics* editor) {
  IPluginBase::AttachEditor(editor);
  if (!editor) return;
  editor->PrepDraw();
  mEditorWidth = editor->Width();
  mEditorHeight = editor->Height();
}

// VST 3 has no MIDI output for an effect of this kind.
bool IPluginVST3::SendMidiToHost(const IMidiMessage&) { return false; }

void IPluginVST3::SetHostName(const char* name) { SetHostIdentity(HostKindFromName(name), 0); }
