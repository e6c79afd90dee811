// The test plug-in of the X11 editor tests: the layout of the Windows GUI
// tests (background, knob, switch, a key control) plus a preset-style menu
// and a message-box button. Shared by the test program and the test plug-in
// library that qvhost loads.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "graphics/IGraphicsOffscreen.h"
#include "graphics/IKnobControl.h"
#include "graphics/ISwitchControl.h"
#include "platform/EditorFactory.h"
#include "platform/posix/IGraphicsX11.h"
#include "tests/host/TestPlug.h"

namespace x11gui {

constexpr int kEditorW = 240;
constexpr int kEditorH = 120;
const IRect kKnobRect(20, 30, 60, 70);
constexpr int kSwitchX = 100;
constexpr int kSwitchY = 40;
const IRect kKeyRect(160, 30, 220, 90);
const IRect kMenuRect(20, 80, 80, 110);
const IRect kBoxRect(100, 80, 150, 110);
constexpr int kKnobFrames = 11;
const char kBoxCaption[] = "QV question";

// The images of the Windows GUI tests, as this platform's embedded resources.
inline bool TestImages(void*, int id, const void** data, size_t* length) {
  static std::vector<std::string> files(4);
  static const char* names[] = {nullptr, "back.png", "knob.png", "switch.png"};
  if (id < 1 || id > 3) return false;
  std::string& bytes = files[static_cast<size_t>(id)];
  if (bytes.empty()) {
    std::ifstream in(std::string(QV_X11_IMAGES) + "/" + names[id], std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    bytes = s.str();
  }
  *data = bytes.data();
  *length = bytes.size();
  return !bytes.empty();
}

class TestKnob : public IKnobControl {
 public:
  TestKnob(IPluginBase* plug, const IRect& rect, int paramIdx, const IBitmap& bitmap)
      : IKnobControl(plug, rect, paramIdx), mBitmap(bitmap) {}
  bool Draw(IGraphics* graphics) override {
    int frame = static_cast<int>((mBitmap.N - 1) * Value() + 0.5) + 1;
    return graphics->DrawBitmapFrame(mBitmap, mRect, frame, &mBlend);
  }

 private:
  IBitmap mBitmap;
};

class KeyControl : public IControl {
 public:
  KeyControl(IPluginBase* plug, const IRect& rect) : IControl(plug, rect) {}
  bool Draw(IGraphics*) override { return true; }
  bool OnKeyDown(int, int, int key) override {
    keys.push_back(key);
    return takeKeys;
  }
  std::vector<int> keys;
  bool takeKeys = false;
};

// Opens a menu of ten presets with the current one checked at its own
// rectangle, like the product's preset menu.
class MenuControl : public IControl {
 public:
  MenuControl(IPluginBase* plug, const IRect& rect) : IControl(plug, rect) {}
  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int, int, const IMouseMod&) override {
    IPopupMenu menu;
    for (int i = 0; i < 10; ++i)
      menu.AddItem("Preset " + std::to_string(i + 1), i == current ? IPopupMenuItem::kChecked : 0);
    IPopupMenu* chosen = mPlug->Editor()->CreatePopupMenu(&menu, mRect);
    chosenIndex = chosen ? chosen->chosenIndex : -1;
    if (chosen && chosen != &menu) chosenIndex = 100;  // would be a wrong menu
    ++menus;
  }
  int current = 3;
  int chosenIndex = -2;
  int menus = 0;
};

class BoxControl : public IControl {
 public:
  BoxControl(IPluginBase* plug, const IRect& rect) : IControl(plug, rect) {}
  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int, int, const IMouseMod&) override {
    answers.push_back(mPlug->Editor()->ShowMessageBox("A newer version is there.\n\tDownload it now?", kBoxCaption,
                                                      kMsgYesNo));
  }
  std::vector<int> answers;
};

class GuiPlug : public TestPlug {
 public:
  explicit GuiPlug(audioMasterCallback host, bool offscreen = false) : TestPlug(host) {
    IGraphics* g = offscreen ? new IGraphicsOffscreen(this, kEditorW, kEditorH, 25)
                             : CreateEditorGraphics(this, kEditorW, kEditorH, 25);
    g->AttachBackground(1, "img/back.png");
    knob = new TestKnob(this, kKnobRect, 0, g->LoadBitmap(2, "img/knob.png", kKnobFrames));
    g->AttachControl(knob);
    g->AttachControl(new ISwitchControl(this, kSwitchX, kSwitchY, 2, g->LoadBitmap(3, "img/switch.PNG", 2)));
    keyControl = new KeyControl(this, kKeyRect);
    g->AttachControl(keyControl);
    menuControl = new MenuControl(this, kMenuRect);
    g->AttachControl(menuControl);
    boxControl = new BoxControl(this, kBoxRect);
    g->AttachControl(boxControl);
    AttachEditor(g);
  }
  static AEffect* Make(audioMasterCallback host) { return (new GuiPlug(host))->Effect(); }
  static AEffect* MakeOffscreen(audioMasterCallback host) { return (new GuiPlug(host, true))->Effect(); }
  static GuiPlug* Of(AEffect* effect) { return static_cast<GuiPlug*>(FromEffect(effect)); }
  IGraphicsX11* X11() { return dynamic_cast<IGraphicsX11*>(Editor()); }

  TestKnob* knob = nullptr;
  KeyControl* keyControl = nullptr;
  MenuControl* menuControl = nullptr;
  BoxControl* boxControl = nullptr;
};

}  // namespace x11gui
