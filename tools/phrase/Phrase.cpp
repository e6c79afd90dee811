#include "tools/phrase/Phrase.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kTempo = 120.0;
constexpr int kBars = 4;

// A fixed generator, so the phrase is the same on every machine and run.
class Noise {
 public:
  explicit Noise(uint32_t seed) : mState(seed ? seed : 1) {}
  double Next() {  // -1 .. 1
    mState ^= mState << 13;
    mState ^= mState >> 17;
    mState ^= mState << 5;
    return mState / 2147483648.0 - 1.0;
  }

 private:
  uint32_t mState;
};

struct Mix {
  std::vector<double> left, right;
  void Add(size_t at, const std::vector<double>& sound, double pan) {  // pan -1 (left) .. 1 (right)
    double gl = std::cos((pan + 1) * kPi / 4), gr = std::sin((pan + 1) * kPi / 4);
    for (size_t i = 0; i < sound.size() && at + i < left.size(); ++i) {
      left[at + i] += gl * sound[i];
      right[at + i] += gr * sound[i];
    }
  }
};

double MidiHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// Karplus-Strong: a noise burst circulating through a delay line whose
// two-point average loses the highs first, as a real string does.
std::vector<double> Pluck(double hz, double seconds, unsigned rate, Noise& noise) {
  size_t length = static_cast<size_t>(seconds * rate);
  double period = rate / hz;
  size_t n = static_cast<size_t>(period);
  double frac = period - n;  // tuned with a one-pole allpass
  double c = (1 - frac) / (1 + frac);
  std::vector<double> line(n);
  double soft = 0;
  for (double& x : line) x = soft = 0.5 * soft + 0.5 * noise.Next();  // a softer pick
  std::vector<double> out(length);
  double prev = 0, apIn = 0, apOut = 0;
  for (size_t i = 0; i < length; ++i) {
    size_t k = i % n;
    double x = line[k];
    double avg = 0.4985 * (x + prev);
    prev = x;
    apOut = c * avg + apIn - c * apOut;
    apIn = avg;
    line[k] = apOut;
    out[i] = x;
  }
  size_t fade = std::min<size_t>(length, rate / 50);
  for (size_t i = 0; i < fade; ++i) out[length - 1 - i] *= static_cast<double>(i) / fade;
  return out;
}

std::vector<double> Kick(unsigned rate) {
  std::vector<double> out(static_cast<size_t>(0.45 * rate));
  double phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    double hz = 48 + 110 * std::exp(-t * 30);
    phase += 2 * kPi * hz / rate;
    out[i] = 0.9 * std::sin(phase) * std::exp(-t * 7) + (t < 0.002 ? 0.3 * (1 - t / 0.002) : 0.0);
  }
  return out;
}

std::vector<double> Snare(unsigned rate, Noise& noise) {
  std::vector<double> out(static_cast<size_t>(0.25 * rate));
  double lp = 0, phase = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    double n = noise.Next();
    lp += 0.3 * (n - lp);
    phase += 2 * kPi * 185 / rate;
    out[i] = 0.45 * (n - 0.6 * lp) * std::exp(-t * 18) + 0.35 * std::sin(phase) * std::exp(-t * 30);
  }
  return out;
}

std::vector<double> Hat(unsigned rate, Noise& noise, double level) {
  std::vector<double> out(static_cast<size_t>(0.06 * rate));
  double prev = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    double t = static_cast<double>(i) / rate;
    double n = noise.Next();
    out[i] = level * (n - prev) * std::exp(-t * 70);  // first difference: only the hiss
    prev = n;
  }
  return out;
}
}  // namespace

WavAudio MakePhrase(unsigned rate) {
  const double beat = 60.0 / kTempo;
  const size_t total = static_cast<size_t>(kBars * 4 * beat * rate + 0.5 * rate);
  Mix mix{std::vector<double>(total), std::vector<double>(total)};
  Noise noise(0x51A7u);
  auto at = [&](double beats) { return static_cast<size_t>(beats * beat * rate); };

  // Am, F, C, G: root, fifth, octave, tenth, and back down, in eighths.
  const int chords[kBars][3] = {{57, 60, 64}, {53, 57, 60}, {48, 52, 55}, {55, 59, 62}};
  for (int bar = 0; bar < kBars - 1; ++bar) {
    const int* ch = chords[bar];
    const int pattern[8] = {ch[0], ch[2], ch[0] + 12, ch[1] + 12, ch[2] + 12, ch[1] + 12, ch[0] + 12, ch[2]};
    for (int step = 0; step < 8; ++step)
      mix.Add(at(bar * 4 + step * 0.5), Pluck(MidiHz(pattern[step]), 1.4, rate, noise),
              step % 2 ? 0.35 : -0.35);
  }
  // The last bar: one strum, low to high, then silence.
  const int* last = chords[kBars - 1];
  const int strum[5] = {last[0] - 12, last[0], last[1], last[2], last[0] + 12};
  for (int i = 0; i < 5; ++i)
    mix.Add(at((kBars - 1) * 4) + static_cast<size_t>(i * 0.018 * rate), Pluck(MidiHz(strum[i]), 2.0, rate, noise),
            -0.4 + 0.2 * i);

  std::vector<double> kick = Kick(rate);
  for (int bar = 0; bar < kBars - 1; ++bar) {
    for (double b : {0.0, 2.0, 2.5}) mix.Add(at(bar * 4 + b), kick, 0.0);
    for (double b : {1.0, 3.0}) mix.Add(at(bar * 4 + b), Snare(rate, noise), 0.1);
    for (int e = 0; e < 8; ++e) mix.Add(at(bar * 4 + e * 0.5), Hat(rate, noise, e % 2 ? 0.18 : 0.3), 0.45);
  }
  mix.Add(at((kBars - 1) * 4), kick, 0.0);

  double peak = 0;
  for (size_t i = 0; i < total; ++i) peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
  const double gain = peak > 0 ? 0.5 / peak : 1.0;  // -6 dBFS: room for the resonant presets
  WavAudio audio;
  audio.sampleRate = rate;
  audio.channels = {std::move(mix.left), std::move(mix.right)};
  for (auto& channel : audio.channels)
    for (double& x : channel) x *= gain;
  return audio;
}
