// Shared pieces of the editor tests: an off-screen editor whose images are
// made in memory, a plug-in that logs what reaches the host, and controls
// that log their own handlers into the same log.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "graphics/IBitmapControl.h"
#include "graphics/IGraphicsOffscreen.h"
#include "graphics/IKnobControl.h"
#include "raster/RasterBlit.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"
#include "tests/host/TestPlug.h"

// Kept apart: where every suite is linked into one program, other suites have test knobs too.
namespace editor_test {

// One log per test: host requests and control handlers in the order they happen.
struct EventLog {
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void Add(const std::string& s) { Lines().push_back(s); }
  static void Clear() { Lines().clear(); }
};

inline VstIntPtr VSTCALLBACK LoggingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
  switch (opcode) {
    case audioMasterBeginEdit: EventLog::Add("begin " + std::to_string(index)); break;
    case audioMasterEndEdit: EventLog::Add("end " + std::to_string(index)); break;
    case audioMasterAutomate:
      EventLog::Add("automate " + std::to_string(index) + " " + std::to_string(opt));
      break;
    default: break;
  }
  return 0;
}

class GraphicsPlug : public TestPlug {
 public:
  explicit GraphicsPlug(audioMasterCallback host = LoggingHost) : TestPlug(host) {}
  void EditorIdle() override { ++idles; }
  int idles = 0;
};

// Colour of frame f (1-based) of the test strips.
inline uint32_t FrameColor(int id, int f) { return 0xFF000000u | (static_cast<uint32_t>(id & 0xFF) << 16) | (static_cast<uint32_t>(f) * 0x20u); }

// An off-screen editor whose image id is a strip of N frames, each w x h and
// filled with FrameColor(id, f); the size and frame count come from the id:
// id = 1000 * n + 10 * w (h = w).
class TestGraphics : public IGraphicsOffscreen {
 public:
  TestGraphics(IPluginBase* plug, int width = 200, int height = 100, bool windowLayer = true)
      : IGraphicsOffscreen(plug, width, height, 25, windowLayer) {}

  static int ImageId(int nFrames, int size, int salt = 0) { return 1000 * nFrames + 10 * size + salt; }

  RasterBitmap* LoadPlatformBitmap(int id, const char*) override {
    platformLoads.fetch_add(1);
    if (failLoads) return nullptr;
    const int n = id / 1000, w = (id % 1000) / 10;
    if (n < 1 || w < 1) return nullptr;
    auto* b = new RasterMemBitmap(w, w * n);
    for (int f = 1; f <= n; ++f) FillArea(b, 0, (f - 1) * w, w, w, FrameColor(id, f), 1.0f, kRasterCopy);
    return b;
  }
  void Idle() override { ++idleCalls; }

  static inline std::atomic<int> platformLoads{0};
  bool failLoads = false;
  int idleCalls = 0;
};

// Logs every handler; draws a solid colour so the draw pass can be seen.
class LogControl : public IControl {
 public:
  LogControl(IPluginBase* plug, const IRect& r, int paramIdx, const std::string& name)
      : IControl(plug, r, paramIdx), mName(name) {}
  void OnMouseDown(int x, int y, const IMouseMod&) override { Log("down", x, y); }
  void OnMouseUp(int x, int y, const IMouseMod&) override { Log("up", x, y); }
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod&) override {
    EventLog::Add(mName + " drag " + std::to_string(x) + "," + std::to_string(y) + " d" + std::to_string(dX) + "," +
                  std::to_string(dY));
  }
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override {
    Log("dbl", x, y);
    IControl::OnMouseDblClick(x, y, mod);
  }
  void OnMouseWheel(int x, int y, const IMouseMod&, int d) override { Log("wheel" + std::to_string(d), x, y); }
  bool OnKeyDown(int x, int y, int key) override {
    Log("key" + std::to_string(key), x, y);
    return takesKeys;
  }
  bool Draw(IGraphics* g) override {
    ++draws;
    RasterBitmap* b = g->DrawBitmapSurface();
    IRect r = Rect().Intersect(g->DrawRect());
    if (b && r.W() > 0 && r.H() > 0) FillArea(b, r.L, r.T, r.W(), r.H(), color, 1.0f, kRasterCopy);
    return true;
  }
  uint32_t color = 0xFF00FF00;
  int draws = 0;
  bool takesKeys = false;

 private:
  void Log(const std::string& what, int x, int y) {
    EventLog::Add(mName + " " + what + " " + std::to_string(x) + "," + std::to_string(y));
  }
  std::string mName;
};

// A bare knob: the base's drag and wheel, drawn as nothing.
class TestKnob : public IKnobControl {
 public:
  using IKnobControl::IKnobControl;
  bool Draw(IGraphics*) override { return true; }
};

// A plug-in with its off-screen editor attached, as the product sets it up.
struct EditorFixture {
  GraphicsPlug* plug;
  TestGraphics* g;
  explicit EditorFixture(bool windowLayer = true, int width = 200, int height = 100) {
    EventLog::Clear();
    plug = new GraphicsPlug();
    g = new TestGraphics(plug, width, height, windowLayer);
  }
  // After the controls are in: push the values and make the surfaces.
  void Attach() {
    plug->AttachEditor(g);
    attached = true;
  }
  ~EditorFixture() {
    if (!attached) delete g;
    delete plug;  // deletes an attached editor
  }
  bool attached = false;
  EditorFixture(const EditorFixture&) = delete;
  EditorFixture& operator=(const EditorFixture&) = delete;
};

}  // namespace editor_test
using namespace editor_test;  // NOLINT: test helpers only
