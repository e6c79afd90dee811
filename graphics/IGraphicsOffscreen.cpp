#include "graphics/IGraphicsOffscreen.h"

#include <cctype>
#include <cstring>

#include "platform/ModuleInfo.h"
#include "raster/RasterBlit.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterPng.h"
#include "raster/RasterSysBitmap.h"

namespace {
std::string Str(const char* s) { return s ? std::string(s) : std::string(); }

// The text after the last '.', compared without case; no '.' means no extension.
bool HasPngExtension(const char* fileName) {
  if (!fileName) return false;
  const char* dot = std::strrchr(fileName, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  const char* png = "png";
  for (int i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(ext[i])) != png[i]) return false;
  return true;
}
}  // namespace

IGraphicsOffscreen::IGraphicsOffscreen(IPluginBase* plug, int width, int height, int fps, bool reportsWindowLayer)
    : IGraphics(plug, width, height, fps),
      mReportsWindowLayer(reportsWindowLayer),
      mScreen(std::make_unique<RasterMemBitmap>(width, height)) {
  FillArea(mScreen.get(), 0, 0, width, height, 0xFF000000, 1.0f, kRasterCopy);
}

IGraphicsOffscreen::~IGraphicsOffscreen() { CloseWindow(); }

void* IGraphicsOffscreen::OpenWindow(void* parentWindow) {
  if (!parentWindow) return nullptr;
  if (mOpen.load()) CloseWindow();
  mParent = parentWindow;
  ++mWindowsCreated;
  mOpen.store(true);
  ApplyChosenScale();  // the screen it opened on may ask for another size
  SetAllControlsDirty();
  return mScreen.get();
}

void IGraphicsOffscreen::CloseWindow() {
  mOpen.store(false);
  mParent = nullptr;
}

bool IGraphicsOffscreen::DrawScreen(const IRect& rect) {
  RasterSysBitmap* draw = DrawBitmapSurface();
  if (!draw || rect.W() <= 0 || rect.H() <= 0) return true;
  RasterRect src{rect.L, rect.T, rect.R, rect.B};
  Blit(mScreen.get(), draw, rect.L, rect.T, &src, 1.0f, kRasterCopy);
  return true;
}

RasterBitmap* IGraphicsOffscreen::LoadPlatformBitmap(int id, const char* fileName) {
  if (!HasPngExtension(fileName)) return nullptr;
  return RasterLoadPngResource(ModuleHandle(), id);
}

void IGraphicsOffscreen::SizeChanged() {
  if (mScreen->Width() == Width() && mScreen->Height() == Height()) return;
  mScreen = std::make_unique<RasterMemBitmap>(Width(), Height());
  FillArea(mScreen.get(), 0, 0, Width(), Height(), 0xFF000000, 1.0f, kRasterCopy);
}

bool IGraphicsOffscreen::Tick() {
  if (!mOpen.load()) return false;
  IRect r;
  if (!IsDirty(&r)) return false;
  Draw(r);
  return true;
}

IPopupMenu* IGraphicsOffscreen::CreatePopupMenu(IPopupMenu* menu, const IRect&) {
  ReleaseMouseCapture();
  IPopupMenu* result = nullptr;
  if (menu && menuAnswer) {
    const int number = menuAnswer(*menu);
    int first = -1;
    IPopupMenu* holder = menu->MenuForNumber(number, &first);
    // A platform menu only returns items the user can pick.
    if (holder && holder->Choosable(number - first)) {
      holder->chosenIndex = number - first;
      result = holder;
    }
  }
  SetAllControlsDirty();
  return result;
}

int IGraphicsOffscreen::ShowMessageBox(const char* text, const char* caption, int type) {
  messageBoxes.push_back(MessageBoxCall{Str(text), Str(caption), type});
  if (!messageBoxAnswers.empty()) {
    const int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
  }
  return (type & 0xF) == kMsgYesNo ? kMsgAnswerNo : kMsgAnswerOk;
}

bool IGraphicsOffscreen::OpenURL(const char* url, const char* title, const char* confirmText,
                                 const char* failureText) {
  urls.push_back(UrlCall{Str(url), Str(title), Str(confirmText), Str(failureText)});
  if (confirmText && ShowMessageBox(confirmText, title, kMsgYesNo) != kMsgAnswerYes) return false;
  if (url && urlOpens) return true;
  if (failureText) ShowMessageBox(failureText, title, kMsgOk);
  return false;
}
