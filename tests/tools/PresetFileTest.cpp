// Preset and bank files: the container's byte layout, round trips and damaged files.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/qvhost/PresetFile.h"

namespace {
int32_t Be32(const std::vector<uint8_t>& v, size_t at) {
  return static_cast<int32_t>((static_cast<uint32_t>(v[at]) << 24) | (v[at + 1] << 16) | (v[at + 2] << 8) | v[at + 3]);
}
std::string Text(const std::vector<uint8_t>& v, size_t at, size_t n) {
  return std::string(reinterpret_cast<const char*>(&v[at]), n);
}
std::vector<uint8_t> Encode(const PresetFile& f) {
  std::vector<uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(EncodePresetFile(f, &bytes, &error)) << error;
  return bytes;
}
PresetFile Parse(const std::vector<uint8_t>& bytes) {
  PresetFile f;
  std::string error;
  EXPECT_TRUE(ParsePresetFile(bytes, &f, &error)) << error;
  return f;
}
PresetFile ChunkProgram() {
  PresetFile f;
  f.kind = PresetFile::kProgramChunk;
  f.fxID = 0x71766264;  // qvbd
  f.fxVersion = 20002;
  f.numParams = 9;
  f.programName = "Slapback";
  f.chunk = {1, 2, 3, 4, 5};
  return f;
}
PresetFile ParamBank() {
  PresetFile f;
  f.kind = PresetFile::kBankPrograms;
  f.fxID = 0x61626364;
  f.fxVersion = 3;
  f.currentProgram = 1;
  f.programs = {{"one", {0.f, 0.5f, 1.f}}, {"two", {0.25f, 0.75f, 0.125f}}};
  return f;
}
}  // namespace

TEST(PresetFileLayout, ProgramChunkIsTheBigEndianContainer) {
  std::vector<uint8_t> b = Encode(ChunkProgram());
  ASSERT_EQ(b.size(), 60u + 5u);
  EXPECT_EQ(Text(b, 0, 4), "CcnK");
  EXPECT_EQ(Be32(b, 4), static_cast<int32_t>(b.size() - 8));
  EXPECT_EQ(Text(b, 8, 4), "FPCh");
  EXPECT_EQ(Be32(b, 12), 1);
  EXPECT_EQ(Text(b, 16, 4), "qvbd");
  EXPECT_EQ(Be32(b, 20), 20002);
  EXPECT_EQ(Be32(b, 24), 9);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[28])), "Slapback");
  EXPECT_EQ(Be32(b, 56), 5);
  EXPECT_EQ(b[60], 1);
  EXPECT_EQ(b[64], 5);
}

TEST(PresetFileLayout, BankChunkHasItsReservedBytes) {
  PresetFile f = ChunkProgram();
  f.kind = PresetFile::kBankChunk;
  f.numPrograms = 10;
  f.currentProgram = 7;
  std::vector<uint8_t> b = Encode(f);
  ASSERT_EQ(b.size(), 160u + 5u);
  EXPECT_EQ(Text(b, 8, 4), "FBCh");
  EXPECT_EQ(Be32(b, 4), static_cast<int32_t>(b.size() - 8));
  EXPECT_EQ(Be32(b, 24), 10);
  EXPECT_EQ(Be32(b, 28), 7);
  for (size_t i = 32; i < 156; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(Be32(b, 156), 5);
}

TEST(PresetFileRoundTrip, AllFourKinds) {
  PresetFile program = ChunkProgram();
  PresetFile back = Parse(Encode(program));
  EXPECT_EQ(back.kind, PresetFile::kProgramChunk);
  EXPECT_EQ(back.fxID, program.fxID);
  EXPECT_EQ(back.fxVersion, program.fxVersion);
  EXPECT_EQ(back.programName, "Slapback");
  EXPECT_EQ(back.chunk, program.chunk);

  PresetFile bank = ChunkProgram();
  bank.kind = PresetFile::kBankChunk;
  bank.numPrograms = 10;
  bank.currentProgram = 4;
  back = Parse(Encode(bank));
  EXPECT_TRUE(back.IsBank());
  EXPECT_EQ(back.currentProgram, 4);
  EXPECT_EQ(back.numPrograms, 10);
  EXPECT_EQ(back.chunk, bank.chunk);

  PresetFile params;
  params.kind = PresetFile::kProgramParams;
  params.fxID = 0x61626364;
  params.programs = {{"a name longer than the twenty-eight bytes", {0.1f, 0.9f}}};
  std::vector<uint8_t> b = Encode(params);
  EXPECT_EQ(b.size(), 56u + 8u);
  EXPECT_EQ(b[28 + 27], 0) << "names keep their terminator";
  back = Parse(b);
  EXPECT_EQ(back.kind, PresetFile::kProgramParams);
  EXPECT_EQ(back.programName, "a name longer than the twen");
  ASSERT_EQ(back.programs.size(), 1u);
  EXPECT_EQ(back.programs[0].params, params.programs[0].params);

  PresetFile paramBank = ParamBank();
  back = Parse(Encode(paramBank));
  EXPECT_EQ(back.kind, PresetFile::kBankPrograms);
  EXPECT_EQ(back.currentProgram, 1);
  ASSERT_EQ(back.programs.size(), 2u);
  EXPECT_EQ(back.programs[1].name, "two");
  EXPECT_EQ(back.programs[1].params, paramBank.programs[1].params);
}

TEST(PresetFileDamaged, RefusedWithAReason) {
  std::vector<uint8_t> program = Encode(ChunkProgram());
  std::vector<uint8_t> bank = Encode(ParamBank());
  for (const std::vector<uint8_t>* good : {&program, &bank})
    for (size_t n = 0; n < good->size(); ++n) {
      PresetFile f;
      std::string error;
      EXPECT_FALSE(ParsePresetFile(std::vector<uint8_t>(good->begin(), good->begin() + n), &f, &error)) << n;
      EXPECT_FALSE(error.empty());
    }
  struct Case {
    size_t at;
    std::vector<uint8_t> bytes;
    const std::vector<uint8_t>* base;
    const char* reason;
  } cases[] = {
      {0, {'R', 'I', 'F', 'F'}, &program, "no 'CcnK'"},
      {8, {'X', 'x', 'C', 'k'}, &program, "unknown preset file type"},
      {56, {0x7F, 0xFF, 0xFF, 0xFF}, &program, "claims"},
      {56, {0xFF, 0xFF, 0xFF, 0xFF}, &program, "claims"},
      {24, {0x7F, 0xFF, 0xFF, 0xFF}, &bank, "bank claims"},
      {24, {0xFF, 0xFF, 0xFF, 0xFE}, &bank, "bank claims"},
      {156 + 24, {0x00, 0x10, 0x00, 0x00}, &bank, "parameters"},
      {156 + 8, {'F', 'P', 'C', 'h'}, &bank, "unknown program type"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = *c.base;
    std::memcpy(&bytes[c.at], c.bytes.data(), c.bytes.size());
    PresetFile f;
    std::string error;
    EXPECT_FALSE(ParsePresetFile(bytes, &f, &error)) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
  }
}

TEST(PresetFileDamaged, WrongByteSizeFieldIsTolerated) {
  // Hosts disagree about byteSize; the records inside decide.
  std::vector<uint8_t> b = Encode(ChunkProgram());
  b[4] = b[5] = b[6] = b[7] = 0;
  EXPECT_EQ(Parse(b).chunk, ChunkProgram().chunk);
}
