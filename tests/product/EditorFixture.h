// The product's editor in the off-screen window layer, opened, with the
// pointer and MIDI helpers the editor tests share.
#pragma once

#include <string>
#include <vector>

#include "graphics/IGraphicsOffscreen.h"
#include "product/editor/IQVKnobMultiControlText.h"
#include "product/editor/QVDelayEditor.h"
#include "raster/RasterMemBitmap.h"
#include "tests/product/ProductFixture.h"

inline const IMouseMod kLeft(true, false);
inline const IMouseMod kRight(false, true);

struct EditorFixture : ProductFixture {
  IGraphicsOffscreen* g = nullptr;
  int parent = 0;

  EditorFixture() {
    g = new IGraphicsOffscreen(plug, kEditorWidth, kEditorHeight, kEditorFps, true);
    LayoutEditor(plug, g);
    plug->AttachEditor(g);
    g->OpenWindow(&parent);
    g->Tick();
  }
  void Click(int x, int y, const IMouseMod& mod = kLeft) {
    g->OnMouseDown(x, y, mod);
    g->OnMouseUp(x, y, mod);
  }
  void Drag(int x, int y, int dy, const IMouseMod& mod = kLeft) {
    g->OnMouseDown(x, y, mod);
    for (int i = 1; i <= 10; ++i) g->OnMouseDrag(x, y + dy * i / 10, mod);
    g->OnMouseUp(x, y + dy, mod);
  }
  double Plain(int index) { return plug->GetParam(index)->Value(); }
  IQVKnobMultiControlText* Knob(int paramIdx) {
    for (int i = 0; i < g->NControls(); ++i)
      if (g->GetControl(i)->ParamIdx() == paramIdx)
        if (auto* k = dynamic_cast<IQVKnobMultiControlText*>(g->GetControl(i))) return k;
    return nullptr;
  }
  std::string ReadOut(int paramIdx, bool* warning = nullptr) {
    char text[64];
    bool w = false;
    Knob(paramIdx)->ReadOut(text, sizeof(text), &w);
    if (warning) *warning = w;
    return text;
  }
  uint32_t ScreenPixel(int x, int y) { return g->Screen().Pixels()[y * g->Screen().RowSpan() + x]; }
  std::vector<uint32_t> ScreenCopy() {
    RasterMemBitmap& s = g->Screen();
    return std::vector<uint32_t>(s.Pixels(), s.Pixels() + static_cast<size_t>(s.RowSpan()) * s.Height());
  }
  void SendCC(int controller, int value) { host.SendControlChange(controller, value); }
};
