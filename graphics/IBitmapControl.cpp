#include "graphics/IBitmapControl.h"

#include "graphics/IGraphics.h"

IRect IBitmapControl::FrameRect(int x, int y, const IBitmap& bitmap) {
  const int n = bitmap.N > 0 ? bitmap.N : 1;
  const int w = bitmap.framesAreHorizontal ? bitmap.W / n : bitmap.W;
  const int h = bitmap.framesAreHorizontal ? bitmap.H : bitmap.H / n;
  return IRect(x, y, x + w, y + h);
}

IBitmapControl::IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                               IBlend::Method blendMethod)
    : IControl(plug, FrameRect(x, y, bitmap), paramIdx, IBlend(blendMethod, 1.0f)), mBitmap(bitmap) {}

IBitmapControl::IBitmapControl(IPluginBase* plug, const IRect& rect, int paramIdx, const IBitmap& bitmap,
                               IBlend::Method blendMethod)
    : IControl(plug, rect, paramIdx, IBlend(blendMethod, 1.0f)), mBitmap(bitmap) {}

bool IBitmapControl::Draw(IGraphics* graphics) {
  const IBlend blend = Blend();
  return graphics->DrawBitmapFrame(mBitmap, mRect, Frame(), &blend);
}
