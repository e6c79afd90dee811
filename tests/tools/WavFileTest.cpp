// WAV files: every supported format both ways, and files that must be refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "tools/qvhost/WavFile.h"

namespace {
void Put16(std::vector<uint8_t>* v, uint32_t x) {
  v->push_back(static_cast<uint8_t>(x));
  v->push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>* v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
void Tag(std::vector<uint8_t>* v, const char* t) {
  for (int i = 0; i < 4; ++i) v->push_back(static_cast<uint8_t>(t[i]));
}

// A file built by hand: RIFF header, then the given chunks.
struct Chunk {
  const char* tag;
  std::vector<uint8_t> body;
};
std::vector<uint8_t> Riff(const std::vector<Chunk>& chunks) {
  std::vector<uint8_t> v;
  Tag(&v, "RIFF");
  Put32(&v, 0);
  Tag(&v, "WAVE");
  for (const Chunk& c : chunks) {
    Tag(&v, c.tag);
    Put32(&v, static_cast<uint32_t>(c.body.size()));
    v.insert(v.end(), c.body.begin(), c.body.end());
    if (c.body.size() & 1) v.push_back(0);
  }
  uint32_t size = static_cast<uint32_t>(v.size() - 8);
  std::memcpy(&v[4], &size, 4);
  return v;
}
std::vector<uint8_t> Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int blockAlign = -1) {
  std::vector<uint8_t> v;
  uint16_t align = blockAlign >= 0 ? static_cast<uint16_t>(blockAlign) : static_cast<uint16_t>(channels * bits / 8);
  Put16(&v, tag);
  Put16(&v, channels);
  Put32(&v, rate);
  Put32(&v, rate * align);
  Put16(&v, align);
  Put16(&v, bits);
  return v;
}
std::vector<uint8_t> Extensible(uint16_t subformat, uint16_t channels, uint16_t bits, uint16_t validBits,
                                bool knownGuid = true) {
  std::vector<uint8_t> v = Fmt(0xFFFE, channels, 48000, bits);
  Put16(&v, 22);
  Put16(&v, validBits);
  Put32(&v, channels == 2 ? 3 : 4);
  Put16(&v, subformat);
  const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  v.insert(v.end(), tail, tail + 14);
  if (!knownGuid) v.back() ^= 0xFF;
  return v;
}

WavAudio Stereo(WavSampleFormat format, std::vector<double> left, std::vector<double> right) {
  WavAudio a;
  a.sampleRate = 44100;
  a.format = format;
  a.channels = {std::move(left), std::move(right)};
  return a;
}

WavAudio RoundTrip(const WavAudio& in) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(EncodeWav(in, &bytes, &error)) << error;
  WavAudio out;
  EXPECT_TRUE(ParseWav(bytes, &out, &error)) << error;
  return out;
}

std::string ParseError(const std::vector<uint8_t>& bytes) {
  WavAudio audio;
  std::string error;
  EXPECT_FALSE(ParseWav(bytes, &audio, &error));
  EXPECT_FALSE(error.empty());
  return error;
}
}  // namespace

TEST(WavFormats, EveryFormatRoundTripsItsExactCodes) {
  struct Case {
    WavSampleFormat format;
    double lsb;
  } cases[] = {{WavSampleFormat::Pcm16, 1.0 / 32768},
               {WavSampleFormat::Pcm24, 1.0 / 8388608},
               {WavSampleFormat::Pcm32, 1.0 / 2147483648.0},
               {WavSampleFormat::Float32, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(WavFormatName(c.format));
    // Full-scale negative, one step either side of zero, the largest code, and values on the code grid.
    std::vector<double> left = {-1.0, -c.lsb, 0.0, c.lsb, 1.0 - (c.lsb ? c.lsb : 1.0 / 16777216), 0.25};
    std::vector<double> right = {0.5, -0.5, 0.125, -0.75, 0.0, -0.25};
    if (c.format == WavSampleFormat::Float32) left[1] = -1e-30, left[3] = 3.5;  // float keeps tiny and over-range values
    WavAudio out = RoundTrip(Stereo(c.format, left, right));
    EXPECT_EQ(out.format, c.format);
    EXPECT_EQ(out.sampleRate, 44100u);
    ASSERT_EQ(out.channels.size(), 2u);
    for (size_t i = 0; i < left.size(); ++i) {
      double expected = c.format == WavSampleFormat::Float32 ? static_cast<float>(left[i]) : left[i];
      EXPECT_EQ(out.channels[0][i], expected) << i;
      EXPECT_EQ(out.channels[1][i], right[i]) << i;
    }
  }
}

TEST(WavFormats, PcmClipsRoundsAndSilencesNaN) {
  std::vector<double> in = {1.5, -3.0, 0.4 / 32768, 0.6 / 32768, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
  WavAudio out = RoundTrip(Stereo(WavSampleFormat::Pcm16, in, in));
  std::vector<double> expected = {32767.0 / 32768, -1.0, 0.0, 1.0 / 32768, 0.0, 32767.0 / 32768};
  for (size_t i = 0; i < in.size(); ++i) EXPECT_EQ(out.channels[0][i], expected[i]) << i;
}

TEST(WavFormats, MonoAndFloatHeaders) {
  WavAudio mono;
  mono.format = WavSampleFormat::Float32;
  mono.sampleRate = 96000;
  mono.channels = {{0.1, 0.2, 0.3}};
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(EncodeWav(mono, &bytes, &error));
  // Non-PCM data needs the 18-byte fmt and a fact chunk with the frame count.
  EXPECT_EQ(bytes.size(), 12u + 26u + 12u + 8u + 12u);
  uint32_t riff, fmtSize, frames;
  std::memcpy(&riff, &bytes[4], 4);
  std::memcpy(&fmtSize, &bytes[16], 4);
  std::memcpy(&frames, &bytes[46], 4);
  EXPECT_EQ(riff, bytes.size() - 8);
  EXPECT_EQ(fmtSize, 18u);
  EXPECT_EQ(std::memcmp(&bytes[38], "fact", 4), 0);
  EXPECT_EQ(frames, 3u);
  WavAudio back;
  ASSERT_TRUE(ParseWav(bytes, &back, &error)) << error;
  ASSERT_EQ(back.channels.size(), 1u);
  EXPECT_EQ(back.sampleRate, 96000u);
  EXPECT_EQ(back.channels[0][2], static_cast<double>(0.3f));
}

TEST(WavFormats, ExtensibleSkippedChunksAndPartialFrames) {
  // 24-bit PCM in WAVE_FORMAT_EXTENSIBLE with 20 valid bits, behind an odd-sized chunk with its pad byte.
  std::vector<uint8_t> data = {0x00, 0x00, 0x40, 0x00, 0x00, 0xC0, 0x01};  // two frames and a stray byte
  WavAudio a;
  std::string error;
  ASSERT_TRUE(ParseWav(Riff({{"LIST", {1, 2, 3}}, {"fmt ", Extensible(1, 1, 24, 20)}, {"data", data}}), &a, &error))
      << error;
  EXPECT_EQ(a.format, WavSampleFormat::Pcm24);
  EXPECT_EQ(a.sampleRate, 48000u);
  ASSERT_EQ(a.Frames(), 2u);
  EXPECT_EQ(a.channels[0][0], 0.5);
  EXPECT_EQ(a.channels[0][1], -0.5);

  float f = -0.375f;
  std::vector<uint8_t> fdata(8, 0);
  std::memcpy(&fdata[4], &f, 4);
  ASSERT_TRUE(ParseWav(Riff({{"fmt ", Extensible(3, 2, 32, 32)}, {"data", fdata}}), &a, &error)) << error;
  EXPECT_EQ(a.format, WavSampleFormat::Float32);
  EXPECT_EQ(a.channels[1][0], -0.375);
}

TEST(WavMalformed, ClearReasons) {
  std::vector<uint8_t> stereo16(8, 0);
  struct Case {
    std::vector<uint8_t> bytes;
    const char* reason;
  } cases[] = {
      {{}, "too short"},
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A'}, "too short"},
      {{'O', 'g', 'g', 'S', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, "not a RIFF file"},
      {{'R', 'F', '6', '4', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, "64-bit RIFF"},
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "not WAVE"},
      {Riff({}), "no fmt chunk"},
      {Riff({{"fmt ", Fmt(1, 2, 44100, 16)}}), "no data chunk"},
      {Riff({{"data", stereo16}, {"fmt ", Fmt(1, 2, 44100, 16)}}), "before the fmt"},
      {Riff({{"fmt ", std::vector<uint8_t>(14, 0)}, {"data", stereo16}}), "at least 16"},
      {Riff({{"fmt ", Fmt(1, 2, 44100, 8)}, {"data", stereo16}}), "PCM with 8 bits"},
      {Riff({{"fmt ", Fmt(3, 2, 44100, 64)}, {"data", stereo16}}), "float with 64 bits"},
      {Riff({{"fmt ", Fmt(2, 2, 44100, 4, 2048)}, {"data", stereo16}}), "format tag 2"},
      {Riff({{"fmt ", Fmt(1, 6, 44100, 16)}, {"data", stereo16}}), "6 channels"},
      {Riff({{"fmt ", Fmt(1, 0, 44100, 16)}, {"data", stereo16}}), "0 channels"},
      {Riff({{"fmt ", Fmt(1, 2, 0, 16)}, {"data", stereo16}}), "sample rate is 0"},
      {Riff({{"fmt ", Fmt(1, 2, 44100, 16, 3)}, {"data", stereo16}}), "block align"},
      {Riff({{"fmt ", Extensible(1, 2, 24, 24, false)}, {"data", stereo16}}), "subformat"},
      {Riff({{"fmt ", Extensible(1, 2, 16, 24)}, {"data", stereo16}}), "valid bits"},
  };
  for (const Case& c : cases) {
    std::string error = ParseError(c.bytes);
    EXPECT_NE(error.find(c.reason), std::string::npos) << "expected '" << c.reason << "' in: " << error;
  }
}

TEST(WavMalformed, AbsurdSizesAndEveryTruncationAreRefused) {
  std::vector<uint8_t> good = Riff({{"fmt ", Fmt(1, 2, 44100, 24)}, {"data", std::vector<uint8_t>(60, 7)}});
  WavAudio a;
  std::string error;
  ASSERT_TRUE(ParseWav(good, &a, &error)) << error;
  EXPECT_EQ(a.Frames(), 10u);
  // A data chunk claiming 4 GiB, and one claiming a byte more than present.
  for (uint32_t claim : {0xFFFFFFFFu, 61u}) {
    std::vector<uint8_t> bad = good;
    std::memcpy(&bad[bad.size() - 64], &claim, 4);
    EXPECT_NE(ParseError(bad).find("data chunk claims"), std::string::npos);
  }
  // Every cut of the file is refused, wherever it falls.
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + n);
    EXPECT_FALSE(ParseWav(cut, &a, &error)) << "cut at " << n;
  }
  // Stray bytes anywhere in the headers are refused or read, never read past the end.
  for (size_t at = 0; at < 44; ++at)
    for (uint8_t value : {0x00, 0x7F, 0xFF}) {
      std::vector<uint8_t> bent = good;
      bent[at] = value;
      if (ParseWav(bent, &a, &error)) {
        for (const auto& channel : a.channels) EXPECT_LE(channel.size(), bent.size());
      }
    }
}

TEST(WavFiles, WriteThenReadAndMissingFiles) {
  std::string path = testing::TempDir() + "qv_wav_" + std::to_string(std::random_device{}()) + ".wav";
  // Well over the reader's 64 KiB buffer, so the file is read in several pieces.
  std::vector<double> ramp(40000);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<double>(i) / 65536.0 - 0.5;
  WavAudio a = Stereo(WavSampleFormat::Pcm24, ramp, std::vector<double>(ramp.rbegin(), ramp.rend()));
  std::string error;
  ASSERT_TRUE(WriteWavFile(path, a, &error)) << error;
  WavAudio b;
  ASSERT_TRUE(ReadWavFile(path, &b, &error)) << error;
  EXPECT_EQ(b.channels, a.channels);
  std::remove(path.c_str());
  EXPECT_FALSE(ReadWavFile(path, &b, &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
  WavAudio uneven = Stereo(WavSampleFormat::Float32, {0.1, 0.2}, {0.1});
  EXPECT_FALSE(WriteWavFile(path, uneven, &error));
  EXPECT_FALSE(WriteWavFile(testing::TempDir() + "no/such/dir/x.wav", a, &error));
}

TEST(WavFiles, StreamWriterKeepsToTheAnnouncedLength) {
  std::string path = testing::TempDir() + "qv_wav_stream_" + std::to_string(std::random_device{}()) + ".wav";
  std::vector<double> half = {0.25, -0.25, 0.5};
  std::string error;
  WavAudio read;
  {
    WavStreamWriter writer;
    ASSERT_TRUE(writer.Open(path, 1, 22050, WavSampleFormat::Pcm24, 6, &error)) << error;
    ASSERT_TRUE(writer.Write({half.data()}, 3, &error));
    ASSERT_TRUE(writer.Write({half.data()}, 3, &error));
    EXPECT_FALSE(writer.Write({half.data()}, 1, &error)) << "past the announced length";
    ASSERT_TRUE(writer.Finish(&error)) << error;
  }
  ASSERT_TRUE(ReadWavFile(path, &read, &error)) << error;
  EXPECT_EQ(read.channels[0], (std::vector<double>{0.25, -0.25, 0.5, 0.25, -0.25, 0.5}));
  {
    WavStreamWriter writer;  // short of its length: no file is left behind
    ASSERT_TRUE(writer.Open(path, 2, 22050, WavSampleFormat::Float32, 6, &error));
    ASSERT_TRUE(writer.Write({half.data(), half.data()}, 3, &error));
    EXPECT_FALSE(writer.Finish(&error));
  }
  EXPECT_FALSE(ReadWavFile(path, &read, &error));
  {
    WavStreamWriter writer;  // abandoned
    ASSERT_TRUE(writer.Open(path, 1, 22050, WavSampleFormat::Pcm16, 3, &error));
  }
  EXPECT_FALSE(ReadWavFile(path, &read, &error));
  WavStreamWriter tooLong;
  EXPECT_FALSE(tooLong.Open(path, 2, 44100, WavSampleFormat::Float32, 600000000ull, &error));
  EXPECT_NE(error.find("too long"), std::string::npos);
}
