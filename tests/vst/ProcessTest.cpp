#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/host/TestHost.h"
#include "tests/host/TestPlug.h"

using Fixture = PlugFixture;

namespace {

std::vector<float> Ramp(int n, float scale) {
  std::vector<float> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = scale * static_cast<float>(i + 1);
  return v;
}
}  // namespace

TEST(VstProcess, ReplacingAccumulatingAndDouble) {
  Fixture f;
  f.host.Start(48000, 256);
  std::vector<float> in[2] = {Ramp(100, 0.01f), Ramp(100, -0.02f)};
  std::vector<float> out[2] = {std::vector<float>(100, 5.f), std::vector<float>(100, 5.f)};
  float* ins[2] = {in[0].data(), in[1].data()};
  float* outs[2] = {out[0].data(), out[1].data()};
  f.host.ClearRequests();
  f.host.Effect()->processReplacing(f.host.Effect(), ins, outs, 100);
  EXPECT_EQ(out[0], in[0]);
  EXPECT_EQ(out[1], in[1]);
  EXPECT_EQ(f.host.CountRequests(audioMasterWantMidi), 1) << "asked at the start of every block";

  // Accumulating: a second pass-through pass doubles the output.
  f.host.Effect()->process(f.host.Effect(), ins, outs, 100);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(out[0][static_cast<size_t>(i)], 2.f * in[0][static_cast<size_t>(i)]);

  std::vector<double> din[2] = {std::vector<double>(64, 0.5), std::vector<double>(64, -0.25)};
  std::vector<double> dout[2];
  f.host.ProcessDouble(din, dout, 64);
  EXPECT_EQ(dout[0], din[0]);
  EXPECT_EQ(dout[1], din[1]);

  // Zero frames: the block runs with 0 frames and writes nothing.
  f.plug->blocks = 0;
  out[0][0] = 9.f;
  f.host.Effect()->processReplacing(f.host.Effect(), ins, outs, 0);
  EXPECT_EQ(f.plug->blocks, 1);
  EXPECT_EQ(f.plug->lastFrames, 0);
  EXPECT_EQ(out[0][0], 9.f);
}

TEST(VstProcess, OversizedHostBlocksAreServedInPieces) {
  Fixture f;
  f.host.Start(44100, 64);
  std::vector<float> in[2] = {Ramp(1000, 0.001f), Ramp(1000, 0.002f)};
  std::vector<float> out[2];
  f.host.ProcessReplacing(in, out, 1000);  // one call of 1000 frames against a block size of 64
  EXPECT_EQ(out[0], in[0]);
  EXPECT_EQ(out[1], in[1]);
  EXPECT_LE(f.plug->maxFrames, 64);

  std::vector<double> din[2] = {std::vector<double>(777, 0.5), std::vector<double>(777, 0.75)};
  std::vector<double> dout[2];
  VstSpeakerArrangement mono{};
  mono.numChannels = 1;
  f.host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), nullptr);
  f.host.ProcessDouble(din, dout, 777);
  EXPECT_EQ(dout[0], din[0]);
  EXPECT_EQ(dout[1], std::vector<double>(777, 0.0)) << "a disconnected input reads zeros, within its scratch";
  EXPECT_LE(f.plug->maxFrames, 64);

  // No scratch memory at all: silence, never a write past a buffer.
  f.host.SetBlockSize(0);
  std::vector<float> out2[2];
  f.host.ProcessReplacing(in, out2, 500);
  EXPECT_EQ(out2[0], std::vector<float>(1000, 0.f));
}

TEST(VstProcess, DisconnectedInputReadsZeros) {
  Fixture f;
  f.host.Start(44100, 128);
  VstSpeakerArrangement mono{};
  mono.numChannels = 1;
  f.host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), nullptr);
  // The host passes one input buffer: it feeds channel 0, channel 1 reads zeros.
  std::vector<float> a = Ramp(50, 0.1f);
  std::vector<float> o0(50, 1.f), o1(50, 1.f);
  float* ins[1] = {a.data()};
  float* outs[2] = {o0.data(), o1.data()};
  f.host.Effect()->processReplacing(f.host.Effect(), ins, outs, 50);
  EXPECT_EQ(o0, a);
  EXPECT_EQ(o1, std::vector<float>(50, 0.f));
}

TEST(VstMidi, EventsInAndOut) {
  Fixture f;
  VstMidiEvent cc{};
  cc.type = kVstMidiType;
  cc.byteSize = sizeof(VstMidiEvent);
  cc.deltaFrames = 17;
  cc.midiData[0] = static_cast<char>(0xB3);
  cc.midiData[1] = 7;
  cc.midiData[2] = 100;
  VstMidiEvent other = cc;
  other.type = 99;
  f.host.ClearRequests();
  f.host.SendMidi({cc, other});
  ASSERT_EQ(f.plug->midi.size(), 1u);
  EXPECT_EQ(f.plug->midi[0].offset, 17);
  EXPECT_EQ(f.plug->midi[0].status, 0xB3);
  EXPECT_EQ(f.plug->midi[0].data2, 100);
  // The base handler sends the message straight back.
  ASSERT_EQ(f.host.CountRequests(audioMasterProcessEvents), 1);
  const HostRequest& r = f.host.requests.back();
  ASSERT_EQ(r.midi.size(), 1u);
  EXPECT_EQ(r.midi[0].byteSize, 32);
  EXPECT_EQ(r.midi[0].deltaFrames, 17);
  EXPECT_EQ(static_cast<uint8_t>(r.midi[0].midiData[0]), 0xB3);
  EXPECT_EQ(r.midi[0].midiData[3], 0);

  f.host.processEventsAnswer = 0;
  EXPECT_FALSE(f.plug->SendMidiToHost(f.plug->midi[0]));
  f.host.processEventsAnswer = 1;
  EXPECT_TRUE(f.plug->SendMidiToHost(f.plug->midi[0]));

  uint8_t dump[5] = {0xF0, 1, 2, 3, 0xF7};
  ISysExMessage sx;
  sx.size = 5;
  sx.data = dump;
  EXPECT_TRUE(f.plug->SendSysExToHost(sx));
  EXPECT_EQ(f.host.requests.back().sysexEvents, 1);

  // Sysex in; null entries skipped; no list at all is refused.
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof(sysex);
  sysex.dumpBytes = 5;
  sysex.sysexDump = reinterpret_cast<char*>(dump);
  struct {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[3];
  } list{3, 0, {nullptr, reinterpret_cast<VstEvent*>(&sysex), nullptr}};
  EXPECT_EQ(f.host.Dispatch(effProcessEvents, 0, 0, &list), 1);
  EXPECT_EQ(f.plug->sysexSizes, std::vector<int>{5});
  EXPECT_EQ(f.host.Dispatch(effProcessEvents), 0);
}

TEST(VstTransport, OnlyValidFieldsAreRead) {
  Fixture f;
  ITransportInfo t;
  f.plug->ReadTransport(t);  // host answers null
  EXPECT_EQ(t.tempo, 120.0);
  EXPECT_EQ(t.ppqPos, -1.0);

  f.host.timeInfoAvailable = true;
  VstTimeInfo& ti = f.host.timeInfo;
  ti.samplePos = 4410;
  ti.tempo = 0.0;
  ti.ppqPos = 8.5;
  ti.timeSigNumerator = 3;
  ti.timeSigDenominator = 0;
  ti.flags = kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid | kVstTransportPlaying;
  f.plug->ReadTransport(t);
  EXPECT_EQ(t.tempo, 120.0) << "a zero tempo is ignored";
  EXPECT_EQ(t.ppqPos, 8.5);
  EXPECT_EQ(t.samplePos, 4410);
  EXPECT_EQ(t.numerator, 4) << "a zero denominator leaves both alone";
  EXPECT_TRUE(t.transportIsRunning);
  EXPECT_FALSE(t.transportLoopEnabled);
  EXPECT_EQ(f.host.requests.back().value, 0x3E00);

  ti.flags = kVstTransportCycleActive;  // none of the requested validity bits
  ti.samplePos = 1;
  f.plug->ReadTransport(t);
  EXPECT_EQ(t.samplePos, 4410);
  EXPECT_TRUE(t.transportIsRunning);

  ti.flags = kVstTempoValid | kVstBarsValid | kVstCyclePosValid;
  ti.tempo = 90;
  ti.barStartPos = 8;
  ti.cycleStartPos = -1;
  ti.cycleEndPos = 16;
  f.plug->ReadTransport(t);
  EXPECT_EQ(t.tempo, 90.0);
  EXPECT_EQ(t.lastBar, 8.0);
  EXPECT_EQ(t.cycleEnd, -1.0) << "both cycle ends must be valid";
  EXPECT_FALSE(t.transportIsRunning);

  ti.flags = kVstTempoValid | kVstPpqPosValid;
  ti.tempo = INFINITY;
  ti.ppqPos = NAN;
  f.plug->ReadTransport(t);
  EXPECT_EQ(t.tempo, 90.0) << "values that are not finite are not taken";
  EXPECT_EQ(t.ppqPos, 8.5);
}
