// RIFF/WAVE audio files: reading the formats a DAW exports (PCM 16/24/32-bit
// and 32-bit float, plain or WAVE_FORMAT_EXTENSIBLE, mono or stereo) and
// writing them back. Samples are held as doubles, one vector per channel, so
// every supported format converts without loss.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class WavSampleFormat { Pcm16, Pcm24, Pcm32, Float32 };

struct WavAudio {
  uint32_t sampleRate = 44100;
  WavSampleFormat format = WavSampleFormat::Float32;  // as read, or as to be written
  std::vector<std::vector<double>> channels;           // all of equal length

  size_t Frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Both readers return false with a one-line reason in *error for anything
// that is not a well-formed file of a supported kind; they never read past
// the bytes they were given and never trust a size field beyond them.
bool ParseWav(const std::vector<uint8_t>& bytes, WavAudio* audio, std::string* error);
bool ReadWavFile(const std::string& path, WavAudio* audio, std::string* error);

// One or two channels of equal length. PCM samples are clipped to full scale
// and rounded to nearest; float samples are stored as they are.
bool EncodeWav(const WavAudio& audio, std::vector<uint8_t>* bytes, std::string* error);
bool WriteWavFile(const std::string& path, const WavAudio& audio, std::string* error);

// Writes a file of known length piece by piece, so long renders need not be
// held in memory. A writer destroyed before Finish removes its file.
class WavStreamWriter {
 public:
  WavStreamWriter() = default;
  ~WavStreamWriter();
  WavStreamWriter(const WavStreamWriter&) = delete;
  WavStreamWriter& operator=(const WavStreamWriter&) = delete;

  bool Open(const std::string& path, size_t channels, uint32_t sampleRate, WavSampleFormat format, uint64_t frames,
            std::string* error);
  bool Write(const std::vector<const double*>& channels, size_t frames, std::string* error);
  bool Finish(std::string* error);

 private:
  void* mFile = nullptr;
  std::string mPath;
  size_t mChannels = 0;
  WavSampleFormat mFormat = WavSampleFormat::Float32;
  uint64_t mFramesLeft = 0;
  bool mPad = false;
};

const char* WavFormatName(WavSampleFormat format);
