#include "product/Effect.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/IGraphics.h"
#include "graphics/IGraphicsScale.h"
#include "platform/ModuleInfo.h"
#include "platform/PrivateProfile.h"
#include "platform/UserFolder.h"
#include "product/QVDelayConfig.h"

namespace {
const char* kSettingsSection = "MIDI Control";
const char* kEditorSection = "Editor";
const char* kEditorSizeKey = "Size";

bool FileExists(const std::string& path) {
  FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
  if (file) std::fclose(file);
  return file != nullptr;
}

std::string FolderOf(const std::string& path) {
  size_t end = path.find_last_of("/\\");
  return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

// "<vendor>/<product>/qvdelay.ini" in the user's settings folder; empty without one.
std::string UserSettingsPathIn(const std::string& base) {
  if (base.empty()) return std::string();
  const std::string sep(1, PathSeparator());
  return base + "Quorvel Music" + sep + "Quorvel Brigade Delay" + sep + "qvdelay.ini";
}
}  // namespace

Effect::Effect(PluginHostCallback hostCallback) : PluginBinding(hostCallback, QVDelayInfo()), mQueue(kControllerQueueCapacity) {
  if (NInChannels() > 0) InChannel(0).label = "Quorvel Brigade Delay Left";
  if (NInChannels() > 1) InChannel(1).label = "Quorvel Brigade Delay Right";
  if (NOutChannels() > 0) OutChannel(0).label = "Quorvel Brigade Delay Left";
  if (NOutChannels() > 1) OutChannel(1).label = "Quorvel Brigade Delay Right";
  for (auto& entry : mControllerMap) entry = -1;
  mSettingsFolder = ModuleFolder();
  char path[1025];
  std::snprintf(path, sizeof(path), "%sqvdelay.ini", mSettingsFolder.c_str());
  mSettingsPath = path;
  mUserSettingsPath = UserSettingsPathIn(UserConfigFolder());
  ReadControllerSettings();
  ReadEditorSizeSetting();
}

Effect::~Effect() = default;

void Effect::ResetProcessing() {
  IMutexLock lock(Mutex());
  mLearnActive = false;
}

void Effect::ParameterChanged(int index) {
  IMutexLock lock(Mutex());
  if (mLearnActive) CaptureTarget(index);
}

void Effect::SetActive(bool active) {
  IMutexLock lock(Mutex());
  if (active)
    for (int n = 0; n < NParams(); ++n) ParameterChanged(n);
}

void Effect::HandleMidiMessage(const IMidiMessage& message) {
  if (!message.IsControlChange() || message.data1 >= 123) return;
  // MIDI data bytes have seven bits: a value byte with the top bit set is a
  // damaged message, not a value above full scale.
  if (message.data2 > 127) return;
  IMutexLock lock(Mutex());
  if (mLearnActive) {
    mLearnController = message.data1;
    CommitLearn();
    return;
  }
  mQueue.Add(message);
}

void Effect::SelectPreset(int index) {
  IMutexLock lock(Mutex());
  ModifyCurrentPreset();
  LoadPreset(index);
  NotifyHostDisplayChanged();
  NotifyHostAllParams();
}

namespace {
// offset - frames, held at the lowest offset instead of wrapping.
int32_t CountDown(int32_t offset, int frames) {
  return offset < INT32_MIN + frames ? INT32_MIN : offset - frames;
}
}  // namespace

void Effect::DrainMidiQueue() {
  // Below 1 kHz there are no whole milliseconds per tick, yet a frame passes
  // between ticks: count it, or nothing would ever fall due.
  const int t = std::max(1, TicksPerControl());
  const int front = mQueue.Front();
  int i = front;
  for (; i < mQueue.Back(); ++i) {
    IMidiMessage& m = mQueue.At(i);
    m.offset = CountDown(m.offset, t);
    if (m.offset > 0) break;
    if (m.IsControlChange()) {
      int target = ControllerTarget(m.data1);
      double value = m.data2 / 127.0;
      if (target >= 0 && target < NParams()) {
        if (GetParam(target)->Value() != value) {
          SetParamFromEditor(target, value);
          if (Editor()) Editor()->SetParameterFromPlug(target, value, true);
        }
      } else if (target == kFreezeTarget) {
        if ((value < 0.5 && FreezeOn()) || (value >= 0.5 && !FreezeOn())) {
          ToggleFreeze();
          RefreshEditorParams();
        }
      }
    }
  }
  // One move for all the applied messages, not one per message.
  mQueue.Consume(i - front);
  // The rest counts down too; the message that stopped the scan is thereby
  // reduced twice in this tick.
  for (int k = mQueue.Front(); k < mQueue.Back(); ++k) mQueue.At(k).offset = CountDown(mQueue.At(k).offset, t);
}

void Effect::StartLearnPass(bool pressed, bool unlearn) {
  IMutexLock lock(Mutex());
  mLearnController = -1;
  mLearnTarget = -1;
  mUnlearnMode = unlearn;
  mLearnActive = pressed;
}

void Effect::CaptureTarget(int target) {
  mLearnTarget = target;
  CommitLearn();
}

void Effect::CommitLearn() {
  IMutexLock lock(Mutex());
  if (!mLearnActive) return;
  const int controller = mLearnController;
  const int target = mLearnTarget;
  // Controllers 120-122 pass the input check but have no entry: they capture nothing.
  const bool controllerSet = controller >= 0 && controller < kNumControllers;
  if (!mUnlearnMode) {
    if (!controllerSet || target == -1) return;
    for (auto& entry : mControllerMap)
      if (entry == target) entry = -1;  // a target has at most one controller
    mControllerMap[controller] = target;
    mLearnActive = false;
    return;
  }
  if (controllerSet) {
    mControllerMap[controller] = -1;
  } else if (target != -1) {
    for (auto& entry : mControllerMap)
      if (entry == target) entry = -1;
  } else {
    return;
  }
  mLearnActive = false;
  mUnlearnMode = false;
}

int Effect::ControllerTarget(int controller) const {
  return controller >= 0 && controller < kNumControllers ? mControllerMap[controller].load() : -1;
}

void Effect::SetControllerTarget(int controller, int target) {
  if (controller >= 0 && controller < kNumControllers) mControllerMap[controller] = target;
}

void Effect::ReadControllerSettings() {
  // Without a file every key would give its default: skip 120 lookups (every
  // new instance comes here, and a host may make many).
  const std::string& path = FileExists(mUserSettingsPath) ? mUserSettingsPath : mSettingsPath;
  if (!FileExists(path)) return;
  for (int n = 0; n < kNumControllers; ++n) {
    char key[16];
    std::snprintf(key, sizeof(key), "CC%i", n);
    std::string text = ReadProfileValue(path, kSettingsSection, key, "-1", 64);
    if (text.empty()) continue;
    long v = std::strtol(text.c_str(), nullptr, 10);
    if (v > 2147483647L || v < -2147483647L - 1) v = -1;
    mControllerMap[n] = (v != 0 || text[0] == '0') ? static_cast<int>(v) : -1;
  }
}

namespace {
bool WriteSettingsFile(const std::string& path, const int* map) {
  bool ok = WriteProfileValue(path, kSettingsSection, nullptr, nullptr);
  for (int n = 0; n < kNumControllers && ok; ++n) {
    if (map[n] < 0) continue;
    char key[16], value[16];
    std::snprintf(key, sizeof(key), "CC%i", n);
    std::snprintf(value, sizeof(value), "%i", map[n]);
    ok = WriteProfileValue(path, kSettingsSection, key, value);
  }
  return ok;
}
}  // namespace

bool Effect::WriteControllerSettings() {
  int map[kNumControllers];
  {
    IMutexLock lock(Mutex());
    for (int n = 0; n < kNumControllers; ++n) map[n] = mControllerMap[n];
  }
  // The file is written outside the lock: audio must never wait for a disk.
  return WriteSettings([&map](const std::string& path) { return WriteSettingsFile(path, map); });
}

bool Effect::WriteSettings(const std::function<bool(const std::string&)>& write) {
  // Saved where the next instance reads: the per-user file once it exists.
  const bool hasUser = !mUserSettingsPath.empty();
  const bool userFirst = hasUser && (FileExists(mUserSettingsPath) || !FolderWritable(FolderOf(mSettingsPath)));
  if (!userFirst && write(mSettingsPath)) {
    mSavedSettingsPath = mSettingsPath;
    return true;
  }
  if (hasUser && MakeFolders(FolderOf(mUserSettingsPath)) && write(mUserSettingsPath)) {
    mSavedSettingsPath = mUserSettingsPath;
    return true;
  }
  return false;
}

void Effect::ReadEditorSizeSetting() {
  const std::string& path = FileExists(mUserSettingsPath) ? mUserSettingsPath : mSettingsPath;
  mEditorSizeSetting = 0;
  if (!FileExists(path)) return;
  const std::string text = ReadProfileValue(path, kEditorSection, kEditorSizeKey, "", 16);
  // Anything but a size the editor has counts as no choice.
  const int percent = static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
  if (ScaleFromPercent(percent) > 0.0) mEditorSizeSetting = percent;
}

void Effect::ApplyEditorSizeSetting() {
  // Only a remembered choice is applied here: the screen's size is asked
  // when a window opens, so instances that never show one do no editor work.
  IGraphics* editor = Editor();
  if (editor && mEditorSizeSetting > 0) editor->SetUserScale(ScaleFromPercent(mEditorSizeSetting));
}

bool Effect::ChooseEditorSize(int percent) {
  IGraphics* editor = Editor();
  const double scale = ScaleFromPercent(percent);
  if (!editor || scale <= 0.0) return false;
  if (!editor->SetUserScale(scale)) return false;  // the host kept its window: so do we
  mEditorSizeSetting = percent;
  char value[16];
  std::snprintf(value, sizeof(value), "%i", percent);
  // The size holds for this session either way; only remembering it can fail.
  return WriteSettings([&value](const std::string& path) {
    return WriteProfileValue(path, kEditorSection, kEditorSizeKey, value);
  });
}
