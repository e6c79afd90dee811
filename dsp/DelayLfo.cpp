#include "dsp/DelayLfo.h"

#include <cmath>

#include "dsp/PortableMath.h"

using qvmath::kTwoPi;

namespace {
bool Usable(double rate) { return rate > 0 && qvmath::IsFinite(rate); }
}  // namespace

DelayLfo::DelayLfo()
    : value(0),
      sampleRate(44100.0),
      controlRate(44100.0 / 44),
      syncOn(false),
      syncIndex(10),
      phase(-kTwoPi),
      increment(0),
      speedHz(0.15) {}

double DelayLfo::Tick() {
  // A bad speed or rate must not leave the sweep stuck on NaN.
  if (!qvmath::IsFinite(phase)) phase = -kTwoPi;
  value = (qvmath::Cos(phase) + 1) / 2;
  phase += increment;
  if (phase >= kTwoPi) phase = -kTwoPi;
  return value;
}

bool DelayLfo::SetRate(double newSampleRate, int ticksPerControl) {
  if (newSampleRate == sampleRate) return false;
  sampleRate = newSampleRate;
  // Below 1 kHz there are no whole milliseconds per tick; the product then
  // ticks every sample, so count it as one.
  const double previousControlRate = controlRate;
  controlRate = sampleRate / (ticksPerControl < 1 ? 1 : ticksPerControl);
  phase = -kTwoPi;
  // An increment made at an unusable rate (NaN, 0, negative) is worthless: a
  // usable rate brings the free-running one back at once, resume or not.
  // Otherwise it follows from the next speed or sync update, as it always has.
  if (!syncOn && !Usable(previousControlRate) && Usable(controlRate)) increment = speedHz * kTwoPi / controlRate;
  return true;
}

void DelayLfo::SetSpeedHz(double hz) {
  if (!qvmath::IsFinite(hz)) return;
  speedHz = hz;
  increment = speedHz * kTwoPi / controlRate;
  syncIndex = SyncIndexForSpeed(hz);
}

void DelayLfo::SetSyncOn(bool on) {
  syncOn = on;
  if (!on) increment = speedHz * kTwoPi / controlRate;
}

int DelayLfo::SyncIndexForSpeed(double hz) {
  double position = (hz - 0.001) / (25 - 0.001);
  if (!(position > 0)) position = 0;
  if (position > 1) position = 1;
  return static_cast<int>(qvmath::Round(19 * std::sqrt(position)));
}

void DelayLfo::SyncLfoToHost(double tempo, double ppqPos, bool transportIsRunning,
                             const double* divisionQuarterNotes) {
  if (!divisionQuarterNotes) return;
  tempo = qvmath::Round(tempo * 1000) * 0.001;
  if (!(tempo > 0) || !qvmath::IsFinite(tempo)) tempo = 120;
  const int row = syncIndex < 0 ? 0 : (syncIndex >= kSyncRows ? kSyncRows - 1 : syncIndex);
  const double beats = divisionQuarterNotes[row];
  if (!(beats > 0) || !qvmath::IsFinite(beats)) return;
  const double sixteenths = beats * 4;
  increment = tempo * kTwoPi / (sixteenths * 15 * controlRate);
  if (!transportIsRunning) return;
  const double e = phase * sixteenths / kTwoPi;
  const double n = std::floor(e + 0.5);
  const double s = ppqPos * 4;
  const double f = s - std::floor(s);
  double g = f + n;
  if (e < n) g -= 1;
  const double target = g * kTwoPi / sixteenths;
  // Never backwards: a host behind the LFO leaves it alone. NaN positions
  // fail the comparison and change nothing.
  if (target > phase) phase = target;
}

void DelayLfo::RestartPhase() { phase = -kTwoPi; }
