#include "tools/qvhost/WavFile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The GUID tail shared by the KSDATAFORMAT_SUBTYPE_* GUIDs; the first two bytes hold the plain format tag.
constexpr uint8_t kSubformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>* out, const char* tag) { out->insert(out->end(), tag, tag + 4); }

bool Fail(std::string* error, const std::string& reason) {
  if (error) *error = reason;
  return false;
}

std::string TagText(const uint8_t* p) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += (p[i] >= 32 && p[i] < 127) ? static_cast<char>(p[i]) : '?';
  return s;
}

int BytesPerSample(WavSampleFormat f) {
  switch (f) {
    case WavSampleFormat::Pcm16: return 2;
    case WavSampleFormat::Pcm24: return 3;
    default: return 4;
  }
}

double Decode(const uint8_t* p, WavSampleFormat f) {
  switch (f) {
    case WavSampleFormat::Pcm16: return static_cast<int16_t>(Le16(p)) / 32768.0;
    case WavSampleFormat::Pcm24: {
      int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) << 8) >> 8;
      return v / 8388608.0;
    }
    case WavSampleFormat::Pcm32: return static_cast<int32_t>(Le32(p)) / 2147483648.0;
    case WavSampleFormat::Float32: {
      uint32_t bits = Le32(p);
      float f32;
      std::memcpy(&f32, &bits, 4);
      return f32;
    }
  }
  return 0.0;
}

// Full scale maps to the largest code; NaN becomes silence rather than an undefined conversion.
int64_t Quantise(double x, double scale) {
  if (!(x == x)) return 0;
  double v = std::nearbyint(x * scale);
  if (v > scale - 1) v = scale - 1;
  if (v < -scale) v = -scale;
  return static_cast<int64_t>(v);
}

void Encode(double x, WavSampleFormat f, std::vector<uint8_t>* out) {
  switch (f) {
    case WavSampleFormat::Pcm16: Put16(out, static_cast<uint32_t>(Quantise(x, 32768.0)) & 0xFFFF); break;
    case WavSampleFormat::Pcm24: {
      uint32_t v = static_cast<uint32_t>(Quantise(x, 8388608.0));
      out->push_back(static_cast<uint8_t>(v));
      out->push_back(static_cast<uint8_t>(v >> 8));
      out->push_back(static_cast<uint8_t>(v >> 16));
      break;
    }
    case WavSampleFormat::Pcm32: Put32(out, static_cast<uint32_t>(Quantise(x, 2147483648.0))); break;
    case WavSampleFormat::Float32: {
      float f32 = static_cast<float>(x);
      uint32_t bits;
      std::memcpy(&bits, &f32, 4);
      Put32(out, bits);
      break;
    }
  }
}

struct FmtInfo {
  bool seen = false;
  WavSampleFormat format = WavSampleFormat::Pcm16;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t blockAlign = 0;
};

bool ParseFmt(const uint8_t* p, uint32_t size, FmtInfo* fmt, std::string* error) {
  if (size < 16) return Fail(error, "fmt chunk is " + std::to_string(size) + " bytes, at least 16 are needed");
  uint16_t tag = Le16(p);
  uint16_t channels = Le16(p + 2);
  uint32_t rate = Le32(p + 4);
  uint16_t blockAlign = Le16(p + 12);
  uint16_t bits = Le16(p + 14);
  if (tag == kFormatExtensible) {
    if (size < 40 || Le16(p + 16) < 22) return Fail(error, "WAVE_FORMAT_EXTENSIBLE fmt chunk is too short");
    uint16_t validBits = Le16(p + 18);
    if (validBits > bits) return Fail(error, "extensible format claims more valid bits than its container holds");
    if (std::memcmp(p + 26, kSubformatTail, sizeof kSubformatTail) != 0)
      return Fail(error, "unsupported WAVE_FORMAT_EXTENSIBLE subformat");
    tag = Le16(p + 24);
  }
  if (tag == kFormatPcm && bits == 16) {
    fmt->format = WavSampleFormat::Pcm16;
  } else if (tag == kFormatPcm && bits == 24) {
    fmt->format = WavSampleFormat::Pcm24;
  } else if (tag == kFormatPcm && bits == 32) {
    fmt->format = WavSampleFormat::Pcm32;
  } else if (tag == kFormatFloat && bits == 32) {
    fmt->format = WavSampleFormat::Float32;
  } else {
    const char* kind = tag == kFormatPcm ? "PCM" : tag == kFormatFloat ? "float" : nullptr;
    std::string what = kind ? std::string(kind) : "format tag " + std::to_string(tag);
    return Fail(error, "unsupported sample format: " + what + " with " + std::to_string(bits) +
                           " bits (16/24/32-bit PCM and 32-bit float are supported)");
  }
  if (channels != 1 && channels != 2)
    return Fail(error, std::to_string(channels) + " channels: only mono and stereo files are supported");
  if (rate == 0) return Fail(error, "sample rate is 0");
  if (blockAlign != channels * BytesPerSample(fmt->format))
    return Fail(error, "block align " + std::to_string(blockAlign) + " does not match " + std::to_string(channels) +
                           " channels of " + std::to_string(bits) + " bits");
  fmt->seen = true;
  fmt->channels = channels;
  fmt->rate = rate;
  fmt->blockAlign = blockAlign;
  return true;
}
}  // namespace

const char* WavFormatName(WavSampleFormat format) {
  switch (format) {
    case WavSampleFormat::Pcm16: return "16-bit PCM";
    case WavSampleFormat::Pcm24: return "24-bit PCM";
    case WavSampleFormat::Pcm32: return "32-bit PCM";
    case WavSampleFormat::Float32: return "32-bit float";
  }
  return "?";
}

bool ParseWav(const std::vector<uint8_t>& bytes, WavAudio* audio, std::string* error) {
  const size_t n = bytes.size();
  const uint8_t* b = bytes.data();
  if (n < 12) return Fail(error, "too short for a RIFF/WAVE header (" + std::to_string(n) + " bytes)");
  if (std::memcmp(b, "RIFF", 4) != 0) {
    if (std::memcmp(b, "RF64", 4) == 0 || std::memcmp(b, "BW64", 4) == 0)
      return Fail(error, "64-bit RIFF (" + TagText(b) + ") files are not supported");
    return Fail(error, "not a RIFF file (starts with '" + TagText(b) + "')");
  }
  if (std::memcmp(b + 8, "WAVE", 4) != 0) return Fail(error, "RIFF file of type '" + TagText(b + 8) + "', not WAVE");
  // The RIFF size field is often wrong in the wild; the bytes actually present are what count.
  FmtInfo fmt;
  size_t pos = 12;
  while (true) {
    if (n - pos < 8) return Fail(error, fmt.seen ? "no data chunk" : "no fmt chunk");
    const uint8_t* header = b + pos;
    uint32_t size = Le32(header + 4);
    size_t left = n - pos - 8;
    bool isData = std::memcmp(header, "data", 4) == 0;
    if (size > left) {
      if (isData)
        return Fail(error, "data chunk claims " + std::to_string(size) + " bytes but only " + std::to_string(left) +
                               " follow (truncated or corrupt file)");
      return Fail(error, "'" + TagText(header) + "' chunk claims " + std::to_string(size) + " bytes but only " +
                             std::to_string(left) + " follow");
    }
    if (std::memcmp(header, "fmt ", 4) == 0 && !fmt.seen) {
      if (!ParseFmt(header + 8, size, &fmt, error)) return false;
    } else if (isData) {
      if (!fmt.seen) return Fail(error, "data chunk comes before the fmt chunk");
      size_t frames = size / fmt.blockAlign;
      const uint8_t* p = header + 8;
      int step = BytesPerSample(fmt.format);
      WavAudio result;
      result.sampleRate = fmt.rate;
      result.format = fmt.format;
      result.channels.assign(fmt.channels, std::vector<double>(frames));
      for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < fmt.channels; ++c, p += step) result.channels[c][i] = Decode(p, fmt.format);
      *audio = std::move(result);
      return true;
    }
    pos += 8 + static_cast<size_t>(size) + (size & 1);
    if (pos > n) pos = n;
  }
}

bool ReadWavFile(const std::string& path, WavAudio* audio, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Fail(error, "cannot open " + path + " for reading");
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t got;
  // A WAV file cannot address more than 4 GiB; stop reading beyond that.
  // (Counted in 64 bits: on x86 the limit does not fit a size_t.)
  const uint64_t limit = 0xFFFFFFFFull + 8u;
  bool tooLarge = false;
  try {
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
      bytes.insert(bytes.end(), buffer, buffer + got);
      if (static_cast<uint64_t>(bytes.size()) >= limit) break;
    }
  } catch (const std::bad_alloc&) {
    tooLarge = true;
  }
  bool readError = std::ferror(f) != 0;
  std::fclose(f);
  if (tooLarge) return Fail(error, path + " is too large to hold in memory");
  if (readError) return Fail(error, "read error on " + path);
  return ParseWav(bytes, audio, error);
}

namespace {
// The header for a file whose length is known before the first sample.
bool EncodeHeader(size_t channels, uint32_t rate, WavSampleFormat format, uint64_t frames, std::vector<uint8_t>* out,
                  uint64_t* dataSize, std::string* error) {
  if (channels != 1 && channels != 2) return Fail(error, "only mono and stereo files can be written");
  if (rate == 0) return Fail(error, "sample rate is 0");
  const int step = BytesPerSample(format);
  const bool isFloat = format == WavSampleFormat::Float32;
  const uint32_t fmtSize = isFloat ? 18 : 16;
  if (frames > 0xFFFFFFFFull / (channels * step)) return Fail(error, "too long for a WAV file (over 4 GiB of samples)");
  *dataSize = frames * channels * step;
  const uint64_t riffSize = 4 + (8 + fmtSize) + (isFloat ? 12 : 0) + 8 + *dataSize + (*dataSize & 1);
  if (riffSize > 0xFFFFFFFFu) return Fail(error, "too long for a WAV file (over 4 GiB of samples)");
  out->clear();
  PutTag(out, "RIFF");
  Put32(out, static_cast<uint32_t>(riffSize));
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, fmtSize);
  Put16(out, isFloat ? kFormatFloat : kFormatPcm);
  Put16(out, static_cast<uint32_t>(channels));
  Put32(out, rate);
  const uint64_t byteRate = static_cast<uint64_t>(rate) * channels * step;
  Put32(out, byteRate > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(byteRate));
  Put16(out, static_cast<uint32_t>(channels * step));
  Put16(out, static_cast<uint32_t>(step * 8));
  if (isFloat) {
    Put16(out, 0);  // cbSize
    // Non-PCM files carry a fact chunk with the frame count.
    PutTag(out, "fact");
    Put32(out, 4);
    Put32(out, static_cast<uint32_t>(frames));
  }
  PutTag(out, "data");
  Put32(out, static_cast<uint32_t>(*dataSize));
  return true;
}
}  // namespace

bool EncodeWav(const WavAudio& audio, std::vector<uint8_t>* bytes, std::string* error) {
  const size_t frames = audio.Frames();
  for (const auto& c : audio.channels)
    if (c.size() != frames) return Fail(error, "channels differ in length");
  std::vector<uint8_t> out;
  uint64_t dataSize = 0;
  if (!EncodeHeader(audio.channels.size(), audio.sampleRate, audio.format, frames, &out, &dataSize, error))
    return false;
  out.reserve(out.size() + static_cast<size_t>(dataSize) + 1);
  for (size_t i = 0; i < frames; ++i)
    for (const auto& channel : audio.channels) Encode(channel[i], audio.format, &out);
  if (dataSize & 1) out.push_back(0);
  *bytes = std::move(out);
  return true;
}

WavStreamWriter::~WavStreamWriter() {
  if (mFile) {  // never finished: do not leave a file that claims samples it lacks
    std::fclose(static_cast<std::FILE*>(mFile));
    std::remove(mPath.c_str());
  }
}

bool WavStreamWriter::Open(const std::string& path, size_t channels, uint32_t rate, WavSampleFormat format,
                           uint64_t frames, std::string* error) {
  std::vector<uint8_t> header;
  uint64_t dataSize = 0;
  if (!EncodeHeader(channels, rate, format, frames, &header, &dataSize, error)) return false;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return Fail(error, "cannot open " + path + " for writing");
  mFile = f;
  mPath = path;
  mChannels = channels;
  mFormat = format;
  mFramesLeft = frames;
  mPad = (dataSize & 1) != 0;
  if (std::fwrite(header.data(), 1, header.size(), f) != header.size()) return Fail(error, "could not write " + path);
  return true;
}

bool WavStreamWriter::Write(const std::vector<const double*>& channels, size_t frames, std::string* error) {
  if (!mFile || channels.size() != mChannels || frames > mFramesLeft)
    return Fail(error, "more samples than the header announced");
  std::vector<uint8_t> out;
  out.reserve(frames * mChannels * BytesPerSample(mFormat));
  for (size_t i = 0; i < frames; ++i)
    for (const double* channel : channels) Encode(channel[i], mFormat, &out);
  mFramesLeft -= frames;
  if (std::fwrite(out.data(), 1, out.size(), static_cast<std::FILE*>(mFile)) != out.size())
    return Fail(error, "could not write all of " + mPath);
  return true;
}

bool WavStreamWriter::Finish(std::string* error) {
  if (!mFile) return Fail(error, "no file open");
  std::FILE* f = static_cast<std::FILE*>(mFile);
  bool ok = mFramesLeft == 0;
  if (ok && mPad) ok = std::fputc(0, f) != EOF;
  ok = std::fclose(f) == 0 && ok;
  mFile = nullptr;
  if (!ok) {
    std::remove(mPath.c_str());
    return Fail(error, mFramesLeft ? "fewer samples than the header announced" : "could not write all of " + mPath);
  }
  return true;
}

bool WriteWavFile(const std::string& path, const WavAudio& audio, std::string* error) {
  std::vector<const double*> channels;
  for (const auto& c : audio.channels) {
    if (c.size() != audio.Frames()) return Fail(error, "channels differ in length");
    channels.push_back(c.data());
  }
  WavStreamWriter writer;
  return writer.Open(path, audio.channels.size(), audio.sampleRate, audio.format, audio.Frames(), error) &&
         writer.Write(channels, audio.Frames(), error) && writer.Finish(error);
}
