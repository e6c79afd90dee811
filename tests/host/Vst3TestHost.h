// A small VST 3 host of our own: loads a bundle (or takes a factory), makes
// the effect and drives it in the order hosts use, recording what the plug-in
// asks of it. Used by the tests and by the command-line host.
#pragma once

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/host/DynamicLibrary.h"
#include "vst3/Vst3Abi.h"

// A growable memory stream, as hosts hand them for state.
class Vst3MemoryStream : public v3::IBStream {
 public:
  Vst3MemoryStream() = default;
  explicit Vst3MemoryStream(std::vector<uint8_t> bytes) : data(std::move(bytes)) {}
  virtual ~Vst3MemoryStream() = default;
  v3::tresult QV3_API queryInterface(const char* iid, void** obj) override;
  v3::uint32 QV3_API addRef() override { return 1; }
  v3::uint32 QV3_API release() override { return 1; }
  v3::tresult QV3_API read(void* buffer, v3::int32 n, v3::int32* done) override;
  v3::tresult QV3_API write(void* buffer, v3::int32 n, v3::int32* done) override;
  v3::tresult QV3_API seek(v3::int64 pos, v3::int32 mode, v3::int64* result) override;
  v3::tresult QV3_API tell(v3::int64* pos) override;

  std::vector<uint8_t> data;
  size_t position = 0;
  // Reads hand out at most this many bytes per call, as some hosts' streams do.
  v3::int32 readLimit = 0x7FFFFFFF;
};

// Point lists by parameter, in the host's order; points sorted by offset.
struct Vst3ParamPoint {
  v3::ParamID id;
  v3::int32 offset;
  double value;
};

struct Vst3EditCall {
  char kind;  // 'b' begin, 'p' perform, 'e' end, 'r' restart
  v3::ParamID id;
  double value;
};

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// A host's frame for a view and, where the host offers one, its run loop: the
// descriptor handler and timers the view registers, run by the host's own
// loop through HandleEvents and RunDueTimers. Counts its references from 1.
class Vst3HostFrame : public v3::IPlugFrame, public v3::IRunLoop {
 public:
  explicit Vst3HostFrame(bool offersRunLoop = true) : mOffersRunLoop(offersRunLoop) {}
  virtual ~Vst3HostFrame() = default;
  v3::tresult QV3_API queryInterface(const char* iid, void** obj) override;
  v3::uint32 QV3_API addRef() override { return ++refs; }
  v3::uint32 QV3_API release() override { return --refs; }
  // As hosts do: the view's onSize within the call, when the size is accepted.
  v3::tresult QV3_API resizeView(v3::IPlugView* view, v3::ViewRect* newSize) override;
  v3::tresult QV3_API registerEventHandler(v3::IEventHandler* handler, int fd) override;
  v3::tresult QV3_API unregisterEventHandler(v3::IEventHandler* handler) override;
  v3::tresult QV3_API registerTimer(v3::ITimerHandler* handler, v3::uint64 ms) override;
  v3::tresult QV3_API unregisterTimer(v3::ITimerHandler* handler) override;

  // The event handler, told its descriptor is ready.
  void HandleEvents();
  // The timers whose period has passed on the steady clock.
  void RunDueTimers();

  struct Timer {
    v3::ITimerHandler* handler;
    v3::uint64 ms, due;
  };
  std::atomic<int> refs{1};
  v3::IEventHandler* events = nullptr;
  int eventFd = -1;
  std::vector<Timer> timers;
  int fdCalls = 0, timerCalls = 0;
  // Sizes the view asked for, whether accepted or not.
  std::vector<v3::ViewRect> resizes;
  bool acceptResize = true;
  std::function<void(int width, int height)> onResize;  // a host's own window follows

 private:
  bool mOffersRunLoop;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// Closes a view as hosts do: the frame dropped first, then removed and released.
void CloseView(v3::IPlugView*& view);

class Vst3TestHost {
 public:
  Vst3TestHost();
  ~Vst3TestHost();
  Vst3TestHost(const Vst3TestHost&) = delete;
  Vst3TestHost& operator=(const Vst3TestHost&) = delete;

  // The binary inside a bundle folder for this platform, or the path itself.
  static std::string BinaryPath(const std::string& path);
  // Loads the module (entry call, factory); false with Error() set.
  bool Load(const std::string& path);
  // Takes a factory linked into the program (one reference handed over).
  bool UseFactory(v3::IPluginFactory* factory);
  // Releases the instance and the factory, calls the exit entry and unloads.
  void Unload();
  const std::string& Error() const { return mError; }
  v3::IPluginFactory* Factory() const { return mFactory; }

  // createInstance of the first audio effect class, initialize, the controller.
  bool Create();
  // Bus arrangement, setup, activation: what hosts do before the first block.
  bool Start(double rate, int maxBlock, bool doubles = false);
  void Stop();
  void Destroy();

  // Stereo processing of whole buffers in blocks of at most blockFrames;
  // points carry absolute frame positions and go to the block they fall in.
  void Process(std::vector<float>* in, std::vector<float>* out, int blockFrames,
               const std::vector<Vst3ParamPoint>& points = {});
  void ProcessDouble(std::vector<double>* in, std::vector<double>* out, int blockFrames,
                     const std::vector<Vst3ParamPoint>& points = {});
  // A call with no audio, only parameter changes.
  void Flush(const std::vector<Vst3ParamPoint>& points);
  // One block of the host's own channel pointers (float or double as set
  // up; null: no buses); point offsets count from the block's start.
  void ProcessRaw(void** ins, void** outs, int frames, const std::vector<Vst3ParamPoint>& points);
  bool Doubles() const { return mDoubles; }
  bool Active() const { return mActive; }

  std::vector<uint8_t> GetState();
  bool SetState(const std::vector<uint8_t>& bytes);

  v3::IComponent* component = nullptr;
  v3::IAudioProcessor* processor = nullptr;
  v3::IEditController* controller = nullptr;

  // The process context sent with every block (state 0: none sent). When
  // advanceTransport is set the positions move on after every block.
  v3::ProcessContext context{};
  bool sendContext = false;
  bool advanceTransport = false;
  std::string hostName = "qvhost";
  std::vector<Vst3EditCall> edits;
  int restarts = 0;

 private:
  class Application;
  class Handler;
  template <typename T>
  void Run(std::vector<T>* in, std::vector<T>* out, int blockFrames, const std::vector<Vst3ParamPoint>& points);
  void RunBlock(void** ins, void** outs, int frames, int64_t blockStart, const std::vector<Vst3ParamPoint>& points,
                size_t& nextPoint);

  DynamicLibrary mLibrary;
  bool mLoaded = false;
  v3::IPluginFactory* mFactory = nullptr;
  std::unique_ptr<Application> mApplication;
  std::unique_ptr<Handler> mHandler;
  bool mSeparateController = false;
  bool mDoubles = false;
  bool mActive = false;
  std::string mError;
};
