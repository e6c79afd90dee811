#include "tools/qvhost/Vst3Adapter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/host/Vst3TestHost.h"
#include "vst/VendorEditorScale.h"

using namespace v3;

namespace {
std::string gBundle;
std::unique_ptr<Vst3TestHost> gModule;  // keeps the module loaded while instances live

void Narrow(char* dst, const TChar* src, size_t size) {
  size_t i = 0;
  for (; i + 1 < size && src[i]; ++i) dst[i] = src[i] < 0x80 ? static_cast<char>(src[i]) : '?';
  dst[i] = 0;
}

int32_t BigEndianWord(const unsigned char* p) {
  return static_cast<int32_t>((uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]);
}

// A class id that follows the VST 2 migration rule carries the VST 2 unique
// id in its second to fifth bytes of the portable (big-endian) form.
int32_t Vst2IdOf(const char* cid) {
  unsigned char b[16];
  std::memcpy(b, cid, 16);
#if defined(_WIN32)
  // GUID order: the first word and the two halves of the second are little-endian.
  std::swap(b[0], b[3]);
  std::swap(b[1], b[2]);
  std::swap(b[4], b[5]);
  std::swap(b[6], b[7]);
#endif
  if (b[0] != 0x56 || b[1] != 0x53 || b[2] != 0x54) return 0;
  return BigEndianWord(b + 3);
}

void PutBE(std::vector<uint8_t>& out, int32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> s));
}

// The editor's frame. On Linux it is also the run loop the view asks for:
// qvhost's idle calls (effEditIdle) run the handlers the view registered.
struct Frame : Vst3HostFrame {
  // qvhost idles every few tens of milliseconds: each call handles what is pending.
  void Idle() {
    HandleEvents();
    RunDueTimers();
  }
};

#if defined(_WIN32)
const char* kViewType = "HWND";
#else
const char* kViewType = "X11EmbedWindowID";
#endif

struct Instance {
  AEffect effect{};
  Vst3TestHost host;
  audioMasterCallback callback = nullptr;
  std::vector<ParamID> ids;  // VST 2 index -> VST 3 id
  ParamID programId = kNoParamId;
  ParamID bypassId = kNoParamId;
  int programs = 1;
  ProgramListID listId = -1;
  std::vector<Vst3ParamPoint> pending;
  double rate = 44100.0;
  int block = 1024;
  bool doubles = false;
  std::vector<uint8_t> chunk;
  std::string name, vendor;
  int32_t version = 0;
  Frame frame;
  IPlugView* view = nullptr;
  ERect rect{};
  float contentScale = 0.f;  // 0: none given

  ~Instance() { CloseView(); }
  void CloseView() { ::CloseView(view); }

  static constexpr ParamID kNoParamId = 0xFFFFFFFFu;

  bool Build() {
    if (!host.UseFactory(gModule->Factory())) return false;
    gModule->Factory()->addRef();
    if (!host.Create()) return false;
    IEditController* c = host.controller;
    if (!c) return false;
    for (int32 i = 0; i < c->getParameterCount(); ++i) {
      ParameterInfo info{};
      if (c->getParameterInfo(i, info) != kResultOk) continue;
      if (info.flags & kIsBypass) {
        bypassId = info.id;  // VST 2.4 bypasses by a call of its own, not a parameter
      } else if (info.flags & kIsProgramChange) {
        programId = info.id;
        programs = info.stepCount + 1;
      } else if (!(info.flags & kIsHidden)) {
        ids.push_back(info.id);
      }
    }
    IUnitInfo* units = nullptr;
    if (c->queryInterface(kUnitInfoIID.b, reinterpret_cast<void**>(&units)) == kResultOk && units) {
      ProgramListInfo list{};
      if (units->getProgramListInfo(0, list) == kResultOk) {
        listId = list.id;
        programs = std::max(programs, static_cast<int>(list.programCount));
      }
      units->release();
    }
    PClassInfo2 info2{};
    PClassInfo info{};
    IPluginFactory2* f2 = nullptr;
    host.Factory()->getClassInfo(0, &info);
    name = info.name;
    if (host.Factory()->queryInterface(kPluginFactory2IID.b, reinterpret_cast<void**>(&f2)) == kResultOk && f2) {
      if (f2->getClassInfo2(0, &info2) == kResultOk) {
        vendor = info2.vendor;
        int major = 0, minor = 0, patch = 0;
        std::sscanf(info2.version, "%d.%d.%d", &major, &minor, &patch);
        version = major * 10000 + minor * 100 + patch;
      }
      f2->release();
    }
    effect.magic = kEffectMagic;
    effect.dispatcher = Dispatcher;
    effect.setParameter = SetParameter;
    effect.getParameter = GetParameter;
    effect.processReplacing = ProcessFloat;
    effect.processDoubleReplacing = ProcessDouble;
    effect.numPrograms = programs;
    effect.numParams = static_cast<VstInt32>(ids.size());
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.flags = effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks;
    effect.ioRatio = 1.f;
    if (IPlugView* probe = c->createView("editor")) {
      ViewRect r{};
      if (probe->isPlatformTypeSupported(kViewType) == kResultTrue && probe->getSize(&r) == kResultOk) {
        effect.flags |= effFlagsHasEditor;
        rect.right = static_cast<VstInt16>(r.right - r.left);
        rect.bottom = static_cast<VstInt16>(r.bottom - r.top);
      }
      probe->release();
    }
    // The view asks for a new size when its scale changes; qvhost's window follows.
    frame.onResize = [this](int width, int height) {
      rect.right = static_cast<VstInt16>(width);
      rect.bottom = static_cast<VstInt16>(height);
    };
    effect.object = this;
    effect.uniqueID = Vst2IdOf(info.cid);
    effect.version = version;
    return true;
  }

  static Instance* Of(AEffect* e) { return e ? static_cast<Instance*>(e->object) : nullptr; }

  // The VST 2.4 side's scale call, given to a view as hosts give theirs.
  static bool GiveScale(IPlugView* v, float factor) {
    IPlugViewContentScaleSupport* scaling = nullptr;
    if (v->queryInterface(kPlugViewContentScaleSupportIID.b, reinterpret_cast<void**>(&scaling)) != kResultOk ||
        !scaling)
      return false;
    const bool taken = scaling->setContentScaleFactor(factor) == kResultTrue;
    scaling->release();
    return taken;
  }

  bool SetContentScale(float factor) {
    IPlugView* v = view ? view : host.controller->createView("editor");
    if (!v) return false;
    ViewRect r{};
    const bool ok = GiveScale(v, factor) && v->getSize(&r) == kResultOk;
    if (v != view) v->release();
    if (!ok) return false;
    contentScale = factor;
    rect.right = static_cast<VstInt16>(r.right - r.left);
    rect.bottom = static_cast<VstInt16>(r.bottom - r.top);
    return true;
  }

  void Queue(ParamID id, double value) {
    host.controller->setParamNormalized(id, value);
    pending.push_back({id, 0, value});
  }

  void EnsureStarted(bool wantDoubles) {
    if (host.Active() && host.Doubles() == wantDoubles) return;
    host.Stop();
    host.Start(rate, block, wantDoubles);
  }

  // The host's VST 2.4 time info, as a VST 3 process context.
  void ReadTime() {
    host.sendContext = false;
    if (!callback) return;
    const VstTimeInfo* t = reinterpret_cast<const VstTimeInfo*>(callback(&effect, audioMasterGetTime, 0, 0, nullptr, 0.f));
    if (!t) return;
    ProcessContext& c = host.context;
    c = ProcessContext{};
    c.sampleRate = rate;
    c.projectTimeSamples = static_cast<TSamples>(t->samplePos);
    if (t->flags & kVstTransportPlaying) c.state |= kPlaying;
    if (t->flags & kVstTransportCycleActive) c.state |= kCycleActive;
    if (t->flags & kVstPpqPosValid) {
      c.state |= kProjectTimeMusicValid;
      c.projectTimeMusic = t->ppqPos;
    }
    if (t->flags & kVstTempoValid) {
      c.state |= kTempoValid;
      c.tempo = t->tempo;
    }
    if (t->flags & kVstBarsValid) {
      c.state |= kBarPositionValid;
      c.barPositionMusic = t->barStartPos;
    }
    if (t->flags & kVstCyclePosValid) {
      c.state |= kCycleValid;
      c.cycleStartMusic = t->cycleStartPos;
      c.cycleEndMusic = t->cycleEndPos;
    }
    if (t->flags & kVstTimeSigValid) {
      c.state |= kTimeSigValid;
      c.timeSigNumerator = t->timeSigNumerator;
      c.timeSigDenominator = t->timeSigDenominator;
    }
    host.sendContext = true;
  }

  void Process(void** ins, void** outs, int frames, bool wantDoubles) {
    EnsureStarted(wantDoubles);
    ReadTime();
    host.ProcessRaw(ins, outs, frames, pending);
    pending.clear();
  }

  std::string ProgramName(int index) {
    IUnitInfo* units = nullptr;
    std::string text;
    if (host.controller->queryInterface(kUnitInfoIID.b, reinterpret_cast<void**>(&units)) == kResultOk && units) {
      TChar name16[128] = {0};
      char narrow[128];
      if (units->getProgramName(listId, index, name16) == kResultOk) {
        Narrow(narrow, name16, sizeof(narrow));
        text = narrow;
      }
      units->release();
    }
    return text;
  }

  int CurrentProgram() {
    if (programId == kNoParamId || programs < 2) return 0;
    return std::min(programs - 1, static_cast<int>(host.controller->getParamNormalized(programId) * programs));
  }

  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    IEditController* c = host.controller;
    switch (opcode) {
      case effSetSampleRate:
        rate = opt;
        return 0;
      case effSetBlockSize:
        block = std::max(1, static_cast<int>(value));
        return 0;
      case effSetProcessPrecision:
        doubles = value == 1;
        return 1;
      case effMainsChanged:
        if (value) {
          host.Stop();
          host.Start(rate, block, doubles);
        } else {
          host.Stop();
        }
        return 0;
      case effSetProgram:
        if (programId != kNoParamId && value >= 0 && value < programs)
          Queue(programId, programs > 1 ? static_cast<double>(value) / (programs - 1) : 0.0);
        return 0;
      case effGetProgram:
        return CurrentProgram();
      case effGetProgramName:
        if (ptr) std::snprintf(static_cast<char*>(ptr), kVstMaxProgNameLen, "%s", ProgramName(CurrentProgram()).c_str());
        return 0;
      case effGetProgramNameIndexed:
        if (!ptr) return 0;
        std::snprintf(static_cast<char*>(ptr), kVstMaxProgNameLen, "%s", ProgramName(index).c_str());
        return static_cast<char*>(ptr)[0] ? 1 : 0;
      case effGetParamName:
      case effGetParamLabel:
      case effGetParamDisplay: {
        if (!ptr || index < 0 || index >= static_cast<VstInt32>(ids.size())) return 0;
        const ParamID id = ids[static_cast<size_t>(index)];
        TChar text[128] = {0};
        if (opcode == effGetParamDisplay) {
          c->getParamStringByValue(id, c->getParamNormalized(id), text);
        } else {
          ParameterInfo info{};
          for (int32 i = 0; i < c->getParameterCount(); ++i)
            if (c->getParameterInfo(i, info) == kResultOk && info.id == id) break;
          std::memcpy(text, opcode == effGetParamName ? info.title : info.units, sizeof(text));
        }
        Narrow(static_cast<char*>(ptr), text, 32);
        return 0;
      }
      case effGetChunk: {
        if (!ptr || index == 0) return 0;  // a VST 3 state is one program's
        chunk = host.GetState();
        *static_cast<void**>(ptr) = chunk.data();
        return static_cast<VstIntPtr>(chunk.size());
      }
      case effSetChunk: {
        if (!ptr || value < 0) return 0;
        const uint8_t* bytes = static_cast<const uint8_t*>(ptr);
        std::vector<uint8_t> state;
        if (index == 0) {
          // A bank goes in as hosts hand a VST 2 project's bank to the VST 3 edition.
          state.insert(state.end(), {'C', 'c', 'n', 'K'});
          PutBE(state, static_cast<int32_t>(value + 152));
          state.insert(state.end(), {'F', 'B', 'C', 'h'});
          PutBE(state, 2);
          PutBE(state, effect.uniqueID);
          PutBE(state, effect.version);
          PutBE(state, programs);
          PutBE(state, -1);
          state.insert(state.end(), 124, 0);
          PutBE(state, static_cast<int32_t>(value));
        }
        state.insert(state.end(), bytes, bytes + value);
        return host.SetState(state) ? 1 : 0;
      }
      case effGetEffectName:
        if (ptr) std::snprintf(static_cast<char*>(ptr), 32, "%s", name.c_str());
        return ptr ? 1 : 0;
      case effGetVendorString:
        if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", vendor.c_str());
        return ptr ? 1 : 0;
      case effGetProductString:
        if (ptr) static_cast<char*>(ptr)[0] = 0;
        return ptr ? 1 : 0;
      case effGetVendorVersion:
        return version;
      case effGetTailSize: {
        const uint32 tail = host.processor->getTailSamples();
        return tail == kInfiniteTail ? 1 : static_cast<VstIntPtr>(tail);
      }
      case effGetPlugCategory:
        return 1;  // an effect
      case effEditGetRect:
        if (!ptr || !(effect.flags & effFlagsHasEditor)) return 0;
        *static_cast<ERect**>(ptr) = &rect;
        return 1;
      case effEditOpen:
        if (!ptr || view || !(effect.flags & effFlagsHasEditor)) return 0;
        view = c->createView("editor");
        if (!view) return 0;
        if (contentScale > 0.f) GiveScale(view, contentScale);
        view->setFrame(&frame);
        if (view->attached(ptr, kViewType) != kResultOk) {
          CloseView();
          return 0;
        }
        return 1;
      case effEditClose:
        CloseView();
        return 1;
      case effVendorSpecific:
        if (index != kVendorEditorScale || !(opt > 0.f) || !(effect.flags & effFlagsHasEditor)) return 0;
        return SetContentScale(opt) ? 1 : 0;
      case effEditIdle:
        frame.Idle();
        return 0;
      case effSetBypass:
        if (bypassId == kNoParamId) return 0;
        Queue(bypassId, value ? 1.0 : 0.0);
        return 1;
      case effCanDo:
        if (!ptr) return 0;
        if (!std::strcmp(static_cast<const char*>(ptr), "receiveVstTimeInfo")) return 1;
        return !std::strcmp(static_cast<const char*>(ptr), "bypass") && bypassId != kNoParamId ? 1 : 0;
      default:
        return 0;
    }
  }

  static VstIntPtr VSTCALLBACK Dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                          float opt) {
    Instance* self = Of(e);
    if (!self) return 0;
    if (opcode == effClose) {
      delete self;
      return 0;
    }
    return self->Dispatch(opcode, index, value, ptr, opt);
  }
  static void VSTCALLBACK SetParameter(AEffect* e, VstInt32 index, float value) {
    Instance* self = Of(e);
    if (self && index >= 0 && index < static_cast<VstInt32>(self->ids.size()))
      self->Queue(self->ids[static_cast<size_t>(index)], value);
  }
  static float VSTCALLBACK GetParameter(AEffect* e, VstInt32 index) {
    Instance* self = Of(e);
    if (!self || index < 0 || index >= static_cast<VstInt32>(self->ids.size())) return 0.f;
    return static_cast<float>(self->host.controller->getParamNormalized(self->ids[static_cast<size_t>(index)]));
  }
  static void VSTCALLBACK ProcessFloat(AEffect* e, float** ins, float** outs, VstInt32 frames) {
    if (Instance* self = Of(e))
      self->Process(reinterpret_cast<void**>(ins), reinterpret_cast<void**>(outs), frames, false);
  }
  static void VSTCALLBACK ProcessDouble(AEffect* e, double** ins, double** outs, VstInt32 frames) {
    if (Instance* self = Of(e))
      self->Process(reinterpret_cast<void**>(ins), reinterpret_cast<void**>(outs), frames, true);
  }
};

AEffect* VSTCALLBACK Vst3Entry(audioMasterCallback callback) {
  if (!gModule) return nullptr;
  auto* instance = new Instance();
  instance->callback = callback;
  if (!instance->Build()) {
    delete instance;
    return nullptr;
  }
  return &instance->effect;
}
}  // namespace

bool IsVst3Path(const std::string& path) {
  std::string p = path;
  while (!p.empty() && (p.back() == '/' || p.back() == '\\')) p.pop_back();
  return p.size() > 5 && p.compare(p.size() - 5, 5, ".vst3") == 0;
}

VstEntryProc LoadVst3Entry(const std::string& path, std::string* error) {
  if (gModule && gBundle == path) return Vst3Entry;
  auto module = std::make_unique<Vst3TestHost>();
  if (!module->Load(path)) {
    *error = "cannot load " + path + ": " + module->Error();
    return nullptr;
  }
  gModule = std::move(module);
  gBundle = path;
  return Vst3Entry;
}
