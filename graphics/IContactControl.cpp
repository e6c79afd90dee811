#include "graphics/IContactControl.h"

IContactControl::IContactControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                                 IBlend::Method blendMethod)
    : ISwitchControl(plug, x, y, paramIdx, bitmap, blendMethod) {}

void IContactControl::OnMouseUp(int, int, const IMouseMod&) {
  mValue.store(0.0);
  SetDirty(true);
}
