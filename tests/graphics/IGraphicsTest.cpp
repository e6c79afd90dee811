// The graphics core on the off-screen layer: hit testing, capture and
// gestures, dirty tracking, the draw pass, caches, text and the window rules.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/IBitmapCache.h"
#include "graphics/IFontCache.h"
#include "graphics/ISwitchControl.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterPng.h"
#include "tests/graphics/GraphicsFixture.h"

#ifndef _WIN32
// fontconfig keeps a few bytes of its parsed configuration for the life of
// the process; that is the library's own business, not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace {
using Lines = std::vector<std::string>;
const IMouseMod kLeft(true, false);

uint32_t Pixel(RasterBitmap* b, int x, int y) { return b->Pixels()[y * b->RowSpan() + x]; }
}  // namespace

TEST(IGraphicsRect, HalfOpenAndTouching) {
  IRect a(0, 0, 10, 10);
  EXPECT_TRUE(a.Contains(0, 0));
  EXPECT_TRUE(a.Contains(9, 9));
  EXPECT_FALSE(a.Contains(10, 5));
  EXPECT_FALSE(a.Contains(5, 10));
  // Only the right and bottom edges may touch.
  EXPECT_TRUE(a.Intersects(IRect(10, 0, 20, 10)));
  EXPECT_TRUE(a.Intersects(IRect(0, 10, 10, 20)));
  EXPECT_FALSE(IRect(10, 0, 20, 10).Intersects(a)) << "left edge touching the other's right is not enough";
  EXPECT_EQ(a.Intersect(IRect(5, 5, 20, 20)), IRect(5, 5, 10, 10));
  EXPECT_EQ(a.Intersect(IRect(10, 0, 20, 10)), IRect(10, 0, 10, 10)) << "touching gives a zero-width strip";
  EXPECT_EQ(a.Intersect(IRect(30, 30, 40, 40)), IRect());
  // The all-zero rectangle is empty: it contains and meets nothing.
  IRect e;
  EXPECT_FALSE(e.Contains(0, 0));
  EXPECT_FALSE(e.Intersects(a));
  EXPECT_FALSE(a.Intersects(e));
  EXPECT_EQ(e.Union(a), a);
  EXPECT_EQ(a.Union(IRect(20, -5, 30, 5)), IRect(0, -5, 30, 10));
  EXPECT_EQ(IColor(255, 1, 2, 3).Packed(), 0xFF010203u);
}

TEST(IGraphicsEvents, HitTestingSkipsHiddenAndGreyed) {
  EditorFixture f;
  auto* back = new LogControl(f.plug, IRect(0, 0, 200, 100), -1, "back");
  auto* under = new LogControl(f.plug, IRect(10, 10, 50, 50), -1, "under");
  auto* over = new LogControl(f.plug, IRect(20, 20, 40, 40), -1, "over");
  f.g->AttachControl(back);
  f.g->AttachControl(under);
  f.g->AttachControl(over);
  f.Attach();
  auto press = [&](int x, int y) {
    EventLog::Clear();
    f.g->OnMouseDown(x, y, kLeft);
    f.g->OnMouseUp(x, y, kLeft);
    return EventLog::Lines().empty() ? std::string() : EventLog::Lines()[0];
  };
  EXPECT_EQ(press(25, 25), "over down 25,25") << "the last control is hit first";
  EXPECT_EQ(press(40, 40), "under down 40,40") << "right and bottom edges are outside";
  over->Hide(true);
  EXPECT_EQ(press(25, 25), "under down 25,25");
  over->Hide(false);
  over->GrayOut(true);
  EXPECT_EQ(press(25, 25), "under down 25,25");
  EXPECT_FLOAT_EQ(over->Blend().weight, 0.25f);
  under->GrayOut(true);
  EXPECT_EQ(press(25, 25), "back down 25,25");
  over->GrayOut(false);
  EXPECT_FLOAT_EQ(over->Blend().weight, 1.0f);
  EXPECT_EQ(press(25, 25), "over down 25,25");
  EXPECT_EQ(press(500, 500), "") << "outside every control";
  // A control whose hit rectangle is empty is never hit.
  over->SetTargetRect(IRect());
  EXPECT_EQ(press(25, 25), "back down 25,25");
}

TEST(IGraphicsEvents, CaptureAndGestureOrder) {
  EditorFixture f;
  f.g->AttachControl(new LogControl(f.plug, IRect(0, 0, 200, 100), -1, "back"));
  auto* knob = new LogControl(f.plug, IRect(10, 10, 50, 50), 0, "knob");
  knob->SetDefaultValue(0.25);
  f.g->AttachControl(knob);
  f.Attach();
  EventLog::Clear();

  f.g->OnMouseDown(20, 20, kLeft);
  EXPECT_EQ(f.g->MouseCapture(), 1);
  f.g->OnMouseDrag(20, 20, kLeft);  // no movement: nothing
  f.g->OnMouseDrag(120, 90, kLeft);  // far outside: still the captured knob
  f.g->OnMouseWheel(150, 5, kLeft, 2);
  f.g->OnMouseUp(150, 95, kLeft);  // released outside the knob
  EXPECT_EQ(f.g->MouseCapture(), -1);
  EXPECT_EQ(f.g->MouseX(), -1);
  EXPECT_EQ(EventLog::Lines(), (Lines{"begin 0", "knob down 20,20", "knob drag 120,90 d100,70", "knob wheel2 150,5",
                                      "knob up 150,95", "end 0"}));

  // A double click starts no gesture; the release that follows still ends one.
  EventLog::Clear();
  f.g->OnMouseDblClick(20, 20, kLeft);
  EXPECT_EQ(f.g->MouseCapture(), -1);
  f.g->OnMouseUp(20, 20, kLeft);
  ASSERT_EQ(EventLog::Lines().size(), 4u);
  EXPECT_EQ(EventLog::Lines()[0], "knob dbl 20,20");
  EXPECT_EQ(EventLog::Lines()[1].rfind("automate 0 0.25", 0), 0u) << "back to the default: " << EventLog::Lines()[1];
  EXPECT_EQ(EventLog::Lines()[2], "knob up 20,20");
  EXPECT_EQ(EventLog::Lines()[3], "end 0");
  EXPECT_DOUBLE_EQ(f.plug->GetParam(0)->Normalized(), 0.25);

  // Drags without a capture go nowhere; the background has no parameter, so no gesture.
  EventLog::Clear();
  f.g->OnMouseDrag(30, 30, kLeft);
  f.g->OnMouseDown(100, 80, kLeft);
  f.g->OnMouseUp(100, 80, kLeft);
  EXPECT_EQ(EventLog::Lines(), (Lines{"back down 100,80", "back up 100,80"}));

  // Keys: the background never takes them, other controls answer for themselves.
  EXPECT_FALSE(f.g->OnKeyDown(100, 80, kKeySpace));
  EXPECT_FALSE(f.g->OnKeyDown(20, 20, kKeyA));
  knob->takesKeys = true;
  EXPECT_TRUE(f.g->OnKeyDown(20, 20, kKeyA));
}

TEST(IGraphicsDirty, UnionAndIdleTicks) {
  EditorFixture f;
  auto* a = new LogControl(f.plug, IRect(10, 10, 20, 20), -1, "a");
  auto* none = new LogControl(f.plug, IRect(), -1, "none");
  auto* b = new LogControl(f.plug, IRect(50, 5, 60, 15), -1, "b");
  f.g->AttachControl(a);
  f.g->AttachControl(none);
  f.g->AttachControl(b);
  f.Attach();
  IRect r;
  ASSERT_TRUE(f.g->IsDirty(&r)) << "controls start dirty";
  EXPECT_EQ(r, IRect(10, 5, 60, 20));
  EXPECT_TRUE(f.g->IsDirty(&r)) << "asking cleans nothing";
  f.g->Draw(r);
  EXPECT_FALSE(f.g->IsDirty(&r));
  EXPECT_EQ(f.g->IdleTicks(), 1);

  none->Redraw();
  b->Redraw();
  ASSERT_TRUE(f.g->IsDirty(&r));
  EXPECT_EQ(r, IRect(50, 5, 60, 15)) << "an empty rectangle adds nothing";
  EXPECT_EQ(f.g->IdleTicks(), 0);
  f.g->Draw(r);

  // The idle hook runs on the 21st clean tick in a row, then the count restarts.
  for (int i = 0; i < 20; ++i) EXPECT_FALSE(f.g->IsDirty(&r));
  EXPECT_EQ(f.plug->idles, 0);
  EXPECT_FALSE(f.g->IsDirty(&r));
  EXPECT_EQ(f.plug->idles, 1);
  EXPECT_EQ(f.g->IdleTicks(), 0);
  for (int i = 0; i < 10; ++i) f.g->IsDirty(&r);
  a->Redraw();
  EXPECT_TRUE(f.g->IsDirty(&r));
  f.g->Draw(r);
  for (int i = 0; i < 20; ++i) f.g->IsDirty(&r);
  EXPECT_EQ(f.plug->idles, 1) << "a dirty tick restarted the count";
  f.g->IsDirty(&r);
  EXPECT_EQ(f.plug->idles, 2);
}

TEST(IGraphicsDraw, ClipsToTheUpdateRectangleAndTouchingControlsDraw) {
  EditorFixture f;
  auto* back = new LogControl(f.plug, IRect(0, 0, 200, 100), -1, "back");
  back->color = 0xFF101010;
  auto* left = new LogControl(f.plug, IRect(10, 10, 30, 30), -1, "left");
  left->color = 0xFFFF0000;
  auto* right = new LogControl(f.plug, IRect(30, 10, 50, 30), -1, "right");
  right->color = 0xFF0000FF;
  auto* nowhere = new LogControl(f.plug, IRect(), -1, "nowhere");
  auto* hidden = new LogControl(f.plug, IRect(10, 10, 30, 30), -1, "hidden");
  hidden->Hide(true);
  for (IControl* c : std::vector<IControl*>{back, left, right, nowhere, hidden}) f.g->AttachControl(c);
  f.Attach();
  f.g->Draw(IRect(0, 0, 200, 100));
  EXPECT_EQ(nowhere->draws, 0) << "an empty rectangle is never drawn";
  EXPECT_EQ(hidden->draws, 0);
  EXPECT_TRUE(hidden->IsDirty()) << "hiding asks for one more pass";
  f.g->Draw(IRect(0, 0, 200, 100));
  EXPECT_EQ(hidden->draws, 0);
  EXPECT_FALSE(hidden->IsDirty()) << "cleaned all the same";

  left->color = 0xFFFFFF00;
  right->color = 0xFF00FFFF;
  const int rightDraws = right->draws;
  f.g->Draw(IRect(10, 10, 30, 30));
  EXPECT_EQ(right->draws, rightDraws + 1) << "its left edge touches the update rectangle's right edge";
  RasterBitmap* d = f.g->DrawBitmapSurface();
  EXPECT_EQ(Pixel(d, 29, 20), 0xFFFFFF00u);
  EXPECT_EQ(Pixel(d, 30, 20), 0xFF0000FFu) << "drawing is clipped to the update rectangle";

  // The bitmap drawing routines clip the same way.
  const int id = TestGraphics::ImageId(2, 10, 1);
  IBitmap strip = f.g->LoadBitmap(id, "strip.png", 2);
  ASSERT_NE(strip.bitmap, nullptr);
  f.g->Draw(IRect(0, 0, 15, 15));  // sets the drawing area
  EXPECT_TRUE(f.g->DrawBitmapFrame(strip, IRect(10, 10, 20, 20), 2));
  EXPECT_EQ(Pixel(d, 14, 14), FrameColor(id, 2));
  EXPECT_NE(Pixel(d, 15, 15), FrameColor(id, 2));
  EXPECT_TRUE(f.g->DrawBitmapFrame(strip, IRect(0, 0, 10, 10), 1));
  EXPECT_EQ(Pixel(d, 0, 0), FrameColor(id, 1));
  IBitmap missing;
  EXPECT_FALSE(f.g->DrawBitmap(missing, IRect(0, 0, 10, 10), 0, 0));
}

TEST(IGraphicsCaches, BitmapsAreSharedAcrossInstances) {
  const int id = TestGraphics::ImageId(3, 8, 2);
  EditorFixture one, two;
  const int loads = TestGraphics::platformLoads.load();
  IBitmap a = one.g->LoadBitmap(id, "k.png", 3);
  IBitmap b = two.g->LoadBitmap(id, "k.png", 3);
  EXPECT_EQ(a.bitmap, b.bitmap);
  EXPECT_EQ(TestGraphics::platformLoads.load(), loads + 1) << "decoded once per process";
  EXPECT_EQ(a.W, 8);
  EXPECT_EQ(a.H, 24);
  EXPECT_EQ(a.N, 3);
  EXPECT_FALSE(a.framesAreHorizontal);
  IBitmap c = two.g->LoadBitmap(id, "k.png", 1);
  EXPECT_EQ(c.bitmap, a.bitmap);
  EXPECT_EQ(c.N, 1) << "the frame count is the caller's";

  // A failed load is not remembered: the next call asks the platform again.
  const int id2 = TestGraphics::ImageId(1, 9, 3);
  one.g->failLoads = true;
  EXPECT_EQ(one.g->LoadBitmap(id2, "x.png").bitmap, nullptr);
  one.g->failLoads = false;
  EXPECT_NE(one.g->LoadBitmap(id2, "x.png").bitmap, nullptr);
  EXPECT_EQ(IBitmapCache::Instance().Find(id2), one.g->LoadBitmap(id2, "x.png").bitmap);

  // The background: index 0, image size, no parameter, plain copy.
  const int backId = TestGraphics::ImageId(1, 40, 4);
  one.g->AttachControl(new LogControl(one.plug, IRect(1, 1, 2, 2), -1, "x"));
  one.g->AttachBackground(backId, "back.png");
  ASSERT_EQ(one.g->NControls(), 2);
  EXPECT_EQ(one.g->GetControl(0)->Rect(), IRect(0, 0, 40, 40));
  EXPECT_EQ(one.g->GetControl(0)->ParamIdx(), -1);
  EXPECT_EQ(one.g->GetControl(0)->Blend().method, IBlend::kClobber);
}

TEST(IGraphicsText, DrawsPixelsAndSharesFonts) {
  EditorFixture f(true, 120, 40);
  f.g->AttachControl(new LogControl(f.plug, IRect(0, 0, 120, 40), -1, "back"));
  f.Attach();
  f.g->Draw(IRect(0, 0, 120, 40));  // the background fills with its colour
  RasterBitmap* d = f.g->DrawBitmapSurface();
  const uint32_t ground = Pixel(d, 0, 0);
  IText text("Verdana", 14, IColor(255, 255, 255, 255));
  EXPECT_TRUE(f.g->DrawText(text, "", IRect(0, 0, 120, 40)));
  EXPECT_EQ(text.cachedFont, nullptr) << "nothing to draw, no font made";
  ASSERT_TRUE(f.g->DrawText(text, "Feedback", IRect(0, 0, 120, 40)));
  ASSERT_NE(text.cachedFont, nullptr);
  int ink = 0;
  int minX = 1000, maxX = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x)
      if (Pixel(d, x, y) != ground) {
        ++ink;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
      }
  EXPECT_GT(ink, 20);
  EXPECT_NEAR((minX + maxX) / 2.0, 60.0, 8.0) << "centred by default";

  // Quality is not part of the key; size is.
  IText same("Verdana", 14, IColor(255, 0, 0, 0), IText::kStyleNormal, IText::kAlignNear, 0,
             IText::kQualityNonAntiAliased);
  IText bigger("Verdana", 15, IColor(255, 0, 0, 0));
  IText bold("Verdana", 14, IColor(255, 0, 0, 0), IText::kStyleBold);
  EXPECT_EQ(IFontCache::Instance().FontFor(same), text.cachedFont);
  EXPECT_NE(IFontCache::Instance().FontFor(bigger), text.cachedFont);
  EXPECT_NE(IFontCache::Instance().FontFor(bold), text.cachedFont);
  const int fonts = IFontCache::Instance().Count();
  EXPECT_EQ(IFontCache::Instance().FontFor(bold), IFontCache::Instance().FontFor(bold));
  EXPECT_EQ(IFontCache::Instance().Count(), fonts);
  EXPECT_EQ(text.cachedFont->Flags(), 0x600);

  // Text colour with alpha below 255 still draws.
  IText faint("Verdana", 14, IColor(128, 255, 0, 0), IText::kStyleNormal, IText::kAlignFar);
  f.g->Draw(IRect(0, 0, 120, 40));
  EXPECT_TRUE(f.g->DrawText(faint, "Mix", IRect(0, 0, 120, 40)));
  int right = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 60; x < 120; ++x) right += Pixel(d, x, y) != ground;
  EXPECT_GT(right, 5) << "right-aligned text lands on the right half";
}

TEST(IGraphicsWindow, OffscreenOpenCloseAndTick) {
  EditorFixture f;
  auto* back = new LogControl(f.plug, IRect(0, 0, 200, 100), -1, "back");
  back->color = 0xFF203040;
  auto* knob = new LogControl(f.plug, IRect(10, 10, 30, 30), 0, "knob");
  f.g->AttachControl(back);
  f.g->AttachControl(knob);
  f.Attach();
  EXPECT_FALSE(f.g->Tick()) << "no timer without a window";
  EXPECT_EQ(f.g->OpenWindow(nullptr), nullptr) << "a child window needs a parent";
  EXPECT_FALSE(f.g->WindowIsOpen());
  int parent = 0;
  f.g->Draw(IRect(0, 0, 200, 100));
  EXPECT_FALSE(back->IsDirty());
  void* w = f.g->OpenWindow(&parent);
  EXPECT_NE(w, nullptr);
  EXPECT_TRUE(f.g->WindowIsOpen());
  EXPECT_TRUE(back->IsDirty()) << "opening marks every control dirty";
  EXPECT_TRUE(f.g->Tick());
  EXPECT_FALSE(f.g->Tick());
  RasterBitmap& screen = f.g->Screen();
  EXPECT_EQ(Pixel(&screen, 100, 50), 0xFF203040u);
  EXPECT_EQ(Pixel(&screen, 15, 15), knob->color);

  // A change reaches the screen at the next tick, and only its area is copied.
  knob->color = 0xFFABCDEF;
  back->color = 0xFF000001;  // not dirty: must not reach the screen
  f.g->SetParameterFromPlug(0, 0.7, true);
  EXPECT_TRUE(f.g->Tick());
  EXPECT_EQ(Pixel(&screen, 15, 15), 0xFFABCDEFu);
  EXPECT_EQ(Pixel(&screen, 100, 50), 0xFF203040u);

  // Opening twice leaves one window.
  void* again = f.g->OpenWindow(&parent);
  EXPECT_NE(again, nullptr);
  EXPECT_EQ(f.g->WindowsCreated(), 2);
  EXPECT_TRUE(f.g->WindowIsOpen());
  f.g->CloseWindow();
  EXPECT_FALSE(f.g->WindowIsOpen());
  f.g->CloseWindow();  // closing a closed window is harmless
  EXPECT_FALSE(f.g->Tick());
}

TEST(IGraphicsWindow, PlatformBitmapsNeedThePngExtension) {
  EditorFixture f;
  IGraphicsOffscreen plain(f.plug, 10, 10);
  EXPECT_EQ(plain.LoadPlatformBitmap(5, "back.txt"), nullptr);
  EXPECT_EQ(plain.LoadPlatformBitmap(5, "png"), nullptr) << "no dot, no extension";
  EXPECT_EQ(plain.LoadPlatformBitmap(5, "back.png.old"), nullptr);
  EXPECT_EQ(plain.LoadPlatformBitmap(5, nullptr), nullptr);
#ifndef _WIN32
  // Elsewhere than Windows the embedded images come through a lookup table.
  static const unsigned char kPng[] = {
      0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
      0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x9d, 0x74, 0x66, 0x1a, 0x00, 0x00, 0x00, 0x11, 0x49,
      0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xe0, 0x12, 0x91, 0xfb, 0x0f, 0xc3, 0x0c, 0xc8, 0x1c, 0x00, 0x57, 0x59, 0x07,
      0x63, 0x39, 0x83, 0xcb, 0x45, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
  static int asked = 0;
  auto lookup = [](void*, int id, const void** data, size_t* length) {
    ++asked;
    if (id != 5) return false;
    *data = kPng;
    *length = sizeof(kPng);
    return true;
  };
  RasterPngResourceLookup old = RasterSetPngResourceLookup(lookup);
  for (const char* name : {"resources/img/back.png", "BACK.PNG", "x.Png", ".png"}) {
    std::unique_ptr<RasterBitmap> b(plain.LoadPlatformBitmap(5, name));
    ASSERT_NE(b, nullptr) << name;
    EXPECT_EQ(b->Width(), 3);
    EXPECT_EQ(b->Height(), 2);
    EXPECT_EQ(b->Pixels()[0], 0xFF0A141Eu);
  }
  const int before = asked;
  EXPECT_EQ(plain.LoadPlatformBitmap(5, "back.bmp"), nullptr);
  EXPECT_EQ(asked, before) << "other extensions never reach the resources";
  EXPECT_EQ(plain.LoadPlatformBitmap(6, "back.png"), nullptr);
  RasterSetPngResourceLookup(old);
#endif
}

TEST(IGraphicsMenu, NumberingAcrossSubmenus) {
  // Top: A(0) B(1) E(2); B's menu: C(3) D(4); D's menu: G(5); E's menu: F(6).
  IPopupMenu top;
  top.AddItem("A");
  auto* b = new IPopupMenu;
  b->AddItem("C");
  auto* d = new IPopupMenu;
  d->AddItem("G");
  b->AddSubmenu("D", d);
  top.AddSubmenu("B", b);
  auto* e = new IPopupMenu;
  e->AddItem("F");
  top.AddSubmenu("E", e);
  EXPECT_EQ(top.CountTree(), 7);
  const struct {
    int number;
    IPopupMenu* menu;
    int first;
  } expect[] = {{0, &top, 0}, {2, &top, 0}, {3, b, 3}, {4, b, 3}, {5, d, 5}, {6, e, 6}};
  for (const auto& x : expect) {
    int first = -2;
    EXPECT_EQ(top.MenuForNumber(x.number, &first), x.menu) << x.number;
    EXPECT_EQ(first, x.first) << x.number;
  }
  int first = 0;
  EXPECT_EQ(top.MenuForNumber(7, &first), nullptr);
  EXPECT_EQ(first, -1);
  EXPECT_EQ(top.MenuForNumber(-1, &first), nullptr);
  EXPECT_EQ(top.SubmenuFirstNumber(1, 0), 3);
  EXPECT_EQ(top.SubmenuFirstNumber(2, 0), 6);
  EXPECT_EQ(top.SubmenuFirstNumber(0, 0), -1);
  EXPECT_EQ(b->SubmenuFirstNumber(1, 3), 5);
  IPopupMenu empty;
  EXPECT_EQ(empty.CountTree(), 0);
  EXPECT_EQ(empty.MenuForNumber(0, &first), nullptr);
}

TEST(IGraphicsMenu, ScriptedChoicesAndMessages) {
  EditorFixture f;
  auto* back = new LogControl(f.plug, IRect(0, 0, 200, 100), -1, "back");
  f.g->AttachControl(back);
  f.Attach();
  IPopupMenu menu;
  menu.AddItem("one");
  menu.AddItem("two");
  menu.AddSeparator();
  menu.AddItem("off", IPopupMenuItem::kGreyed);
  auto* sub = new IPopupMenu;
  sub->AddItem("three");
  sub->AddItem("four", IPopupMenuItem::kChecked);
  menu.AddSubmenu("more", sub);

  EXPECT_EQ(f.g->CreatePopupMenu(&menu, IRect(0, 0, 10, 10)), nullptr) << "no script: dismissed";
  f.g->OnMouseDown(5, 5, kLeft);
  f.g->Draw(IRect(0, 0, 200, 100));
  int asked = 0;
  f.g->menuAnswer = [&](IPopupMenu& m) {
    ++asked;
    EXPECT_EQ(&m, &menu);
    return 1;
  };
  EXPECT_EQ(f.g->CreatePopupMenu(&menu, IRect(0, 0, 10, 10)), &menu);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(menu.chosenIndex, 1) << "the second item of two";
  EXPECT_EQ(f.g->MouseCapture(), -1) << "the menu releases the capture";
  EXPECT_TRUE(back->IsDirty()) << "the whole editor is repainted";

  f.g->menuAnswer = [](IPopupMenu&) { return 6; };
  EXPECT_EQ(f.g->CreatePopupMenu(&menu, IRect()), sub);
  EXPECT_EQ(sub->chosenIndex, 1);
  for (int n : {2, 3, 4, 7, -1}) {  // separator, greyed, submenu entry, out of range, dismissed
    f.g->menuAnswer = [n](IPopupMenu&) { return n; };
    EXPECT_EQ(f.g->CreatePopupMenu(&menu, IRect()), nullptr) << n;
  }
  IPopupMenu empty;
  f.g->menuAnswer = [](IPopupMenu&) { return 0; };
  EXPECT_EQ(f.g->CreatePopupMenu(&empty, IRect()), nullptr);
  EXPECT_EQ(f.g->CreatePopupMenu(nullptr, IRect()), nullptr);

  // Message boxes and web addresses are recorded and answered from the script.
  f.g->messageBoxAnswers = {kMsgAnswerYes};
  EXPECT_EQ(f.g->ShowMessageBox("Newer version?", "Update", kMsgYesNo), kMsgAnswerYes);
  EXPECT_EQ(f.g->ShowMessageBox("Again?", "Update", kMsgYesNo), kMsgAnswerNo) << "unscripted Yes/No: No";
  EXPECT_EQ(f.g->ShowMessageBox("Done", "Update", kMsgOk | kMsgIconInformation), kMsgAnswerOk);
  ASSERT_EQ(f.g->messageBoxes.size(), 3u);
  EXPECT_EQ(f.g->messageBoxes[2].text, "Done");
  EXPECT_EQ(f.g->messageBoxes[2].type, kMsgOk | kMsgIconInformation);

  f.g->messageBoxes.clear();
  f.g->messageBoxAnswers = {kMsgAnswerNo};
  EXPECT_FALSE(f.g->OpenURL("http://example.invalid/", "Site", "Open the site?", "No connection"));
  EXPECT_EQ(f.g->messageBoxes.size(), 1u) << "declined: no failure message";
  f.g->messageBoxAnswers = {kMsgAnswerYes};
  EXPECT_FALSE(f.g->OpenURL("http://example.invalid/", "Site", "Open the site?", "No connection"));
  ASSERT_EQ(f.g->messageBoxes.size(), 3u);
  EXPECT_EQ(f.g->messageBoxes[2].text, "No connection");
  EXPECT_EQ(f.g->messageBoxes[2].caption, "Site");
  f.g->urlOpens = true;
  EXPECT_TRUE(f.g->OpenURL("http://example.invalid/"));
  ASSERT_EQ(f.g->urls.size(), 3u);
  EXPECT_EQ(f.g->urls[0].confirmText, "Open the site?");
  EXPECT_EQ(f.g->urls[2].url, "http://example.invalid/");
  EXPECT_EQ(f.g->urls[2].title, "");
}

TEST(IGraphicsBinding, RecordAndEditorOpcodes) {
  for (bool windowLayer : {true, false}) {
    EditorFixture f(windowLayer, 683, 174);
    f.g->AttachControl(new LogControl(f.plug, IRect(0, 0, 683, 174), -1, "back"));
    f.Attach();
    AEffect* e = f.plug->Effect();
    EXPECT_EQ(e->flags, windowLayer ? 0x1039 : 0x1038);
    ERect* rect = nullptr;
    EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.f), windowLayer ? 1 : 0);
    if (windowLayer) {
      ASSERT_NE(rect, nullptr);
      EXPECT_EQ(rect->right - rect->left, 683);
      EXPECT_EQ(rect->bottom - rect->top, 174);
    } else {
      EXPECT_EQ(rect, nullptr);
    }
    EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, nullptr, 0.f), 0);
    EXPECT_EQ(e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.f), 1) << "closing without open is harmless";
    EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, nullptr, 0.f), 0) << "no parent";
    int parent = 0;
    EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &parent, 0.f), windowLayer ? 1 : 0);
    EXPECT_EQ(f.g->WindowIsOpen(), windowLayer);
    EXPECT_EQ(e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.f), 0);
    EXPECT_EQ(f.g->idleCalls, 1);
    EXPECT_EQ(e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.f), 1);
    EXPECT_FALSE(f.g->WindowIsOpen());
    ASSERT_NE(f.g->DrawBitmapSurface(), nullptr) << "attaching makes the surfaces";
    EXPECT_EQ(f.g->DrawBitmapSurface()->Width(), 683);
  }
  // Open and close a hundred times: one window at a time, nothing left open.
  EditorFixture f;
  f.Attach();
  AEffect* e = f.plug->Effect();
  int parent = 0;
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &parent, 0.f), 1);
    ASSERT_EQ(e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.f), 1);
  }
  EXPECT_FALSE(f.g->WindowIsOpen());
}

TEST(IGraphicsBinding, AttachPushesValuesAndHostChangesMoveControls) {
  EditorFixture f;
  auto* knob = new TestKnob(f.plug, IRect(0, 0, 10, 62), 0);
  auto* mode = new TestKnob(f.plug, IRect(20, 0, 30, 62), 1);
  f.g->AttachControl(knob);
  f.g->AttachControl(mode);
  f.Attach();
  EXPECT_DOUBLE_EQ(knob->Value(), 0.5);
  EXPECT_DOUBLE_EQ(knob->DefaultValue(), 0.5) << "the first value pushed becomes the default";
  EXPECT_DOUBLE_EQ(mode->Value(), 0.25);
  AEffect* e = f.plug->Effect();
  e->setParameter(e, 0, 0.75f);
  EXPECT_DOUBLE_EQ(knob->Value(), 0.75);
  // Plain values are clamped and normalised.
  f.g->SetParameterFromPlug(1, 3.0, false);
  EXPECT_DOUBLE_EQ(mode->Value(), 0.75);
  f.g->SetParameterFromPlug(1, 9.0, false);
  EXPECT_DOUBLE_EQ(mode->Value(), 1.0);
  f.g->SetParameterFromPlug(7, 0.3, true);  // no such parameter: nothing
  f.g->SetParameterFromPlug(-1, 0.3, true);
  EXPECT_DOUBLE_EQ(knob->Value(), 0.75);
}
