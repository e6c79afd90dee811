#include "tests/host/Vst3TestHost.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <sys/stat.h>

using namespace v3;

namespace {
using FactoryProc = IPluginFactory*(QV3_API*)();
using EntryProc = bool (*)(void*);
using ExitProc = bool (*)();
using InitProc = bool (*)();

void Text16(TChar* dst, const std::string& src) {
  size_t i = 0;
  for (; i < 127 && i < src.size(); ++i) dst[i] = static_cast<TChar>(static_cast<unsigned char>(src[i]));
  dst[i] = 0;
}

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class Queue final : public IParamValueQueue {
 public:
  tresult QV3_API queryInterface(const char*, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 QV3_API addRef() override { return 1; }
  uint32 QV3_API release() override { return 1; }
  ParamID QV3_API getParameterId() override { return id; }
  int32 QV3_API getPointCount() override { return static_cast<int32>(points.size()); }
  tresult QV3_API getPoint(int32 index, int32& offset, ParamValue& value) override {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    offset = points[static_cast<size_t>(index)].first;
    value = points[static_cast<size_t>(index)].second;
    return kResultOk;
  }
  tresult QV3_API addPoint(int32 offset, ParamValue value, int32& index) override {
    index = getPointCount();
    points.emplace_back(offset, value);
    return kResultOk;
  }
  ParamID id = 0;
  std::vector<std::pair<int32, double>> points;
};

class Changes final : public IParameterChanges {
 public:
  tresult QV3_API queryInterface(const char*, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 QV3_API addRef() override { return 1; }
  uint32 QV3_API release() override { return 1; }
  int32 QV3_API getParameterCount() override { return static_cast<int32>(queues.size()); }
  IParamValueQueue* QV3_API getParameterData(int32 index) override {
    return index >= 0 && index < getParameterCount() ? &queues[static_cast<size_t>(index)] : nullptr;
  }
  IParamValueQueue* QV3_API addParameterData(const ParamID& id, int32& index) override {
    for (size_t i = 0; i < queues.size(); ++i)
      if (queues[i].id == id) {
        index = static_cast<int32>(i);
        return &queues[i];
      }
    index = getParameterCount();
    queues.emplace_back();
    queues.back().id = id;
    return &queues.back();
  }
  std::vector<Queue> queues;
};
}  // namespace

tresult QV3_API Vst3HostFrame::queryInterface(const char* iid, void** obj) {
  *obj = nullptr;
  if (SameTUID(iid, kFUnknownIID) || SameTUID(iid, kPlugFrameIID)) *obj = static_cast<IPlugFrame*>(this);
  if (mOffersRunLoop && SameTUID(iid, kRunLoopIID)) *obj = static_cast<IRunLoop*>(this);
  if (!*obj) return kNoInterface;
  addRef();
  return kResultOk;
}

tresult QV3_API Vst3HostFrame::registerEventHandler(IEventHandler* handler, int fd) {
  if (!handler || events) return kResultFalse;
  handler->addRef();
  events = handler;
  eventFd = fd;
  return kResultOk;
}

tresult QV3_API Vst3HostFrame::unregisterEventHandler(IEventHandler* handler) {
  if (!handler || handler != events) return kResultFalse;
  events->release();
  events = nullptr;
  return kResultOk;
}

tresult QV3_API Vst3HostFrame::registerTimer(ITimerHandler* handler, uint64 ms) {
  if (!handler || ms == 0) return kInvalidArgument;
  handler->addRef();
  timers.push_back({handler, ms, 0});
  return kResultOk;
}

tresult QV3_API Vst3HostFrame::unregisterTimer(ITimerHandler* handler) {
  for (size_t i = 0; i < timers.size(); ++i)
    if (timers[i].handler == handler) {
      handler->release();
      timers.erase(timers.begin() + static_cast<std::ptrdiff_t>(i));
      return kResultOk;
    }
  return kResultFalse;
}

void Vst3HostFrame::HandleEvents() {
  if (!events) return;
  ++fdCalls;
  events->onFDIsSet(eventFd);
}

void Vst3HostFrame::RunDueTimers() {
  const uint64 now = static_cast<uint64>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
  for (size_t i = 0; i < timers.size(); ++i)
    if (now >= timers[i].due) {
      timers[i].due = now + timers[i].ms;
      ++timerCalls;
      timers[i].handler->onTimer();
    }
}

tresult QV3_API Vst3HostFrame::resizeView(IPlugView* view, ViewRect* newSize) {
  if (!view || !newSize) return kInvalidArgument;
  resizes.push_back(*newSize);
  if (!acceptResize) return kResultFalse;
  if (onResize) onResize(newSize->right - newSize->left, newSize->bottom - newSize->top);
  return view->onSize(newSize) == kResultOk ? kResultOk : kResultFalse;
}

void CloseView(IPlugView*& view) {
  if (!view) return;
  view->setFrame(nullptr);
  view->removed();
  view->release();
  view = nullptr;
}

class Vst3TestHost::Application : public IHostApplication {
 public:
  explicit Application(Vst3TestHost& host) : mHost(host) {}
  virtual ~Application() = default;
  tresult QV3_API queryInterface(const char* iid, void** obj) override {
    if (SameTUID(iid, kFUnknownIID) || SameTUID(iid, kHostApplicationIID)) {
      *obj = static_cast<IHostApplication*>(this);
      addRef();
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 QV3_API addRef() override { return ++refs; }
  uint32 QV3_API release() override { return --refs; }
  tresult QV3_API getName(TChar* name) override {
    Text16(name, mHost.hostName);
    return kResultOk;
  }
  tresult QV3_API createInstance(char*, char*, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  std::atomic<int> refs{1};

 private:
  Vst3TestHost& mHost;
};

class Vst3TestHost::Handler : public IComponentHandler {
 public:
  explicit Handler(Vst3TestHost& host) : mHost(host) {}
  virtual ~Handler() = default;
  tresult QV3_API queryInterface(const char* iid, void** obj) override {
    if (SameTUID(iid, kFUnknownIID) || SameTUID(iid, kComponentHandlerIID)) {
      *obj = static_cast<IComponentHandler*>(this);
      addRef();
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 QV3_API addRef() override { return ++refs; }
  uint32 QV3_API release() override { return --refs; }
  tresult QV3_API beginEdit(ParamID id) override {
    mHost.edits.push_back({'b', id, 0.0});
    return kResultOk;
  }
  tresult QV3_API performEdit(ParamID id, ParamValue value) override {
    mHost.edits.push_back({'p', id, value});
    return kResultOk;
  }
  tresult QV3_API endEdit(ParamID id) override {
    mHost.edits.push_back({'e', id, 0.0});
    return kResultOk;
  }
  tresult QV3_API restartComponent(int32 flags) override {
    mHost.edits.push_back({'r', 0, static_cast<double>(flags)});
    ++mHost.restarts;
    return kResultOk;
  }
  std::atomic<int> refs{1};

 private:
  Vst3TestHost& mHost;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// --- stream ------------------------------------------------------------------------
tresult QV3_API Vst3MemoryStream::queryInterface(const char* iid, void** obj) {
  if (SameTUID(iid, kFUnknownIID) || SameTUID(iid, kBStreamIID)) {
    *obj = static_cast<IBStream*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

tresult QV3_API Vst3MemoryStream::read(void* buffer, int32 n, int32* done) {
  if (n < 0 || !buffer) return kInvalidArgument;
  const size_t left = position < data.size() ? data.size() - position : 0;
  const size_t count = std::min({left, static_cast<size_t>(n), static_cast<size_t>(readLimit)});
  if (count) std::memcpy(buffer, data.data() + position, count);
  position += count;
  if (done) *done = static_cast<int32>(count);
  return kResultOk;
}

tresult QV3_API Vst3MemoryStream::write(void* buffer, int32 n, int32* done) {
  if (n < 0 || !buffer) return kInvalidArgument;
  if (data.size() < position + static_cast<size_t>(n)) data.resize(position + static_cast<size_t>(n));
  std::memcpy(data.data() + position, buffer, static_cast<size_t>(n));
  position += static_cast<size_t>(n);
  if (done) *done = n;
  return kResultOk;
}

tresult QV3_API Vst3MemoryStream::seek(int64 pos, int32 mode, int64* result) {
  int64 base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? static_cast<int64>(position)
                                                            : static_cast<int64>(data.size());
  if (base + pos < 0) return kInvalidArgument;
  position = static_cast<size_t>(base + pos);
  if (result) *result = static_cast<int64>(position);
  return kResultOk;
}

tresult QV3_API Vst3MemoryStream::tell(int64* pos) {
  if (pos) *pos = static_cast<int64>(position);
  return kResultOk;
}

// --- host --------------------------------------------------------------------------
Vst3TestHost::Vst3TestHost()
    : mApplication(std::make_unique<Application>(*this)), mHandler(std::make_unique<Handler>(*this)) {}

Vst3TestHost::~Vst3TestHost() { Unload(); }

std::string Vst3TestHost::BinaryPath(const std::string& path) {
  struct stat s {};
  if (stat(path.c_str(), &s) != 0 || !S_ISDIR(s.st_mode)) return path;
  std::string stem = path;
  while (!stem.empty() && (stem.back() == '/' || stem.back() == '\\')) stem.pop_back();
  const size_t slash = stem.find_last_of("/\\");
  std::string name = slash == std::string::npos ? stem : stem.substr(slash + 1);
  if (name.size() > 5 && name.compare(name.size() - 5, 5, ".vst3") == 0) name.resize(name.size() - 5);
#if defined(_WIN64)
  return stem + "/Contents/x86_64-win/" + name + ".vst3";
#elif defined(_WIN32)
  return stem + "/Contents/x86-win/" + name + ".vst3";
#else
  return stem + "/Contents/x86_64-linux/" + name + ".so";
#endif
}

bool Vst3TestHost::Load(const std::string& path) {
  Unload();
  const std::string binary = BinaryPath(path);
  if (!mLibrary.Open(binary)) {
    mError = binary + ": " + mLibrary.Error();
    return false;
  }
  mLoaded = true;
#if defined(_WIN32)
  if (auto init = reinterpret_cast<InitProc>(mLibrary.Symbol("InitDll"))) {
    if (!init()) {
      mError = "InitDll refused";
      Unload();
      return false;
    }
  }
#else
  auto entry = reinterpret_cast<EntryProc>(mLibrary.Symbol("ModuleEntry"));
  if (!entry || !mLibrary.Symbol("ModuleExit")) {
    mError = "no ModuleEntry/ModuleExit";
    Unload();
    return false;
  }
  if (!entry(nullptr)) {
    mError = "ModuleEntry refused";
    Unload();
    return false;
  }
#endif
  auto factory = reinterpret_cast<FactoryProc>(mLibrary.Symbol("GetPluginFactory"));
  if (!factory) {
    mError = "no GetPluginFactory";
    Unload();
    return false;
  }
  return UseFactory(factory());
}

bool Vst3TestHost::UseFactory(IPluginFactory* factory) {
  mFactory = factory;
  if (!mFactory) mError = "no factory";
  return mFactory != nullptr;
}

void Vst3TestHost::Unload() {
  Destroy();
  if (mFactory) mFactory->release();
  mFactory = nullptr;
  if (mLoaded) {
#if defined(_WIN32)
    if (auto exitDll = reinterpret_cast<ExitProc>(mLibrary.Symbol("ExitDll"))) exitDll();
#else
    if (auto exitModule = reinterpret_cast<ExitProc>(mLibrary.Symbol("ModuleExit"))) exitModule();
#endif
    mLibrary.Close();
    mLoaded = false;
  }
}

bool Vst3TestHost::Create() {
  Destroy();
  if (!mFactory) return false;
  PClassInfo info{};
  int32 index = 0;
  for (; index < mFactory->countClasses(); ++index)
    if (mFactory->getClassInfo(index, &info) == kResultOk && !std::strcmp(info.category, "Audio Module Class")) break;
  if (index == mFactory->countClasses()) {
    mError = "no audio effect class";
    return false;
  }
  if (mFactory->createInstance(info.cid, kComponentIID.b, reinterpret_cast<void**>(&component)) != kResultOk ||
      !component) {
    mError = "createInstance failed";
    component = nullptr;
    return false;
  }
  if (component->initialize(mApplication.get()) != kResultOk) {
    mError = "initialize failed";
    component->release();
    component = nullptr;
    return false;
  }
  component->queryInterface(kAudioProcessorIID.b, reinterpret_cast<void**>(&processor));
  char cid[16];
  mSeparateController = component->getControllerClassId(cid) == kResultOk;
  if (mSeparateController) {
    if (mFactory->createInstance(cid, kEditControllerIID.b, reinterpret_cast<void**>(&controller)) == kResultOk &&
        controller)
      controller->initialize(mApplication.get());
  } else {
    component->queryInterface(kEditControllerIID.b, reinterpret_cast<void**>(&controller));
  }
  if (controller) {
    controller->setComponentHandler(mHandler.get());
    Vst3MemoryStream state;
    if (component->getState(&state) == kResultOk) {
      state.position = 0;
      controller->setComponentState(&state);
    }
  }
  if (!processor) mError = "no audio processor";
  return processor != nullptr;
}

bool Vst3TestHost::Start(double rate, int maxBlock, bool doubles) {
  if (!processor) return false;
  SpeakerArrangement stereo = kSpeakerStereo;
  SpeakerArrangement in = stereo, out = stereo;
  if (processor->setBusArrangements(&in, 1, &out, 1) != kResultTrue) return false;
  component->activateBus(kAudio, kInput, 0, 1);
  component->activateBus(kAudio, kOutput, 0, 1);
  component->activateBus(kEvent, kInput, 0, 1);
  mDoubles = doubles;
  if (processor->canProcessSampleSize(doubles ? kSample64 : kSample32) != kResultTrue) return false;
  ProcessSetup setup{kRealtime, doubles ? kSample64 : kSample32, maxBlock, rate};
  if (processor->setupProcessing(setup) != kResultOk) return false;
  if (component->setActive(1) != kResultOk) return false;
  processor->setProcessing(1);
  mActive = true;
  context.sampleRate = rate;
  return true;
}

void Vst3TestHost::Stop() {
  if (!mActive) return;
  processor->setProcessing(0);
  component->setActive(0);
  mActive = false;
}

void Vst3TestHost::Destroy() {
  Stop();
  if (controller) {
    controller->setComponentHandler(nullptr);
    if (mSeparateController) controller->terminate();
    controller->release();
    controller = nullptr;
  }
  if (processor) processor->release();
  processor = nullptr;
  if (component) {
    component->terminate();
    component->release();
    component = nullptr;
  }
}

void Vst3TestHost::RunBlock(void** ins, void** outs, int frames, int64_t blockStart,
                            const std::vector<Vst3ParamPoint>& points, size_t& nextPoint) {
  Changes changes;
  // A call without frames still takes the points at its start.
  while (nextPoint < points.size() && points[nextPoint].offset < blockStart + std::max(frames, 1)) {
    const Vst3ParamPoint& p = points[nextPoint++];
    int32 index = 0;
    changes.addParameterData(p.id, index)
        ->addPoint(static_cast<int32>(std::max<int64_t>(0, p.offset - blockStart)), p.value, index);
  }
  AudioBusBuffers inBus{}, outBus{};
  inBus.numChannels = outBus.numChannels = 2;
  inBus.channelBuffers32 = reinterpret_cast<float**>(ins);
  outBus.channelBuffers32 = reinterpret_cast<float**>(outs);
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = mDoubles ? kSample64 : kSample32;
  data.numSamples = frames;
  data.numInputs = ins ? 1 : 0;
  data.numOutputs = outs ? 1 : 0;
  data.inputs = ins ? &inBus : nullptr;
  data.outputs = outs ? &outBus : nullptr;
  data.inputParameterChanges = &changes;
  data.processContext = sendContext ? &context : nullptr;
  processor->process(data);
  if (advanceTransport && frames > 0) {
    context.projectTimeSamples += frames;
    if (context.sampleRate > 0) context.projectTimeMusic += frames / context.sampleRate * context.tempo / 60.0;
    if (context.timeSigNumerator > 0 && context.timeSigDenominator > 0) {
      const double bar = 4.0 * context.timeSigNumerator / context.timeSigDenominator;
      context.barPositionMusic = std::floor(context.projectTimeMusic / bar) * bar;
    }
  }
}

template <typename T>
void Vst3TestHost::Run(std::vector<T>* in, std::vector<T>* out, int blockFrames,
                       const std::vector<Vst3ParamPoint>& points) {
  const size_t total = in[0].size();
  out[0].assign(total, T(0));
  out[1].assign(total, T(0));
  size_t next = 0;
  for (size_t pos = 0; pos < total; pos += static_cast<size_t>(blockFrames)) {
    const int n = static_cast<int>(std::min(total - pos, static_cast<size_t>(blockFrames)));
    void* ins[2] = {in[0].data() + pos, in[1].data() + pos};
    void* outs[2] = {out[0].data() + pos, out[1].data() + pos};
    RunBlock(ins, outs, n, static_cast<int64_t>(pos), points, next);
  }
}

void Vst3TestHost::Process(std::vector<float>* in, std::vector<float>* out, int blockFrames,
                           const std::vector<Vst3ParamPoint>& points) {
  Run(in, out, blockFrames, points);
}

void Vst3TestHost::ProcessDouble(std::vector<double>* in, std::vector<double>* out, int blockFrames,
                                 const std::vector<Vst3ParamPoint>& points) {
  Run(in, out, blockFrames, points);
}

void Vst3TestHost::Flush(const std::vector<Vst3ParamPoint>& points) {
  size_t next = 0;
  std::vector<Vst3ParamPoint> atZero(points);
  for (auto& p : atZero) p.offset = 0;
  RunBlock(nullptr, nullptr, 0, 0, atZero, next);
}

void Vst3TestHost::ProcessRaw(void** ins, void** outs, int frames, const std::vector<Vst3ParamPoint>& points) {
  size_t next = 0;
  RunBlock(ins, outs, frames, 0, points, next);
}

std::vector<uint8_t> Vst3TestHost::GetState() {
  Vst3MemoryStream stream;
  if (!component || component->getState(&stream) != kResultOk) return {};
  return stream.data;
}

bool Vst3TestHost::SetState(const std::vector<uint8_t>& bytes) {
  if (!component) return false;
  Vst3MemoryStream stream(bytes);
  if (component->setState(&stream) != kResultOk) return false;
  stream.position = 0;
  return !controller || controller->setComponentState(&stream) == kResultOk;
}
