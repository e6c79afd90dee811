// Parameter state, preset slots and the bank layout of IPluginBase.
#include <cstdio>
#include <cstring>

#include "framework/IPluginBase.h"
#include "framework/Trace.h"

bool IPluginBase::SerializeParams(IStateChunk& chunk) {
  IMutexLock lock(mMutex);
  bool ok = true;
  for (int n = 0; n < NParams(); ++n) {
    const IParameter* p = GetParam(n);
    Trace("IPluginBase::SerializeParams", __LINE__, "%d %s %f", n, p->Name(), p->Value());
    double v = p->Value();
    ok = chunk.Put(v) && ok;
  }
  return ok;
}

int IPluginBase::UnserializeParams(const IStateChunk& chunk, int position) {
  IMutexLock lock(mMutex);
  for (int n = 0; n < NParams() && position >= 0; ++n) {
    IParameter* p = GetParam(n);
    Trace("IPluginBase::UnserializeParams", __LINE__, "%d %s %f", n, p->Name(), p->Value());
    double v = 0.0;
    position = chunk.Get(&v, position);
    if (position < 0) v = 0.0;
    p->SetClamped(v);
  }
  for (int n = 0; n < NParams(); ++n) ParameterChanged(n);
  return position;
}

bool IPluginBase::SerializePresets(IStateChunk& chunk) {
  bool ok = true;
  for (int i = 0; i < NPresets(); ++i) {
    IPresetSlot& slot = Preset(i);
    ok = chunk.AppendString(slot.name) && ok;
    Trace("IPluginBase::SerializePresets", __LINE__, "%d %s", i, slot.name);
    unsigned char flag = slot.initialised ? 1 : 0;
    ok = chunk.Put(flag) && ok;
    if (slot.initialised) ok = chunk.Append(slot.state.Bytes(), slot.state.Size()) && ok;
  }
  return ok;
}

int IPluginBase::UnserializePresets(const IStateChunk& chunk, int position) {
  char name[kPresetNameSize] = "";
  for (int i = 0; i < NPresets() && position >= 0; ++i) {
    IPresetSlot& slot = Preset(i);
    int next = chunk.ReadString(name, kPresetNameSize, position);
    CopyText(slot.name, name, kPresetNameSize);
    Trace("IPluginBase::UnserializePresets", __LINE__, "%d %s", i, slot.name);
    unsigned char flag = 0;
    position = next < 0 ? -1 : chunk.Get(&flag, next);
    if (position < 0) break;
    slot.initialised = flag != 0;
    if (slot.initialised) {
      position = ReadState(chunk, position);
      if (position > 0) {
        // The slot keeps the state in the plug-in's current format.
        slot.state.Clear();
        WriteState(slot.state);
      }
    }
  }
  LoadPreset(mCurrentPreset);
  return position;
}

void IPluginBase::ModifyCurrentPreset(const char* name) {
  if (mCurrentPreset < 0 || mCurrentPreset >= NPresets()) return;
  IPresetSlot& slot = Preset(mCurrentPreset);
  slot.state.Clear();
  Trace("IPluginBase::ModifyCurrentPreset", __LINE__, "%d %s", mCurrentPreset, slot.name);
  WriteState(slot.state);
  if (name && name[0]) CopyText(slot.name, name, kPresetNameSize);
}

bool IPluginBase::LoadPreset(int index) {
  if (index < 0 || index >= NPresets()) return false;
  IPresetSlot& slot = Preset(index);
  bool success;
  if (slot.initialised) {
    success = ReadState(slot.state, 0) > 0;
  } else {
    slot.initialised = true;
    int count = 0;
    for (int i = 0; i < NPresets(); ++i)
      if (std::strstr(Preset(i).name, "user preset")) ++count;
    std::snprintf(slot.name, kPresetNameSize, "%s %d", "user preset", count + 1);
    slot.state.Clear();
    success = WriteState(slot.state);
  }
  if (success) {
    mCurrentPreset = index;
    PresetChanged();
    RefreshEditorParams();
  }
  return success;
}

const char* IPluginBase::PresetName(int index) const {
  if (index < 0 || index >= static_cast<int>(mPresets.size())) return "";
  return mPresets[static_cast<size_t>(index)]->name;
}

void IPluginBase::FillEmptyPresets(int count) {
  for (int k = 0; k < count; ++k) {
    IPresetSlot* empty = nullptr;
    for (int i = 0; i < NPresets() && !empty; ++i)
      if (!Preset(i).initialised) empty = &Preset(i);
    if (!empty) return;
    empty->initialised = true;
    CopyText(empty->name, "Empty", kPresetNameSize);
    empty->state.Clear();
    WriteState(empty->state);
  }
}
