#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "raster/RasterBlit.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"
#include "raster/RasterUtf8.h"
#include "tests/raster/RasterTestUtil.h"

#ifndef _WIN32
// fontconfig keeps a few bytes of its parsed configuration for the life of
// the process; that is the library's own business, not a leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace {

constexpr uint32_t kGround = 0xFF000000u;

struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  bool Empty() const { return right < 0; }
};

// Bounding box of every pixel that is not the ground colour.
Box Ink(RasterBitmap& b, uint32_t ground = kGround) {
  Box box;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (At(b, x, y) != ground) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  return box;
}

bool Same(RasterBitmap& a, RasterBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (At(a, x, y) != At(b, x, y)) return false;
  return true;
}

// A glyph-route font over a platform face; the glyph route is forced by
// flags that the native route cannot honour, or by the format bit.
std::unique_ptr<RasterCachedFont> MakeFont(int height = 16, int flags = kRasterFontOwnsHandle, const char* face = "Arial") {
  RasterFontHandle h = RasterCreateFont(face, height, false, false);
  EXPECT_NE(h, nullptr) << face;
  auto f = std::make_unique<RasterCachedFont>();
  f->SetFontHandle(h, flags);
  f->SetFgColor(0xFFFFFFFF);
  return f;
}

int Draw(RasterCachedFont& f, RasterBitmap& b, const char* text, int x, int y, uint32_t format = 0, int len = -1) {
  RasterRect r{x, y, b.Width(), b.Height()};
  return f.DrawString(&b, text, len, &r, format | kRasterDtNeverNative);
}

RasterRect Measure(RasterCachedFont& f, const char* text, uint32_t format = 0, int len = -1) {
  RasterRect r{10, 20, 10, 20};
  f.DrawString(nullptr, text, len, &r, format | kRasterDtCalcRect | kRasterDtNeverNative);
  return r;
}

}  // namespace

TEST(RasterUtf8Test, DecoderTable) {
  struct Case {
    const char* bytes;
    int available;
    unsigned short code;
    int length;
  } cases[] = {
      {"A", -1, 'A', 1},
      {"\x80", -1, 0x80, 1},            // stray continuation byte stands for itself
      {"\xC1\x81", -1, 0xC1, 1},        // overlong lead
      {"\xC3\xA9", -1, 0xE9, 2},
      {"\xC3\x41", -1, 0xC3, 1},        // failed continuation
      {"\xDF\xBF", -1, 0x7FF, 2},
      {"\xE2\x82\xAC", -1, 0x20AC, 3},
      {"\xEF\xBF\xBF", -1, 0xFFFF, 3},
      {"\xE2\x82", -1, 0xE2, 1},        // cut short by the terminator
      {"\xE2\x82\xAC", 2, 0xE2, 1},     // cut short by the byte count
      {"\xF0\x9F\x98\x80", -1, 0x20, 4},
      {"\xF4\x8F\xBF\xBF", -1, 0x20, 4},
      {"\xF0\x9F\x98\x80", 3, 0xF0, 1},
      {"\xF5\x80\x80\x80", -1, 0xF5, 1},
      {"\xFF", -1, 0xFF, 1},
  };
  for (const Case& c : cases) {
    unsigned short code = 0;
    EXPECT_EQ(RasterDecodeUtf8(c.bytes, c.available, &code), c.length) << c.bytes;
    EXPECT_EQ(code, c.code) << c.bytes;
  }
  EXPECT_TRUE(RasterHasUtf8Sequence("a\xC3\xA9", -1));
  EXPECT_TRUE(RasterHasUtf8Sequence("\xE2\x82\xAC", 3));
  EXPECT_FALSE(RasterHasUtf8Sequence("\xE2\x82\xAC", 2));
  EXPECT_FALSE(RasterHasUtf8Sequence("plain \xC3 text", -1));
}

TEST(RasterFontTest, GlyphCacheRendersOncePerHandle) {
  auto f = MakeFont(16, kRasterFontOwnsHandle | kRasterFontMono);
  EXPECT_GT(f->GetLineHeight(), 10);
  RasterMemBitmap b(120, 40);
  FillAll(b, kGround);
  EXPECT_GT(Draw(*f, b, "AB\xC3\xA9", 2, 2), 0);
  EXPECT_EQ(f->GlyphRenderCount(), 3);
  const int coverage = f->CoverageSize();
  Draw(*f, b, "BA\xC3\xA9", 2, 20);
  Measure(*f, "\xC3\xA9" "AB");
  EXPECT_EQ(f->GlyphRenderCount(), 3);
  EXPECT_EQ(f->CoverageSize(), coverage);
  ASSERT_NE(f->FindGlyph(0xE9), nullptr);
  EXPECT_GT(f->FindGlyph(0xE9)->pos, 0);

  // A new handle empties the cache, and the old one (owned) is released.
  f->SetFontHandle(RasterCreateFont("Arial", 16, true, false), kRasterFontOwnsHandle | kRasterFontMono);
  EXPECT_EQ(f->FindGlyph(0xE9), nullptr);
  EXPECT_EQ(f->FindGlyph('A')->pos, 0);
  Draw(*f, b, "AB", 2, 2);
  EXPECT_EQ(f->GlyphRenderCount(), 5);
}

TEST(RasterFontTest, AsciiOnlyFontSkipsOtherCharacters) {
  auto f = MakeFont(14, kRasterFontOwnsHandle | kRasterFontAsciiOnly);
  EXPECT_EQ(f->GlyphRenderCount(), 128);
  EXPECT_GT(f->FindGlyph('Q')->pos, 0);
  const RasterRect ab = Measure(*f, "AB"), withE = Measure(*f, "A\xC3\xA9" "B");
  EXPECT_EQ(withE.right, ab.right);
  RasterMemBitmap one(80, 30), two(80, 30);
  FillAll(one, kGround);
  FillAll(two, kGround);
  Draw(*f, one, "AB", 3, 3);
  Draw(*f, two, "A\xC3\xA9\xE2\x82\xAC" "B", 3, 3);
  EXPECT_TRUE(Same(one, two));
  EXPECT_EQ(f->GlyphRenderCount(), 128);
  EXPECT_EQ(f->FindGlyph(0xE9), nullptr);
}

TEST(RasterFontTest, LineFeedsAndSpecialSequences) {
  auto f = MakeFont(16, kRasterFontOwnsHandle | kRasterFontMono);
  const int lh = f->GetLineHeight();
  auto drawn = [&](const char* text, uint32_t format) {
    auto b = std::make_unique<RasterMemBitmap>(100, 3 * lh);
    FillAll(*b, kGround);
    Draw(*f, *b, text, 4, 1, format);
    return b;
  };
  // A, line feed, B: B one line below A at the starting x; a carriage return is nothing.
  auto lf = drawn("A\r\nB", 0);
  auto parts = drawn("A", 0);
  Draw(*f, *parts, "B", 4, 1 + lh);
  EXPECT_TRUE(Same(*lf, *parts));
  EXPECT_EQ(Measure(*f, "A\nB").bottom - 20, 2 * lh);
  // Under single-line the line feed is a space.
  EXPECT_TRUE(Same(*drawn("A\nB", kRasterDtSingleLine), *drawn("A B", 0)));
  EXPECT_EQ(Measure(*f, "A\nB", kRasterDtSingleLine).right, Measure(*f, "A B").right);
  // A 4-byte sequence is one space; 0xC3 before 'A' is U+00C3 and then A.
  EXPECT_TRUE(Same(*drawn("A\xF0\x9F\x98\x80" "B", 0), *drawn("A B", 0)));
  EXPECT_TRUE(Same(*drawn("\xC3\x41", 0), *drawn("\xC3\x83" "A", 0)));
  // The byte count is honoured, also when it cuts a sequence.
  EXPECT_TRUE(Same(*drawn("ABCD", 0), *drawn("ABCD", 0)));
  auto cut = std::make_unique<RasterMemBitmap>(100, 3 * lh);
  FillAll(*cut, kGround);
  RasterRect r{4, 1, 100, 3 * lh};
  f->DrawString(cut.get(), "AB\xC3\xA9", 3, &r, kRasterDtNeverNative);
  EXPECT_TRUE(Same(*cut, *drawn("AB\xC3", 0)));
}

TEST(RasterFontTest, MeasuredExtentHoldsTheInk) {
  auto f = MakeFont(18, kRasterFontOwnsHandle);
  const char* texts[] = {"Wg", "Time 1250 ms", "j/|\\W", "LFO\nDepth 45%"};
  for (const char* t : texts) {
    RasterMemBitmap b(200, 60);
    FillAll(b, kGround);
    const RasterRect m = Measure(*f, t);
    const int h = Draw(*f, b, t, 10, 20, kRasterDtNoClip);
    EXPECT_GT(h, 0);
    Box ink = Ink(b);
    ASSERT_FALSE(ink.Empty()) << t;
    // Only the first character's overhang (a left offset) may reach left of the extent.
    EXPECT_GE(ink.left, m.left - f->FindGlyph(t[0])->left) << t;
    EXPECT_GE(ink.top, m.top) << t;
    EXPECT_LE(ink.right, m.right) << t;
    EXPECT_LE(ink.bottom, m.bottom) << t;
    EXPECT_EQ(h, m.bottom - m.top) << t;
  }
  // Centred and right-aligned text lands where the measured width puts it.
  const RasterRect m = Measure(*f, "Mix");
  const int w = m.right - m.left;
  RasterMemBitmap a(150, 40), b(150, 40);
  FillAll(a, kGround);
  FillAll(b, kGround);
  RasterRect box{20, 5, 121, 35};
  f->DrawString(&a, "Mix", -1, &box, kRasterDtCenter | kRasterDtVCenter | kRasterDtNeverNative);
  Draw(*f, b, "Mix", (121 - w - 20) / 2 + 20, 5 + (35 - (m.bottom - m.top) - 5) / 2);
  EXPECT_TRUE(Same(a, b));
  FillAll(a, kGround);
  FillAll(b, kGround);
  f->DrawString(&a, "Mix", -1, &box, kRasterDtRight | kRasterDtBottom | kRasterDtNeverNative);
  Draw(*f, b, "Mix", 121 - w, 35 - (m.bottom - m.top));
  EXPECT_TRUE(Same(a, b));
}

TEST(RasterFontTest, ClippingAtTheLeftEdgeAndToTheRectangle) {
  auto f = MakeFont(20, kRasterFontOwnsHandle);
  RasterMemBitmap wide(60, 40), clipped(60, 40);
  FillAll(wide, kGround);
  FillAll(clipped, kGround);
  Draw(*f, wide, "W", 0, 0);  // renders and caches the glyph
  FillAll(wide, kGround);
  const RasterGlyph* g = f->FindGlyph('W');
  ASSERT_TRUE(g && g->width > 5);
  const RasterRect all{0, 0, 60, 40};
  EXPECT_TRUE(f->DrawGlyph(&wide, 'W', 10 + g->left, 3, all));
  EXPECT_TRUE(f->DrawGlyph(&clipped, 'W', -5 + g->left, 3, all));
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x) {
      uint32_t want = x < g->width - 5 ? At(wide, x + 15, y) : kGround;
      ASSERT_EQ(At(clipped, x, y), want) << x << "," << y;
    }
  // Wholly outside, or an empty clip: nothing.
  EXPECT_FALSE(f->DrawGlyph(&clipped, 'W', -200, 3, all));
  EXPECT_FALSE(f->DrawGlyph(&clipped, 'W', 10, 3, RasterRect{30, 0, 30, 40}));
  EXPECT_FALSE(f->DrawGlyph(&clipped, 0x263A, 10, 3, all));  // never rendered
  EXPECT_FALSE(f->DrawGlyph(nullptr, 'W', 10, 3, all));

  // Without DT_NOCLIP the rectangle clips; with it, only the bitmap does.
  RasterMemBitmap b(100, 40);
  FillAll(b, kGround);
  RasterRect r{10, 5, 18, 40};
  f->DrawString(&b, "WWWW", -1, &r, kRasterDtNeverNative);
  Box ink = Ink(b);
  ASSERT_FALSE(ink.Empty());
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.right, 18);
  FillAll(b, kGround);
  f->DrawString(&b, "WWWW", -1, &r, kRasterDtNeverNative | kRasterDtNoClip);
  EXPECT_GT(Ink(b).right, 40);
}

TEST(RasterFontTest, CompositingWeightsAndBackground) {
  auto f = MakeFont(24, kRasterFontOwnsHandle | kRasterFontMono);
  f->SetFgColor(0x80FF4020);
  RasterMemBitmap b(60, 40);
  FillAll(b, 0x40000000);
  // Foreground alpha 128 scales the weight to 128/255: w = 128.
  Draw(*f, b, "I", 5, 5, kRasterDtUseFgAlpha);
  Box ink = Ink(b, 0x40000000);
  ASSERT_FALSE(ink.Empty());
  uint32_t p = At(b, (ink.left + ink.right) / 2, (ink.top + ink.bottom) / 2);
  // Mono ink at w = 128: c + (d - c) * 128 / 256, alpha 255 - (255 - 64) * 128 / 256.
  EXPECT_EQ(p, 0xA0802010u);
  EXPECT_EQ(f->GetFgColor(), 0x80FF4020u);

  // Full weight writes the colour itself; weight 0 draws nothing.
  FillAll(b, 0x40000000);
  Draw(*f, b, "I", 5, 5);
  EXPECT_EQ(At(b, (ink.left + ink.right) / 2, (ink.top + ink.bottom) / 2), 0x80FF4020u);
  FillAll(b, 0x40000000);
  f->SetCombineMode(0, 0.0f);
  EXPECT_EQ(Draw(*f, b, "I", 5, 5), 0);
  f->SetFgColor(0x00FFFFFF);
  f->SetCombineMode(0, 1.0f);
  EXPECT_EQ(Draw(*f, b, "I", 5, 5, kRasterDtUseFgAlpha), 0);
  EXPECT_TRUE(Ink(b, 0x40000000).Empty());

  // Opaque mode paints the background behind each glyph's mask.
  f->SetFgColor(0xFFFFFFFF);
  EXPECT_EQ(f->SetBgColor(0xFF0000FF), 0xFFFFFFFFu);
  EXPECT_EQ(f->SetBgMode(kRasterBgOpaque), kRasterBgTransparent);
  Draw(*f, b, "I", 5, 5);
  const RasterGlyph* g = f->FindGlyph('I');
  EXPECT_EQ(At(b, 5 - g->left, 5), 0xFF0000FFu);
  EXPECT_EQ(At(b, 5 - g->left + g->width - 1, 5 + g->height - 1), 0xFF0000FFu);
  EXPECT_EQ(At(b, 5 - g->left + g->width, 5), 0x40000000u);
  EXPECT_EQ(At(b, (ink.left + ink.right) / 2, (ink.top + ink.bottom) / 2), 0xFFFFFFFFu);
}

TEST(RasterFontTest, MaskEffects) {
  auto plain = MakeFont(20, kRasterFontOwnsHandle);
  auto glyphOf = [](RasterCachedFont& f, int c) {
    RasterRect r{0, 0, 0, 0};
    f.DrawString(nullptr, std::string(1, static_cast<char>(c)).c_str(), -1, &r, kRasterDtCalcRect);
    return f.FindGlyph(c);
  };
  const RasterGlyph* pg = glyphOf(*plain, 'R');
  ASSERT_TRUE(pg && pg->pos > 0);

  auto inv = MakeFont(20, kRasterFontOwnsHandle | kRasterFontInvert);
  const RasterGlyph* ig = glyphOf(*inv, 'R');
  ASSERT_TRUE(ig && ig->width == pg->width && ig->height == pg->height);
  for (int i = 0; i < pg->width * pg->height; ++i) ASSERT_EQ(inv->GlyphMask(*ig)[i], 255 - plain->GlyphMask(*pg)[i]);

  auto mono = MakeFont(20, kRasterFontOwnsHandle | kRasterFontMono);
  const RasterGlyph* mg = glyphOf(*mono, 'R');
  for (int i = 0; i < mg->width * mg->height; ++i) {
    const int v = mono->GlyphMask(*mg)[i];
    ASSERT_TRUE(v == 0 || v == 255);
    ASSERT_EQ(v == 255, plain->GlyphMask(*pg)[i] > 130);
  }

  for (int flag : {kRasterFontShadow, kRasterFontOutline}) {
    auto fx = MakeFont(20, kRasterFontOwnsHandle | flag);
    const RasterGlyph* g = glyphOf(*fx, 'R');
    const unsigned char* m = fx->GlyphMask(*g);
    const int w = g->width, h = g->height;
    auto full = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && m[y * w + x] == 255; };
    int effect = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int v = m[y * w + x];
        ASSERT_TRUE(v == 0 || v == 128 || v == 255);
        if (v == 255) continue;
        const bool near = flag == kRasterFontShadow
                              ? full(x - 1, y) || full(x - 1, y - 1) || full(x, y - 1)
                              : full(x - 1, y) || full(x + 1, y) || full(x, y - 1) || full(x, y + 1);
        ASSERT_EQ(v == 128, near) << x << "," << y;
        effect += v == 128;
      }
    EXPECT_GT(effect, 0);
    // Effect pixels take the effect colour, ink the text colour.
    fx->SetFxColor(0xFF00FF00);
    RasterMemBitmap b(50, 40);
    FillAll(b, kGround);
    RasterRect r{0, 0, 50, 40};
    fx->DrawString(&b, "R", -1, &r, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int v = m[y * w + x], px = x - g->left;
        if (px < 0) continue;
        ASSERT_EQ(At(b, px, y), v == 255 ? 0xFFFFFFFFu : v == 128 ? 0xFF00FF00u : kGround);
      }
  }

  // Vertical text turns the mask: its rows are the upright glyph's columns.
  for (int flags : {static_cast<int>(kRasterFontVertical), kRasterFontVertical | kRasterFontBottomUp}) {
    auto vert = MakeFont(20, kRasterFontOwnsHandle | flags);
    const RasterGlyph* vg = glyphOf(*vert, 'R');
    ASSERT_EQ(vg->width, pg->height);
    ASSERT_EQ(vg->height, pg->width);
    RasterMemBitmap b(60, 120);
    FillAll(b, kGround);
    RasterRect r{10, 10, 60, 120};
    if (flags & kRasterFontBottomUp) r = RasterRect{10, 0, 60, 110};
    const uint32_t align = flags & kRasterFontBottomUp ? kRasterDtBottom : 0u;
    EXPECT_GT(vert->DrawString(&b, "RRR", -1, &r, align), 0);
    Box ink = Ink(b);
    ASSERT_FALSE(ink.Empty());
    EXPECT_GT(ink.bottom - ink.top, ink.right - ink.left);  // the run goes down the page
  }
  auto blur = MakeFont(20, kRasterFontOwnsHandle | kRasterFontBlur);
  EXPECT_GT(glyphOf(*blur, 'R')->pos, 0);
}

TEST(RasterFontTest, BadInputAndSharedState) {
  const int live = RasterCachedFont::LiveFontCount();
  {
    RasterCachedFont none;
    EXPECT_EQ(RasterCachedFont::LiveFontCount(), live + 1);
    RasterMemBitmap b(40, 20);
    FillAll(b, kGround);
    RasterRect r{0, 0, 40, 20};
    EXPECT_EQ(none.DrawString(&b, "abc", -1, &r, 0), 0);
    EXPECT_EQ(none.DrawString(&b, "abc", -1, &r, kRasterDtCalcRect), 0);
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(none.GetLineHeight(), 0);
    EXPECT_TRUE(Ink(b).Empty());

    auto f = MakeFont(16);
    r = RasterRect{0, 0, 40, 20};
    EXPECT_EQ(f->DrawString(nullptr, "abc", -1, &r, 0), 0);
    EXPECT_EQ(f->DrawString(&b, nullptr, -1, &r, 0), 0);
    EXPECT_EQ(f->DrawString(&b, "abc", -1, nullptr, 0), 0);
    EXPECT_EQ(f->DrawString(&b, "", -1, &r, 0), 0);
    EXPECT_EQ(f->DrawString(&b, "abc", 0, &r, 0), 0);
    RasterMemBitmap empty;
    EXPECT_EQ(f->DrawString(&empty, "abc", -1, &r, 0), 0);
    RasterRect off{50, 0, 90, 20};
    EXPECT_EQ(f->DrawString(&b, "abc", -1, &off, kRasterDtNeverNative), 0);
    EXPECT_TRUE(Ink(b).Empty());
    EXPECT_NE(RasterCachedFont::GlyphScratch(), nullptr);
  }
  if (live == 0) {
    EXPECT_EQ(RasterCachedFont::GlyphScratch(), nullptr);
  }
  EXPECT_EQ(RasterCachedFont::LiveFontCount(), live);
}

TEST(RasterFontTest, VeryTallFontsAreRefusedByTheGlyphRenderer) {
  RasterFontHandle h = RasterCreateFont("Arial", 1100, false, false);
  if (!h) GTEST_SKIP() << "no font of that size here";
  RasterCachedFont f;
  f.SetFontHandle(h, kRasterFontOwnsHandle | kRasterFontMono);
  EXPECT_GT(f.GetLineHeight(), 1023);
  RasterMemBitmap b(64, 64);
  FillAll(b, kGround);
  RasterRect r{0, 0, 64, 64};
#ifndef _WIN32
  // No native route here: the glyph renderer refuses and nothing is drawn.
  EXPECT_EQ(f.DrawString(&b, "A", -1, &r, 0), 0);
  EXPECT_EQ(f.GlyphRenderCount(), 0);
  EXPECT_TRUE(Ink(b).Empty());
#else
  // Line heights of 256 and more always go native.
  f.DrawString(&b, "A", -1, &r, kRasterDtNeverNative);
  EXPECT_EQ(f.GlyphRenderCount(), 0);
#endif
}

TEST(RasterFontTest, WineCheckIsAskedOnce) {
  RasterSetWineCheckForTest(-1);
  const int before = RasterWineCheckCountForTest();
  const bool first = RasterIsWine();
  EXPECT_EQ(RasterIsWine(), first);
  EXPECT_EQ(RasterWineCheckCountForTest(), before + 1);
#ifdef _WIN32
  EXPECT_TRUE(first);  // the tests run under Wine
#else
  EXPECT_FALSE(first);
#endif
  RasterSetWineCheckForTest(0);
  EXPECT_FALSE(RasterIsWine());
  RasterSetWineCheckForTest(1);
  EXPECT_TRUE(RasterIsWine());
  EXPECT_EQ(RasterWineCheckCountForTest(), before + 1);
  RasterSetWineCheckForTest(-1);
}

// Text drawn for the editor: native drawing allowed, the font owns its handle.
TEST(RasterFontTest, EditorTextOnEitherRoute) {
  for (int wine : {1, 0}) {
    RasterSetWineCheckForTest(wine);
    auto f = MakeFont(16, kRasterFontOwnsHandle | kRasterFontNativeAllowed);
    f->SetFgColor(0xFFFFFFFF);
    f->SetBgColor(0xFF303030);
    f->SetBgMode(kRasterBgOpaque);
    RasterSysBitmap sys(200, 60);
    RasterMemBitmap mem(200, 60);
    for (RasterBitmap* b : {static_cast<RasterBitmap*>(&sys), static_cast<RasterBitmap*>(&mem)}) {
      FillAll(*b, kGround);
      RasterRect m{30, 10, 170, 50};
      ASSERT_GT(f->DrawString(b, "Feedback 42%", -1, &m, kRasterDtCalcRect), 0);
      EXPECT_EQ(m.left, 30);
      RasterRect r{30, 10, 170, 50};
      EXPECT_GT(f->DrawString(b, "Feedback 42%", -1, &r, kRasterDtCenter), 0);
      Box ink = Ink(*b);
      ASSERT_FALSE(ink.Empty()) << "wine " << wine;
      EXPECT_GE(ink.left, 30);
      EXPECT_GE(ink.top, 10);
      EXPECT_LE(ink.right, 170);
      EXPECT_LE(ink.bottom, 50);
      // Centred: the ink's middle is near the rectangle's.
      EXPECT_NEAR((ink.left + ink.right) / 2.0, 100.0, (m.right - m.left) / 4.0 + 2);
    }
#ifdef _WIN32
    // Under Wine every string comes from cached glyphs; elsewhere straight from GDI.
    if (wine) EXPECT_GT(f->GlyphRenderCount(), 0);
    else EXPECT_EQ(f->GlyphRenderCount(), 0);
#else
    EXPECT_GT(f->GlyphRenderCount(), 0);
#endif
    // Colour alpha below 255 always takes the glyph route.
    const int renders = f->GlyphRenderCount();
    f->SetFgColor(0x80FFFFFF);
    f->SetBgMode(kRasterBgTransparent);
    RasterRect r{0, 0, 200, 60};
    f->DrawString(&sys, "Qz", -1, &r, kRasterDtUseFgAlpha);
    EXPECT_GT(f->GlyphRenderCount(), renders);
  }
  RasterSetWineCheckForTest(-1);
}
