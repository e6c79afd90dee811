#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/qvhost/Console.h"
#include "tools/qvhost/QvHostCommands.h"
#include "tools/qvhost/QvHostOptions.h"
#include "tools/qvhost/QvHostSession.h"
#include "tools/qvhost/WavFile.h"

namespace {
// FNV-1a over the output samples as processed (interleaved, little-endian),
// so two renders can be compared to the bit without keeping either.
class Checksum {
 public:
  template <typename T>
  void Add(T sample) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &sample, sizeof(T));
    for (unsigned char b : bytes) mHash = (mHash ^ b) * 0x100000001B3ull;
  }
  unsigned long long Value() const { return mHash; }

 private:
  unsigned long long mHash = 0xCBF29CE484222325ull;
};

int Error(const std::string& message) {
  std::fprintf(stderr, "qvhost: %s\n", message.c_str());
  return 1;
}

// What a playing DAW transport reports, starting at the first sample in 4/4.
void StartTransport(TestHost& host, double rate, double tempo) {
  host.timeInfoAvailable = true;
  host.advanceTransport = true;
  host.timeInfo = VstTimeInfo{};
  host.timeInfo.sampleRate = rate;
  host.timeInfo.tempo = tempo;
  host.timeInfo.timeSigNumerator = 4;
  host.timeInfo.timeSigDenominator = 4;
  host.timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
}

template <typename T>
void Fill(std::vector<T>* in, const WavAudio& audio, size_t total) {
  for (int c = 0; c < 2; ++c) {
    // Mono files feed both inputs.
    const std::vector<double>& src = audio.channels[audio.channels.size() > 1 ? c : 0];
    in[c].assign(total, T(0));
    for (size_t i = 0; i < src.size(); ++i) in[c][i] = static_cast<T>(src[i]);
  }
}
}  // namespace

int RunRender(VstEntryProc entry, const std::string& pluginPath, const std::vector<std::string>& args) {
  HostOptions o;
  std::string error;
  OptionSet allowed{{"program", "param", "tempo", "rate", "block", "double", "tail", "load", "save"}};
  if (!ParseHostOptions(args, allowed, &o, &error)) return UsageError(error);
  if (o.positional.size() != 2) return UsageError("render takes an input and an output WAV file");
  const std::string& inPath = o.positional[0];
  const std::string& outPath = o.positional[1];

  WavAudio input;
  if (!ReadWavFile(inPath, &input, &error)) return Error(inPath + ": " + error);
  const double rate = o.rate > 0 ? o.rate : input.sampleRate;
  if (rate < 8000 || rate > 768000)
    return Error(inPath + ": sample rate " + std::to_string(input.sampleRate) +
                 " Hz is outside 8000..768000; give --rate to process it as another rate");
  const size_t tailFrames = static_cast<size_t>(std::llround(o.tail * rate));
  const size_t total = input.Frames() + tailFrames;

  TestHost host;
  if (!host.Create(entry)) return Error(pluginPath + ": the entry point made no instance");
  AEffect* e = host.Effect();
  if (e->numOutputs != 2 || e->numInputs < 1 || e->numInputs > 2)
    return Error(pluginPath + ": " + std::to_string(e->numInputs) + " inputs and " + std::to_string(e->numOutputs) +
                 " outputs; qvhost renders through stereo effects (1 or 2 inputs, 2 outputs)");
  if (o.doublePrecision && !(e->flags & effFlagsCanDoubleReplacing))
    return Error(pluginPath + " does not process double precision");
  if (!o.doublePrecision && !(e->flags & effFlagsCanReplacing))
    return Error(pluginPath + " has no replacing single-precision process");

  // Restore state between open and resume, as a DAW does when it loads a project.
  host.Open();
  if (!ApplyStateOptions(host, o, &error)) return Error(error);
  if (!o.save.empty() && !SavePresetFile(host, o.save, &error)) return Error(error);
  StartTransport(host, rate, o.tempo);
  host.SetSampleRate(rate);
  host.SetBlockSize(o.block);
  host.Dispatch(effSetProcessPrecision, 0, o.doublePrecision ? 1 : 0);
  host.Resume();

  ProgressBar bar(StderrIsTerminal() && total >= static_cast<size_t>(rate) * 10);
  host.progress = [&bar](size_t done, size_t all) { bar.Update(done, all); };
  WavAudio output;
  output.sampleRate = static_cast<uint32_t>(std::lround(rate));
  output.format = WavSampleFormat::Float32;
  output.channels.assign(2, std::vector<double>(total));
  Checksum sum;
  if (o.doublePrecision) {
    std::vector<double> in[2], out[2];
    Fill(in, input, total);
    host.ProcessDouble(in, out, o.block);
    for (size_t i = 0; i < total; ++i)
      for (int c = 0; c < 2; ++c) sum.Add(output.channels[c][i] = out[c][i]);
  } else {
    std::vector<float> in[2], out[2];
    Fill(in, input, total);
    host.ProcessReplacing(in, out, o.block);
    for (size_t i = 0; i < total; ++i)
      for (int c = 0; c < 2; ++c) {
        sum.Add(out[c][i]);
        output.channels[c][i] = out[c][i];
      }
  }
  bar.Finish();
  host.Suspend();
  std::string programName = host.ProgramName();
  int program = static_cast<int>(host.Dispatch(effGetProgram));
  host.Close();

  double peak = 0;
  size_t nonFinite = 0;
  for (const auto& channel : output.channels)
    for (double x : channel) {
      if (!std::isfinite(x)) ++nonFinite;
      else if (std::fabs(x) > peak) peak = std::fabs(x);
    }
  if (!WriteWavFile(outPath, output, &error)) return Error(error);

  std::printf("input     %s: %zu ch, %u Hz, %s, %zu frames\n", inPath.c_str(), input.channels.size(),
              input.sampleRate, WavFormatName(input.format), input.Frames());
  std::printf("plug-in   %s, program %d \"%s\"\n", pluginPath.c_str(), program, programName.c_str());
  std::printf("process   %s precision, %.0f Hz, blocks of %d, %.2f s tail\n", o.doublePrecision ? "double" : "single",
              rate, o.block, o.tail);
  std::printf("output    %s: 2 ch, 32-bit float, %zu frames, peak %.1f dBFS%s\n", outPath.c_str(), total,
              peak > 0 ? 20 * std::log10(peak) : -999.0,
              nonFinite ? (", " + std::to_string(nonFinite) + " samples not finite").c_str() : "");
  std::printf("checksum  %016llx (fnv1a-64 of the %d-bit output samples)\n", sum.Value(), o.doublePrecision ? 64 : 32);
  return 0;
}
