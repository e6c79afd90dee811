// qvphrase: writes the demo's test phrase as a WAV file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/phrase/Phrase.h"

int main(int argc, char** argv) {
  const char* usage = "usage: qvphrase OUT.wav [--format pcm16|pcm24|pcm32|float] [--rate HZ] [--mono]\n";
  std::string path;
  WavSampleFormat format = WavSampleFormat::Pcm24;
  unsigned rate = 44100;
  bool mono = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--mono") {
      mono = true;
    } else if (arg == "--format" && i + 1 < argc) {
      std::string f = argv[++i];
      if (f == "pcm16") format = WavSampleFormat::Pcm16;
      else if (f == "pcm24") format = WavSampleFormat::Pcm24;
      else if (f == "pcm32") format = WavSampleFormat::Pcm32;
      else if (f == "float") format = WavSampleFormat::Float32;
      else return std::fputs(usage, stderr), 2;
    } else if (arg == "--rate" && i + 1 < argc) {
      char* end = nullptr;
      long r = std::strtol(argv[++i], &end, 10);
      if (*end || r < 8000 || r > 384000) return std::fputs(usage, stderr), 2;
      rate = static_cast<unsigned>(r);
    } else if (path.empty() && arg.compare(0, 2, "--") != 0) {
      path = arg;
    } else {
      return std::fputs(usage, stderr), 2;
    }
  }
  if (path.empty()) return std::fputs(usage, stderr), 2;
  WavAudio audio = MakePhrase(rate);
  audio.format = format;
  if (mono) {
    for (size_t i = 0; i < audio.Frames(); ++i) audio.channels[0][i] = 0.5 * (audio.channels[0][i] + audio.channels[1][i]);
    audio.channels.pop_back();
  }
  std::string error;
  if (!WriteWavFile(path, audio, &error)) {
    std::fprintf(stderr, "qvphrase: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu frames, %u Hz, %s, %s\n", path.c_str(), audio.Frames(), rate,
              mono ? "mono" : "stereo", WavFormatName(format));
  return 0;
}
