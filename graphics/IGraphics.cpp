#include "graphics/IGraphics.h"

#include "framework/IPluginBase.h"

IGraphics::IGraphics(IPluginBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps) {}

IGraphics::~IGraphics() = default;

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
  if (!mPlug || !mPlug->ValidParam(paramIdx)) return;
  if (!normalized) value = mPlug->GetParam(paramIdx)->Normalized(value);
  AttachParamValue(paramIdx, value);
}

void IGraphics::AttachParamValue(int, double) {}

void* IGraphics::OpenWindow(void*) { return nullptr; }

void IGraphics::CloseWindow() { mWindowOpen = false; }
