// qvhost's commands, run in-process on the product as the command line runs them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>

#include "tools/qvhost/LoadFailure.h"
#include "tools/qvhost/PresetFile.h"
#include "tools/qvhost/QvHostCommands.h"
#include "tools/qvhost/WavFile.h"
#include "vst/IPluginVST.h"

namespace {
struct Result {
  int code;
  std::string out, err;
};

Result QvHost(std::vector<std::string> args) {
  EntryResolver resolve = [](const std::string& path, std::string* error) -> VstEntryProc {
    if (path == "plugin") return VSTPluginMain;
    *error = "cannot load " + path;
    return nullptr;
  };
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int code = RunQvHost(args, resolve);
  Result r{code, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
  return r;
}

std::set<std::string> gMadePaths;

// Per process, so that test runs side by side on one machine keep apart.
std::string Path(const std::string& name) {
  static const std::string prefix = testing::TempDir() + "qvhost_" + std::to_string(std::random_device{}()) + "_";
  gMadePaths.insert(prefix + name);
  return prefix + name;
}

class RemoveMadeFiles : public testing::Environment {
 public:
  void TearDown() override {
    for (const std::string& path : gMadePaths) std::remove(path.c_str());
  }
};
testing::Environment* const gRemoveMadeFiles = testing::AddGlobalTestEnvironment(new RemoveMadeFiles);

bool Exists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

// Plucks and a low sine, on the 24-bit grid so that 24-bit, 32-bit and float files hold the same values.
WavAudio Signal(size_t frames, unsigned rate = 44100) {
  WavAudio a;
  a.sampleRate = rate;
  a.channels.assign(2, std::vector<double>(frames));
  uint32_t seed = 12345;
  for (size_t i = 0; i < frames; ++i) {
    seed = seed * 1664525u + 1013904223u;
    double noise = (seed >> 8) / 8388608.0 - 1.0;
    double burst = std::exp(-static_cast<double>(i % 11025) / 800.0);
    double sine = 0.2 * std::sin(2 * 3.141592653589793 * 110.0 * i / rate);
    a.channels[0][i] = std::round((0.4 * noise * burst + sine) * 8388608.0) / 8388608.0;
    a.channels[1][i] = std::round((0.3 * noise * burst - sine) * 8388608.0) / 8388608.0;
  }
  return a;
}

std::string WriteSignal(const std::string& name, WavSampleFormat format, bool mono = false) {
  WavAudio a = Signal(22050);
  a.format = format;
  if (mono) a.channels.pop_back();
  std::string path = Path(name);
  std::string error;
  EXPECT_TRUE(WriteWavFile(path, a, &error)) << error;
  return path;
}

std::string Checksum(const Result& r) {
  EXPECT_EQ(r.code, 0) << r.err;
  size_t at = r.out.find("checksum  ");
  return at == std::string::npos ? "none" : r.out.substr(at + 10, 16);
}

WavAudio Read(const std::string& path) {
  WavAudio a;
  std::string error;
  EXPECT_TRUE(ReadWavFile(path, &a, &error)) << error;
  return a;
}

class QvHostTest : public testing::Test {
 protected:
  void SetUp() override { input = WriteSignal("in.wav", WavSampleFormat::Float32); }
  std::string Render(std::vector<std::string> extra, const std::string& out = "out.wav") {
    std::vector<std::string> args = {"render", "plugin", input, Path(out)};
    args.insert(args.end(), extra.begin(), extra.end());
    return Checksum(QvHost(args));
  }
  std::string input;
};
}  // namespace

using QvHostRender = QvHostTest;
using QvHostState = QvHostTest;
using QvHostErrors = QvHostTest;

TEST_F(QvHostRender, DoubleOutputRepeatsAndDoesNotDependOnBlockSize) {
  std::string first = Render({"--program", "4", "--double"});
  EXPECT_EQ(Render({"--program", "4", "--double"}), first);
  EXPECT_EQ(Render({"--program", "4", "--double", "--block", "61"}), first);
  EXPECT_EQ(Render({"--program", "4", "--double", "--block", "4096"}), first);
  EXPECT_NE(Render({"--program", "3", "--double"}), first);
}

TEST_F(QvHostRender, FloatPathIsWithinFloatRoundingOfDouble) {
  for (const char* program : {"2", "7", "9"}) {
    Render({"--program", program, "--double"}, "double.wav");
    Render({"--program", program}, "single.wav");
    WavAudio d = Read(Path("double.wav")), s = Read(Path("single.wav"));
    ASSERT_EQ(d.Frames(), s.Frames());
    double worst = 0;
    for (int c = 0; c < 2; ++c)
      for (size_t i = 0; i < d.Frames(); ++i) {
        double scale = std::max(std::fabs(d.channels[c][i]), std::fabs(s.channels[c][i]));
        double ulps = scale > 0 ? std::fabs(d.channels[c][i] - s.channels[c][i]) / (scale * std::ldexp(1.0, -23)) : 0;
        worst = std::max(worst, ulps);
      }
    EXPECT_LE(worst, 1.0) << "program " << program;
  }
}

TEST_F(QvHostRender, InputFormatsMonoAndTail) {
  // The same values as 24-bit, 32-bit and float files render alike; 16-bit differs.
  std::string reference = Render({"--program", "8", "--double"});
  for (WavSampleFormat f : {WavSampleFormat::Pcm24, WavSampleFormat::Pcm32}) {
    input = WriteSignal("in_pcm.wav", f);
    EXPECT_EQ(Render({"--program", "8", "--double"}), reference) << WavFormatName(f);
  }
  input = WriteSignal("in_pcm16.wav", WavSampleFormat::Pcm16);
  EXPECT_NE(Render({"--program", "8", "--double"}), reference);

  // Mono feeds both inputs: the same as a stereo file with the channel twice.
  input = WriteSignal("mono.wav", WavSampleFormat::Float32, true);
  Render({"--program", "4"}, "mono_out.wav");
  WavAudio twice = Read(input);
  twice.channels.push_back(twice.channels[0]);
  std::string error;
  ASSERT_TRUE(WriteWavFile(Path("twice.wav"), twice, &error));
  input = Path("twice.wav");
  Render({"--program", "4"}, "twice_out.wav");
  WavAudio a = Read(Path("mono_out.wav")), b = Read(Path("twice_out.wav"));
  EXPECT_EQ(a.channels, b.channels);

  // The tail holds what the echoes leave after the input ends.
  Render({"--program", "6", "--tail", "1.5"}, "tail.wav");
  WavAudio t = Read(Path("tail.wav"));
  ASSERT_EQ(t.Frames(), 22050u + 66150u);
  double energy = 0;
  for (size_t i = 22050 + 22050; i < t.Frames(); ++i) energy += t.channels[0][i] * t.channels[0][i];
  EXPECT_GT(energy, 1e-3) << "echoes ring on in the second half of the tail";
}

TEST_F(QvHostRender, TempoReachesThePluginUnderDelaySync) {
  EXPECT_EQ(Render({"--program", "5", "--double", "--tempo", "60"}), Render({"--program", "5", "--double"}));
  EXPECT_NE(Render({"--program", "5", "--param", "7=1", "--double", "--tempo", "60"}),
            Render({"--program", "5", "--param", "7=1", "--double", "--tempo", "150"}));
}

TEST_F(QvHostState, ProgramFileCarriesOneProgram) {
  Result saved = QvHost({"state", "plugin", "save", Path("p.fxp"), "--program", "5", "--param", "6=0.25"});
  ASSERT_EQ(saved.code, 0) << saved.err;
  EXPECT_NE(saved.out.find("\"Slapback\""), std::string::npos);
  std::string direct = Render({"--program", "5", "--param", "6=0.25", "--double", "--save", Path("r.fxp")});
  EXPECT_EQ(Render({"--load", Path("p.fxp"), "--double"}), direct);
  PresetFile a, b;
  std::string error;
  ASSERT_TRUE(ReadPresetFile(Path("p.fxp"), &a, &error)) << error;
  ASSERT_TRUE(ReadPresetFile(Path("r.fxp"), &b, &error)) << error;
  EXPECT_EQ(a.kind, PresetFile::kProgramChunk);
  EXPECT_EQ(FourCCText(a.fxID), "qvbd");
  EXPECT_EQ(a.fxVersion, 20002);
  EXPECT_EQ(a.numParams, 9);
  EXPECT_EQ(a.programName, "Slapback");
  EXPECT_EQ(a.chunk, b.chunk) << "render --save writes what state save writes";
  // A program file goes into the program --program selects.
  Result loaded = QvHost({"state", "plugin", "load", Path("p.fxp"), "--program", "2"});
  ASSERT_EQ(loaded.code, 0) << loaded.err;
  EXPECT_NE(loaded.out.find("program  2 \"Slapback\""), std::string::npos) << loaded.out;
}

TEST_F(QvHostState, BankFileCarriesEveryProgramAndTheCurrentOne) {
  ASSERT_EQ(QvHost({"state", "plugin", "save", Path("b.fxb"), "--program", "4", "--param", "5=1"}).code, 0);
  PresetFile bank;
  std::string error;
  ASSERT_TRUE(ReadPresetFile(Path("b.fxb"), &bank, &error)) << error;
  EXPECT_EQ(bank.kind, PresetFile::kBankChunk);
  EXPECT_EQ(bank.numPrograms, 10);
  EXPECT_EQ(bank.currentProgram, 4);
  EXPECT_EQ(Render({"--load", Path("b.fxb"), "--double"}), Render({"--program", "4", "--param", "5=1", "--double"}));
  EXPECT_EQ(Render({"--load", Path("b.fxb"), "--program", "9", "--double"}), Render({"--program", "9", "--double"}));
}

TEST_F(QvHostState, ParameterListFilesFromOtherHosts) {
  const std::vector<float> values = {0.25f, 0.5f, 0.75f, 0.3f, 0.4f, 0.6f, 0.8f, 0.f, 0.f};
  PresetFile program;
  program.kind = PresetFile::kProgramParams;
  program.fxID = VstFourCC('q', 'v', 'b', 'd');
  program.programs = {{"From elsewhere", values}};
  std::string error;
  ASSERT_TRUE(WritePresetFile(Path("params.fxp"), program, &error));
  std::vector<std::string> asParams = {"--double"};
  for (size_t i = 0; i < values.size(); ++i) {
    asParams.push_back("--param");
    asParams.push_back(std::to_string(i) + "=" + std::to_string(values[i]));
  }
  std::string expected = Render(asParams);
  EXPECT_EQ(Render({"--load", Path("params.fxp"), "--double"}), expected);

  PresetFile bank;
  bank.kind = PresetFile::kBankPrograms;
  bank.fxID = program.fxID;
  bank.currentProgram = 3;
  for (int i = 0; i < 10; ++i) bank.programs.push_back({"p" + std::to_string(i), i == 3 ? values : std::vector<float>(9, 0.5f)});
  ASSERT_TRUE(WritePresetFile(Path("params.fxb"), bank, &error));
  EXPECT_EQ(Render({"--load", Path("params.fxb"), "--double"}), expected);
  Result shown = QvHost({"state", "plugin", "load", Path("params.fxb")});
  EXPECT_NE(shown.out.find("program  3 \"p3\""), std::string::npos) << shown.out << shown.err;
}

TEST_F(QvHostErrors, UsageMistakesExitTwo) {
  std::vector<std::vector<std::string>> lines = {
      {},
      {"render"},
      {"frobnicate", "plugin"},
      {"render", "plugin", input},
      {"render", "plugin", input, Path("x.wav"), "--block", "0"},
      {"render", "plugin", input, Path("x.wav"), "--rate", "10"},
      {"render", "plugin", input, Path("x.wav"), "--param", "3=1.5"},
      {"render", "plugin", input, Path("x.wav"), "--param", "3"},
      {"render", "plugin", input, Path("x.wav"), "--tempo", "fast"},
      {"render", "plugin", input, Path("x.wav"), "--tail"},
      {"render", "plugin", input, Path("x.wav"), "--bogus"},
      {"state", "plugin"},
      {"state", "plugin", "frob", Path("x.fxp")},
      {"state", "plugin", "load", Path("x.fxp"), "--param", "1=0"},
      {"info", "plugin", "extra"},
  };
  for (const auto& line : lines) {
    Result r = QvHost(line);
    EXPECT_EQ(r.code, 2) << testing::PrintToString(line);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
  // Numbers the plug-in does not have are mistakes on the command line too.
  struct Case {
    std::vector<std::string> line;
    const char* reason;
  } cases[] = {
      {{"render", "plugin", input, Path("x.wav"), "--program", "10"}, "programs 0 to 9"},
      {{"render", "plugin", input, Path("x.wav"), "--param", "9=0.5"}, "parameters 0 to 8"},
      {{"state", "plugin", "save", Path("x.fxp"), "--program", "12"}, "programs 0 to 9"},
      {{"state", "plugin", "load", Path("x.fxp"), "--program", "10"}, "programs 0 to 9"},
  };
  for (const Case& c : cases) {
    Result r = QvHost(c.line);
    EXPECT_EQ(r.code, 2) << testing::PrintToString(c.line) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
  }
  EXPECT_FALSE(Exists(Path("x.fxp")));
  EXPECT_FALSE(Exists(Path("x.wav")));
}

TEST_F(QvHostErrors, BadFilesAndValuesExitOneWithAReason) {
  auto write = [](const std::string& name, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(Path(name).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return Path(name);
  };
  std::vector<uint8_t> good;
  std::string error;
  WavAudio slow = Signal(100, 4000);
  ASSERT_TRUE(EncodeWav(slow, &good, &error));
  std::string slowRate = write("slow.wav", good);
  std::string truncated = write("trunc.wav", std::vector<uint8_t>(good.begin(), good.begin() + 60));
  std::vector<uint8_t> eightBit = good;
  eightBit[34] = 8;  // bits per sample
  std::string unsupported = write("8bit.wav", eightBit);
  ASSERT_EQ(QvHost({"state", "plugin", "save", Path("ok.fxp")}).code, 0);
  PresetFile preset;
  ASSERT_TRUE(ReadPresetFile(Path("ok.fxp"), &preset, &error));
  preset.fxID = VstFourCC('a', 'b', 'c', 'd');
  ASSERT_TRUE(WritePresetFile(Path("other.fxp"), preset, &error));
  preset.fxID = VstFourCC('q', 'v', 'b', 'd');
  preset.chunk.clear();
  ASSERT_TRUE(WritePresetFile(Path("empty.fxp"), preset, &error));
  std::string garbage = write("garbage.fxb", {'C', 'c', 'n', 'K', 0, 0, 0, 0, 'F', 'B', 'C', 'h', 0});

  struct Case {
    std::vector<std::string> line;
    const char* reason;
  } cases[] = {
      {{"info", "nowhere.so"}, "cannot load"},
      {{"render", "plugin", Path("missing.wav"), Path("x.wav")}, "cannot open"},
      {{"render", "plugin", truncated, Path("x.wav")}, "data chunk claims"},
      {{"render", "plugin", unsupported, Path("x.wav")}, "unsupported sample format"},
      {{"render", "plugin", slowRate, Path("x.wav")}, "--rate"},
      {{"render", "plugin", input, Path("x.wav"), "--load", Path("other.fxp")}, "'abcd', not 'qvbd'"},
      {{"render", "plugin", input, Path("x.wav"), "--load", Path("empty.fxp")}, "refused"},
      {{"render", "plugin", input, Path("x.wav"), "--load", garbage}, "cut short"},
      {{"render", "plugin", input, Path("x.wav"), "--load", Path("missing.fxb")}, "cannot open"},
      {{"render", "plugin", input, Path("x.wav"), "--tail", "3600", "--rate", "768000"}, "more than a stereo float WAV"},
      {{"state", "plugin", "save", Path("x.txt")}, ".fxp"},
      {{"state", "plugin", "load", input}, "not a preset"},
  };
  for (const Case& c : cases) {
    Result r = QvHost(c.line);
    EXPECT_EQ(r.code, 1) << testing::PrintToString(c.line) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << "expected '" << c.reason << "' in: " << r.err;
  }
  EXPECT_FALSE(Exists(Path("x.wav")));
  EXPECT_FALSE(Exists(Path("x.txt")));
  // A slow file renders once it is given a rate qvhost accepts.
  EXPECT_EQ(QvHost({"render", "plugin", slowRate, Path("slow_out.wav"), "--rate", "8000"}).code, 0);
}

TEST(QvHostLoadFailure, SaysInWordsWhatIsWrongWithTheFile) {
  auto write = [](const std::string& name, std::vector<uint8_t> bytes) {
    std::FILE* f = std::fopen(Path(name).c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return Path(name);
  };
  auto pe = [](uint16_t machine) {
    std::vector<uint8_t> b(0x90, 0);
    b[0] = 'M';
    b[1] = 'Z';
    b[0x3C] = 0x80;
    b[0x80] = 'P';
    b[0x81] = 'E';
    b[0x84] = static_cast<uint8_t>(machine & 0xFF);
    b[0x85] = static_cast<uint8_t>(machine >> 8);
    return b;
  };
  auto elf = [](uint8_t elfClass) {
    std::vector<uint8_t> b(64, 0);
    b[0] = 0x7F;
    b[1] = 'E';
    b[2] = 'L';
    b[3] = 'F';
    b[4] = elfClass;
    return b;
  };
  const std::string dll32 = write("x86.dll", pe(0x14C)), dll64 = write("x64.dll", pe(0x8664));
  const std::string so32 = write("x86.so", elf(1)), so64 = write("x64.so", elf(2));
  EXPECT_NE(LoadFailureReason(Path("none.dll")).find("no such file"), std::string::npos);
  EXPECT_NE(LoadFailureReason(write("text.dll", std::vector<uint8_t>(100, 'a'))).find("not a plug-in library"),
            std::string::npos);
#if defined(_WIN32)
  const bool wide = sizeof(void*) == 8;
  EXPECT_NE(LoadFailureReason(wide ? dll32 : dll64).find(wide ? "32-bit DLL and this host is 64-bit" : "64-bit DLL and this host is 32-bit"),
            std::string::npos);
  EXPECT_EQ(LoadFailureReason(wide ? dll64 : dll32), "");
  EXPECT_NE(LoadFailureReason(so64).find("Linux library"), std::string::npos);
#else
  EXPECT_NE(LoadFailureReason(dll32).find("Windows DLL"), std::string::npos);
  EXPECT_NE(LoadFailureReason(dll64).find("Windows DLL"), std::string::npos);
  EXPECT_NE(LoadFailureReason(so32).find("32-bit library and this host is 64-bit"), std::string::npos);
  EXPECT_EQ(LoadFailureReason(so64), "");
#endif
  EXPECT_EQ(ExplainLoaderError("LoadLibrary failed with error 193"),
            "it is not a valid library for this host (LoadLibrary failed with error 193)");
  EXPECT_EQ(ExplainLoaderError("LoadLibrary failed with error 126"),
            "a library it needs was not found (LoadLibrary failed with error 126)");
  EXPECT_EQ(ExplainLoaderError("LoadLibrary failed with error 12345"), "LoadLibrary failed with error 12345");
  EXPECT_EQ(ExplainLoaderError("libfoo.so: cannot open shared object file"), "libfoo.so: cannot open shared object file");
}

TEST(QvHostInfo, PrintsTheRecordAndThirtyTwoBitAnswersUnextended) {
  Result r = QvHost({"info", "plugin"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("effect        Quorvel Brigade Delay (Quorvel Music)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("hasCockosExtensions    0xBEEF0000\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("FFFFFFFF"), std::string::npos) << "sign-extended on 32-bit targets";
}
