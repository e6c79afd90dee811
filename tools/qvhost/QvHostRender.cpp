#include <algorithm>
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

// Frames [from, from + n) of the input, zeros past its end; mono feeds both inputs.
template <typename T>
void Fill(std::vector<T>* in, const WavAudio& audio, size_t from, size_t n) {
  for (int c = 0; c < 2; ++c) {
    const std::vector<double>& src = audio.channels[audio.channels.size() > 1 ? c : 0];
    in[c].assign(n, T(0));
    for (size_t i = 0; i < n && from + i < src.size(); ++i) in[c][i] = static_cast<T>(src[from + i]);
  }
}

// Renders in pieces of whole blocks, writing each as it comes.
class Renderer {
 public:
  Renderer(TestHost& host, const WavAudio& input, int block, WavStreamWriter& writer)
      : mHost(host), mInput(input), mBlock(block), mWriter(writer) {}

  template <typename T>
  bool Run(size_t total, ProgressBar& bar, std::string* error) {
    const size_t piece = static_cast<size_t>(mBlock) * ((16384 + mBlock - 1) / mBlock);
    std::vector<T> in[2], out[2];
    std::vector<double> wide[2];
    for (size_t done = 0; done < total;) {
      size_t n = std::min(piece, total - done);
      Fill(in, mInput, done, n);
      Process(in, out);
      for (int c = 0; c < 2; ++c) wide[c].assign(out[c].begin(), out[c].end());
      for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < 2; ++c) {
          T x = out[c][i];
          sum.Add(x);
          if (!std::isfinite(static_cast<double>(x))) ++nonFinite;
          else peak = std::max(peak, std::fabs(static_cast<double>(x)));
        }
      if (!mWriter.Write({wide[0].data(), wide[1].data()}, n, error)) return false;
      done += n;
      bar.Update(done, total);
    }
    return true;
  }

  Checksum sum;
  double peak = 0;
  size_t nonFinite = 0;

 private:
  void Process(std::vector<float>* in, std::vector<float>* out) { mHost.ProcessReplacing(in, out, mBlock); }
  void Process(std::vector<double>* in, std::vector<double>* out) { mHost.ProcessDouble(in, out, mBlock); }

  TestHost& mHost;
  const WavAudio& mInput;
  int mBlock;
  WavStreamWriter& mWriter;
};
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
  const uint64_t total64 = input.Frames() + static_cast<uint64_t>(std::llround(o.tail * rate));
  // The output must fit a WAV file; checking here also keeps the count within a 32-bit size_t.
  if (total64 > 0xFFFFFFFFull / 8 - 16)
    return Error("input and tail make " + std::to_string(total64) + " frames, more than a stereo float WAV file holds");
  const size_t total = static_cast<size_t>(total64);

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
  bool usageMistake = false;
  if (!ApplyStateOptions(host, o, &error, &usageMistake)) return usageMistake ? UsageError(error) : Error(error);
  if (!o.save.empty() && !SavePresetFile(host, o.save, &error)) return Error(error);
  StartTransport(host, rate, o.tempo);
  host.SetSampleRate(rate);
  host.SetBlockSize(o.block);
  host.Dispatch(effSetProcessPrecision, 0, o.doublePrecision ? 1 : 0);
  host.Resume();

  WavStreamWriter writer;
  const uint32_t outRate = static_cast<uint32_t>(std::lround(rate));
  if (!writer.Open(outPath, 2, outRate, WavSampleFormat::Float32, total, &error)) return Error(error);
  ProgressBar bar(StderrIsTerminal() && total >= static_cast<size_t>(rate) * 10);
  Renderer renderer(host, input, o.block, writer);
  bool rendered = o.doublePrecision ? renderer.Run<double>(total, bar, &error) : renderer.Run<float>(total, bar, &error);
  bar.Finish();
  if (!rendered || !writer.Finish(&error)) return Error(error);
  host.Suspend();
  std::string programName = host.ProgramName();
  int program = static_cast<int>(host.Dispatch(effGetProgram));
  host.Close();

  char level[64] = "silent";
  if (renderer.peak > 0) std::snprintf(level, sizeof level, "%.1f dBFS", 20 * std::log10(renderer.peak));
  std::printf("input     %s: %zu ch, %u Hz, %s, %zu frames\n", inPath.c_str(), input.channels.size(),
              input.sampleRate, WavFormatName(input.format), input.Frames());
  std::printf("plug-in   %s, program %d \"%s\"\n", pluginPath.c_str(), program, programName.c_str());
  std::printf("process   %s precision, %.0f Hz, blocks of %d, %.2f s tail\n", o.doublePrecision ? "double" : "single",
              rate, o.block, o.tail);
  std::printf("output    %s: 2 ch, 32-bit float, %zu frames, peak %s%s\n", outPath.c_str(), total, level,
              renderer.nonFinite ? (", " + std::to_string(renderer.nonFinite) + " samples not finite").c_str() : "");
  std::printf("checksum  %016llx (fnv1a-64 of the %d-bit output samples)\n", renderer.sum.Value(),
              o.doublePrecision ? 64 : 32);
  return 0;
}
