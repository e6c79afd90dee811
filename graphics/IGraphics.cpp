#include "graphics/IGraphics.h"

#include <cmath>

#include "framework/IPluginBase.h"
#include "graphics/IBitmapCache.h"
#include "graphics/IBitmapControl.h"
#include "graphics/IFontCache.h"
#include "raster/RasterBlit.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"

IGraphics::IGraphics(IPluginBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps) {}

IGraphics::~IGraphics() {
  // Last to first, as they were stacked.
  while (!mControls.empty()) mControls.pop_back();
  mDrawBitmap.reset();
  mTempBitmap.reset();
}

// --- layout --------------------------------------------------------------------

IBitmap IGraphics::LoadBitmap(int id, const char* fileName, int nFrames) {
  IBitmapCache& cache = IBitmapCache::Instance();
  RasterBitmap* bitmap = cache.Find(id);
  // Decoded outside the cache's lock; a second instance that raced us gets the first image.
  if (!bitmap) bitmap = cache.Add(id, LoadPlatformBitmap(id, fileName));
  IBitmap result;
  result.bitmap = bitmap;
  result.W = bitmap ? bitmap->Width() : 0;
  result.H = bitmap ? bitmap->Height() : 0;
  result.N = nFrames;
  result.framesAreHorizontal = false;
  return result;
}

void IGraphics::AttachBackground(int id, const char* fileName) {
  IBitmap bitmap = LoadBitmap(id, fileName, 1);
  auto* background = new IBitmapControl(mPlug, 0, 0, -1, bitmap, IBlend::kClobber);
  mControls.insert(mControls.begin(), std::unique_ptr<IControl>(background));
}

int IGraphics::AttachControl(IControl* control) {
  mControls.emplace_back(control);
  return static_cast<int>(mControls.size()) - 1;
}

void IGraphics::Resize(int width, int height) {
  if (width == mWidth && height == mHeight) return;
  mWidth = width;
  mHeight = height;
  if (mDrawBitmap) PrepDraw();
  SetAllControlsDirty();
  if (mPlug) mPlug->ResizeEditor(width, height);
}

// --- parameter link ------------------------------------------------------------

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
  if (!mPlug || !mPlug->ValidParam(paramIdx)) return;
  // Only the parameter's fixed range and shape are read here, never its value:
  // this runs on the audio thread too.
  if (!normalized) value = mPlug->GetParam(paramIdx)->Normalized(value);
  for (auto& c : mControls)
    if (c->ParamIdx() == paramIdx) c->SetValueFromPlug(value);
}

void IGraphics::AttachParamValue(int paramIdx, double normalized) {
  for (auto& c : mControls)
    if (c->ParamIdx() == paramIdx) c->SetValueFromPlug(normalized);
}

void IGraphics::PrepDraw() {
  mDrawBitmap = std::make_unique<RasterSysBitmap>(mWidth, mHeight);
  mTempBitmap = std::make_unique<RasterMemBitmap>();
}

void IGraphics::SetAllControlsDirty() {
  for (auto& c : mControls) c->SetDirty(false);
}

// --- drawing ---------------------------------------------------------------------

bool IGraphics::DrawBitmap(const IBitmap& bitmap, const IRect& dest, int srcX, int srcY, const IBlend* blend) {
  if (!bitmap.bitmap || !mDrawBitmap) return false;
  const IRect r = dest.Intersect(mDrawRect);
  if (r.W() <= 0 || r.H() <= 0) return true;
  RasterRect src{srcX + r.L - dest.L, srcY + r.T - dest.T, srcX + r.R - dest.L, srcY + r.B - dest.T};
  int mode = kRasterUseAlpha | kRasterCopy;
  float weight = 1.0f;
  if (blend) {
    weight = blend->weight;
    switch (blend->method) {
      case IBlend::kClobber: mode = kRasterCopy; break;
      case IBlend::kAdd: mode = kRasterUseAlpha | kRasterAdd; break;
      case IBlend::kColorDodge: mode = kRasterUseAlpha | kRasterDodge; break;
      case IBlend::kNone:
      default: mode = kRasterUseAlpha | kRasterCopy; break;
    }
  }
  Blit(mDrawBitmap.get(), bitmap.bitmap, r.L, r.T, &src, weight, mode);
  return true;
}

bool IGraphics::DrawBitmapFrame(const IBitmap& bitmap, const IRect& dest, int frame, const IBlend* blend) {
  int srcX = 0, srcY = 0;
  if (bitmap.N >= 2 && frame >= 2) {
    if (bitmap.framesAreHorizontal)
      srcX = static_cast<int>(std::trunc(static_cast<double>(bitmap.W) * (frame - 1) / bitmap.N + 0.5));
    else
      srcY = static_cast<int>(std::trunc(static_cast<double>(bitmap.H) * (frame - 1) / bitmap.N + 0.5));
  }
  return DrawBitmap(bitmap, dest, srcX, srcY, blend);
}

bool IGraphics::DrawText(IText& text, const char* str, const IRect& rect) {
  if (!str || !str[0]) return true;
  IFontCache& fonts = IFontCache::Instance();
  if (!text.cachedFont) text.cachedFont = fonts.FontFor(text);
  if (!text.cachedFont) return false;
  if (!mDrawBitmap) return true;
  uint32_t format = kRasterDtNoClip;
  if (text.color.A != 255) format |= kRasterDtUseFgAlpha;
  if (text.align == IText::kAlignCenter) format |= kRasterDtCenter;
  else if (text.align == IText::kAlignFar) format |= kRasterDtRight;
  RasterRect r{rect.L, rect.T, rect.R, rect.B};
  IMutexLock lock(fonts.DrawMutex());
  text.cachedFont->SetFgColor(text.color.Packed());
  text.cachedFont->DrawString(mDrawBitmap.get(), str, -1, &r, format);
  return true;
}

// --- events ------------------------------------------------------------------------

int IGraphics::FindControl(int x, int y) const {
  if (mMouseCapture >= 0) return mMouseCapture;
  for (int i = NControls() - 1; i >= 0; --i) {
    const IControl* c = mControls[static_cast<size_t>(i)].get();
    if (!c->IsHidden() && !c->IsGrayed() && c->IsHit(x, y)) return i;
  }
  return -1;
}

void IGraphics::OnMouseDown(int x, int y, const IMouseMod& mod) {
  ReleaseMouseCapture();
  const int i = FindControl(x, y);
  if (i < 0) return;
  mMouseCapture = i;
  mMouseX = x;
  mMouseY = y;
  IControl* c = GetControl(i);
  if (c->ParamIdx() >= 0 && mPlug) mPlug->BeginParamGesture(c->ParamIdx());
  c->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, const IMouseMod& mod) {
  const int i = FindControl(x, y);
  ReleaseMouseCapture();
  if (i < 0) return;
  IControl* c = GetControl(i);
  c->OnMouseUp(x, y, mod);
  if (c->ParamIdx() >= 0 && mPlug) mPlug->EndParamGesture(c->ParamIdx());
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod) {
  if (mMouseCapture < 0 || mMouseCapture >= NControls()) return;
  if (x == mMouseX && y == mMouseY) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  GetControl(mMouseCapture)->OnMouseDrag(x, y, dX, dY, mod);
}

void IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod) {
  ReleaseMouseCapture();
  const int i = FindControl(x, y);
  if (i >= 0) GetControl(i)->OnMouseDblClick(x, y, mod);
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int d) {
  const int i = FindControl(x, y);
  if (i >= 0) GetControl(i)->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
  const int i = FindControl(x, y);
  return i > 0 ? GetControl(i)->OnKeyDown(x, y, key) : false;
}

void IGraphics::ReleaseMouseCapture() { mMouseCapture = mMouseX = mMouseY = -1; }

// --- dirty tracking and the draw pass --------------------------------------------------

bool IGraphics::IsDirty(IRect* rect) {
  IRect r;
  bool dirty = false;
  for (auto& c : mControls) {
    if (!c->IsDirty()) continue;
    dirty = true;
    if (r.Empty()) r = c->DrawArea();
    else if (!c->DrawArea().Empty()) r = r.Union(c->DrawArea());
  }
  if (rect) *rect = r;
  if (dirty) {
    mIdleTicks = 0;
    return true;
  }
  if (++mIdleTicks > 20) {
    if (mPlug) mPlug->EditorIdle();
    mIdleTicks = 0;
  }
  return false;
}

bool IGraphics::Draw(const IRect& updateRect) {
  if (mControls.empty()) return true;
  mDrawRect = updateRect;
  for (auto& c : mControls) {
    // A change from another thread after this point must survive SetClean.
    const uint32_t serial = c->ChangeSerial();
    if (!c->IsHidden() && updateRect.Intersects(c->DrawArea())) c->Draw(this);
    c->SetClean();
    if (c->ChangeSerial() != serial) c->MarkDirtyAgain();
  }
  return DrawScreen(updateRect);
}

// --- the window layer's defaults: no window ----------------------------------------------

void* IGraphics::OpenWindow(void*) { return nullptr; }
void IGraphics::CloseWindow() {}
bool IGraphics::DrawScreen(const IRect&) { return true; }
RasterBitmap* IGraphics::LoadPlatformBitmap(int, const char*) { return nullptr; }

IPopupMenu* IGraphics::CreatePopupMenu(IPopupMenu*, const IRect&) {
  ReleaseMouseCapture();
  return nullptr;
}

int IGraphics::ShowMessageBox(const char*, const char*, int) { return 0; }

bool IGraphics::OpenURL(const char*, const char*, const char*, const char*) { return false; }
