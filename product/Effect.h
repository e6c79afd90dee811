// The layer between the VST binding and the product: MIDI control of every
// parameter and of FREEZE by learning, the time-stamped controller queue, the
// controller settings file beside the library, channel names and activation.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "framework/IMidiEventQueue.h"
// The binding of this build (VST 2.4 or VST 3), found through its include path.
#include "PluginBinding.h"

constexpr int kLearnButtonTag = -10;
constexpr int kSaveButtonTag = -11;
constexpr int kFreezeTarget = -12;
constexpr int kNumControllers = 120;  // the map covers controllers 0-119
// Controller messages that can wait at once; more are dropped and counted.
// Far more than a host sends in a block, and small enough that even a list in
// reverse order (each message inserted at the front) costs well under a
// millisecond on the audio thread.
constexpr int kControllerQueueCapacity = 1024;

class Effect : public PluginBinding {
 public:
  explicit Effect(PluginHostCallback hostCallback);
  ~Effect() override;

  void ResetProcessing() override;
  void ParameterChanged(int index) override;
  void SetActive(bool active) override;
  void HandleMidiMessage(const IMidiMessage& message) override;
  virtual void DefineParameters() {}
  // FREEZE, owned by the product.
  virtual void ToggleFreeze() {}
  virtual bool FreezeOn() const { return false; }
  // Samples per control tick, by which queued offsets count down.
  virtual int TicksPerControl() const { return 0; }

  // The editor's preset menu: the preset being left keeps the live settings.
  void SelectPreset(int index);
  // Once per control tick inside the block: applies the controllers that are due.
  void DrainMidiQueue();

  // The learn pass, as the LEARN/UNLEARN button drives it: a new pass starts
  // with nothing captured; pressed says whether learning is now on, unlearn
  // whether the button reads "UNLEARN".
  void StartLearnPass(bool pressed, bool unlearn);
  void CommitLearn();
  bool LearnActive() const { return mLearnActive; }
  bool UnlearnMode() const { return mUnlearnMode; }
  int LearnController() const { return mLearnController; }
  int LearnTarget() const { return mLearnTarget; }

  int ControllerTarget(int controller) const;
  void SetControllerTarget(int controller, int target);

  // The settings file beside the library is read unless the per-user one
  // exists; saving goes to the per-user file once it exists or when the
  // library's folder takes no files (plug-in folders are often the system's).
  void ReadControllerSettings();
  // False when neither file could be written; the editor then says so.
  bool WriteControllerSettings();
  const std::string& SettingsPath() const { return mSettingsPath; }
  const std::string& UserSettingsPath() const { return mUserSettingsPath; }
  // The file the last save wrote; empty before one succeeded.
  const std::string& SavedSettingsPath() const { return mSavedSettingsPath; }
  // Tests and tools: one file only, no per-user file.
  void SetSettingsPath(const std::string& path) {
    mSettingsPath = path;
    mUserSettingsPath.clear();
  }
  void SetUserSettingsPath(const std::string& path) { mUserSettingsPath = path; }

  // The editor size the user chose (100, 150 or 200 %), remembered in the
  // settings file beside the controllers; 0 when none was chosen.
  void ReadEditorSizeSetting();
  int EditorSizeSetting() const { return mEditorSizeSetting; }
  // Gives the editor the remembered size (or whatever else decides it).
  void ApplyEditorSizeSetting();
  // The editor's size menu: false when the host refused the new window size
  // (the editor keeps its size) or the choice could not be remembered.
  bool ChooseEditorSize(int percent);

  const IMidiEventQueue& ControllerQueue() const { return mQueue; }

 protected:
  void CaptureTarget(int target);
  // Writes through write(path) to the file the next instance reads, else to the other one.
  bool WriteSettings(const std::function<bool(const std::string&)>& write);

 private:
  IMidiEventQueue mQueue;
  std::string mSettingsFolder;
  std::string mSettingsPath;
  std::string mUserSettingsPath;
  std::string mSavedSettingsPath;
  int mEditorSizeSetting = 0;
  // Written by the MIDI, audio and editor threads: atomic, and changed under the plug-in lock.
  std::atomic<int> mControllerMap[kNumControllers];
  std::atomic<bool> mLearnActive{false};
  std::atomic<bool> mUnlearnMode{false};
  std::atomic<int> mLearnController{-1};
  std::atomic<int> mLearnTarget{-1};
};
