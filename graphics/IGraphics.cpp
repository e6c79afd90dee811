#include "graphics/IGraphics.h"

#include <cmath>

#include "framework/IPluginBase.h"
#include "graphics/IBitmapCache.h"
#include "graphics/IBitmapControl.h"
#include "graphics/IFontCache.h"
#include "graphics/IGraphicsScale.h"
#include "raster/RasterBlit.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"

IGraphics::IGraphics(IPluginBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps) {}

int IGraphics::Width() const { return ToDevice(mWidth, mScale); }
int IGraphics::Height() const { return ToDevice(mHeight, mScale); }

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
  result.id = id;
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
  if (mPlug) mPlug->ResizeEditor(Width(), Height());
  SizeChanged();
}

// --- size ------------------------------------------------------------------------

double IGraphics::ChosenScale() const {
  if (mUserScale > 0.0) return mUserScale;
  if (mHostScale > 0.0) return mHostScale;
  const double system = SystemScale();
  return system > 0.0 ? system : 1.0;
}

bool IGraphics::ApplyChosenScale() { return SetScale(ChosenScale()); }

bool IGraphics::SetUserScale(double scale) { return SetScaleSource(&mUserScale, scale); }
bool IGraphics::SetHostScale(double scale) { return SetScaleSource(&mHostScale, scale); }

bool IGraphics::SetScaleSource(double* source, double scale) {
  const double old = *source;
  *source = scale > 0.0 ? SnapEditorScale(scale) : 0.0;
  if (ApplyChosenScale()) return true;
  *source = old;  // the host kept its window: forget what asked for the new size
  return false;
}

bool IGraphics::SetScale(double scale) {
  if (scale == mScale) return true;
  const double old = mScale;
  mScale = scale;
  // The host's window first: if it will not follow, nothing here changes.
  if (mPlug && !mPlug->ResizeEditor(Width(), Height())) {
    mScale = old;
    return false;
  }
  if (mDrawBitmap) PrepDraw();
  SetAllControlsDirty();
  SizeChanged();
  return true;
}

RasterBitmap* IGraphics::ScaledBitmap(const IBitmap& bitmap) {
  if (mScale == 1.0) return bitmap.bitmap;
  if (bitmap.id <= 0) return nullptr;
  const int id = ScaledImageId(bitmap.id, mScale);
  IBitmapCache& cache = IBitmapCache::Instance();
  RasterBitmap* scaled = cache.Find(id);
  if (!scaled) scaled = cache.Add(id, LoadPlatformBitmap(id, "resources/img/scaled.png"));
  return scaled;
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
  mDrawBitmap = std::make_unique<RasterSysBitmap>(Width(), Height());
  mTempBitmap = std::make_unique<RasterMemBitmap>();
}

void IGraphics::SetAllControlsDirty() {
  for (auto& c : mControls) c->SetDirty(false);
}

// --- drawing ---------------------------------------------------------------------

bool IGraphics::DrawBitmap(const IBitmap& bitmap, const IRect& dest, int srcX, int srcY, const IBlend* blend) {
  if (mScale == 1.0) return BlitDevice(bitmap.bitmap, dest, srcX, srcY, blend);
  return BlitDevice(ScaledBitmap(bitmap), ToDevice(dest, mScale), ToDevice(srcX, mScale), ToDevice(srcY, mScale), blend);
}

bool IGraphics::BlitDevice(RasterBitmap* image, const IRect& dest, int srcX, int srcY, const IBlend* blend) {
  if (!image || !mDrawBitmap) return false;
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
  Blit(mDrawBitmap.get(), image, r.L, r.T, &src, weight, mode);
  return true;
}

bool IGraphics::DrawBitmapFrame(const IBitmap& bitmap, const IRect& dest, int frame, const IBlend* blend) {
  if (mScale != 1.0) {
    // Each size's strip has frames of whole device pixels, placed where the
    // design's corner lands.
    RasterBitmap* image = ScaledBitmap(bitmap);
    if (!image) return false;
    const int n = bitmap.N > 0 ? bitmap.N : 1;
    const int fw = bitmap.framesAreHorizontal ? image->Width() / n : image->Width();
    const int fh = bitmap.framesAreHorizontal ? image->Height() : image->Height() / n;
    const int k = bitmap.N >= 2 && frame >= 2 ? frame - 1 : 0;
    const int x = ToDevice(dest.L, mScale), y = ToDevice(dest.T, mScale);
    const IRect d(x, y, x + fw, y + fh);
    return BlitDevice(image, d.Intersect(ToDevice(dest, mScale)), bitmap.framesAreHorizontal ? k * fw : 0,
                      bitmap.framesAreHorizontal ? 0 : k * fh, blend);
  }
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
  RasterCachedFont* font;
  IRect where = rect;
  if (mScale == 1.0) {
    if (!text.cachedFont) text.cachedFont = fonts.FontFor(text);
    font = text.cachedFont;
  } else {
    // The text keeps its 100 % font; other sizes find theirs in the cache.
    IText scaled = text;
    scaled.size = ToDevice(text.size, mScale);
    scaled.cachedFont = nullptr;
    font = fonts.FontFor(scaled);
    where = ToDevice(rect, mScale);
  }
  if (!font) return false;
  if (!mDrawBitmap) return true;
  uint32_t format = kRasterDtNoClip;
  if (text.color.A != 255) format |= kRasterDtUseFgAlpha;
  if (text.align == IText::kAlignCenter) format |= kRasterDtCenter;
  else if (text.align == IText::kAlignFar) format |= kRasterDtRight;
  RasterRect r{where.L, where.T, where.R, where.B};
  IMutexLock lock(fonts.DrawMutex());
  font->SetFgColor(text.color.Packed());
  font->DrawString(mDrawBitmap.get(), str, -1, &r, format);
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
  x = ToDesign(x, mScale);
  y = ToDesign(y, mScale);
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
  x = ToDesign(x, mScale);
  y = ToDesign(y, mScale);
  const int i = FindControl(x, y);
  ReleaseMouseCapture();
  if (i < 0) return;
  IControl* c = GetControl(i);
  c->OnMouseUp(x, y, mod);
  if (c->ParamIdx() >= 0 && mPlug) mPlug->EndParamGesture(c->ParamIdx());
}

void IGraphics::OnMouseDrag(int x, int y, const IMouseMod& mod) {
  // In design pixels, so that a drag turns a knob as far at every size
  // for the same distance on the layout.
  x = ToDesign(x, mScale);
  y = ToDesign(y, mScale);
  if (mMouseCapture < 0 || mMouseCapture >= NControls()) return;
  if (x == mMouseX && y == mMouseY) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  GetControl(mMouseCapture)->OnMouseDrag(x, y, dX, dY, mod);
}

void IGraphics::OnMouseDblClick(int x, int y, const IMouseMod& mod) {
  x = ToDesign(x, mScale);
  y = ToDesign(y, mScale);
  ReleaseMouseCapture();
  const int i = FindControl(x, y);
  if (i >= 0) GetControl(i)->OnMouseDblClick(x, y, mod);
}

void IGraphics::OnMouseWheel(int x, int y, const IMouseMod& mod, int d) {
  x = ToDesign(x, mScale);
  y = ToDesign(y, mScale);
  const int i = FindControl(x, y);
  if (i >= 0) GetControl(i)->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
  x = ToDesign(x, mScale);
  y = ToDesign(y, mScale);
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
  if (rect) *rect = ToDevice(r, mScale);
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
  const IRect design = ToDesignCover(updateRect, mScale);
  for (auto& c : mControls) {
    // A change from another thread after this point must survive SetClean.
    const uint32_t serial = c->ChangeSerial();
    if (!c->IsHidden() && design.Intersects(c->DrawArea())) c->Draw(this);
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
