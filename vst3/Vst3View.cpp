#include "vst3/Vst3View.h"

#include <cstring>

#include "graphics/IGraphics.h"
#include "vst3/Vst3Plugin.h"

using namespace v3;

namespace {
#if defined(_WIN32)
const char* kPlatformType = "HWND";
#else
const char* kPlatformType = "X11EmbedWindowID";
#endif
constexpr uint64 kTimerMs = 40;  // the editor's repaint period
}  // namespace

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
// Hosts keep references to the handlers they are given, so these are objects
// of their own, counted, and outlive the view if the host holds them longer.
class Vst3View::LoopHandler final : public IEventHandler, public ITimerHandler {
 public:
  explicit LoopHandler(Vst3View* view) : mView(view) {}
  tresult QV3_API queryInterface(const char* iid, void** obj) override {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (SameTUID(iid, kFUnknownIID) || SameTUID(iid, kEventHandlerIID))
      *obj = static_cast<IEventHandler*>(this);
    else if (SameTUID(iid, kTimerHandlerIID))
      *obj = static_cast<ITimerHandler*>(this);
    if (!*obj) return kNoInterface;
    addRef();
    return kResultOk;
  }
  uint32 QV3_API addRef() override { return ++mRefs; }
  uint32 QV3_API release() override {
    const uint32 left = --mRefs;
    if (left == 0) delete this;
    return left;
  }
  void QV3_API onFDIsSet(int) override {
    if (mView) mView->Idle();
  }
  void QV3_API onTimer() override {
    if (mView) mView->Idle();
  }
  void Detach() { mView = nullptr; }

 private:
  std::atomic<uint32> mRefs{1};
  Vst3View* mView;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

Vst3View::Vst3View(Vst3Plugin* owner) : mOwner(owner) { mOwner->addRef(); }

Vst3View::~Vst3View() {
  if (mOpen) removed();
  setFrame(nullptr);
  mOwner->ViewClosed(this);
  static_cast<IComponent*>(mOwner)->release();
}

tresult QV3_API Vst3View::queryInterface(const char* iid, void** obj) {
  if (!obj) return kInvalidArgument;
  *obj = nullptr;
  if (SameTUID(iid, kFUnknownIID) || SameTUID(iid, kPlugViewIID))
    *obj = static_cast<IPlugView*>(this);
  else if (SameTUID(iid, kPlugViewContentScaleSupportIID))
    *obj = static_cast<IPlugViewContentScaleSupport*>(this);
  else
    return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 QV3_API Vst3View::addRef() { return ++mRefs; }

uint32 QV3_API Vst3View::release() {
  const uint32 left = --mRefs;
  if (left == 0) delete this;
  return left;
}

tresult QV3_API Vst3View::isPlatformTypeSupported(FIDString type) {
  return type && !std::strcmp(type, kPlatformType) ? kResultTrue : kResultFalse;
}

tresult QV3_API Vst3View::attached(void* parent, FIDString type) {
  if (mOpen || !parent || isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
  IPluginVST3& plug = mOwner->Plug();
  IGraphics* editor = plug.Editor();
  if (!editor) return kResultFalse;
  {
    IMutexLock lock(plug.Mutex());
    if (!editor->OpenWindow(parent)) return kResultFalse;
    plug.EditorOpened();
  }
  mOpen = true;
  // Without a run loop nothing would ever handle the window's events: such a
  // host gets no editor rather than a dead one.
  const int fd = editor->EventFileDescriptor();
  if (fd >= 0) {
    if (!mLoop) {
      removed();
      return kResultFalse;
    }
    mHandler = new LoopHandler(this);
    mLoop->registerEventHandler(mHandler, fd);
    mLoop->registerTimer(mHandler, kTimerMs);
  }
  return kResultOk;
}

void Vst3View::StopLoop() {
  if (!mHandler) return;
  if (mLoop) {
    mLoop->unregisterTimer(mHandler);
    mLoop->unregisterEventHandler(mHandler);
  }
  mHandler->Detach();
  mHandler->release();
  mHandler = nullptr;
}

tresult QV3_API Vst3View::removed() {
  StopLoop();
  if (!mOpen) return kResultFalse;
  mOpen = false;
  IPluginVST3& plug = mOwner->Plug();
  if (IGraphics* editor = plug.Editor()) {
    IMutexLock lock(plug.Mutex());
    plug.EditorClosed();
    editor->CloseWindow();
  }
  return kResultOk;
}

void Vst3View::Idle() {
  IPluginVST3& plug = mOwner->Plug();
  // As the VST 2.4 idle call: window events outside the lock (a menu opened
  // by a click runs until answered, and audio must not wait that long), the
  // product's idle work inside it.
  if (IGraphics* editor = plug.Editor()) editor->Idle();
  {
    IMutexLock lock(plug.Mutex());
    plug.EditorIdle();
  }
  mOwner->FlushPendingRestart();
}

tresult QV3_API Vst3View::onWheel(float) { return kResultFalse; }
tresult QV3_API Vst3View::onKeyDown(char16, int16, int16) { return kResultFalse; }
tresult QV3_API Vst3View::onKeyUp(char16, int16, int16) { return kResultFalse; }

tresult QV3_API Vst3View::getSize(ViewRect* size) {
  if (!size) return kInvalidArgument;
  size->left = size->top = 0;
  size->right = mOwner->Plug().EditorWidth();
  size->bottom = mOwner->Plug().EditorHeight();
  return kResultOk;
}

tresult QV3_API Vst3View::onSize(ViewRect* newSize) {
  if (!newSize) return kInvalidArgument;
  const int w = newSize->right - newSize->left, h = newSize->bottom - newSize->top;
  const bool same = w == mOwner->Plug().EditorWidth() && h == mOwner->Plug().EditorHeight();
  const bool asked = w == mPendingWidth && h == mPendingHeight;
  return same || asked ? kResultOk : kResultFalse;
}

tresult QV3_API Vst3View::onFocus(TBool) { return kResultOk; }

tresult QV3_API Vst3View::setFrame(IPlugFrame* frame) {
  // Hosts drop the frame before removed(): the handlers go while its loop is known.
  StopLoop();
  if (frame) frame->addRef();
  if (mLoop) mLoop->release();
  mLoop = nullptr;
  if (mFrame) mFrame->release();
  mFrame = frame;
  if (mFrame) mFrame->queryInterface(kRunLoopIID.b, reinterpret_cast<void**>(&mLoop));
  return kResultOk;
}

tresult QV3_API Vst3View::canResize() { return kResultFalse; }

tresult QV3_API Vst3View::setContentScaleFactor(float factor) {
  IGraphics* editor = mOwner->Plug().Editor();
  if (!editor || !(factor > 0.0f)) return kResultFalse;
  // A size the user chose wins; the factor still counts once that is undone.
  editor->SetHostScale(factor);
  return kResultTrue;
}

bool Vst3View::RequestSize(int width, int height) {
  const IGraphics* editor = mOwner->Plug().Editor();
  if (!mFrame || !editor || !editor->WindowIsOpen()) return true;  // getSize will tell
  ViewRect rect{0, 0, width, height};
  mPendingWidth = width;
  mPendingHeight = height;
  const tresult result = mFrame->resizeView(this, &rect);
  mPendingWidth = mPendingHeight = -1;
  return result == kResultOk;
}

tresult QV3_API Vst3View::checkSizeConstraint(ViewRect* rect) {
  if (!rect) return kInvalidArgument;
  rect->right = rect->left + mOwner->Plug().EditorWidth();
  rect->bottom = rect->top + mOwner->Plug().EditorHeight();
  return kResultTrue;
}
