// The editor as a VST 3 view: the product's editor window as a child of the
// host's window (an HWND on Windows, an X11 window id on Linux). On Linux the
// host's run loop drives it: the X connection's descriptor and a 40 ms timer.
#pragma once

#include <atomic>

#include "vst3/Vst3Abi.h"

class Vst3Plugin;

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class Vst3View final : public v3::IPlugView, public v3::IPlugViewContentScaleSupport {
 public:
  explicit Vst3View(Vst3Plugin* owner);
  ~Vst3View();

  v3::tresult QV3_API queryInterface(const char* iid, void** obj) override;
  v3::uint32 QV3_API addRef() override;
  v3::uint32 QV3_API release() override;

  v3::tresult QV3_API isPlatformTypeSupported(v3::FIDString type) override;
  v3::tresult QV3_API attached(void* parent, v3::FIDString type) override;
  v3::tresult QV3_API removed() override;
  v3::tresult QV3_API onWheel(float distance) override;
  v3::tresult QV3_API onKeyDown(v3::char16 key, v3::int16 keyCode, v3::int16 modifiers) override;
  v3::tresult QV3_API onKeyUp(v3::char16 key, v3::int16 keyCode, v3::int16 modifiers) override;
  v3::tresult QV3_API getSize(v3::ViewRect* size) override;
  v3::tresult QV3_API onSize(v3::ViewRect* newSize) override;
  v3::tresult QV3_API onFocus(v3::TBool state) override;
  v3::tresult QV3_API setFrame(v3::IPlugFrame* frame) override;
  v3::tresult QV3_API canResize() override;
  v3::tresult QV3_API checkSizeConstraint(v3::ViewRect* rect) override;
  v3::tresult QV3_API setContentScaleFactor(float factor) override;

  // The editor's window takes a new size: asks the frame while the window is
  // open (the host answers with onSize); false when the host refused.
  bool RequestSize(int width, int height);

  // What the host's run loop calls: the window's events and repaint.
  void Idle();

 private:
  class LoopHandler;
  void StopLoop();

  std::atomic<v3::uint32> mRefs{1};
  Vst3Plugin* mOwner;
  v3::IPlugFrame* mFrame = nullptr;
  v3::IRunLoop* mLoop = nullptr;
  LoopHandler* mHandler = nullptr;
  bool mOpen = false;
  // The size asked of the frame, which its onSize accepts; -1 when none.
  int mPendingWidth = -1;
  int mPendingHeight = -1;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
