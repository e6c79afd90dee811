#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp/LowpassBiquad.h"

// Stereo bucket-brigade delay: a fixed chain of cells clocked one to eight
// times per sample, with filtered cubic resampling on both sides.
class BrigadeLine {
 public:
  using CellAllocator = void* (*)(std::size_t count, std::size_t size);
  using CellRelease = void (*)(void* cells);

  BrigadeLine();
  ~BrigadeLine();
  BrigadeLine(const BrigadeLine&) = delete;
  BrigadeLine& operator=(const BrigadeLine&) = delete;

  // For a new sample rate: frees the cells, allocates two seconds of zeroed
  // cells per channel, resets indices and clock and gives the filters the new
  // rate. The histories survive. Every page of the cells is written here, so
  // the audio thread takes no page faults on the first sweep. Returns false,
  // leaving no cells and bufferLength 0, for rates that are not finite, below
  // 0.5 Hz or above kMaxSampleRate, and when allocation fails.
  bool Rebuild(double sampleRate, int rangeIndex);
  // 768 kHz is the highest rate interfaces offer; above 1 MHz the cells
  // would not fit comfortably, and with this bound no cell index can come
  // near the 32-bit limit.
  static constexpr double kMaxSampleRate = 1000000.0;
  bool IsReady() const { return bufferLength > 0; }

  // stageCount = bufferLength >> 2 * rangeIndex, kept within 1 ... bufferLength.
  void SetRangeIndex(int rangeIndex);
  void SetStageCount(int count);
  // Samples per tick, limited to 0.125 ... 1 (NaN counts as 1) so that a
  // frame always runs one to eight ticks.
  void SetClockStep(double step);
  // The clock step for a delay position p in 0 ... 1.
  static double ClockStepForPosition(double p) { return 0.125 + 0.875 * p; }
  // The clock step once per control tick: the Time position blended with the
  // LFO's exponential sweep by the depth. Uses the portable 2^x, so the sweep
  // renders alike on every target.
  static double ModulatedClockStep(double timePosition, double depth, double lfoValue) {
    return ClockStepForPosition(timePosition +
                                depth * (qvmath::Exp2(lfoValue) - 1 - timePosition));
  }

  // Non-finite values are ignored by these setters.
  void SetFeedback(double value);
  // Also sets all four filters: cutoff quality * 6000 Hz, resonance rising as
  // quality falls.
  void SetQuality(double value);
  void SetMix(double mix);  // equal-power dry and wet gains
  void SetGains(double dry, double wet);
  void SetFreeze(bool on) { freeze = on; }
  bool Freeze() const { return freeze; }

  // One frame. Without cells (no successful Rebuild) the outputs are not
  // written.
  void Process(double inL, double inR, double& outL, double& outR);
  // Frames in a row with unchanged controls; same result as Process per frame.
  // Cheaper per frame than Process: the product should call it for the run of
  // frames up to its next control tick. Runs both channels in one SSE2
  // register where available, bit-identical to ProcessBlockPlain.
  void ProcessBlock(const double* inL, const double* inR, double* outL, double* outR,
                    int frames);
  // The same arithmetic one channel at a time: the reference for the packed
  // form, and the path on targets without SSE2.
  void ProcessBlockPlain(const double* inL, const double* inR, double* outL, double* outR,
                         int frames);

  static double CatmullRom(const double* h, double u) {
    return h[1] + 0.5 * u * (h[2] - h[0]) +
           u * u * (h[0] - 2.5 * h[1] + 2 * h[2] - 0.5 * h[3]) +
           u * u * u * (0.5 * (h[3] - h[0]) + 1.5 * (h[1] - h[2]));
  }

  std::int32_t bufferLength;
  double* bufferL;
  double* bufferR;
  std::int32_t writeIndex;
  std::int32_t stageCount;
  double clockPhase;
  double clockStep;
  double inverseClockStep;
  double inputHistoryL[4];
  double inputHistoryR[4];
  double outputHistoryL[4];
  double outputHistoryR[4];
  bool freeze;
  LowpassBiquad inputFilterL;
  LowpassBiquad inputFilterR;
  LowpassBiquad outputFilterL;
  LowpassBiquad outputFilterR;

  double feedback;
  double quality;
  double dryGain;
  double wetGain;

  // Fallible allocation of zeroed cells (calloc by default); tests replace it
  // to exercise allocation failure.
  CellAllocator allocateCells;
  CellRelease releaseCells;

 private:
  void ReleaseBuffers();
};
