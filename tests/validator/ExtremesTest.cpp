// Hosts at the edges: every sample rate from 0 Hz to beyond the accepted
// ceiling, block sizes from 0 to 8192, calls larger than the block size, and
// allocations that fail. Nothing may crash, output stays finite, and a later
// sane setting brings the normal sound back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "product/QVDelayConfig.h"
#include "tests/validator/ValidatorSupport.h"

using namespace validator;

namespace {

// An echo of an impulse at 44.1 kHz comes where a fresh instance has it.
size_t EchoFrame(Instance& inst) {
  inst.host.SetParameter(kMix, 1.f);
  inst.host.SetParameter(kLFODepth, 0.f);
  inst.host.SetParameter(kFeedback, 0.5f);
  inst.host.SetParameter(kRange, 0.25f);
  inst.host.SetParameter(kTime, 0.6f);
  Process(inst, Stereo(44100), 512);
  Stereo in(44100);
  in.ch[0][0] = in.ch[1][0] = 1.f;
  Stereo out = Process(inst, in, 512);
  size_t best = 0;
  for (size_t i = 1; i < out.Frames(); ++i)
    if (std::fabs(out.ch[0][i]) > std::fabs(out.ch[0][best])) best = i;
  return best;
}

void SendControllers(Instance& inst, int count) {
  std::vector<VstMidiEvent> events(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    VstMidiEvent& e = events[static_cast<size_t>(i)];
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = i % 300;
    e.midiData[0] = static_cast<char>(0xB0);
    e.midiData[1] = 7;
    e.midiData[2] = static_cast<char>(i % 128);
  }
  inst.host.SendMidi(events);
}

size_t gFailAfter = 0;
void* FailingCells(std::size_t count, std::size_t size) {
  if (gFailAfter == 0) return nullptr;
  --gFailAfter;
  return std::calloc(count, size);
}

}  // namespace

TEST(ValidatorExtremes, EverySampleRateProcessesFinitelyAndASaneRateRecovers) {
  Instance reference;
  const size_t expected = EchoFrame(reference);
  ASSERT_GT(expected, 100u);
  const double rates[] = {0, 1, 800, 8000, 22050, 44100, 48000, 96000, 192000, 384000, 768000,
                          2.0e6, std::numeric_limits<double>::quiet_NaN(), -48000};
  for (double rate : rates) {
    for (bool suspend : {true, false}) {
      Instance inst(44100, 512);
      const int capacity = inst.plug->ControllerQueue().Capacity();
      inst.plug->SetControllerTarget(7, kTime);
      inst.Restart(rate, 512, suspend);
      for (int block = 0; block < 8; ++block) {
        SendControllers(inst, 200);
        Stereo out = Process(inst, Noise(512, static_cast<uint64_t>(block)), 512);
        ASSERT_TRUE(CleanOutput(out)) << rate << " Hz";
      }
      // Controllers apply at any rate, and the queue does not grow for ever.
      // (the queue's memory is taken once, before audio runs).
      EXPECT_LE(inst.plug->ControllerQueue().Back() - inst.plug->ControllerQueue().Front(), capacity) << rate << " Hz";
      EXPECT_EQ(inst.plug->ControllerQueue().Capacity(), capacity) << rate << " Hz";
      if (!(rate >= 1000 && rate <= 1.0e6)) {
        // No usable line: the double path writes silence too, not the host's old buffer contents.
        std::vector<double> garbage[2] = {std::vector<double>(300, 0.75), std::vector<double>(300, 0.75)};
        std::vector<double> in(300, 0.5);
        double* ins[2] = {in.data(), in.data()};
        double* outs[2] = {garbage[0].data(), garbage[1].data()};
        inst.effect->processDoubleReplacing(inst.effect, ins, outs, 300);
        if (!inst.plug->Line().IsReady()) {
          EXPECT_EQ(garbage[0], std::vector<double>(300, 0.0)) << rate << " Hz";
        }
      }
      if (rate > 1.0e6) {
        EXPECT_FALSE(inst.plug->Line().IsReady()) << "rates above 1 MHz are refused";
      }
      inst.Restart(44100, 512, suspend);
      inst.plug->SetControllerTarget(7, -1);
      EXPECT_EQ(EchoFrame(inst), expected) << "after " << rate << " Hz" << (suspend ? " suspended" : " running");
    }
  }
}

TEST(ValidatorExtremes, EveryBlockSizeAndLargerCallsStayFinite) {
  Instance inst(48000, 512);
  inst.host.Dispatch(effSetProgram, 0, 7);
  // Every size up to 64, then odd strides: the pieces and tails all differ.
  const int step = Emulated() ? 257 : 1;
  for (int block = 0; block <= 8192; block += (block < 64 ? step : block < 512 ? 29 : 331)) {
    inst.host.SetBlockSize(block);
    // Exactly the block size, then more than it.
    for (int frames : {block, block + 1, 2 * block + 17}) {
      Stereo out = Process(inst, Noise(static_cast<size_t>(frames), static_cast<uint64_t>(block)), frames);
      ASSERT_TRUE(CleanOutput(out)) << "block " << block << ", " << frames << " frames";
      if (block == 0 && frames > 0) {
        EXPECT_TRUE(Silent(out));
      }
    }
  }
  inst.host.SetBlockSize(8192);
  Stereo out = Process(inst, Noise(8192, 1), 8192);
  EXPECT_TRUE(CleanOutput(out));
  EXPECT_FALSE(Silent(out));
  // A huge block size is taken, and served, without gigabytes of scratch.
  inst.host.SetBlockSize(100000000);
  out = Process(inst, Noise(3000, 2), 3000);
  EXPECT_TRUE(CleanOutput(out));
  inst.host.SetBlockSize(512);
  Instance fresh(48000, 512);
  fresh.host.Dispatch(effSetProgram, 0, 7);
  EXPECT_EQ(EchoFrame(inst), EchoFrame(fresh));
}

TEST(ValidatorExtremes, FailedCellAllocationGivesSilenceAndALaterRateRecovers) {
  Instance reference;
  const size_t expected = EchoFrame(reference);
  for (size_t succeed : {0u, 1u}) {  // both channels fail, or only the second
    Instance inst(44100, 512);
    BrigadeLine& line = const_cast<BrigadeLine&>(inst.plug->Line());
    line.allocateCells = FailingCells;
    gFailAfter = succeed;
    inst.Restart(48000, 512, true);
    EXPECT_FALSE(inst.plug->Line().IsReady());
    Stereo out = Process(inst, Noise(4096, 3), 512);
    EXPECT_TRUE(CleanOutput(out));
    EXPECT_TRUE(Silent(out));
    gFailAfter = 1000;
    inst.Restart(44100, 512, true);
    EXPECT_TRUE(inst.plug->Line().IsReady());
    EXPECT_EQ(EchoFrame(inst), expected);
  }
}
