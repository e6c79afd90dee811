#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/host/TestHost.h"
#include "tests/host/TestPlug.h"

namespace {
struct Fixture : PlugFixture {
  explicit Fixture(const char* vendor = "Quorvel Test Host") : PlugFixture(vendor) { plug->FillEmptyPresets(10); }
};

void PutInt(std::vector<uint8_t>& v, int32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>((static_cast<uint32_t>(x) >> (8 * i)) & 0xFF));
}
void PutDouble(std::vector<uint8_t>& v, double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  for (int i = 0; i < 8; ++i) v.push_back(static_cast<uint8_t>((bits >> (8 * i)) & 0xFF));
}
void PutString(std::vector<uint8_t>& v, const std::string& s) {
  PutInt(v, static_cast<int32_t>(s.size()));
  v.insert(v.end(), s.begin(), s.end());
}
std::vector<uint8_t> Header() { return {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}; }
}  // namespace

TEST(VstChunks, ProgramChunkBytes) {
  Fixture f;
  f.host.SetParameter(0, 0.25f);
  f.host.SetParameter(2, 1.0f);
  char name[] = "Lead";
  f.host.Dispatch(effSetProgramName, 0, 0, name);
  std::vector<uint8_t> expected = Header();
  PutDouble(expected, 0.25);
  PutDouble(expected, 1.0);
  PutDouble(expected, 1.0);
  PutString(expected, "Lead");
  EXPECT_EQ(f.host.GetChunk(false), expected);
}

TEST(VstChunks, BankChunkBytes) {
  Fixture f;
  f.host.SetParameter(1, 1.0f);  // Mode 4, stored into the current preset by the bank request
  std::vector<uint8_t> expected = Header();
  for (int i = 0; i < 10; ++i) {
    PutString(expected, "Empty");
    expected.push_back(1);
    PutDouble(expected, 0.5);
    PutDouble(expected, i == 0 ? 4.0 : 1.0);
    PutDouble(expected, 0.0);
  }
  EXPECT_EQ(f.host.GetChunk(true), expected);
}

TEST(VstChunks, RoundTripsIntoAFreshInstanceAndResavesIdentically) {
  Fixture a;
  a.host.SetParameter(0, 0.75f);
  a.host.Dispatch(effSetProgram, 0, 3);
  a.host.SetParameter(1, 0.25f);
  char name[] = "Three";
  a.host.Dispatch(effSetProgramName, 0, 0, name);
  std::vector<uint8_t> bank = a.host.GetChunk(true);
  std::vector<uint8_t> program = a.host.GetChunk(false);

  Fixture b;
  ASSERT_TRUE(b.host.SetChunk(bank, true));
  EXPECT_EQ(b.host.Dispatch(effGetProgram), 0) << "a bank does not carry the current program";
  EXPECT_EQ(b.plug->GetParam(0)->Value(), 0.75f);
  EXPECT_EQ(b.host.GetChunk(true), bank);
  b.host.Dispatch(effSetProgram, 0, 3);
  EXPECT_EQ(b.host.ProgramName(), "Three");
  EXPECT_EQ(b.plug->GetParam(1)->Value(), 1.0);
  EXPECT_EQ(b.host.GetChunk(false), program);

  // What hosts do: restore the program chunk, then select the program again.
  Fixture c;
  c.host.Dispatch(effSetProgram, 0, 3);
  ASSERT_TRUE(c.host.SetChunk(program, false));
  c.host.Dispatch(effSetProgram, 0, 3);
  EXPECT_EQ(c.host.GetChunk(false), program);
}

TEST(VstChunks, ProgramChunkWithoutHeaderIsReadFromTheStart) {
  Fixture f;
  std::vector<uint8_t> raw;
  PutDouble(raw, 0.1);
  PutDouble(raw, 3.0);
  PutDouble(raw, 1.0);
  ASSERT_TRUE(f.host.SetChunk(raw, false));
  EXPECT_EQ(f.plug->GetParam(0)->Value(), 0.1);
  EXPECT_EQ(f.plug->GetParam(1)->Value(), 3.0);
  EXPECT_EQ(f.host.ProgramName(), "Empty") << "no name follows: the old one stays";
  // The current preset holds what was read.
  f.host.Dispatch(effSetProgram, 0, 2);
  f.host.Dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(f.plug->GetParam(0)->Value(), 0.1);
}

TEST(VstChunks, ProgramChunkCutAtEveryLength) {
  Fixture source;
  source.host.SetParameter(0, 0.8f);
  std::vector<uint8_t> full = source.host.GetChunk(false);  // 8 + 24 + 4 + 5
  ASSERT_EQ(full.size(), 41u);
  for (size_t n = 0; n <= full.size(); ++n) {
    Fixture f;
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
    bool ok = f.host.SetChunk(cut, false);
    bool stateComplete = n >= 32;
    bool nameLengthCut = n > 32 && n < 36;
    EXPECT_EQ(ok, stateComplete && !nameLengthCut) << "length " << n;
    if (n >= 16) {
      EXPECT_FLOAT_EQ(static_cast<float>(f.plug->GetParam(0)->Value()), 0.8f) << "values read before the cut stay";
    }
  }
}

TEST(VstChunks, BankChunkCutAtEveryLengthFails) {
  Fixture source;
  std::vector<uint8_t> full = source.host.GetChunk(true);
  for (size_t n = 0; n < full.size(); ++n) {
    Fixture f;
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
    EXPECT_FALSE(f.host.SetChunk(cut, true)) << "length " << n;
  }
  Fixture f;
  EXPECT_TRUE(f.host.SetChunk(full, true));
}

TEST(VstChunks, DamagedBankFlagsAndNames) {
  Fixture f;
  std::vector<uint8_t> bank = Header();
  for (int i = 0; i < 10; ++i) {
    PutString(bank, i == 3 ? "" : "Slot");
    bank.push_back(i == 3 ? 0 : 1);
    if (i != 3) {
      PutDouble(bank, 0.1 * i);
      PutDouble(bank, 1.0);
      PutDouble(bank, 0.0);
    }
  }
  ASSERT_TRUE(f.host.SetChunk(bank, true));
  EXPECT_FALSE(f.plug->Preset(3).initialised);
  f.host.Dispatch(effSetProgram, 0, 3);
  EXPECT_EQ(f.host.ProgramName(), "user preset 1");

  // A negative name length is a failed read, never a step backwards.
  std::vector<uint8_t> negative = Header();
  PutInt(negative, -6);
  negative.push_back(1);
  EXPECT_FALSE(f.host.SetChunk(negative, true));
}

TEST(VstChunks, ChunkSwapHostsGetProgramsAndRetryBanks) {
  Fixture f("Native Instruments");
  f.host.SetParameter(0, 0.4f);
  std::vector<uint8_t> chunk = f.host.GetChunk(true);
  Fixture plain;
  plain.host.SetParameter(0, 0.4f);
  EXPECT_EQ(chunk, plain.host.GetChunk(false)) << "index 0 gives a program chunk";
  EXPECT_EQ(f.host.CountRequests(audioMasterGetVendorString), 1);
  f.host.GetChunk(true);
  EXPECT_EQ(f.host.CountRequests(audioMasterGetVendorString), 1) << "the answer is cached";

  // A bank handed to the program call is read as a bank.
  Fixture other;
  other.host.Dispatch(effSetProgram, 0, 2);
  other.host.SetParameter(1, 0.0f);
  std::vector<uint8_t> bank = other.host.GetChunk(true);
  Fixture swap("JUCE VST Host");
  EXPECT_TRUE(swap.host.SetChunk(bank, true));
  EXPECT_EQ(swap.host.Dispatch(effGetProgram), 0);
  swap.host.Dispatch(effSetProgram, 0, 2);
  EXPECT_EQ(swap.plug->GetParam(1)->Value(), 0.0);
}

TEST(VstChunks, HostsMayPassBackThePointerTheyGot) {
  for (bool bank : {false, true}) {
    Fixture f;
    f.host.SetParameter(0, 0.75f);
    f.host.SetParameter(1, 1.0f);
    void* data = nullptr;
    VstIntPtr size = f.host.Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
    ASSERT_GT(size, 0);
    const std::vector<uint8_t> saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    f.host.SetParameter(0, 0.0f);
    // For undo or compare: our own buffer, as it came.
    EXPECT_EQ(f.host.Dispatch(effSetChunk, bank ? 0 : 1, size, data), 1) << bank;
    EXPECT_EQ(f.plug->GetParam(0)->Value(), 0.75) << bank;
    EXPECT_EQ(f.plug->GetParam(1)->Value(), 4.0) << bank;
    EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size), saved);
  }
}

TEST(VstChunks, AGetChunkPointerOutlivesLargerSetChunksOfTheSameKind) {
  for (bool bank : {false, true}) {
    Fixture f;
    void* data = nullptr;
    VstIntPtr size = f.host.Dispatch(effGetChunk, bank ? 0 : 1, 0, &data);
    ASSERT_GT(size, 0);
    const std::vector<uint8_t> saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    // A program chunk far larger than ours: its long name makes the buffer grow.
    std::vector<uint8_t> big = Header();
    PutDouble(big, 0.5);
    PutDouble(big, 1.0);
    PutDouble(big, 0.0);
    PutString(big, std::string(200000, 'n'));
    for (int i = 0; i < 3; ++i) f.host.SetChunk(big, bank);
    // Still our memory, still the bytes handed out (ASan reports a freed block here).
    EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size), saved) << bank;
  }
}
