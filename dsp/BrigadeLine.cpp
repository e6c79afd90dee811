#include "dsp/BrigadeLine.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

void* DefaultAllocate(std::size_t count, std::size_t size) { return std::calloc(count, size); }
void DefaultRelease(void* cells) { std::free(cells); }

inline double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Zeroed memory is often mapped only when first written; write a zero into
// every page now, off the audio thread.
void TouchPages(double* cells, std::int32_t count) {
  constexpr std::int32_t kCellsPerPage = 4096 / sizeof(double);
  volatile double* const v = cells;
  for (std::int32_t i = 0; i < count; i += kCellsPerPage) v[i] = 0.0;
  if (count > 0) v[count - 1] = 0.0;
}

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
  if (!qvmath::IsFinite(sampleRate) || !(sampleRate >= 0.5) || sampleRate > kMaxSampleRate) return false;
  // At most 2,000,000 cells: w + stages stays far below 2^31.
  const auto length = static_cast<std::int32_t>(std::trunc(sampleRate * 2000 / 1000));
  bufferL = static_cast<double*>(allocateCells(static_cast<std::size_t>(length), sizeof(double)));
  bufferR = static_cast<double*>(allocateCells(static_cast<std::size_t>(length), sizeof(double)));
  if (!bufferL || !bufferR) {
    ReleaseBuffers();
    return false;
  }
  TouchPages(bufferL, length);
  TouchPages(bufferR, length);
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

void BrigadeLine::ProcessBlockPlain(const double* inL, const double* inR, double* outL,
                                    double* outR, int frames) {
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

#if defined(__SSE2__)

namespace {

// Lane 0 is the left channel, lane 1 the right. Every operation below is the
// plain form's, in the same order, so both lanes round exactly as it does.
inline __m128d Pack(double l, double r) { return _mm_set_pd(r, l); }
inline __m128d Load(const double* l, const double* r) {
  return _mm_loadh_pd(_mm_load_sd(l), r);
}
inline void Store(__m128d v, double* l, double* r) {
  _mm_storel_pd(l, v);
  _mm_storeh_pd(r, v);
}
inline __m128d FiniteMask(__m128d v) {
  return _mm_cmpeq_pd(_mm_sub_pd(v, v), _mm_setzero_pd());
}
// min(hi, v) then max(lo, .): "v < lo ? lo : v > hi ? hi : v", NaN passing.
inline __m128d ClampPair(__m128d v, __m128d lo, __m128d hi) {
  return _mm_max_pd(lo, _mm_min_pd(hi, v));
}

struct BiquadPair {
  __m128d a1, a2, b0, b1, x1, x2, y1, y2, dither;

  BiquadPair(const LowpassBiquad& l, const LowpassBiquad& r)
      : a1(Pack(l.a1, r.a1)), a2(Pack(l.a2, r.a2)), b0(Pack(l.b0, r.b0)), b1(Pack(l.b1, r.b1)),
        x1(Pack(l.x1, r.x1)), x2(Pack(l.x2, r.x2)), y1(Pack(l.y1, r.y1)), y2(Pack(l.y2, r.y2)),
        dither(Pack(l.dither, r.dither)) {}

  void Save(LowpassBiquad& l, LowpassBiquad& r) const {
    Store(x1, &l.x1, &r.x1);
    Store(x2, &l.x2, &r.x2);
    Store(y1, &l.y1, &r.y1);
    Store(y2, &l.y2, &r.y2);
    Store(dither, &l.dither, &r.dither);
  }

  __m128d Step(__m128d x) {
    x = _mm_and_pd(FiniteMask(x), _mm_add_pd(x, dither));
    x1 = _mm_and_pd(FiniteMask(x1), _mm_add_pd(x1, dither));
    x2 = _mm_and_pd(FiniteMask(x2), _mm_add_pd(x2, dither));
    y1 = _mm_and_pd(FiniteMask(y1), _mm_add_pd(y1, dither));
    y2 = _mm_and_pd(FiniteMask(y2), _mm_add_pd(y2, dither));
    __m128d y = _mm_mul_pd(b0, _mm_add_pd(x, x2));
    y = _mm_add_pd(y, _mm_mul_pd(b1, x1));
    y = _mm_add_pd(y, _mm_mul_pd(a1, y1));
    y = _mm_add_pd(y, _mm_mul_pd(a2, y2));
    dither = _mm_xor_pd(dither, _mm_set1_pd(-0.0));
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

struct HistoryPair {
  __m128d h0, h1, h2, h3;

  HistoryPair(const double* l, const double* r)
      : h0(Pack(l[0], r[0])), h1(Pack(l[1], r[1])), h2(Pack(l[2], r[2])), h3(Pack(l[3], r[3])) {}

  void Save(double* l, double* r) const {
    Store(h0, &l[0], &r[0]);
    Store(h1, &l[1], &r[1]);
    Store(h2, &l[2], &r[2]);
    Store(h3, &l[3], &r[3]);
  }

  void Push(__m128d v) {
    h0 = h1;
    h1 = h2;
    h2 = h3;
    h3 = v;
  }

  __m128d CatmullRom(__m128d u) const {
    const __m128d half = _mm_set1_pd(0.5);
    __m128d v = _mm_add_pd(h1, _mm_mul_pd(_mm_mul_pd(half, u), _mm_sub_pd(h2, h0)));
    const __m128d uu = _mm_mul_pd(u, u);
    const __m128d second =
        _mm_sub_pd(_mm_add_pd(_mm_sub_pd(h0, _mm_mul_pd(_mm_set1_pd(2.5), h1)),
                              _mm_mul_pd(_mm_set1_pd(2.0), h2)),
                   _mm_mul_pd(half, h3));
    v = _mm_add_pd(v, _mm_mul_pd(uu, second));
    const __m128d third = _mm_add_pd(_mm_mul_pd(half, _mm_sub_pd(h3, h0)),
                                     _mm_mul_pd(_mm_set1_pd(1.5), _mm_sub_pd(h1, h2)));
    return _mm_add_pd(v, _mm_mul_pd(_mm_mul_pd(uu, u), third));
  }
};

}  // namespace

void BrigadeLine::ProcessBlock(const double* inL, const double* inR, double* outL, double* outR,
                               int frames) {
  if (bufferLength <= 0 || !bufferL || !bufferR) return;
  double* const cellsL = bufferL;
  double* const cellsR = bufferR;
  const std::int32_t length = bufferLength;
  const std::int32_t stages = stageCount;
  const double step = clockStep;
  const double inverseStep = inverseClockStep;
  const bool frozen = freeze;
  const __m128d fb = _mm_set1_pd(feedback);
  const __m128d dry = _mm_set1_pd(dryGain);
  const __m128d wet = _mm_set1_pd(wetGain);
  const __m128d limitHi = _mm_set1_pd(frozen ? 3 * quality : 3.0);
  const __m128d limitLo = _mm_set1_pd(frozen ? -(3 * quality) : -3.0);
  std::int32_t w = writeIndex;
  double phase = clockPhase;
  BiquadPair inFilter(inputFilterL, inputFilterR);
  BiquadPair outFilter(outputFilterL, outputFilterR);
  HistoryPair inHistory(inputHistoryL, inputHistoryR);
  HistoryPair outHistory(outputHistoryL, outputHistoryR);

  for (int i = 0; i < frames; ++i) {
    const __m128d x = Load(&inL[i], &inR[i]);
    inHistory.Push(inFilter.Step(x));
    while (phase < 1) {
      if (--w < 0) w = length - 1;
      std::int32_t r = w + stages;
      if (r >= length) r -= length;
      const __m128d s = inHistory.CatmullRom(_mm_set1_pd(phase));
      const __m128d y = outFilter.Step(Load(&cellsL[r], &cellsR[r]));
      outHistory.Push(y);
      const __m128d limited = ClampPair(y, limitLo, limitHi);
      Store(frozen ? limited : _mm_add_pd(s, _mm_mul_pd(fb, limited)), &cellsL[w], &cellsR[w]);
      phase += step;
    }
    phase -= 1;
    const double t = 1 - phase * inverseStep;
    const __m128d d = _mm_and_pd(FiniteMask(x), x);
    const __m128d out = _mm_add_pd(_mm_mul_pd(outHistory.CatmullRom(_mm_set1_pd(t)), wet),
                                   _mm_mul_pd(d, dry));
    Store(out, &outL[i], &outR[i]);
  }

  writeIndex = w;
  clockPhase = phase;
  inFilter.Save(inputFilterL, inputFilterR);
  outFilter.Save(outputFilterL, outputFilterR);
  inHistory.Save(inputHistoryL, inputHistoryR);
  outHistory.Save(outputHistoryL, outputHistoryR);
}

#else

void BrigadeLine::ProcessBlock(const double* inL, const double* inR, double* outL, double* outR,
                               int frames) {
  ProcessBlockPlain(inL, inR, outL, outR, frames);
}

#endif
