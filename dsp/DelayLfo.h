#pragma once

// Cosine LFO that sweeps the line's clock. It runs at the control rate (about
// one tick per millisecond) and can follow the host's tempo.
class DelayLfo {
 public:
  static constexpr int kSyncRows = 20;

  DelayLfo();

  // Control tick: the value for the current phase, then the phase advances.
  double Tick();

  // Takes a new sample rate; on an actual change the control rate is derived
  // again and the phase restarts. Returns whether the rate changed. The
  // increment is left alone (it follows from the next speed or sync update),
  // unless the previous rate was unusable: then the free-running increment is
  // made again at once.
  bool SetRate(double newSampleRate, int ticksPerControl);

  // Free-running speed in Hz; also picks the sync row from the knob position.
  void SetSpeedHz(double hz);
  // Switching sync off restores the free-running increment at once.
  void SetSyncOn(bool on);
  // Tempo-synced increment and, while the transport runs, forward-only phase
  // catch-up. divisionQuarterNotes holds the cycle length of each of the
  // kSyncRows rows in quarter notes.
  void SyncLfoToHost(double tempo, double ppqPos, bool transportIsRunning,
                     const double* divisionQuarterNotes);
  void RestartPhase();

  // Row for an "LFOSpeed" value: its knob position under the parameter's
  // square-law shape, spread over the rows.
  static int SyncIndexForSpeed(double hz);

  double value;
  double sampleRate;
  double controlRate;
  bool syncOn;
  int syncIndex;
  double phase;
  double increment;
  double speedHz;
};
