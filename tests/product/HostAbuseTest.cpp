// The product under hosts that send what no sane host sends: extreme rates,
// damaged MIDI, values outside 0..1, texts in the display's own forms.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "dsp/PortableMath.h"
#include "tests/product/ProductFixture.h"

namespace {
VstMidiEvent CC(int controller, int value, int offset = 0) {
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof(VstMidiEvent);
  e.deltaFrames = offset;
  e.midiData[0] = static_cast<char>(0xB0);
  e.midiData[1] = static_cast<char>(controller);
  e.midiData[2] = static_cast<char>(value);
  return e;
}

// A VstEvents record with any number of pointers, written through plain
// memory as a host lays it out (the record declares only two).
void SendEvents(TestHost& host, std::vector<VstMidiEvent> events) {
  std::vector<unsigned char> storage(sizeof(VstEvents) + sizeof(VstEvent*) * events.size());
  VstEvents* list = reinterpret_cast<VstEvents*>(storage.data());
  list->numEvents = static_cast<VstInt32>(events.size());
  unsigned char* slots = storage.data() + offsetof(VstEvents, events);
  for (size_t i = 0; i < events.size(); ++i) {
    VstEvent* p = reinterpret_cast<VstEvent*>(&events[i]);
    std::memcpy(slots + i * sizeof(p), &p, sizeof(p));
  }
  host.Dispatch(effProcessEvents, 0, 0, list);
}

void Advance(ProductFixture& f, int frames, int block = 512) {
  std::vector<double> in[2] = {std::vector<double>(static_cast<size_t>(frames), 0.25),
                               std::vector<double>(static_cast<size_t>(frames), 0.25)};
  std::vector<double> out[2];
  f.host.ProcessDouble(in, out, block);
}

bool Text(ProductFixture& f, int index, const char* text) {
  return f.host.Dispatch(effString2Parameter, index, 0, const_cast<char*>(text)) == 1;
}
}  // namespace

TEST(ProductHostAbuse, RatesTooHighForTheCellsAreRefusedAndTheLineStaysSilent) {
  ProductFixture f;
  f.SetPlain(kMix, 0.5);
  for (double rate : {1073741824.0, 2e6, 1000001.0}) {
    f.host.SetSampleRate(rate);
    f.host.Resume();
    EXPECT_FALSE(f.plug->Line().IsReady()) << rate;
    std::vector<float> in[2] = {std::vector<float>(300, 0.5f), std::vector<float>(300, 0.5f)};
    std::vector<float> out[2];
    f.host.ProcessReplacing(in, out, 512);
    EXPECT_EQ(out[0], std::vector<float>(300, 0.0f)) << rate;
  }
  f.host.SetSampleRate(768000);
  EXPECT_TRUE(f.plug->Line().IsReady());
  EXPECT_EQ(f.plug->Line().bufferLength, 1536000);
  f.host.SetSampleRate(44100);
  EXPECT_EQ(f.plug->Line().bufferLength, 88200);
}

TEST(ProductHostAbuse, NormalisedValuesOutsideZeroToOneAreClampedEverywhere) {
  ProductFixture f;
  f.plug->SetControllerTarget(7, kFeedback);
  f.host.SetParameter(kFeedback, -1.0f);
  EXPECT_EQ(f.plug->GetParam(kFeedback)->Value(), -1.0) << "not -3";
  f.host.SetParameter(kFeedback, 3.0f);
  EXPECT_EQ(f.plug->GetParam(kFeedback)->Value(), 1.0);
  f.host.SetParameter(kRange, -1e30f);  // a float-to-int cast of this would be undefined
  EXPECT_EQ(f.plug->GetParam(kRange)->Value(), 0.0);
  f.host.SetParameter(kTime, 1e30f);
  EXPECT_EQ(f.plug->GetParam(kTime)->Value(), 1.0);
  f.host.SetParameter(kTime, std::nanf(""));
  EXPECT_EQ(f.plug->GetParam(kTime)->Value(), 1.0) << "NaN is still ignored";
  f.host.ClearRequests();
  f.plug->SetParamFromEditor(kMix, 2.0);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 1.0);
  ASSERT_EQ(f.host.CountRequests(audioMasterAutomate), 1);
  EXPECT_EQ(f.host.requests.back().opt, 1.0f) << "the host hears the value the parameter took";

  // The state round trip is stable.
  f.host.SetParameter(kFeedback, -0.5f);
  std::vector<uint8_t> chunk = f.host.GetChunk(false);
  ASSERT_TRUE(f.host.SetChunk(chunk, false));
  EXPECT_EQ(f.host.GetChunk(false), chunk);

  // The Cockos display request with a normalised value far outside 0..1.
  char text[64] = {0};
  f.host.Dispatch(effVendorSpecific, effGetParamDisplay, kRange, text, -1e30f);
  EXPECT_STREQ(text, "1-8");
}

TEST(ProductHostAbuse, ControllerValueBytesAbove127AreIgnored) {
  ProductFixture f;
  f.plug->SetControllerTarget(7, kMix);
  f.host.ClearRequests();
  SendEvents(f.host, {CC(7, 200), CC(7, 128)});
  Advance(f, 64);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.5);
  EXPECT_EQ(f.host.CountRequests(audioMasterAutomate), 0);
  EXPECT_TRUE(f.plug->ControllerQueue().Empty());
  // Nor does such a message teach a controller.
  f.plug->StartLearnPass(true, false);
  SendEvents(f.host, {CC(9, 255)});
  EXPECT_EQ(f.plug->LearnController(), -1);
  SendEvents(f.host, {CC(9, 127)});
  EXPECT_EQ(f.plug->LearnController(), 9);
}

TEST(ProductHostAbuse, UnusableRateThenAUsableOneRecoversTheLfoWithOrWithoutResume) {
  ProductFixture reference(44100);
  const double increment = reference.plug->Lfo().increment;
  ASSERT_GT(increment, 0.0);
  for (double bad : {std::nan(""), 0.0, -48000.0}) {
    for (bool resume : {false, true}) {
      ProductFixture f(44100);
      f.SetPlain(kLFODepth, 1.0);
      f.host.SetSampleRate(bad);
      f.host.Resume();
      f.host.SetSampleRate(44100);
      if (resume) f.host.Resume();
      EXPECT_DOUBLE_EQ(f.plug->Lfo().increment, increment) << bad << " resume " << resume;
      Advance(f, 4410);
      EXPECT_LT(f.plug->Lfo().value, 1.0) << "the sweep moves instead of parking at its top";
    }
  }
}

TEST(ProductHostAbuse, ControllersApplyAndTheQueueStaysBoundedAtAnyRate) {
  for (double rate : {500.0, 999.0, 0.6}) {
    ProductFixture f(rate, 64);
    ASSERT_TRUE(f.plug->Line().IsReady()) << rate;
    f.plug->SetControllerTarget(7, kMix);
    SendEvents(f.host, {CC(7, 127, 10)});
    Advance(f, 64, 64);
    EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 1.0) << rate;
    EXPECT_TRUE(f.plug->ControllerQueue().Empty()) << rate;
  }
  // Without a line at all (no usable rate) controllers still fall due.
  ProductFixture f(44100, 64);
  f.plug->SetControllerTarget(7, kMix);
  f.host.SetSampleRate(std::nan(""));
  SendEvents(f.host, {CC(7, 0, 3)});
  Advance(f, 64, 64);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.0);
  EXPECT_TRUE(f.plug->ControllerQueue().Empty());
}

TEST(ProductHostAbuse, TheControllerQueueHasAFixedCapacityAndCountsWhatItDrops) {
  ProductFixture f(44100, 256);
  f.plug->SetControllerTarget(7, kMix);
  const int capacity = f.plug->ControllerQueue().Capacity();
  EXPECT_EQ(capacity, kControllerQueueCapacity);
  std::vector<VstMidiEvent> flood(static_cast<size_t>(capacity) + 100, CC(7, 64, 0));
  flood.back() = CC(7, 127, 0);
  SendEvents(f.host, flood);
  EXPECT_EQ(f.plug->ControllerQueue().Capacity(), capacity) << "no growth on the audio thread";
  EXPECT_EQ(f.plug->ControllerQueue().Back(), capacity);
  EXPECT_EQ(f.plug->ControllerQueue().Dropped(), 100);
  Advance(f, 256, 256);
  EXPECT_TRUE(f.plug->ControllerQueue().Empty()) << "all due messages go in one tick";
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 64 / 127.0) << "the last one that fitted";
}

TEST(ProductHostAbuse, ExtremeOffsetsAndLongEventListsAreSafe) {
  ProductFixture f(44100, 64);
  f.plug->SetControllerTarget(7, kMix);
  f.plug->SetControllerTarget(8, kQuality);
  // More pointers than the record declares, offsets at both ends of the range.
  SendEvents(f.host, {CC(7, 0, INT_MIN), CC(8, 0, INT_MIN + 1), CC(7, 127, INT_MAX), CC(9, 1, -5), CC(8, 127, 1)});
  Advance(f, 64, 64);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.0);
  EXPECT_EQ(f.plug->GetParam(kQuality)->Value(), 1.0);
  ASSERT_EQ(f.plug->ControllerQueue().Back(), 1) << "the one at INT_MAX still waits";
  Advance(f, 64 * 8, 64);
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.0);
}

TEST(ProductHostAbuse, HostTextEntryAcceptsTheDisplaysOwnForms) {
  ProductFixture f;
  EXPECT_TRUE(Text(f, kFeedback, "40%"));
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kFeedback)->Value(), 0.4);
  EXPECT_TRUE(Text(f, kFeedback, f.Display(kFeedback).c_str()));
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kFeedback)->Value(), 0.4) << "what the host shows goes back unchanged";
  EXPECT_TRUE(Text(f, kFeedback, " -12.5 % "));
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kFeedback)->Value(), -0.125);
  EXPECT_TRUE(Text(f, kFeedback, "0.3"));
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kFeedback)->Value(), 0.3) << "a bare number is the plain value";
  EXPECT_TRUE(Text(f, kQuality, "25%"));
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kQuality)->Value(), 0.25);

  EXPECT_TRUE(Text(f, kMix, "50:50"));
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kMix)->Value(), 0.5);
  EXPECT_TRUE(Text(f, kMix, "75:25"));
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kMix)->Value(), 0.25);
  EXPECT_EQ(f.Display(kMix), "75:25");
  EXPECT_TRUE(Text(f, kMix, "wet"));
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 1.0);
  EXPECT_TRUE(Text(f, kMix, "Dry"));
  EXPECT_EQ(f.plug->GetParam(kMix)->Value(), 0.0);
  EXPECT_TRUE(Text(f, kMix, "0.7"));
  EXPECT_DOUBLE_EQ(f.plug->GetParam(kMix)->Value(), 0.7);

  EXPECT_TRUE(Text(f, kRange, "250-2000"));
  EXPECT_EQ(f.plug->GetParam(kRange)->Value(), 4.0);
  EXPECT_TRUE(Text(f, kRange, "1-8"));
  EXPECT_EQ(f.plug->GetParam(kRange)->Value(), 0.0);
  EXPECT_TRUE(Text(f, kRange, "2"));
  EXPECT_EQ(f.plug->GetParam(kRange)->Value(), 2.0);

  EXPECT_TRUE(Text(f, kDelaySync, "ON"));
  EXPECT_EQ(f.plug->GetParam(kDelaySync)->Value(), 1.0);
  EXPECT_TRUE(Text(f, kDelaySync, "Off"));
  EXPECT_EQ(f.plug->GetParam(kDelaySync)->Value(), 0.0);
  EXPECT_FALSE(Text(f, kDelaySync, "maybe"));
  EXPECT_EQ(f.plug->GetParam(kDelaySync)->Value(), 0.0);
}
