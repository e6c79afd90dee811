#include "dsp/BrigadeLine.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void* DefaultAllocate(std::size_t count, std::size_t size) { return std::calloc(count, size); }
void DefaultRelease(void* cells) { std::free(cells); }

inline double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

inline void Push(double* h, double v) {
  h[0] = h[1];
  h[1] = h[2];
  h[2] = h[3];
  h[3] = v;
}

}  // namespace

BrigadeLine::BrigadeLine()
    : bufferLength(0),
      bufferL(nullptr),
      bufferR(nullptr),
      writeIndex(0),
      stageCount(0),
      clockPhase(0),
      clockStep(1),
      inverseClockStep(1),
      inputHistoryL{},
      inputHistoryR{},
      outputHistoryL{},
      outputHistoryR{},
      freeze(false),
      feedback(0),
      quality(1),
      dryGain(0),
      wetGain(0),
      allocateCells(&DefaultAllocate),
      releaseCells(&DefaultRelease) {}

BrigadeLine::~BrigadeLine() { ReleaseBuffers(); }

void BrigadeLine::ReleaseBuffers() {
  if (bufferL) releaseCells(bufferL);
  if (bufferR) releaseCells(bufferR);
  bufferL = bufferR = nullptr;
  bufferLength = 0;
}

bool BrigadeLine::Rebuild(double sampleRate, int rangeIndex) {
  ReleaseBuffers();
  stageCount = 0;
  writeIndex = 0;
  clockPhase = 0;
  clockStep = 1;
  inverseClockStep = 1;
  if (!qvmath::IsFinite(sampleRate) || !(sampleRate >= 0.5)) return false;
  const double cells = std::trunc(sampleRate * 2000 / 1000);
  if (cells > static_cast<double>(INT32_MAX)) return false;
  const auto length = static_cast<std::int32_t>(cells);
  // On 32-bit targets the byte count itself may not fit.
  if (static_cast<std::size_t>(length) > SIZE_MAX / sizeof(double)) return false;
  bufferL = static_cast<double*>(allocateCells(static_cast<std::size_t>(length), sizeof(double)));
  bufferR = static_cast<double*>(allocateCells(static_cast<std::size_t>(length), sizeof(double)));
  if (!bufferL || !bufferR) {
    ReleaseBuffers();
    return false;
  }
  bufferLength = length;
  SetRangeIndex(rangeIndex);
  inputFilterL.SetSampleRate(sampleRate);
  inputFilterR.SetSampleRate(sampleRate);
  outputFilterL.SetSampleRate(sampleRate);
  outputFilterR.SetSampleRate(sampleRate);
  return true;
}

void BrigadeLine::SetRangeIndex(int rangeIndex) {
  const int shift = rangeIndex < 0 ? 0 : 2 * rangeIndex;
  SetStageCount(shift >= 31 ? 0 : bufferLength >> shift);
}

void BrigadeLine::SetStageCount(int count) {
  // No stages would read the cell about to be overwritten, i.e. the longest
  // delay instead of the shortest.
  if (count < 1) count = 1;
  if (count > bufferLength) count = bufferLength;
  stageCount = count;
}

void BrigadeLine::SetClockStep(double step) {
  if (!(step >= 0.125)) step = step < 0.125 ? 0.125 : 1.0;
  if (step > 1) step = 1;
  clockStep = step;
  inverseClockStep = 1 / step;
}

void BrigadeLine::SetFeedback(double value) {
  if (qvmath::IsFinite(value)) feedback = value;
}

void BrigadeLine::SetQuality(double value) {
  if (!qvmath::IsFinite(value)) return;
  quality = value;
  const double cutoff = value * 6000;
  const double q = LowpassBiquad::kMinQ + (LowpassBiquad::kMaxQ - LowpassBiquad::kMinQ) * (1 - value);
  inputFilterL.SetParameters(cutoff, q);
  inputFilterR.SetParameters(cutoff, q);
  outputFilterL.SetParameters(cutoff, q);
  outputFilterR.SetParameters(cutoff, q);
}

void BrigadeLine::SetMix(double mix) {
  if (!qvmath::IsFinite(mix)) return;
  mix = Clamp(mix, 0, 1);
  SetGains(std::sqrt(1 - mix), std::sqrt(mix));
}

void BrigadeLine::SetGains(double dry, double wet) {
  if (qvmath::IsFinite(dry)) dryGain = dry;
  if (qvmath::IsFinite(wet)) wetGain = wet;
}

void BrigadeLine::Process(double inL, double inR, double& outL, double& outR) {
  ProcessBlock(&inL, &inR, &outL, &outR, 1);
}

void BrigadeLine::ProcessBlock(const double* inL, const double* inR, double* outL, double* outR,
                               int frames) {
  if (bufferLength <= 0 || !bufferL || !bufferR) return;
  // Work on local copies: the cell stores could otherwise alias every member
  // and force the filter state through memory on each tick.
  double* const cellsL = bufferL;
  double* const cellsR = bufferR;
  const std::int32_t length = bufferLength;
  const std::int32_t stages = stageCount;
  const double step = clockStep;
  const double inverseStep = inverseClockStep;
  const double fb = feedback;
  const double dry = dryGain;
  const double wet = wetGain;
  const bool frozen = freeze;
  const double limit = 3 * quality;
  std::int32_t w = writeIndex;
  double phase = clockPhase;
  LowpassBiquad fInL = inputFilterL, fInR = inputFilterR;
  LowpassBiquad fOutL = outputFilterL, fOutR = outputFilterR;
  double hInL[4] = {inputHistoryL[0], inputHistoryL[1], inputHistoryL[2], inputHistoryL[3]};
  double hInR[4] = {inputHistoryR[0], inputHistoryR[1], inputHistoryR[2], inputHistoryR[3]};
  double hOutL[4] = {outputHistoryL[0], outputHistoryL[1], outputHistoryL[2], outputHistoryL[3]};
  double hOutR[4] = {outputHistoryR[0], outputHistoryR[1], outputHistoryR[2], outputHistoryR[3]};

  for (int i = 0; i < frames; ++i) {
    const double xL = inL[i];
    const double xR = inR[i];
    Push(hInL, fInL.Process(xL));
    Push(hInR, fInR.Process(xR));
    while (phase < 1) {
      if (--w < 0) w = length - 1;
      std::int32_t r = w + stages;
      if (r >= length) r -= length;
      const double sL = CatmullRom(hInL, phase);
      const double sR = CatmullRom(hInR, phase);
      const double yL = fOutL.Process(cellsL[r]);
      const double yR = fOutR.Process(cellsR[r]);
      Push(hOutL, yL);
      Push(hOutR, yR);
      if (frozen) {
        cellsL[w] = Clamp(yL, -limit, limit);
        cellsR[w] = Clamp(yR, -limit, limit);
      } else {
        cellsL[w] = sL + fb * Clamp(yL, -3, 3);
        cellsR[w] = sR + fb * Clamp(yR, -3, 3);
      }
      phase += step;
    }
    phase -= 1;
    const double t = 1 - phase * inverseStep;
    // The filters already drop a NaN or infinite input; the dry path must too,
    // or one bad sample would reach the host unfiltered.
    const double dL = qvmath::IsFinite(xL) ? xL : 0.0;
    const double dR = qvmath::IsFinite(xR) ? xR : 0.0;
    outL[i] = CatmullRom(hOutL, t) * wet + dL * dry;
    outR[i] = CatmullRom(hOutR, t) * wet + dR * dry;
  }

  writeIndex = w;
  clockPhase = phase;
  inputFilterL = fInL;
  inputFilterR = fInR;
  outputFilterL = fOutL;
  outputFilterR = fOutR;
  for (int k = 0; k < 4; ++k) {
    inputHistoryL[k] = hInL[k];
    inputHistoryR[k] = hInR[k];
    outputHistoryL[k] = hOutL[k];
    outputHistoryR[k] = hOutR[k];
  }
}
