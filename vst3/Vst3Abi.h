// Our own declarations of the VST 3 binary interface: only what this plug-in
// and its test host use. Slot order, argument types, record layouts and the
// byte order of interface ids are what matters; every layout the ABI fixes is
// checked at compile time below.
#pragma once

#include <cstddef>
#include <cstdint>

// Win32 interface methods are stdcall (MinGW's default there is thiscall);
// x86-64 and Linux use the compiler's only convention.
#if defined(_WIN32) && !defined(_WIN64)
#define QV3_API __stdcall
#else
#define QV3_API
#endif

namespace v3 {

using int8 = char;
using uint8 = uint8_t;
using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using int64 = int64_t;
using uint64 = uint64_t;
using tresult = int32_t;
using TBool = uint8_t;
using char8 = char;
using char16 = char16_t;
using TChar = char16_t;
using String128 = TChar[128];
using FIDString = const char8*;
using ParamID = uint32;
using ParamValue = double;
using TSamples = int64;
using SpeakerArrangement = uint64;
using CtrlNumber = int16;
using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;

// --- result codes ------------------------------------------------------------
#if defined(_WIN32)
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kResultOk = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kNoInterface = -1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif
constexpr tresult kResultTrue = kResultOk;

// --- interface ids -------------------------------------------------------------
// Written as four 32-bit words; Windows lays them out as a GUID (the first
// word and the two halves of the second little-endian), Linux big-endian.
struct TUID {
  char b[16];
};

constexpr TUID MakeTUID(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
  auto c = [](uint32 v, int shift) { return static_cast<char>((v >> shift) & 0xFF); };
#if defined(_WIN32)
  return TUID{{c(l1, 0), c(l1, 8), c(l1, 16), c(l1, 24), c(l2, 16), c(l2, 24), c(l2, 0), c(l2, 8), c(l3, 24),
               c(l3, 16), c(l3, 8), c(l3, 0), c(l4, 24), c(l4, 16), c(l4, 8), c(l4, 0)}};
#else
  return TUID{{c(l1, 24), c(l1, 16), c(l1, 8), c(l1, 0), c(l2, 24), c(l2, 16), c(l2, 8), c(l2, 0), c(l3, 24),
               c(l3, 16), c(l3, 8), c(l3, 0), c(l4, 24), c(l4, 16), c(l4, 8), c(l4, 0)}};
#endif
}

// Hosts pass ids as bare 16-byte arrays.
inline bool SameTUID(const void* a, const TUID& b) {
  const char* p = static_cast<const char*>(a);
  for (int i = 0; i < 16; ++i)
    if (p[i] != b.b[i]) return false;
  return true;
}

constexpr TUID kFUnknownIID = MakeTUID(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
constexpr TUID kPluginBaseIID = MakeTUID(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
constexpr TUID kPluginFactoryIID = MakeTUID(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
constexpr TUID kPluginFactory2IID = MakeTUID(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
constexpr TUID kPluginFactory3IID = MakeTUID(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
constexpr TUID kComponentIID = MakeTUID(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
constexpr TUID kAudioProcessorIID = MakeTUID(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
constexpr TUID kProcessContextRequirementsIID = MakeTUID(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
constexpr TUID kEditControllerIID = MakeTUID(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
constexpr TUID kComponentHandlerIID = MakeTUID(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
constexpr TUID kConnectionPointIID = MakeTUID(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
constexpr TUID kHostApplicationIID = MakeTUID(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
constexpr TUID kBStreamIID = MakeTUID(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
constexpr TUID kParameterChangesIID = MakeTUID(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
constexpr TUID kParamValueQueueIID = MakeTUID(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
constexpr TUID kEventListIID = MakeTUID(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
constexpr TUID kMidiMappingIID = MakeTUID(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);
constexpr TUID kUnitInfoIID = MakeTUID(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
constexpr TUID kPlugViewIID = MakeTUID(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
constexpr TUID kPlugFrameIID = MakeTUID(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
constexpr TUID kRunLoopIID = MakeTUID(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
constexpr TUID kPlugViewContentScaleSupportIID = MakeTUID(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
constexpr TUID kEventHandlerIID = MakeTUID(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
constexpr TUID kTimerHandlerIID = MakeTUID(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);

// --- FUnknown ------------------------------------------------------------------
// No virtual destructors anywhere: one would shift every slot.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

class FUnknown {
 public:
  virtual tresult QV3_API queryInterface(const char* iid, void** obj) = 0;
  virtual uint32 QV3_API addRef() = 0;
  virtual uint32 QV3_API release() = 0;
};

class IBStream : public FUnknown {
 public:
  virtual tresult QV3_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
  virtual tresult QV3_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
  virtual tresult QV3_API seek(int64 pos, int32 mode, int64* result) = 0;
  virtual tresult QV3_API tell(int64* pos) = 0;
};
constexpr int32 kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2;

// --- factory -------------------------------------------------------------------
struct PFactoryInfo {
  char8 vendor[64];
  char8 url[256];
  char8 email[128];
  int32 flags;
};
constexpr int32 kFactoryFlagUnicode = 16;

struct PClassInfo {
  char cid[16];
  int32 cardinality;
  char8 category[32];
  char8 name[64];
};

struct PClassInfo2 {
  char cid[16];
  int32 cardinality;
  char8 category[32];
  char8 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char8 vendor[64];
  char8 version[64];
  char8 sdkVersion[64];
};

struct PClassInfoW {
  char cid[16];
  int32 cardinality;
  char8 category[32];
  char16 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char16 vendor[64];
  char16 version[64];
  char16 sdkVersion[64];
};
constexpr int32 kManyInstances = 0x7FFFFFFF;

class IPluginFactory : public FUnknown {
 public:
  virtual tresult QV3_API getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32 QV3_API countClasses() = 0;
  virtual tresult QV3_API getClassInfo(int32 index, PClassInfo* info) = 0;
  virtual tresult QV3_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;
};
class IPluginFactory2 : public IPluginFactory {
 public:
  virtual tresult QV3_API getClassInfo2(int32 index, PClassInfo2* info) = 0;
};
class IPluginFactory3 : public IPluginFactory2 {
 public:
  virtual tresult QV3_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
  virtual tresult QV3_API setHostContext(FUnknown* context) = 0;
};

// --- component and processor ---------------------------------------------------
class IPluginBase : public FUnknown {
 public:
  virtual tresult QV3_API initialize(FUnknown* context) = 0;
  virtual tresult QV3_API terminate() = 0;
};

constexpr MediaType kAudio = 0, kEvent = 1;
constexpr BusDirection kInput = 0, kOutput = 1;
constexpr BusType kMain = 0;
constexpr uint32 kDefaultActive = 1;
constexpr int32 kSample32 = 0, kSample64 = 1;
constexpr int32 kRealtime = 0, kPrefetch = 1, kOffline = 2;
constexpr SpeakerArrangement kSpeakerMono = 0x80000, kSpeakerStereo = 0x3;

struct BusInfo {
  MediaType mediaType;
  BusDirection direction;
  int32 channelCount;
  String128 name;
  BusType busType;
  uint32 flags;
};

struct RoutingInfo {
  MediaType mediaType;
  int32 busIndex;
  int32 channel;
};

class IComponent : public IPluginBase {
 public:
  virtual tresult QV3_API getControllerClassId(char* classId) = 0;
  virtual tresult QV3_API setIoMode(IoMode mode) = 0;
  virtual int32 QV3_API getBusCount(MediaType type, BusDirection dir) = 0;
  virtual tresult QV3_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
  virtual tresult QV3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult QV3_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
  virtual tresult QV3_API setActive(TBool state) = 0;
  virtual tresult QV3_API setState(IBStream* state) = 0;
  virtual tresult QV3_API getState(IBStream* state) = 0;
};

struct ProcessSetup {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32 numChannels;
  uint64 silenceFlags;
  union {
    float** channelBuffers32;
    double** channelBuffers64;
  };
};

struct Chord {
  uint8 keyNote;
  uint8 rootNote;
  int16 chordMask;
};
struct FrameRate {
  uint32 framesPerSecond;
  uint32 flags;
};

struct ProcessContext {
  uint32 state;
  double sampleRate;
  TSamples projectTimeSamples;
  int64 systemTime;
  TSamples continousTimeSamples;
  double projectTimeMusic;
  double barPositionMusic;
  double cycleStartMusic;
  double cycleEndMusic;
  double tempo;
  int32 timeSigNumerator;
  int32 timeSigDenominator;
  Chord chord;
  int32 smpteOffsetSubframes;
  FrameRate frameRate;
  int32 samplesToNextClock;
};
constexpr uint32 kPlaying = 0x2, kCycleActive = 0x4, kProjectTimeMusicValid = 0x200, kTempoValid = 0x400,
                 kBarPositionValid = 0x800, kCycleValid = 0x1000, kTimeSigValid = 0x2000;
constexpr uint32 kNeedProjectTimeMusic = 0x4, kNeedBarPositionMusic = 0x8, kNeedCycleMusic = 0x10,
                 kNeedTempo = 0x40, kNeedTimeSignature = 0x80, kNeedTransportState = 0x400;

class IParamValueQueue : public FUnknown {
 public:
  virtual ParamID QV3_API getParameterId() = 0;
  virtual int32 QV3_API getPointCount() = 0;
  virtual tresult QV3_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
  virtual tresult QV3_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
};

class IParameterChanges : public FUnknown {
 public:
  virtual int32 QV3_API getParameterCount() = 0;
  virtual IParamValueQueue* QV3_API getParameterData(int32 index) = 0;
  virtual IParamValueQueue* QV3_API addParameterData(const ParamID& id, int32& index) = 0;
};

// Events: declared for their layout (the list hands out copies).
struct NoteOnEvent {
  int16 channel;
  int16 pitch;
  float tuning;
  float velocity;
  int32 length;
  int32 noteId;
};
struct NoteOffEvent {
  int16 channel;
  int16 pitch;
  float velocity;
  int32 noteId;
  float tuning;
};
struct DataEvent {
  uint32 size;
  uint32 type;
  const uint8* bytes;
};
struct PolyPressureEvent {
  int16 channel;
  int16 pitch;
  float pressure;
  int32 noteId;
};
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(push, 4)
#endif
struct NoteExpressionValueEvent {
  uint32 typeId;
  int32 noteId;
  double value;
};
struct NoteExpressionTextEvent {
  uint32 typeId;
  int32 noteId;
  uint32 textLen;
  const TChar* text;
};
#if defined(_WIN32) && !defined(_WIN64)
#pragma pack(pop)
#endif
struct ChordEvent {
  int16 root;
  int16 bassNote;
  int16 mask;
  uint16 textLen;
  const TChar* text;
};
struct ScaleEvent {
  int16 root;
  int16 mask;
  uint16 textLen;
  const TChar* text;
};
struct LegacyMIDICCOutEvent {
  uint8 controlNumber;
  int8 channel;
  int8 value;
  int8 value2;
};

struct Event {
  int32 busIndex;
  int32 sampleOffset;
  double ppqPosition;
  uint16 flags;
  uint16 type;
  union {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    DataEvent data;
    PolyPressureEvent polyPressure;
    NoteExpressionValueEvent noteExpressionValue;
    NoteExpressionTextEvent noteExpressionText;
    ChordEvent chord;
    ScaleEvent scale;
    LegacyMIDICCOutEvent midiCCOut;
  };
};

class IEventList : public FUnknown {
 public:
  virtual int32 QV3_API getEventCount() = 0;
  virtual tresult QV3_API getEvent(int32 index, Event& e) = 0;
  virtual tresult QV3_API addEvent(Event& e) = 0;
};

struct ProcessData {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 numSamples;
  int32 numInputs;
  int32 numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
 public:
  virtual tresult QV3_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                              int32 numOuts) = 0;
  virtual tresult QV3_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) = 0;
  virtual tresult QV3_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
  virtual uint32 QV3_API getLatencySamples() = 0;
  virtual tresult QV3_API setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult QV3_API setProcessing(TBool state) = 0;
  virtual tresult QV3_API process(ProcessData& data) = 0;
  virtual uint32 QV3_API getTailSamples() = 0;
};
constexpr uint32 kNoTail = 0, kInfiniteTail = 0xFFFFFFFFu;

class IProcessContextRequirements : public FUnknown {
 public:
  virtual uint32 QV3_API getProcessContextRequirements() = 0;
};

// --- controller ----------------------------------------------------------------
struct ParameterInfo {
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32 stepCount;
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32 flags;
};
constexpr int32 kCanAutomate = 0x1, kIsReadOnly = 0x2, kIsList = 0x8, kIsHidden = 0x10,
                kIsProgramChange = 0x8000, kIsBypass = 0x10000;

class IComponentHandler : public FUnknown {
 public:
  virtual tresult QV3_API beginEdit(ParamID id) = 0;
  virtual tresult QV3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult QV3_API endEdit(ParamID id) = 0;
  virtual tresult QV3_API restartComponent(int32 flags) = 0;
};
constexpr int32 kParamValuesChanged = 0x4, kLatencyChanged = 0x8, kMidiCCAssignmentChanged = 0x20;

class IPlugView;

class IEditController : public IPluginBase {
 public:
  virtual tresult QV3_API setComponentState(IBStream* state) = 0;
  virtual tresult QV3_API setState(IBStream* state) = 0;
  virtual tresult QV3_API getState(IBStream* state) = 0;
  virtual int32 QV3_API getParameterCount() = 0;
  virtual tresult QV3_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
  virtual tresult QV3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, TChar* string) = 0;
  virtual tresult QV3_API getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
  virtual ParamValue QV3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue QV3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue QV3_API getParamNormalized(ParamID id) = 0;
  virtual tresult QV3_API setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult QV3_API setComponentHandler(IComponentHandler* handler) = 0;
  virtual IPlugView* QV3_API createView(FIDString name) = 0;
};

class IMidiMapping : public FUnknown {
 public:
  virtual tresult QV3_API getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber midiControllerNumber,
                                                       ParamID& id) = 0;
};

struct UnitInfo {
  UnitID id;
  UnitID parentUnitId;
  String128 name;
  ProgramListID programListId;
};
struct ProgramListInfo {
  ProgramListID id;
  String128 name;
  int32 programCount;
};
constexpr UnitID kRootUnitId = 0, kNoParentUnitId = -1;

class IUnitInfo : public FUnknown {
 public:
  virtual int32 QV3_API getUnitCount() = 0;
  virtual tresult QV3_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
  virtual int32 QV3_API getProgramListCount() = 0;
  virtual tresult QV3_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
  virtual tresult QV3_API getProgramName(ProgramListID listId, int32 programIndex, TChar* name) = 0;
  virtual tresult QV3_API getProgramInfo(ProgramListID listId, int32 programIndex, const char8* attributeId,
                                          TChar* attributeValue) = 0;
  virtual tresult QV3_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
  virtual tresult QV3_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                               TChar* name) = 0;
  virtual UnitID QV3_API getSelectedUnit() = 0;
  virtual tresult QV3_API selectUnit(UnitID unitId) = 0;
  virtual tresult QV3_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                                        UnitID& unitId) = 0;
  virtual tresult QV3_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
};

class IMessage;
class IConnectionPoint : public FUnknown {
 public:
  virtual tresult QV3_API connect(IConnectionPoint* other) = 0;
  virtual tresult QV3_API disconnect(IConnectionPoint* other) = 0;
  virtual tresult QV3_API notify(IMessage* message) = 0;
};

class IHostApplication : public FUnknown {
 public:
  virtual tresult QV3_API getName(TChar* name) = 0;
  virtual tresult QV3_API createInstance(char* cid, char* iid, void** obj) = 0;
};

// --- view ----------------------------------------------------------------------
struct ViewRect {
  int32 left;
  int32 top;
  int32 right;
  int32 bottom;
};

class IPlugFrame : public FUnknown {
 public:
  virtual tresult QV3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

class IPlugView : public FUnknown {
 public:
  virtual tresult QV3_API isPlatformTypeSupported(FIDString type) = 0;
  virtual tresult QV3_API attached(void* parent, FIDString type) = 0;
  virtual tresult QV3_API removed() = 0;
  virtual tresult QV3_API onWheel(float distance) = 0;
  virtual tresult QV3_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult QV3_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
  virtual tresult QV3_API getSize(ViewRect* size) = 0;
  virtual tresult QV3_API onSize(ViewRect* newSize) = 0;
  virtual tresult QV3_API onFocus(TBool state) = 0;
  virtual tresult QV3_API setFrame(IPlugFrame* frame) = 0;
  virtual tresult QV3_API canResize() = 0;
  virtual tresult QV3_API checkSizeConstraint(ViewRect* rect) = 0;
};

class IPlugViewContentScaleSupport : public FUnknown {
 public:
  virtual tresult QV3_API setContentScaleFactor(float factor) = 0;
};

class IEventHandler : public FUnknown {
 public:
  virtual void QV3_API onFDIsSet(int fd) = 0;
};
class ITimerHandler : public FUnknown {
 public:
  virtual void QV3_API onTimer() = 0;
};
class IRunLoop : public FUnknown {
 public:
  virtual tresult QV3_API registerEventHandler(IEventHandler* handler, int fd) = 0;
  virtual tresult QV3_API unregisterEventHandler(IEventHandler* handler) = 0;
  virtual tresult QV3_API registerTimer(ITimerHandler* handler, uint64 milliseconds) = 0;
  virtual tresult QV3_API unregisterTimer(ITimerHandler* handler) = 0;
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// --- layouts the ABI fixes -------------------------------------------------------
static_assert(sizeof(TChar) == 2, "TChar is 16 bits everywhere");
static_assert(sizeof(PFactoryInfo) == 452 && offsetof(PFactoryInfo, flags) == 448, "PFactoryInfo");
static_assert(sizeof(PClassInfo) == 116 && offsetof(PClassInfo, name) == 52, "PClassInfo");
static_assert(sizeof(PClassInfo2) == 440 && offsetof(PClassInfo2, classFlags) == 116 &&
                  offsetof(PClassInfo2, sdkVersion) == 376,
              "PClassInfo2");
static_assert(sizeof(PClassInfoW) == 696 && offsetof(PClassInfoW, classFlags) == 180 &&
                  offsetof(PClassInfoW, vendor) == 312 && offsetof(PClassInfoW, sdkVersion) == 568,
              "PClassInfoW");
static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, busType) == 268, "BusInfo");
static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, stepCount) == 772 &&
                  offsetof(ParameterInfo, defaultNormalizedValue) == 776 && offsetof(ParameterInfo, flags) == 788,
              "ParameterInfo");
static_assert(sizeof(UnitInfo) == 268 && sizeof(ProgramListInfo) == 264, "units");
static_assert(sizeof(ViewRect) == 16, "ViewRect");
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16, "ProcessSetup");
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8 &&
                  offsetof(AudioBusBuffers, channelBuffers32) == 16,
              "AudioBusBuffers");
static_assert(sizeof(ProcessContext) == 112 && offsetof(ProcessContext, tempo) == 72 &&
                  offsetof(ProcessContext, timeSigNumerator) == 80 && offsetof(ProcessContext, chord) == 88 &&
                  offsetof(ProcessContext, frameRate) == 96 && offsetof(ProcessContext, samplesToNextClock) == 104,
              "ProcessContext");
#if defined(_WIN64) || defined(__x86_64__)
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
                  offsetof(ProcessData, processContext) == 72,
              "ProcessData");
static_assert(sizeof(Event) == 48 && offsetof(Event, noteOn) == 24, "Event");
#else
static_assert(sizeof(ProcessData) == 48 && offsetof(ProcessData, inputs) == 20 &&
                  offsetof(ProcessData, processContext) == 44,
              "ProcessData");
static_assert(sizeof(Event) == 40 && offsetof(Event, noteOn) == 20, "Event");
#endif

}  // namespace v3
