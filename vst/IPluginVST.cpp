#include "vst/IPluginVST.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "graphics/IGraphics.h"

namespace {
void SetArrangement(VstSpeakerArrangement& arrangement, int channels) {
  std::memset(&arrangement, 0, sizeof(arrangement));
  arrangement.numChannels = channels;
  arrangement.type = channels == 0   ? kSpeakerArrEmpty
                     : channels == 1 ? kSpeakerArrMono
                     : channels == 2 ? kSpeakerArrStereo
                                     : kSpeakerArrUserDefined;
}
}  // namespace

IPluginVST::IPluginVST(audioMasterCallback hostCallback, const IPluginInfo& info)
    : IPluginBase(info), mHostCallback(hostCallback) {
  std::memset(&mAEffect, 0, sizeof(mAEffect));
  mAEffect.magic = kEffectMagic;
  mAEffect.dispatcher = VSTDispatcher;
  mAEffect.process = VSTProcess;
  mAEffect.setParameter = VSTSetParameter;
  mAEffect.getParameter = VSTGetParameter;
  mAEffect.numPrograms = NPresets();
  mAEffect.numParams = NParams();
  mAEffect.numInputs = NInChannels();
  mAEffect.numOutputs = NOutChannels();
  mAEffect.initialDelay = Latency();
  mAEffect.ioRatio = 1.0f;
  mAEffect.object = this;
  mAEffect.uniqueID = UniqueID();
  mAEffect.version = DecimalVersion();
  mAEffect.processReplacing = VSTProcessReplacing;
  mAEffect.processDoubleReplacing = VSTProcessDoubleReplacing;
  mAEffect.flags = effFlagsCanReplacing | effFlagsProgramChunks | effFlagsCanDoubleReplacing;
  if (LegalIO(1, -1)) mAEffect.flags |= effFlagsCanMono;

  SetArrangement(mInputArrangement, NInChannels());
  SetArrangement(mOutputArrangement, NOutChannels());
  for (int i = 0; i < NInChannels(); ++i) SetInputConnected(i, true);
  for (int i = 0; i < NOutChannels(); ++i) SetOutputConnected(i, true);
  SetBlockSize(1024);
}

IPluginVST::~IPluginVST() = default;

VstIntPtr IPluginVST::Host(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return mHostCallback ? mHostCallback(&mAEffect, opcode, index, value, ptr, opt) : 0;
}

void IPluginVST::BeginParamGesture(int index) { Host(audioMasterBeginEdit, index); }

void IPluginVST::NotifyHostParamValue(int index, double normalized) {
  Host(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalized));
}

void IPluginVST::EndParamGesture(int index) { Host(audioMasterEndEdit, index); }

void IPluginVST::NotifyHostDisplayChanged() { Host(audioMasterUpdateDisplay); }

void IPluginVST::ReadTransport(ITransportInfo& info) {
  constexpr VstInt32 wanted = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  const VstTimeInfo* t = reinterpret_cast<const VstTimeInfo*>(Host(audioMasterGetTime, 0, wanted));
  if (!t || !(t->flags & wanted)) return;
  // Values that are not finite would poison the tempo-synced clock: treated as not given.
  auto finite = [](double v) { return std::isfinite(v); };
  if (finite(t->samplePos)) info.samplePos = t->samplePos;
  if ((t->flags & kVstPpqPosValid) && finite(t->ppqPos) && t->ppqPos >= 0.0) info.ppqPos = t->ppqPos;
  if ((t->flags & kVstTempoValid) && finite(t->tempo) && t->tempo > 0.0) info.tempo = t->tempo;
  if ((t->flags & kVstBarsValid) && finite(t->barStartPos) && t->barStartPos >= 0.0) info.lastBar = t->barStartPos;
  if ((t->flags & kVstCyclePosValid) && finite(t->cycleStartPos) && finite(t->cycleEndPos) &&
      t->cycleStartPos >= 0.0 && t->cycleEndPos >= 0.0) {
    info.cycleStart = t->cycleStartPos;
    info.cycleEnd = t->cycleEndPos;
  }
  if ((t->flags & kVstTimeSigValid) && t->timeSigNumerator > 0 && t->timeSigDenominator > 0) {
    info.numerator = t->timeSigNumerator;
    info.denominator = t->timeSigDenominator;
  }
  info.transportIsRunning = (t->flags & kVstTransportPlaying) != 0;
  info.transportLoopEnabled = (t->flags & kVstTransportCycleActive) != 0;
}

HostKind IPluginVST::IdentifyHost() {
  if (GetHostKind() != kHostUninit) return GetHostKind();
  char product[256] = {0};
  Host(audioMasterGetProductString, 0, 0, product);
  product[sizeof(product) - 1] = '\0';  // a host that fills the whole buffer must not run us off its end
  int32_t version = 0;
  if (product[0]) {
    VstIntPtr v = Host(audioMasterGetVendorVersion);
    // A negative or oversized answer is no version; shifting it would be undefined.
    if (v < 0 || v > 0x7FFFFFFF) v = 0;
    const uint32_t major = static_cast<uint32_t>(v / 10000), minor = static_cast<uint32_t>((v % 10000) / 100),
                   patch = static_cast<uint32_t>(v % 100);
    version = static_cast<int32_t>((major << 16) | (minor << 8) | patch);
  }
  SetHostIdentity(HostKindFromName(product), version);
  return GetHostKind();
}

void IPluginVST::PrepareForHost() {
  if (mHostPrepared) return;
  mHostPrepared = true;
  HostKind kind = IdentifyHost();
  if (kind == kHostForte || kind == kHostAudition || kind == kHostOrion || kind == kHostSAWStudio)
    RestrictToStereo();
  mAEffect.numInputs = mInputArrangement.numChannels = NInChannels();
  mAEffect.numOutputs = mOutputArrangement.numChannels = NOutChannels();
  HostIdentified();
}

bool IPluginVST::IsChunkSwapHost() {
  if (!mChunkSwapChecked) {
    char vendor[256] = {0};
    Host(audioMasterGetVendorString, 0, 0, vendor);
    vendor[sizeof(vendor) - 1] = '\0';
    for (char* c = vendor; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    mChunkSwapResult = !std::strcmp(vendor, "native instruments") || !std::strcmp(vendor, "juce vst host");
    mChunkSwapChecked = true;
  }
  return mChunkSwapResult;
}

void IPluginVST::AttachEditor(IGraphics* editor) {
  IPluginBase::AttachEditor(editor);
  if (!editor) return;
  editor->PrepDraw();
  // Hosts only see an editor where it can open a real window.
  if (editor->HasWindowLayer()) mAEffect.flags |= effFlagsHasEditor;
  else mAEffect.flags &= ~effFlagsHasEditor;
  mEditRect.top = 0;
  mEditRect.left = 0;
  mEditRect.bottom = static_cast<VstInt16>(editor->Height());
  mEditRect.right = static_cast<VstInt16>(editor->Width());
}

bool IPluginVST::ResizeEditor(int width, int height) {
  const ERect old = mEditRect;
  // Set first: hosts ask effEditGetRect from inside the size-window request.
  mEditRect.top = 0;
  mEditRect.left = 0;
  mEditRect.bottom = static_cast<VstInt16>(height);
  mEditRect.right = static_cast<VstInt16>(width);
  const IGraphics* editor = Editor();
  if (editor && editor->WindowIsOpen() && !Host(audioMasterSizeWindow, width, height)) {
    mEditRect = old;
    return false;
  }
  EditorResized();
  return true;
}

void IPluginVST::SetLatency(int frames) {
  IPluginBase::SetLatency(frames);
  mAEffect.initialDelay = frames;
}

bool IPluginVST::SendMidiToHost(const IMidiMessage& message) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = message.offset;
  event.midiData[0] = static_cast<char>(message.status);
  event.midiData[1] = static_cast<char>(message.data1);
  event.midiData[2] = static_cast<char>(message.data2);
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return Host(audioMasterProcessEvents, 0, 0, &events) == 1;
}

bool IPluginVST::SendSysExToHost(const ISysExMessage& message) {
  VstMidiSysexEvent event{};
  event.type = kVstSysExType;
  event.byteSize = sizeof(VstMidiSysexEvent);
  event.deltaFrames = message.offset;
  event.dumpBytes = message.size;
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(message.data));
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  return Host(audioMasterProcessEvents, 0, 0, &events) == 1;
}
