#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/Trace.h"
#include "tests/host/TestHost.h"
#include "tests/host/TestPlug.h"

using Fixture = PlugFixture;

TEST(VstDispatcher, EffectRecord) {
  Fixture f;
  EXPECT_EQ(f.e->magic, VstFourCC('V', 's', 't', 'P'));
  EXPECT_EQ(f.e->numPrograms, 10);
  EXPECT_EQ(f.e->numParams, 3);
  EXPECT_EQ(f.e->numInputs, 2);
  EXPECT_EQ(f.e->numOutputs, 2);
  EXPECT_EQ(f.e->flags, 0x1038) << "no editor attached";
  EXPECT_EQ(f.e->uniqueID, VstFourCC('t', 'e', 's', 't'));
  EXPECT_EQ(f.e->version, 10203);
  EXPECT_EQ(f.e->ioRatio, 1.0f);
  EXPECT_EQ(f.e->initialDelay, 0);
  EXPECT_EQ(f.e->object, f.plug);
  EXPECT_EQ(f.e->user, nullptr);
  f.plug->SetLatency(32);
  EXPECT_EQ(f.e->initialDelay, 32);

  TestHost h;  // no configuration with one input: no mono flag
  h.Create([](audioMasterCallback cb) { return (new TestPlug(cb, "2-2"))->Effect(); });
  EXPECT_EQ(h.Effect()->flags, 0x1030);
}

TEST(VstDispatcher, FixedAnswers) {
  Fixture f;
  EXPECT_EQ(f.host.Dispatch(effIdentify), 0x4E764566);
  EXPECT_EQ(f.host.Dispatch(effGetVstVersion), 2400);
  EXPECT_EQ(f.host.Dispatch(effGetTailSize), 0);
  EXPECT_EQ(f.host.Dispatch(effGetPlugCategory), kPlugCategEffect);
  EXPECT_EQ(f.host.Dispatch(effGetVendorVersion), 10203);
  EXPECT_EQ(f.host.Dispatch(effCanBeAutomated, 99), 1);
  EXPECT_EQ(f.host.Dispatch(effProcessVarIo), 0);
  EXPECT_EQ(f.host.Dispatch(70), 0);
  EXPECT_EQ(f.host.Dispatch(effGetEffectName), 0) << "null ptr";
  char text[256];
  EXPECT_EQ(f.host.Dispatch(effGetEffectName, 0, 0, text), 1);
  EXPECT_STREQ(text, "Test Plug");
  EXPECT_EQ(f.host.Dispatch(effGetVendorString, 0, 0, text), 1);
  EXPECT_STREQ(text, "Test Vendor");
  EXPECT_EQ(f.host.Dispatch(effGetProductString, 0, 0, text), 1);
  EXPECT_STREQ(text, "Test Product");
  AEffect orphan{};
  EXPECT_EQ(IPluginVST::VSTDispatcher(&orphan, effIdentify, 0, 0, nullptr, 0.f), 0) << "no object, no answer";
  EXPECT_EQ(IPluginVST::VSTDispatcher(nullptr, effIdentify, 0, 0, nullptr, 0.f), 0);
}

TEST(VstDispatcher, CanDoAndVendorSpecific) {
  Fixture f;
  auto canDo = [&](const char* s) { return f.host.Dispatch(effCanDo, 0, 0, const_cast<char*>(s)); };
  EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
  EXPECT_EQ(canDo("sendVstEvents"), 1);
  EXPECT_EQ(canDo("sendVstMidiEvent"), 1);
  EXPECT_EQ(canDo("receiveVstEvents"), 1);
  EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(canDo("ReceiveVstTimeInfo"), 0) << "case-sensitive";
  EXPECT_EQ(canDo("bypass"), 0);
  EXPECT_EQ(f.host.Dispatch(effCanDo), 0);
  EXPECT_EQ(f.plug->CockosExtensionFlags(), 0);
  EXPECT_EQ(canDo("hasCockosExtensions"), static_cast<VstIntPtr>(0xBEEF0000));
  EXPECT_EQ(canDo("hasCockosViewAsConfig"), static_cast<VstIntPtr>(0xBEEF0000));
  EXPECT_EQ(f.plug->CockosExtensionFlags(), 3);

  char text[64] = "untouched";
  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, effGetParamDisplay, 7, text, 0.5f), 0xBEEF);
  EXPECT_STREQ(text, "untouched") << "out-of-range parameter leaves ptr alone";
  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, effGetParamDisplay, 0, text, 0.5f), 0xBEEF);
  EXPECT_STREQ(text, "0.50");
  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, effGetParamDisplay, 0, nullptr, 0.5f), 0);
  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, effGetParamName, 1), 0xBEEF) << "Int moves in steps";
  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, effGetParamName, 0), 0) << "Double does not";
  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, effGetParamName, 3), 0);
  EXPECT_EQ(f.host.Dispatch(effVendorSpecific, 3, 0), 0);
}

TEST(VstDispatcher, ParameterCallsAndTexts) {
  Fixture f;
  f.plug->changed.clear();
  f.host.SetParameter(-1, 0.5f);
  f.host.SetParameter(3, 0.5f);
  EXPECT_TRUE(f.plug->changed.empty());
  EXPECT_EQ(f.host.GetParameter(3), 0.0f);
  f.host.SetParameter(1, 0.6f);
  EXPECT_EQ(f.plug->GetParam(1)->Value(), 2.0);
  EXPECT_EQ(f.host.GetParameter(1), 0.5f);
  EXPECT_EQ(f.plug->changed, std::vector<int>{1});

  EXPECT_EQ(f.host.ParamText(effGetParamName, 0), "Gain");
  EXPECT_EQ(f.host.ParamText(effGetParamDisplay, 1), "2");
  EXPECT_EQ(f.host.ParamText(effGetParamDisplay, 2), "off");
  EXPECT_EQ(f.host.ParamText(effGetParamLabel, 2), "");
  EXPECT_EQ(f.host.ParamText(effGetParamName, 5), "");

  // Text entry: display texts must match exactly; numbers are clamped, not stepped.
  char on[] = "on", nope[] = "nope", num[] = "3.7 steps", big[] = "40";
  EXPECT_EQ(f.host.Dispatch(effString2Parameter, 2, 0, on), 1);
  EXPECT_EQ(f.plug->GetParam(2)->Value(), 1.0);
  EXPECT_EQ(f.host.Dispatch(effString2Parameter, 2, 0, nope), 0);
  EXPECT_EQ(f.plug->GetParam(2)->Value(), 1.0);
  EXPECT_EQ(f.host.Dispatch(effString2Parameter, 1, 0, num), 1);
  EXPECT_EQ(f.plug->GetParam(1)->Value(), 3.7);
  EXPECT_EQ(f.host.Dispatch(effString2Parameter, 1, 0, big), 1);
  EXPECT_EQ(f.plug->GetParam(1)->Value(), 4.0);
  EXPECT_EQ(f.host.Dispatch(effString2Parameter, 1, 0, nullptr), 1);
  EXPECT_EQ(f.host.Dispatch(effString2Parameter, 9, 0, num), 0);
}

TEST(VstDispatcher, ProgramsAndNames) {
  Fixture f;
  f.plug->FillEmptyPresets(10);
  f.host.SetParameter(0, 0.2f);
  f.host.Dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(f.host.Dispatch(effGetProgram), 1);
  // The preset that was left keeps the edits made while it was current.
  f.host.SetParameter(0, 0.9f);
  f.host.Dispatch(effSetProgram, 0, 0);
  EXPECT_FLOAT_EQ(f.host.GetParameter(0), 0.2f);
  f.host.Dispatch(effSetProgram, 0, 1);
  EXPECT_FLOAT_EQ(f.host.GetParameter(0), 0.9f);
  f.host.Dispatch(effSetProgram, 0, 42);
  EXPECT_EQ(f.host.Dispatch(effGetProgram), 1);

  // Names are kept to 255 characters; the host's 24-byte field gets 23.
  std::string longName(400, 'p');
  f.plug->presetChanges = 0;
  f.host.Dispatch(effSetProgramName, 0, 0, &longName[0]);
  EXPECT_EQ(std::string(f.plug->PresetName(f.plug->CurrentPresetIndex())), std::string(255, 'p'));
  EXPECT_EQ(f.host.ProgramName(), std::string(23, 'p'));
  EXPECT_EQ(f.plug->presetChanges, 1);
  char text[256] = "x";
  EXPECT_EQ(f.host.Dispatch(effGetProgramNameIndexed, 0, 0, text), 1);
  EXPECT_STREQ(text, "Empty");
  EXPECT_EQ(f.host.Dispatch(effGetProgramNameIndexed, 12, 0, text), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(f.host.Dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
}

TEST(VstDispatcher, UninitialisedProgramBecomesUserPreset) {
  Fixture f;
  f.host.SetParameter(0, 0.3f);
  EXPECT_EQ(f.host.Dispatch(effSetProgram, 0, 5), 0);
  EXPECT_EQ(f.host.Dispatch(effGetProgram), 5);
  EXPECT_EQ(f.host.ProgramName(), "user preset 1");
  EXPECT_TRUE(f.plug->Preset(5).initialised);
}

TEST(VstDispatcher, PinsAndSpeakers) {
  Fixture f;
  VstPinProperties pin{};
  EXPECT_EQ(f.host.Dispatch(effGetInputProperties, 0, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 3);
  EXPECT_STREQ(pin.label, "Input 1");
  f.plug->OutChannel(1).label = "Right side";
  EXPECT_EQ(f.host.Dispatch(effGetOutputProperties, 1, 0, &pin), 1);
  EXPECT_EQ(pin.flags, 1);
  EXPECT_STREQ(pin.label, "Right side");
  EXPECT_EQ(f.host.Dispatch(effGetInputProperties, 2, 0, &pin), 0);
  EXPECT_EQ(f.host.Dispatch(effGetInputProperties, 0, 0, nullptr), 0);

  VstSpeakerArrangement mono{};
  mono.numChannels = 1;
  mono.type = kSpeakerArrMono;
  EXPECT_EQ(f.host.Dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&mono), &mono), 1);
  EXPECT_TRUE(f.plug->InChannel(0).connected);
  EXPECT_FALSE(f.plug->InChannel(1).connected);
  EXPECT_FALSE(f.plug->OutChannel(1).connected);
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(f.host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
  ASSERT_TRUE(in && out);
  EXPECT_EQ(in->type, kSpeakerArrStereo) << "the host's arrangement never overwrites ours";
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(out->numChannels, 2);
}

TEST(VstDispatcher, OpenIdentifiesTheHostOnce) {
  TestHost host;
  host.productString = "Nuendo 12 (Cubase engine)";
  host.vendorVersion = 120305;
  host.Create(TestPlug::Make);
  TestPlug* plug = TestPlug::Of(host.Effect());
  plug->changed.clear();
  host.Open();
  EXPECT_EQ(plug->GetHostKind(), kHostCubase);
  EXPECT_EQ(plug->HostVersion(), (12 << 16) | (3 << 8) | 5);
  EXPECT_EQ(plug->changed, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(host.CountRequests(audioMasterGetProductString), 1);
  host.Open();
  EXPECT_EQ(host.CountRequests(audioMasterGetProductString), 1);

  TestHost anonymous;
  anonymous.productString = "";
  anonymous.Create(TestPlug::Make);
  anonymous.Open();
  EXPECT_EQ(TestPlug::Of(anonymous.Effect())->GetHostKind(), kHostUnknown);
  EXPECT_EQ(TestPlug::Of(anonymous.Effect())->HostVersion(), 0);
  EXPECT_EQ(anonymous.CountRequests(audioMasterGetVendorVersion), 0);
  EXPECT_EQ(anonymous.CountRequests(audioMasterVersion), 0) << "no host-version query, ever";
}

TEST(VstDispatcher, RequestsCarryTheirOpcodes) {
  Fixture f;
  f.host.ClearRequests();
  f.plug->BeginParamGesture(2);
  f.plug->NotifyHostParamValue(2, 0.25);
  f.plug->EndParamGesture(2);
  f.plug->NotifyHostDisplayChanged();
  ASSERT_EQ(f.host.requests.size(), 4u);
  EXPECT_EQ(f.host.requests[0].opcode, audioMasterBeginEdit);
  EXPECT_EQ(f.host.requests[0].index, 2);
  EXPECT_EQ(f.host.requests[1].opcode, audioMasterAutomate);
  EXPECT_EQ(f.host.requests[1].opt, 0.25f);
  EXPECT_EQ(f.host.requests[2].opcode, audioMasterEndEdit);
  EXPECT_EQ(f.host.requests[3].opcode, audioMasterUpdateDisplay);
  EXPECT_EQ(f.host.requests[3].index, 0);
}

namespace {
// A name longer than any field, and a plug-in whose identity texts are too.
class LongNamesPlug : public IPluginVST {
 public:
  static IPluginInfo Info() {
    static const std::string name(200, 'e'), product(200, 'p'), vendor(200, 'v');
    return IPluginInfo{"2-2", 1, 2, name.c_str(), product.c_str(), vendor.c_str(), VstFourCC('l', 'o', 'n', 'g'),
                       0x00010000, false, false};
  }
  explicit LongNamesPlug(audioMasterCallback host) : IPluginVST(host, Info()) {
    GetParam(0)->DefineDouble(std::string(200, 'n').c_str(), 0.5, 0.0, 1.0, 0.01);
    GetParam(0)->SetLabel(std::string(200, 'l').c_str());
    GetParam(0)->displayFunction = [](double, char* text) { std::memset(text, 'd', kParamTextSize - 1); };
  }
};

// Writes one text request into a buffer of guard bytes; returns how many
// bytes the plug-in wrote, up to and including the terminator.
size_t Written(TestHost& host, VstInt32 opcode, VstInt32 index = 0) {
  unsigned char buffer[512];
  std::memset(buffer, 0xA5, sizeof(buffer));
  host.Dispatch(opcode, index, 0, buffer);
  size_t end = sizeof(buffer);
  while (end > 0 && buffer[end - 1] == 0xA5) --end;
  return end;
}
}  // namespace

TEST(VstDispatcher, TextsStayWithinTheFieldsHostsAllocate) {
  TestHost host;
  host.Create([](audioMasterCallback cb) { return (new LongNamesPlug(cb))->Effect(); });
  IPluginVST* plug = IPluginVST::FromEffect(host.Effect());
  plug->FillEmptyPresets(2);
  std::string longName(300, 'x');
  host.Dispatch(effSetProgramName, 0, 0, &longName[0]);
  EXPECT_EQ(Written(host, effGetProgramName), size_t(kVstMaxProgNameLen));
  EXPECT_EQ(Written(host, effGetProgramNameIndexed, 0), size_t(kVstMaxProgNameLen));
  EXPECT_EQ(Written(host, effGetEffectName), size_t(kVstMaxEffectNameLen));
  EXPECT_EQ(Written(host, effGetVendorString), size_t(kVstMaxVendorStrLen));
  EXPECT_EQ(Written(host, effGetProductString), size_t(kVstMaxProductStrLen));
  // Parameter texts: 32 bytes, what hosts give in practice.
  EXPECT_EQ(Written(host, effGetParamName), size_t(kParamTextSize));
  EXPECT_EQ(Written(host, effGetParamLabel), size_t(kParamTextSize));
  EXPECT_EQ(Written(host, effGetParamDisplay), size_t(kParamTextSize));
  // The full name stays in the state.
  EXPECT_EQ(std::string(plug->PresetName(0)), std::string(255, 'x'));
}

TEST(VstDispatcher, HostVersionsThatCannotBeShiftedCountAsNone) {
  for (VstIntPtr version : {VstIntPtr(-1), VstIntPtr(-120305), VstIntPtr(INT32_MIN)}) {
    TestHost host;
    host.vendorVersion = version;
    host.Create(TestPlug::Make);
    host.Open();
    EXPECT_EQ(TestPlug::Of(host.Effect())->HostVersion(), 0) << version;
  }
}
