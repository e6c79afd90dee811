// A film-strip image whose frame follows the control's value; the editor's
// background is one with no parameter.
#pragma once

#include "graphics/IControl.h"

class IBitmapControl : public IControl {
 public:
  // The rectangle is one frame of the strip at (x, y).
  IBitmapControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 IBlend::Method blendMethod = IBlend::kNone);
  IBitmapControl(IPluginBase* plug, const IRect& rect, int paramIdx, const IBitmap& bitmap,
                 IBlend::Method blendMethod = IBlend::kNone);

  bool Draw(IGraphics* graphics) override;

  const IBitmap& Bitmap() const { return mBitmap; }
  // The frame Draw shows for the current value.
  int Frame() const { return FrameForValue(Value(), mBitmap.N); }

  static IRect FrameRect(int x, int y, const IBitmap& bitmap);

 protected:
  IBitmap mBitmap;
};
