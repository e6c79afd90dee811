// The object a VST 3 host holds: component, audio processor and edit
// controller in one (hosts find the controller by asking the component for
// it), over one product instance. The instance's lock serialises the host's
// UI-thread calls with process, as the VST 2.4 binding does.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "framework/IStateChunk.h"
#include "vst3/IPluginVST3.h"
#include "vst3/Vst3Abi.h"

class Vst3View;

// Parameter ids beyond the product's own (0..N-1, the VST 2.4 indices):
// stable for ever, hosts keep them in projects.
constexpr v3::ParamID kBypassParamId = 1000;
constexpr v3::ParamID kProgramParamId = 1001;
// One hidden parameter per MIDI controller (0..127), the same for every
// channel: hosts turn controllers into changes of these.
constexpr v3::ParamID kMidiParamBase = 0x10000;
constexpr int kMidiProxyCount = 128;
constexpr v3::ProgramListID kProgramListId = 1;

// The component and controller interfaces both name their state calls
// setState and getState: these shims give each pair a name of its own.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class Vst3ComponentSide : public v3::IComponent {
 public:
  v3::tresult QV3_API setState(v3::IBStream* state) final { return SetComponentStateBytes(state); }
  v3::tresult QV3_API getState(v3::IBStream* state) final { return GetComponentStateBytes(state); }
  virtual v3::tresult SetComponentStateBytes(v3::IBStream* state) = 0;
  virtual v3::tresult GetComponentStateBytes(v3::IBStream* state) = 0;
};
class Vst3ControllerSide : public v3::IEditController {
 public:
  v3::tresult QV3_API setState(v3::IBStream*) final { return v3::kResultOk; }  // no controller-only data
  v3::tresult QV3_API getState(v3::IBStream*) final { return v3::kResultOk; }
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

class Vst3Plugin final : public Vst3ComponentSide,
                         public v3::IAudioProcessor,
                         public v3::IProcessContextRequirements,
                         public Vst3ControllerSide,
                         public v3::IMidiMapping,
                         public v3::IUnitInfo,
                         public IVst3HostLink {
 public:
  // Null when the product could not be made.
  static Vst3Plugin* Create();
  ~Vst3Plugin();

  // FUnknown
  v3::tresult QV3_API queryInterface(const char* iid, void** obj) override;
  v3::uint32 QV3_API addRef() override;
  v3::uint32 QV3_API release() override;
  // IPluginBase
  v3::tresult QV3_API initialize(v3::FUnknown* context) override;
  v3::tresult QV3_API terminate() override;
  // IComponent
  v3::tresult QV3_API getControllerClassId(char* classId) override;
  v3::tresult QV3_API setIoMode(v3::IoMode mode) override;
  v3::int32 QV3_API getBusCount(v3::MediaType type, v3::BusDirection dir) override;
  v3::tresult QV3_API getBusInfo(v3::MediaType type, v3::BusDirection dir, v3::int32 index, v3::BusInfo& bus) override;
  v3::tresult QV3_API getRoutingInfo(v3::RoutingInfo& inInfo, v3::RoutingInfo& outInfo) override;
  v3::tresult QV3_API activateBus(v3::MediaType type, v3::BusDirection dir, v3::int32 index, v3::TBool state) override;
  v3::tresult QV3_API setActive(v3::TBool state) override;
  v3::tresult SetComponentStateBytes(v3::IBStream* state) override;
  v3::tresult GetComponentStateBytes(v3::IBStream* state) override;
  // IAudioProcessor
  v3::tresult QV3_API setBusArrangements(v3::SpeakerArrangement* inputs, v3::int32 numIns,
                                          v3::SpeakerArrangement* outputs, v3::int32 numOuts) override;
  v3::tresult QV3_API getBusArrangement(v3::BusDirection dir, v3::int32 index, v3::SpeakerArrangement& arr) override;
  v3::tresult QV3_API canProcessSampleSize(v3::int32 symbolicSampleSize) override;
  v3::uint32 QV3_API getLatencySamples() override;
  v3::tresult QV3_API setupProcessing(v3::ProcessSetup& setup) override;
  v3::tresult QV3_API setProcessing(v3::TBool state) override;
  v3::tresult QV3_API process(v3::ProcessData& data) override;
  v3::uint32 QV3_API getTailSamples() override;
  v3::uint32 QV3_API getProcessContextRequirements() override;
  // IEditController
  v3::tresult QV3_API setComponentState(v3::IBStream* state) override;
  v3::int32 QV3_API getParameterCount() override;
  v3::tresult QV3_API getParameterInfo(v3::int32 paramIndex, v3::ParameterInfo& info) override;
  v3::tresult QV3_API getParamStringByValue(v3::ParamID id, v3::ParamValue valueNormalized,
                                             v3::TChar* string) override;
  v3::tresult QV3_API getParamValueByString(v3::ParamID id, v3::TChar* string,
                                             v3::ParamValue& valueNormalized) override;
  v3::ParamValue QV3_API normalizedParamToPlain(v3::ParamID id, v3::ParamValue valueNormalized) override;
  v3::ParamValue QV3_API plainParamToNormalized(v3::ParamID id, v3::ParamValue plainValue) override;
  v3::ParamValue QV3_API getParamNormalized(v3::ParamID id) override;
  v3::tresult QV3_API setParamNormalized(v3::ParamID id, v3::ParamValue value) override;
  v3::tresult QV3_API setComponentHandler(v3::IComponentHandler* handler) override;
  v3::IPlugView* QV3_API createView(v3::FIDString name) override;
  // IMidiMapping
  v3::tresult QV3_API getMidiControllerAssignment(v3::int32 busIndex, v3::int16 channel, v3::CtrlNumber cc,
                                                   v3::ParamID& id) override;
  // IUnitInfo
  v3::int32 QV3_API getUnitCount() override;
  v3::tresult QV3_API getUnitInfo(v3::int32 unitIndex, v3::UnitInfo& info) override;
  v3::int32 QV3_API getProgramListCount() override;
  v3::tresult QV3_API getProgramListInfo(v3::int32 listIndex, v3::ProgramListInfo& info) override;
  v3::tresult QV3_API getProgramName(v3::ProgramListID listId, v3::int32 programIndex, v3::TChar* name) override;
  v3::tresult QV3_API getProgramInfo(v3::ProgramListID listId, v3::int32 programIndex, const v3::char8* attributeId,
                                      v3::TChar* attributeValue) override;
  v3::tresult QV3_API hasProgramPitchNames(v3::ProgramListID listId, v3::int32 programIndex) override;
  v3::tresult QV3_API getProgramPitchName(v3::ProgramListID listId, v3::int32 programIndex, v3::int16 midiPitch,
                                           v3::TChar* name) override;
  v3::UnitID QV3_API getSelectedUnit() override;
  v3::tresult QV3_API selectUnit(v3::UnitID unitId) override;
  v3::tresult QV3_API getUnitByBus(v3::MediaType type, v3::BusDirection dir, v3::int32 busIndex, v3::int32 channel,
                                    v3::UnitID& unitId) override;
  v3::tresult QV3_API setUnitProgramData(v3::int32 listOrUnitId, v3::int32 programIndex, v3::IBStream* data) override;

  // IVst3HostLink: the instance's requests to the host.
  void BeginEdit(int id) override;
  void PerformEdit(int id, double normalized) override;
  void EndEdit(int id) override;
  void ValuesChanged() override;
  bool EditorSizeChanged(int width, int height) override;

  IPluginVST3& Plug() { return *mPlug; }
  // Instances alive in the process.
  static int LiveCount() { return sLive.load(); }
  // Tells the host of new values when a program change asked for it; hosts
  // must not hear of it inside the call that changed the program.
  void FlushPendingRestart();
  void ViewClosed(Vst3View* view);

 private:
  Vst3Plugin();
  struct ParamPoint;
  void ApplyParameter(v3::ParamID id, double value);
  void ApplyProgram(int index);
  int ProgramIndex(double normalized) const;
  void Render(v3::ProcessData& data, int start, int frames);
  void RenderPiece(v3::ProcessData& data, int start, int frames);
  bool ReadStream(v3::IBStream* stream, IStateChunk& into);
  bool LoadStateBytes(const IStateChunk& bytes);
  bool LoadBankChunk(const unsigned char* data, int size, int currentProgram);
  bool LoadProgramChunk(const unsigned char* data, int size);
  v3::IComponentHandler* Handler() { return mHandler; }

  static std::atomic<int> sLive;
  std::atomic<v3::uint32> mRefs{1};
  std::unique_ptr<IPluginVST3> mPlug;
  v3::FUnknown* mContext = nullptr;
  v3::IComponentHandler* mHandler = nullptr;
  bool mInitialized = false;
  bool mActive = false;
  int mSampleSize = v3::kSample32;
  int mMaxBlock = 1024;
  // Bypass: a short crossfade between the effect and the input.
  std::atomic<bool> mBypass{false};
  double mBypassMix = 0.0;  // 0 effect, 1 input
  std::vector<double> mDry[2];
  std::atomic<bool> mRestartPending{false};
  IStateChunk mGetState{4096};
  IStateChunk mSetState{4096};
  IStateChunk mInnerChunk{4096};
  Vst3View* mView = nullptr;
};
