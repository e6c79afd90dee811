// The dispatcher and the host's parameter calls.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/ParamText.h"
#include "framework/Trace.h"
#include "graphics/IGraphics.h"
#include "graphics/IGraphicsScale.h"
#include "vst/IPluginVST.h"
#include "vst/VendorEditorScale.h"
#include "vst3/Vst3Identity.h"

namespace {
// Hosts give a buffer per text request, sized by the ABI's field: program
// names 24 bytes, effect names 32, vendor and product strings 64. Parameter
// names, labels and displays get kParamTextSize (32): what hosts allocate in
// practice, far above the ABI's nominal 8.
void CopyToHost(void* ptr, const char* text, int size) { CopyText(static_cast<char*>(ptr), text, size); }
}  // namespace

VstIntPtr VSTCALLBACK IPluginVST::VSTDispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                                void* ptr, float opt) {
  IPluginVST* plug = FromEffect(effect);
  if (!plug) return 0;
  if (opcode == effClose) {
    // The lock is released before the instance (and the lock with it) goes.
    plug->Mutex().Enter();
    plug->Mutex().Leave();
    delete plug;
    return 0;
  }
  if (opcode == effEditIdle && plug->Editor()) {
    // Window layers that poll handle their events here, and a menu or message
    // box opened by a click runs until the user answers: the audio thread must
    // not wait for the lock all that time. Win32 runs the same events outside
    // the lock, from its window procedure.
    plug->Editor()->Idle();
  }
  IMutexLock lock(plug->Mutex());
  return plug->Dispatch(opcode, index, value, ptr, opt);
}

VstIntPtr IPluginVST::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effOpen:
      PrepareForHost();
      for (int n = 0; n < NParams(); ++n) ParameterChanged(n);
      return 0;
    case effSetProgram:
      ModifyCurrentPreset();
      // Program numbers beyond the int range are no program at all.
      LoadPreset(value >= 0 && value < NPresets() ? static_cast<int>(value) : -1);
      return 0;
    case effGetProgram:
      return CurrentPresetIndex();
    case effSetProgramName:
      if (ptr) {
        char name[kPresetNameSize];
        CopyText(name, static_cast<const char*>(ptr), kPresetNameSize);
        ModifyCurrentPreset(name);
        PresetChanged();
      }
      return 0;
    case effGetProgramName:
      if (ptr) CopyToHost(ptr, PresetName(CurrentPresetIndex()), kVstMaxProgNameLen);
      return 0;
    case effGetParamLabel:
      if (ValidParam(index) && ptr) CopyToHost(ptr, GetParam(index)->LabelForValue(), kParamTextSize);
      return 0;
    case effGetParamDisplay:
      if (ValidParam(index) && ptr) GetParam(index)->FormatValue(GetParam(index)->Value(), false, static_cast<char*>(ptr), true);
      return 0;
    case effGetParamName:
      if (ValidParam(index) && ptr) CopyToHost(ptr, GetParam(index)->Name(), kParamTextSize);
      return 0;
    case effSetSampleRate:
      SetSampleRate(opt);
      ResetProcessing();
      return 0;
    case effSetBlockSize:
      SetBlockSize(value < 0 ? 0 : value > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(value));
      ResetProcessing();
      return 0;
    case effMainsChanged:
      if (value) {
        SetActive(true);
      } else {
        SetActive(false);
        ResetProcessing();
      }
      return 0;
    case effEditGetRect:
      // Only an editor that can open a real window here is offered to the host.
      if (ptr && Editor() && Editor()->HasWindowLayer()) {
        *static_cast<ERect**>(ptr) = &mEditRect;
        return 1;
      }
      return 0;
    case effEditOpen:
      if (ptr && Editor() && Editor()->HasWindowLayer() && Editor()->OpenWindow(ptr)) {
        EditorOpened();
        return 1;
      }
      return 0;
    case effEditClose:
      if (!Editor()) return 0;
      EditorClosed();
      Editor()->CloseWindow();
      return 1;
    case effEditIdle:
      EditorIdle();
      return 0;
    case effIdle:
      EditorIdle();
      return 0;
    case effIdentify:
      return VstFourCC('N', 'v', 'E', 'f');
    case effGetChunk:
      if (!ptr) return 0;
      return GetChunk(static_cast<void**>(ptr), index == 0 && !IsChunkSwapHost());
    case effSetChunk:
      if (!ptr) return 0;
      return SetChunk(ptr, value, index == 0 && !IsChunkSwapHost());
    case effProcessEvents:
      if (!ptr) return 0;
      ProcessEvents(static_cast<const VstEvents*>(ptr));
      return 1;
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return String2Parameter(index, static_cast<const char*>(ptr));
    case effGetProgramNameIndexed:
      if (!ptr) return 0;
      CopyToHost(ptr, PresetName(index), kVstMaxProgNameLen);
      return static_cast<char*>(ptr)[0] ? 1 : 0;
    case effGetInputProperties:
      return PinProperties(index, static_cast<VstPinProperties*>(ptr), true);
    case effGetOutputProperties:
      return PinProperties(index, static_cast<VstPinProperties*>(ptr), false);
    case effGetPlugCategory:
      return IsInstrument() ? kPlugCategSynth : kPlugCategEffect;
    case effProcessVarIo:
      return 0;
    case effSetSpeakerArrangement:
      SetSpeakerArrangement(reinterpret_cast<const VstSpeakerArrangement*>(value), true);
      SetSpeakerArrangement(static_cast<const VstSpeakerArrangement*>(ptr), false);
      return 1;
    case effGetEffectName:
      if (!ptr) return 0;
      CopyToHost(ptr, EffectName(), kVstMaxEffectNameLen);
      return 1;
    case effGetVendorString:
      if (!ptr) return 0;
      CopyToHost(ptr, VendorName(), kVstMaxVendorStrLen);
      return 1;
    case effGetProductString:
      if (!ptr) return 0;
      CopyToHost(ptr, ProductName(), kVstMaxProductStrLen);
      return 1;
    case effGetVendorVersion:
      return DecimalVersion();
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return CanDo(static_cast<const char*>(ptr));
    case effGetTailSize:
      return TailSize();
    case effGetVstVersion:
      return kVstVersion;
    case effGetMidiKeyName: {
      if (!ptr) return 0;
      VstMidiKeyName* key = static_cast<VstMidiKeyName*>(ptr);
      key->keyName[0] = '\0';
      // Our hook writes into a field-sized buffer, so a long name cannot overrun the host's record.
      char name[256] = {0};
      bool named = MidiNoteName(key->thisKeyNumber, name);
      CopyText(key->keyName, name, sizeof(key->keyName));
      return named ? 1 : 0;
    }
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &mInputArrangement;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &mOutputArrangement;
      return 1;
    default:
      return 0;
  }
}

VstIntPtr IPluginVST::GetChunk(void** data, bool isBank) {
  IStateChunk& chunk = isBank ? mBankChunk : mProgramChunk;
  WriteChunkHeader(chunk);
  bool ok;
  if (isBank) {
    ModifyCurrentPreset();
    ok = SerializePresets(chunk);
  } else {
    ok = WriteState(chunk) && chunk.AppendString(PresetName(CurrentPresetIndex()));
  }
  if (!ok || chunk.Size() == 0) return 0;
  *data = chunk.Bytes();
  return chunk.Size();
}

namespace {
// The host's data goes into a buffer of our own that is never handed out, so
// neither the host's pointer from effGetChunk (still valid, untouched) nor a
// pointer into it (passed back for undo or compare) is disturbed by the copy.
bool CopyChunk(IStateChunk& destination, const void* data, VstIntPtr size) {
  if (!destination.Resize(static_cast<int>(size))) return false;
  if (size > 0) std::memcpy(destination.Bytes(), data, static_cast<size_t>(size));
  return true;
}
}  // namespace

VstIntPtr IPluginVST::SetChunk(const void* data, VstIntPtr size, bool isBank) {
  if (size < 0 || size > 0x7FFFFFFF) return 0;
  IStateChunk& chunk = isBank ? mBankSetChunk : mProgramSetChunk;
  if (!CopyChunk(chunk, data, size)) return 0;

  int position = 0;
  int32_t version = ReadChunkHeader(chunk, position);
  if (isBank && version >= kChunkHeaderVersion) {
    position = UnserializePresets(chunk, position);
  } else {
    if (position >= 0) position = ReadState(chunk, position);
    // A name follows the state when bytes are left; an empty or unread one keeps the old name.
    // The current preset takes what was read even when the read failed part-way.
    char name[kPresetNameSize] = "";
    if (position < chunk.Size()) position = chunk.ReadString(name, kPresetNameSize, position);
    ModifyCurrentPreset(name);
  }
  if (IsChunkSwapHost() && position != chunk.Size()) {
    // Some hosts hand a bank to the program call: try the data once more as a bank.
    if (!CopyChunk(mBankSetChunk, data, size)) return 0;
    position = 0;
    version = ReadChunkHeader(mBankSetChunk, position);
    if (version >= kChunkHeaderVersion) position = UnserializePresets(mBankSetChunk, position);
  }
  if (position < 0) return 0;
  RefreshEditorParams();
  return 1;
}

VstIntPtr IPluginVST::String2Parameter(int index, const char* text) {
  if (!ValidParam(index)) return 0;
  if (!text) return 1;
  IParameter* p = GetParam(index);
  double v;
  if (!ReadTypedValue(*p, text, &v)) {
    if (p->NDisplayTexts() > 0) return 0;
    // A bare number is the plain value.
    v = std::strtod(text, nullptr);
    if (p->NegateDisplay()) v = -v;
  }
  if (Editor()) Editor()->SetParameterFromPlug(index, v, false);
  p->SetClamped(v);
  ParameterChanged(index);
  return 1;
}

VstIntPtr IPluginVST::PinProperties(int index, VstPinProperties* properties, bool isInput) {
  int count = isInput ? NInChannels() : NOutChannels();
  if (!properties || index < 0 || index >= count) return 0;
  properties->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < count - 1) properties->flags |= kVstPinIsStereo;
  const std::string& label = isInput ? InChannel(index).label : OutChannel(index).label;
  if (!label.empty())
    std::snprintf(properties->label, sizeof(properties->label), "%s", label.c_str());
  else
    std::snprintf(properties->label, sizeof(properties->label), isInput ? "Input %d" : "Output %d", index + 1);
  return 1;
}

void IPluginVST::SetSpeakerArrangement(const VstSpeakerArrangement* arrangement, bool isInput) {
  if (!arrangement) return;
  int n = arrangement->numChannels;
  int count = isInput ? NInChannels() : NOutChannels();
  for (int i = 0; i < count; ++i) {
    if (isInput)
      SetInputConnected(i, i < n);
    else
      SetOutputConnected(i, i < n);
  }
}

VstIntPtr IPluginVST::CanDo(const char* capability) {
  if (!capability) return 0;
  Trace("IPluginVST::VSTDispatcher", __LINE__, "VSTCanDo(%s)", capability);
  if (!std::strcmp(capability, "receiveVstTimeInfo")) return 1;
  if (HandlesMidi()) {
    if (!std::strcmp(capability, "sendVstEvents") || !std::strcmp(capability, "sendVstMidiEvent") ||
        !std::strcmp(capability, "receiveVstEvents") || !std::strcmp(capability, "receiveVstMidiEvent"))
      return 1;
  }
  if (!std::strcmp(capability, "hasCockosExtensions")) {
    mCockosFlags |= 1;
    return static_cast<VstIntPtr>(0xBEEF0000);
  }
  if (!std::strcmp(capability, "hasCockosViewAsConfig")) {
    mCockosFlags |= 2;
    return static_cast<VstIntPtr>(0xBEEF0000);
  }
  return 0;
}

VstIntPtr IPluginVST::VendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  // Hosts ask which VST 3 class succeeds this plug-in, to swap it in old projects.
  if ((index == VstFourCC('s', 't', 'C', 'A') || index == VstFourCC('s', 't', 'C', 'a')) &&
      value == VstFourCC('F', 'U', 'I', 'D')) {
    if (!ptr) return 0;
    const v3::TUID cid = MigrationClassId(UniqueID(), EffectName());
    std::memcpy(ptr, cid.b, sizeof(cid.b));
    return 1;
  }
  if (index == effGetParamDisplay) {
    if (!ptr) return 0;
    if (value >= 0 && value < NParams())
      GetParam(static_cast<int>(value))->FormatValue(opt, true, static_cast<char*>(ptr), true);
    return 0xBEEF;
  }
  if (index == effGetParamName) {
    return value >= 0 && value < NParams() && GetParam(static_cast<int>(value))->Type() != kTypeDouble ? 0xBEEF : 0;
  }
  // Our own host's way to give the editor a scale factor (opt), as a VST 3
  // host's content scale does; 1 when the editor has the size it asks for.
  if (index == kVendorEditorScale) {
    IGraphics* editor = Editor();
    if (!editor || !(opt > 0.0f)) return 0;
    editor->SetHostScale(opt);
    return editor->Scale() == SnapEditorScale(opt) ? 1 : 0;
  }
  return 0;
}

void IPluginVST::ProcessEvents(const VstEvents* events) {
  // The record declares two pointers but carries numEvents of them: read the
  // list through a plain pointer, not by indexing the fixed-size member.
  const unsigned char* base = reinterpret_cast<const unsigned char*>(events) + offsetof(VstEvents, events);
  for (VstInt32 i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = nullptr;
    std::memcpy(&event, base + sizeof(VstEvent*) * static_cast<size_t>(i), sizeof(event));
    if (!event) continue;
    if (event->type == kVstMidiType) {
      const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
      IMidiMessage message;
      message.offset = midi->deltaFrames;
      message.status = static_cast<uint8_t>(midi->midiData[0]);
      message.data1 = static_cast<uint8_t>(midi->midiData[1]);
      message.data2 = static_cast<uint8_t>(midi->midiData[2]);
      HandleMidiMessage(message);
    } else if (event->type == kVstSysExType) {
      const VstMidiSysexEvent* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      ISysExMessage message;
      message.offset = sysex->deltaFrames;
      message.size = sysex->dumpBytes;
      message.data = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
      HandleSysEx(message);
    }
  }
}

void VSTCALLBACK IPluginVST::VSTSetParameter(AEffect* effect, VstInt32 index, float value) {
  IPluginVST* plug = FromEffect(effect);
  if (!plug) return;
  IMutexLock lock(plug->Mutex());
  if (!plug->ValidParam(index)) return;
  const double normalized = ClampNormalized(value);
  if (plug->Editor()) plug->Editor()->SetParameterFromPlug(index, normalized, true);
  plug->GetParam(index)->SetFromNormalized(normalized);
  plug->ParameterChanged(index);
}

float VSTCALLBACK IPluginVST::VSTGetParameter(AEffect* effect, VstInt32 index) {
  IPluginVST* plug = FromEffect(effect);
  if (!plug) return 0.f;
  IMutexLock lock(plug->Mutex());
  if (!plug->ValidParam(index)) return 0.f;
  return static_cast<float>(plug->GetParam(index)->Normalized());
}
