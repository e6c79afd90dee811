// The control base and the standard controls: knob drag and wheel, switch
// steps, contact release, value pushes from the plug-in and the dirty flags.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphics/IContactControl.h"
#include "graphics/ISwitchControl.h"
#include "tests/graphics/GraphicsFixture.h"

namespace {
const IMouseMod kLeft(true, false);
const IMouseMod kShift(true, false, true, false);
const IMouseMod kControl(true, false, false, true);

// Presses on (x, y), drags by dy pixels in one move, releases.
void Drag(IGraphics* g, int x, int y, int dx, int dy, const IMouseMod& mod) {
  g->OnMouseDown(x, y, mod);
  g->OnMouseDrag(x + dx, y + dy, mod);
  g->OnMouseUp(x + dx, y + dy, mod);
}

// The knob of the product's size: 62 pixels high, gearing 4.
struct KnobFixture : EditorFixture {
  TestKnob* knob;
  KnobFixture() {
    knob = new TestKnob(plug, IRect(10, 10, 58, 72), 0);
    g->AttachControl(knob);
    Attach();
    knob->SetValueFromPlug(0.0);
    plug->GetParam(0)->SetFromNormalized(0.0);
    EventLog::Clear();
  }
};
}  // namespace

TEST(IKnobControl, DragArithmetic) {
  KnobFixture f;
  Drag(f.g, 30, 40, 0, -124, kLeft);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 0.5) << "half of 248 pixels up";
  Drag(f.g, 30, 40, 0, -124, kLeft);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 1.0);
  Drag(f.g, 30, 40, 0, 1240, kControl);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 0.5) << "ten times finer with Control";
  Drag(f.g, 30, 40, 0, 1240, kShift);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 0.0) << "and with Shift";
  // One pixel is 1 / (62 * 4); horizontal moves do nothing to a vertical knob.
  Drag(f.g, 30, 40, 50, -1, kLeft);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 1.0 / 248.0);

  // Beyond either end it stops, and the plug-in hears the clamped value.
  EventLog::Clear();
  Drag(f.g, 30, 40, 0, -1000, kLeft);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 1.0);
  EXPECT_DOUBLE_EQ(f.plug->GetParam(0)->Normalized(), 1.0);
  ASSERT_EQ(EventLog::Lines().size(), 3u);
  EXPECT_EQ(EventLog::Lines()[0], "begin 0");
  EXPECT_EQ(EventLog::Lines()[1], "automate 0 1.000000");
  EXPECT_EQ(EventLog::Lines()[2], "end 0");
  Drag(f.g, 30, 40, 0, 5000, kLeft);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 0.0);
  EXPECT_DOUBLE_EQ(f.plug->GetParam(0)->Normalized(), 0.0);

  // A horizontal knob follows dX over its width.
  EditorFixture h;
  auto* wide = new TestKnob(h.plug, IRect(0, 0, 50, 10), 0, IKnobControl::kHorizontal, 2.0);
  h.g->AttachControl(wide);
  h.Attach();
  wide->SetValueFromPlug(0.0);
  Drag(h.g, 5, 5, 25, -30, kLeft);
  EXPECT_DOUBLE_EQ(wide->Value(), 0.25);
}

TEST(IKnobControl, WheelArithmetic) {
  KnobFixture f;
  f.g->OnMouseWheel(30, 40, IMouseMod(), 3);
  EXPECT_NEAR(f.knob->Value(), 0.03, 1e-12);
  f.g->OnMouseWheel(30, 40, kShift, 5);
  EXPECT_NEAR(f.knob->Value(), 0.035, 1e-12);
  f.g->OnMouseWheel(30, 40, kControl, -10);
  EXPECT_NEAR(f.knob->Value(), 0.025, 1e-12);
  f.g->OnMouseWheel(30, 40, IMouseMod(), 0);  // less than a notch still arrives, and moves nothing
  EXPECT_NEAR(f.knob->Value(), 0.025, 1e-12);
  f.g->OnMouseWheel(30, 40, IMouseMod(), -10);
  EXPECT_DOUBLE_EQ(f.knob->Value(), 0.0);
  EXPECT_DOUBLE_EQ(f.plug->GetParam(0)->Normalized(), 0.0);
  // The wheel sends values but no gesture.
  for (const auto& line : EventLog::Lines()) EXPECT_EQ(line.rfind("automate", 0), 0u) << line;
}

TEST(ISwitchControl, StepsThroughFramesAndWraps) {
  EditorFixture f;
  IBitmap two = f.g->LoadBitmap(TestGraphics::ImageId(2, 12), "switch.png", 2);
  IBitmap five = f.g->LoadBitmap(TestGraphics::ImageId(5, 12), "ranges.png", 5);
  auto* toggle = new ISwitchControl(f.plug, 0, 0, 2, two);
  auto* fiveWay = new ISwitchControl(f.plug, 20, 0, -1, five);
  f.g->AttachControl(toggle);
  f.g->AttachControl(fiveWay);
  f.Attach();
  EXPECT_EQ(toggle->Rect(), IRect(0, 0, 12, 12)) << "one frame of the strip";

  auto click = [&](int x) {
    f.g->OnMouseDown(x, 5, kLeft);
    f.g->OnMouseUp(x, 5, kLeft);
  };
  EXPECT_DOUBLE_EQ(toggle->Value(), 0.0);
  click(5);
  EXPECT_DOUBLE_EQ(toggle->Value(), 1.0);
  EXPECT_EQ(toggle->Frame(), 2);
  EXPECT_DOUBLE_EQ(f.plug->GetParam(2)->Value(), 1.0);
  click(5);
  EXPECT_DOUBLE_EQ(toggle->Value(), 0.0);
  EXPECT_EQ(toggle->Frame(), 1);
  // Any button steps it.
  f.g->OnMouseDown(5, 5, IMouseMod(false, true));
  EXPECT_DOUBLE_EQ(toggle->Value(), 1.0);
  f.g->OnMouseUp(5, 5, IMouseMod(false, true));

  const double expect[] = {0.25, 0.5, 0.75, 1.0, 0.0, 0.25};
  for (int i = 0; i < 6; ++i) {
    click(25);
    EXPECT_DOUBLE_EQ(fiveWay->Value(), expect[i]) << i;
    EXPECT_EQ(fiveWay->Frame(), static_cast<int>(expect[i] * 4) + 1);
  }
  // A double click is one more step, and starts no gesture.
  EventLog::Clear();
  f.g->OnMouseDown(5, 5, kLeft);
  f.g->OnMouseUp(5, 5, kLeft);
  f.g->OnMouseDblClick(5, 5, kLeft);
  f.g->OnMouseUp(5, 5, kLeft);
  EXPECT_DOUBLE_EQ(toggle->Value(), 1.0);
  ASSERT_EQ(EventLog::Lines().size(), 5u);
  EXPECT_EQ(EventLog::Lines()[0], "begin 2");
  EXPECT_EQ(EventLog::Lines()[2], "end 2");
  EXPECT_EQ(EventLog::Lines()[3], "automate 2 1.000000");
  EXPECT_EQ(EventLog::Lines()[4], "end 2");

  // The frame drawn follows the value.
  f.g->Draw(IRect(0, 0, 200, 100));
  EXPECT_EQ(f.g->DrawBitmapSurface()->Pixels()[5 * f.g->DrawBitmapSurface()->RowSpan() + 5],
            FrameColor(TestGraphics::ImageId(2, 12), 2));
}

TEST(IContactControl, ReturnsToZeroOnRelease) {
  EditorFixture f;
  IBitmap two = f.g->LoadBitmap(TestGraphics::ImageId(2, 12), "button.png", 2);
  auto* contact = new IContactControl(f.plug, 0, 0, 2, two);
  f.g->AttachControl(contact);
  f.Attach();
  f.g->OnMouseDown(5, 5, kLeft);
  EXPECT_DOUBLE_EQ(contact->Value(), 1.0);
  f.g->OnMouseUp(50, 50, kLeft);
  EXPECT_DOUBLE_EQ(contact->Value(), 0.0);
  EXPECT_DOUBLE_EQ(f.plug->GetParam(2)->Value(), 0.0);
}

TEST(IControlBase, SetValueFromPlugRules) {
  EditorFixture f;
  auto* c = new LogControl(f.plug, IRect(0, 0, 10, 10), -1, "c");
  f.g->AttachControl(c);
  f.Attach();
  c->SetClean();
  EXPECT_FALSE(c->IsDirty());
  EXPECT_DOUBLE_EQ(c->DefaultValue(), -1.0);
  // A double click without a default changes nothing.
  f.g->OnMouseDblClick(5, 5, kLeft);
  EXPECT_FALSE(c->IsDirty());
  // The first value becomes the default and marks nothing.
  c->SetValueFromPlug(0.0);
  EXPECT_DOUBLE_EQ(c->DefaultValue(), 0.0);
  EXPECT_FALSE(c->IsDirty());
  c->SetValueFromPlug(0.0);
  EXPECT_FALSE(c->IsDirty()) << "the same value leaves the flags alone";
  c->SetValueFromPlug(0.4);
  EXPECT_DOUBLE_EQ(c->DefaultValue(), 0.0);
  EXPECT_DOUBLE_EQ(c->Value(), 0.4);
  EXPECT_TRUE(c->IsDirty());
  EXPECT_TRUE(c->IsRedrawPending());
  c->SetClean();
  EXPECT_TRUE(c->IsDirty()) << "redraw asks for exactly one more pass";
  c->SetClean();
  EXPECT_FALSE(c->IsDirty());
  // Out-of-range and not-a-number values end inside [0, 1].
  c->SetValueFromPlug(1.7);
  EXPECT_DOUBLE_EQ(c->Value(), 1.0);
  c->SetValueFromPlug(std::numeric_limits<double>::quiet_NaN());
  EXPECT_DOUBLE_EQ(c->Value(), 0.0);
  c->SetValueFromUserInput(0.6);
  EXPECT_DOUBLE_EQ(c->Value(), 0.6);
  EXPECT_TRUE(c->IsRedrawPending());
  // Frames of a strip: nearest frame, clamped.
  EXPECT_EQ(FrameForValue(0.0, 5), 1);
  EXPECT_EQ(FrameForValue(0.124, 5), 1);
  EXPECT_EQ(FrameForValue(0.125, 5), 2);
  EXPECT_EQ(FrameForValue(1.0, 5), 5);
  EXPECT_EQ(FrameForValue(7.0, 5), 5);
  EXPECT_EQ(FrameForValue(-3.0, 5), 1);
  EXPECT_EQ(FrameForValue(std::numeric_limits<double>::quiet_NaN(), 5), 1);
  EXPECT_EQ(FrameForValue(0.9, 1), 1);
}

// A change that lands while the draw pass is at a control (from the audio
// thread, in real use) must leave it dirty for the next pass.
TEST(IControlBase, ChangeDuringDrawSurvivesTheCleanUp) {
  struct Racing : public LogControl {
    using LogControl::LogControl;
    bool Draw(IGraphics* g) override {
      if (changeWhileDrawing) Redraw();
      changeWhileDrawing = false;
      return LogControl::Draw(g);
    }
    bool changeWhileDrawing = false;
  };
  EditorFixture f;
  auto* c = new Racing(f.plug, IRect(0, 0, 10, 10), -1, "c");
  f.g->AttachControl(c);
  f.Attach();
  f.g->Draw(IRect(0, 0, 10, 10));
  EXPECT_FALSE(c->IsDirty());
  c->Redraw();
  c->changeWhileDrawing = true;
  f.g->Draw(IRect(0, 0, 10, 10));
  EXPECT_TRUE(c->IsDirty());
  f.g->Draw(IRect(0, 0, 10, 10));
  EXPECT_FALSE(c->IsDirty());
}
