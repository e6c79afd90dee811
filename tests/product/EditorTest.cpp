// The product's editor through the off-screen window layer: every control of
// the panel clicked, dragged and wheeled as a user would, with what it does
// to the parameters, the learn pass, FREEZE, the settings file and the menus.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "graphics/IGraphicsOffscreen.h"
#include "product/editor/IQVKnobMultiControlText.h"
#include "product/editor/IQVRangeControl.h"
#include "product/editor/IQVSwitchTextControl.h"
#include "product/editor/IQVToolsControl.h"
#include "product/editor/QVDelayEditor.h"
#include "raster/RasterMemBitmap.h"
#include "tests/product/EditorFixture.h"
#include "tests/product/ProductFixture.h"

namespace {

TEST(QVEditorLayout, PanelHoldsItsControlsInOrderAndDrawsEveryImage) {
  EditorFixture f;
  ASSERT_EQ(f.g->NControls(), 15);
  const IRect expected[] = {{0, 0, 683, 174},     {516, 12, 664, 40},   {10, 12, 40, 42},     {20, 96, 68, 156},
                            {83, 94, 103, 151},   {120, 100, 160, 162}, {186, 100, 226, 162}, {274, 100, 314, 162},
                            {333, 94, 353, 151},  {372, 100, 412, 162}, {460, 100, 500, 162}, {526, 100, 566, 162},
                            {605, 80, 667, 100},  {605, 108, 667, 128}, {605, 136, 667, 156}};
  const int params[] = {-1, -1, -1, 0, 7, 1, 2, 3, 8, 4, 5, 6, -10, -11, -12};
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(f.g->GetControl(i)->Rect(), expected[i]) << "control " << i;
    EXPECT_EQ(f.g->GetControl(i)->ParamIdx(), params[i]) << "control " << i;
  }
  // The images came from the embedded resources: the screen is not blank.
  int lit = 0;
  for (int y = 0; y < 174; y += 7)
    for (int x = 0; x < 683; x += 7) lit += (f.ScreenPixel(x, y) & 0xFFFFFF) != 0;
  EXPECT_GT(lit, 1000);
}

TEST(QVEditorRange, BandsSetTheRangeAndSyncDisablesTheSelector) {
  EditorFixture f;
  f.Click(30, 96);
  EXPECT_EQ(f.Plain(kRange), 0.0);
  EXPECT_EQ(f.plug->EditorView().rangeIndex.load(), 4);
  f.Click(30, 155);
  EXPECT_EQ(f.Plain(kRange), 4.0);
  f.Click(30, 96 + 2 * 12 + 5);
  EXPECT_EQ(f.Plain(kRange), 2.0);

  // The selector shows frame r + 1 with Range at r.
  f.g->Tick();
  const uint32_t enabled = f.ScreenPixel(44, 126);
  f.SetPlain(kDelaySync, 1.0);
  auto* range = f.plug->Controls().rangeSelector;
  EXPECT_TRUE(range->Disabled());
  f.Click(30, 96);
  EXPECT_EQ(f.Plain(kRange), 2.0) << "clicks do nothing under delay sync";
  f.SetPlain(kDelaySync, 0.0);
  EXPECT_FALSE(range->Disabled());
  f.g->Tick();
  EXPECT_EQ(f.ScreenPixel(44, 126), enabled);
}

TEST(QVEditorKnobs, DragWheelAndDoubleClickMoveTheParameterAndItsReadOut) {
  EditorFixture f;
  // Mix from 50:50: 248 pixels of upward drag cover the whole range.
  EXPECT_EQ(f.ReadOut(kMix), "50:50");
  f.Drag(480, 120, -62);
  EXPECT_NEAR(f.Plain(kMix), 0.75, 1e-9);
  EXPECT_EQ(f.ReadOut(kMix), "25:75");
  f.Drag(480, 120, 1000);
  EXPECT_EQ(f.Plain(kMix), 0.0);
  EXPECT_EQ(f.ReadOut(kMix), "Dry");
  f.g->OnMouseWheel(480, 120, kLeft, 3);
  EXPECT_NEAR(f.Plain(kMix), 0.03, 1e-9);
  f.g->OnMouseWheel(480, 120, IMouseMod(false, false, false, true), 5);
  EXPECT_NEAR(f.Plain(kMix), 0.035, 1e-9);
  f.g->OnMouseDblClick(480, 120, kLeft);
  f.g->OnMouseUp(480, 120, kLeft);
  EXPECT_EQ(f.Plain(kMix), 0.5);

  // Feedback's read-out carries its sign; LFO speed switches to divisions under LFO sync.
  f.Drag(206, 120, 124);
  EXPECT_EQ(f.ReadOut(kFeedback), "-100.0%");
  EXPECT_EQ(f.ReadOut(kLFOSpeed), "0.15Hz");
  f.Click(343, 120);
  EXPECT_EQ(f.Plain(kLFOSync), 1.0);
  EXPECT_EQ(f.ReadOut(kLFOSpeed).find("Hz"), std::string::npos);
}

TEST(QVEditorKnobs, TimeShowsMillisecondsOrTheDivisionWithTheWarningColour) {
  EditorFixture f;
  f.SetPlain(kRange, 4.0);
  f.SetPlain(kTime, 0.6);
  bool warning = true;
  EXPECT_EQ(f.ReadOut(kTime, &warning), "1300ms");
  EXPECT_FALSE(warning);

  // 30 BPM with "2/1" asks for 16 s: the division shows in the warning colour ...
  f.host.timeInfoAvailable = true;
  f.host.timeInfo.tempo = 30.0;
  f.host.timeInfo.flags = kVstTempoValid;
  f.SetPlain(kTime, 1.0);  // the first division row, "2/1"
  f.Click(93, 120);
  EXPECT_EQ(f.Plain(kDelaySync), 1.0);
  std::vector<double> in[2] = {std::vector<double>(64), std::vector<double>(64)}, out[2];
  f.host.ProcessDouble(in, out, 64);
  EXPECT_EQ(f.ReadOut(kTime, &warning), "2/1");
  EXPECT_TRUE(warning);
  // ... and the colour stays after sync is turned off, until a shorter synced delay.
  f.Click(93, 120);
  EXPECT_EQ(f.ReadOut(kTime, &warning).substr(f.ReadOut(kTime).size() - 2), "ms");
  EXPECT_TRUE(warning);
}

// After every change the partial repaint must show what a full repaint of the
// same state shows: a read-out drawn wider than the area its control marks
// dirty is left cut ("1300m") until the editor is reopened.
class QVEditorRepaint : public ::testing::TestWithParam<double> {};

TEST_P(QVEditorRepaint, PartialRepaintsEqualFullOnesForEveryReadOut) {
  EditorFixture f;
  ASSERT_TRUE(f.g->SetUserScale(GetParam()));
  auto screen = [&] { return f.ScreenCopy(); };
  int mismatches = 0;
  auto check = [&](int param) {
    f.g->Tick();
    const std::vector<uint32_t> partial = screen();
    f.g->SetAllControlsDirty();
    f.g->Tick();
    const std::vector<uint32_t> full = screen();
    if (full == partial || ++mismatches > 5) return;
    IRect box;  // where they differ, to say which control it was
    const int span = f.g->Screen().RowSpan();
    for (size_t i = 0; i < full.size(); ++i)
      if (full[i] != partial[i]) {
        const IRect px(static_cast<int>(i) % span, static_cast<int>(i) / span, static_cast<int>(i) % span + 1,
                       static_cast<int>(i) / span + 1);
        box = box.Empty() ? px : box.Union(px);
      }
    ADD_FAILURE() << "at " << GetParam() << ", parameter " << param << " read-out \"" << f.ReadOut(param)
                  << "\": a partial repaint differs in ("
                  << box.L << ", " << box.T << ")-(" << box.R << ", " << box.B << ")";
  };
  auto sweep = [&](int param) {
    for (int i = 0; i <= 100; ++i) {
      f.host.SetParameter(param, static_cast<float>(i) / 100.f);
      check(param);
    }
    for (int i = 100; i >= 0; i -= 7) {  // wide to narrow texts too
      f.host.SetParameter(param, static_cast<float>(i) / 100.f);
      check(param);
    }
  };
  for (int range = 4; range >= 0; --range) {
    f.SetPlain(kRange, range);
    check(kTime);
    sweep(kTime);
  }
  for (int param : {kFeedback, kLFOSpeed, kLFODepth, kMix, kQuality}) sweep(param);
  // The division names under both syncs.
  f.SetPlain(kDelaySync, 1.0);
  f.SetPlain(kLFOSync, 1.0);
  sweep(kTime);
  sweep(kLFOSpeed);
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(EverySize, QVEditorRepaint, ::testing::Values(1.0, 1.5, 2.0));

TEST(QVEditorSwitches, SyncSwitchesToggleAndCaptionTheirState) {
  EditorFixture f;
  auto* sw = dynamic_cast<IQVSwitchTextControl*>(f.g->GetControl(4));
  ASSERT_NE(sw, nullptr);
  char caption[32];
  sw->Caption(caption, sizeof(caption));
  EXPECT_STREQ(caption, "OFF");
  f.Click(93, 100);
  EXPECT_EQ(f.Plain(kDelaySync), 1.0);
  sw->Caption(caption, sizeof(caption));
  EXPECT_STREQ(caption, "ON");
  f.g->OnMouseDblClick(93, 100, kLeft);  // the second press of a pair steps again
  f.g->OnMouseUp(93, 100, kLeft);
  EXPECT_EQ(f.Plain(kDelaySync), 0.0);
}

TEST(QVEditorTools, LearnAssignsAControllerAndRightClickSwapsTheLabel) {
  EditorFixture f;
  auto* learn = dynamic_cast<IQVToolsControl*>(f.g->GetControl(12));
  ASSERT_NE(learn, nullptr);
  // Right click while released: LEARN <-> UNLEARN, learning stays off.
  f.Click(636, 90, kRight);
  EXPECT_FALSE(learn->LearnLabel());
  f.Click(636, 90, kRight);
  EXPECT_TRUE(learn->LearnLabel());

  // LEARN, move Mix, then CC 7: CC 7 drives Mix.
  f.Click(636, 90);
  EXPECT_TRUE(f.plug->LearnActive());
  f.Click(636, 90, kRight);  // pressed: a right click changes nothing
  EXPECT_TRUE(learn->LearnLabel());
  f.Drag(480, 120, -20);
  f.SendCC(7, 100);
  EXPECT_EQ(f.plug->ControllerTarget(7), kMix);
  EXPECT_FALSE(f.plug->LearnActive());
  EXPECT_EQ(learn->Value(), 1.0) << "the button keeps its pressed frame";
  f.SendCC(7, 127);
  EXPECT_EQ(f.Plain(kMix), 1.0);
  f.Click(636, 90);  // only returns the button to its released frame
  EXPECT_EQ(learn->Value(), 0.0);
  EXPECT_FALSE(f.plug->LearnActive());
}

TEST(QVEditorTools, FreezeTogglesOrBecomesTheLearnTarget) {
  EditorFixture f;
  f.Click(636, 146);
  EXPECT_TRUE(f.plug->FreezeOn());
  f.Click(636, 146);
  EXPECT_FALSE(f.plug->FreezeOn());

  f.Click(636, 90);  // LEARN
  f.Click(636, 146);
  EXPECT_FALSE(f.plug->FreezeOn()) << "while learning FREEZE is the target, not toggled";
  f.SendCC(20, 127);
  EXPECT_EQ(f.plug->ControllerTarget(20), kFreezeTarget);
  f.SendCC(20, 127);
  EXPECT_TRUE(f.plug->FreezeOn());
}

TEST(QVEditorTools, SaveConfigWritesTheControllerFileOnRelease) {
  EditorFixture f;
  const std::string path = testing::TempDir() + "qv-editor-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".ini";
  std::remove(path.c_str());
  f.plug->SetSettingsPath(path);
  f.plug->SetControllerTarget(11, kFeedback);
  f.g->OnMouseDown(636, 118, kLeft);
  EXPECT_EQ(f.g->GetControl(13)->Value(), 1.0);
  EXPECT_FALSE(std::ifstream(path).good()) << "written on release, not on press";
  f.g->OnMouseUp(636, 118, kLeft);
  EXPECT_EQ(f.g->GetControl(13)->Value(), 0.0);
  std::ifstream file(path);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("CC11=2"), std::string::npos) << text;
  std::remove(path.c_str());
}

TEST(QVEditorTools, SaveConfigSaysSoWhenNothingCanBeWritten) {
  EditorFixture f;
  // Folders beneath a plain file can be neither created nor written.
  const std::string blocker = testing::TempDir() + "qv-editor-blocker";
  std::ofstream(blocker) << "not a folder";
  f.plug->SetSettingsPath(blocker + "/plugins/qvdelay.ini");
  f.plug->SetUserSettingsPath(blocker + "/user/qvdelay.ini");
  f.plug->SetControllerTarget(11, kFeedback);
  f.Click(636, 118);
  ASSERT_EQ(f.g->messageBoxes.size(), 1u);
  EXPECT_EQ(f.g->messageBoxes[0].type, kMsgIconError);
  EXPECT_NE(f.g->messageBoxes[0].text.find(blocker + "/plugins/qvdelay.ini"), std::string::npos);
  EXPECT_NE(f.g->messageBoxes[0].text.find(blocker + "/user/qvdelay.ini"), std::string::npos);

  // A save that works says nothing.
  const std::string path = testing::TempDir() + "qv-editor-ok.ini";
  f.plug->SetSettingsPath(path);
  f.Click(636, 118);
  EXPECT_EQ(f.g->messageBoxes.size(), 1u);
  std::remove(path.c_str());
  std::remove(blocker.c_str());
}

TEST(QVEditorMenus, PresetMenuListsThePresetsAndLoadsTheChoice) {
  EditorFixture f;
  int items = 0, checked = -1;
  f.g->menuAnswer = [&](IPopupMenu& menu) {
    items = menu.NItems();
    for (int i = 0; i < menu.NItems(); ++i)
      if (menu.Item(i)->flags & IPopupMenuItem::kChecked) checked = i;
    return 3;
  };
  f.Click(25, 27);
  EXPECT_EQ(items, 10);
  EXPECT_EQ(checked, 0);
  EXPECT_EQ(f.plug->CurrentPresetIndex(), 3);

  // Dismissed: nothing changes, but the whole editor repaints.
  f.g->Tick();
  f.g->menuAnswer = [](IPopupMenu&) { return -1; };
  f.Click(25, 27);
  EXPECT_EQ(f.plug->CurrentPresetIndex(), 3);
  for (int i = 0; i < f.g->NControls(); ++i) EXPECT_TRUE(f.g->GetControl(i)->IsDirty());
}

TEST(QVEditorMenus, OnlineMenuOpensAtThePointerAndVisitsTheSite) {
  EditorFixture f;
  std::string second, third;
  f.g->menuAnswer = [&](IPopupMenu& menu) {
    second = menu.Item(1)->text;
    third = menu.Item(2)->text;
    return 1;
  };
  f.Click(600, 20);
  EXPECT_EQ(second, "Visit quorvel.example");
  EXPECT_EQ(third, "Editor size");  // after the two, which keep their places
  ASSERT_EQ(f.g->urls.size(), 1u);
  EXPECT_EQ(f.g->urls[0].url, "http://www.quorvel.example/");
  EXPECT_TRUE(f.g->urls[0].confirmText.empty());
}

}  // namespace
