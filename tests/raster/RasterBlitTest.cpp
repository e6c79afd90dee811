#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "raster/RasterBlit.h"
#include "raster/RasterMemBitmap.h"
#include "tests/raster/RasterTestUtil.h"

namespace {

struct KernelCase {
  int mode;
  float weight;
  uint32_t src;
  uint32_t dst;
  uint32_t expected;
};

// Worked out by hand from the kernel rules (truncating division, clamps,
// low-byte stores) for a semi-transparent, a transparent and an opaque source
// over the same destination, at the shortcut weights and a general one.
const KernelCase kBlitCases[] = {
    {0x0, 1.0f, 0x80C86432, 0x40204080, 0x80C86432},
    {0x0, 1.0f, 0x00FF00FF, 0x40204080, 0x00FF00FF},
    {0x0, 1.0f, 0xFF102030, 0x40204080, 0xFF102030},
    {0x0, 0.5f, 0x80C86432, 0x40204080, 0x60745259},
    {0x0, 0.5f, 0x00FF00FF, 0x40204080, 0x208F20BF},
    {0x0, 0.5f, 0xFF102030, 0x40204080, 0x9F183058},
    {0x0, 0.3f, 0x80C86432, 0x40204080, 0x53524B68},
    {0x0, 0.3f, 0x00FF00FF, 0x40204080, 0x2D632DA6},
    {0x0, 0.3f, 0xFF102030, 0x40204080, 0x791B3668},
    {0x10000, 1.0f, 0x80C86432, 0x40204080, 0xC0755358},
    {0x10000, 1.0f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10000, 1.0f, 0xFF102030, 0x40204080, 0xFF102030},
    {0x10000, 0.5f, 0x80C86432, 0x40204080, 0x804A496C},
    {0x10000, 0.5f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10000, 0.5f, 0xFF102030, 0x40204080, 0xC0183058},
    {0x10000, 0.3f, 0x80C86432, 0x40204080, 0x66394674},
    {0x10000, 0.3f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10000, 0.3f, 0xFF102030, 0x40204080, 0x8C1B3668},
    {0x1, 1.0f, 0x80C86432, 0x40204080, 0xC0E8A4B2},
    {0x1, 1.0f, 0x00FF00FF, 0x40204080, 0x40FF40FF},
    {0x1, 1.0f, 0xFF102030, 0x40204080, 0xFF3060B0},
    {0x1, 0.5f, 0x80C86432, 0x40204080, 0x80847299},
    {0x1, 0.5f, 0x00FF00FF, 0x40204080, 0x409F40FF},
    {0x1, 0.5f, 0xFF102030, 0x40204080, 0xBF285098},
    {0x1, 0.3f, 0x80C86432, 0x40204080, 0x665B5D8E},
    {0x1, 0.3f, 0x00FF00FF, 0x40204080, 0x406B40CB},
    {0x1, 0.3f, 0xFF102030, 0x40204080, 0x8B24498E},
    {0x10001, 1.0f, 0x80C86432, 0x40204080, 0x80847299},
    {0x10001, 1.0f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10001, 1.0f, 0xFF102030, 0x40204080, 0xFF3060B0},
    {0x10001, 0.5f, 0x80C86432, 0x40204080, 0x6052598C},
    {0x10001, 0.5f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10001, 0.5f, 0xFF102030, 0x40204080, 0xBF285098},
    {0x10001, 0.3f, 0x80C86432, 0x40204080, 0x533D4E87},
    {0x10001, 0.3f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10001, 0.3f, 0xFF102030, 0x40204080, 0x8B24498E},
    {0x2, 1.0f, 0x80C86432, 0x40204080, 0x8092699F},
    {0x2, 1.0f, 0x00FF00FF, 0x40204080, 0x40FF40FF},
    {0x2, 1.0f, 0xFF102030, 0x40204080, 0xFF22499D},
    {0x2, 0.5f, 0x80C86432, 0x40204080, 0x55344F8D},
    {0x2, 0.5f, 0x00FF00FF, 0x40204080, 0x403F40FE},
    {0x2, 0.5f, 0xFF102030, 0x40204080, 0x7F21448D},
    {0x2, 0.3f, 0x80C86432, 0x40204080, 0x4B294887},
    {0x2, 0.3f, 0x00FF00FF, 0x40204080, 0x402D40B5},
    {0x2, 0.3f, 0xFF102030, 0x40204080, 0x5A204287},
    {0x10002, 1.0f, 0x80C86432, 0x40204080, 0x55344F8D},
    {0x10002, 1.0f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10002, 1.0f, 0xFF102030, 0x40204080, 0xFF22499D},
    {0x10002, 0.5f, 0x80C86432, 0x40204080, 0x49274686},
    {0x10002, 0.5f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10002, 0.5f, 0xFF102030, 0x40204080, 0x7F21448D},
    {0x10002, 0.3f, 0x80C86432, 0x40204080, 0x45244383},
    {0x10002, 0.3f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10002, 0.3f, 0xFF102030, 0x40204080, 0x5A204287},
    {0x3, 1.0f, 0x80C86432, 0x40204080, 0x20191919},
    {0x3, 1.0f, 0x00FF00FF, 0x40204080, 0x001F007F},
    {0x3, 1.0f, 0xFF102030, 0x40204080, 0x3F020818},
    {0x3, 0.5f, 0x80C86432, 0x40204080, 0x301C2C4C},
    {0x3, 0.5f, 0x00FF00FF, 0x40204080, 0x201F207F},
    {0x3, 0.5f, 0xFF102030, 0x40204080, 0x3F11244C},
    {0x3, 0.3f, 0x80C86432, 0x40204080, 0x361D3461},
    {0x3, 0.3f, 0x00FF00FF, 0x40204080, 0x2D1F2D7F},
    {0x3, 0.3f, 0xFF102030, 0x40204080, 0x3F172F61},
    {0x10003, 1.0f, 0x80C86432, 0x40204080, 0x2F1C2C4C},
    {0x10003, 1.0f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10003, 1.0f, 0xFF102030, 0x40204080, 0x3F020818},
    {0x10003, 0.5f, 0x80C86432, 0x40204080, 0x381E3666},
    {0x10003, 0.5f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10003, 0.5f, 0xFF102030, 0x40204080, 0x3F11244C},
    {0x10003, 0.3f, 0x80C86432, 0x40204080, 0x3B1E3A70},
    {0x10003, 0.3f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10003, 0.3f, 0xFF102030, 0x40204080, 0x3F172F61},
    {0x4, 1.0f, 0x80C86432, 0x40204080, 0x402F3559},
    {0x4, 1.0f, 0x00FF00FF, 0x40204080, 0x103B10BF},
    {0x4, 1.0f, 0xFF102030, 0x40204080, 0x6F071C58},
    {0x4, 0.5f, 0x80C86432, 0x40204080, 0x40273A6C},
    {0x4, 0.5f, 0x00FF00FF, 0x40204080, 0x282D289F},
    {0x4, 0.5f, 0xFF102030, 0x40204080, 0x57132E6C},
    {0x4, 0.3f, 0x80C86432, 0x40204080, 0x40243C74},
    {0x4, 0.3f, 0x00FF00FF, 0x40204080, 0x31283192},
    {0x4, 0.3f, 0xFF102030, 0x40204080, 0x4E183574},
    {0x10004, 1.0f, 0x80C86432, 0x40204080, 0x40273A6C},
    {0x10004, 1.0f, 0x00FF00FF, 0x40204080, 0x3F203F80},
    {0x10004, 1.0f, 0xFF102030, 0x40204080, 0x6F071C58},
    {0x10004, 0.5f, 0x80C86432, 0x40204080, 0x40233D76},
    {0x10004, 0.5f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10004, 0.5f, 0xFF102030, 0x40204080, 0x57132E6C},
    {0x10004, 0.3f, 0x80C86432, 0x40204080, 0x40223E7A},
    {0x10004, 0.3f, 0x00FF00FF, 0x40204080, 0x40204080},
    {0x10004, 0.3f, 0xFF102030, 0x40204080, 0x4E183574},
};

const KernelCase kFillCases[] = {
    {0x0, 1.0f, 0x80C86432, 0x40204080, 0x80C86432},
    {0x0, 0.75f, 0x80C86432, 0x40204080, 0x709E5B45},
    {0x0, 0.5f, 0x80C86432, 0x40204080, 0x60745259},
    {0x0, 0.25f, 0x80C86432, 0x40204080, 0x504A496C},
    {0x0, 0.3f, 0x80C86432, 0x40204080, 0x44524B68},
    {0x10000, 1.0f, 0x80C86432, 0x40204080, 0x60745259},
    {0x10000, 0.75f, 0x80C86432, 0x40204080, 0x4C5F4E62},
    {0x10000, 0.5f, 0x80C86432, 0x40204080, 0x504A496C},
    {0x10000, 0.25f, 0x80C86432, 0x40204080, 0x3C354576},
    {0x10000, 0.3f, 0x80C86432, 0x40204080, 0x3C394674},
    {0x1, 1.0f, 0x80C86432, 0x40204080, 0xFFE8A4B2},
    {0x1, 0.75f, 0x80C86432, 0x40204080, 0xD0B68BA5},
    {0x1, 0.5f, 0x80C86432, 0x40204080, 0x80847299},
    {0x1, 0.25f, 0x80C86432, 0x40204080, 0x5052598C},
    {0x1, 0.3f, 0x80C86432, 0x40204080, 0x565B5D8E},
    {0x2, 1.0f, 0x80C86432, 0x40204080, 0xFF92699F},
    {0x2, 0.75f, 0x80C86432, 0x40204080, 0x924D5A95},
    {0x2, 0.5f, 0x80C86432, 0x40204080, 0x55344F8D},
    {0x2, 0.25f, 0x80C86432, 0x40204080, 0x44274686},
    {0x2, 0.3f, 0x80C86432, 0x40204080, 0x46294887},
    {0x3, 1.0f, 0x80C86432, 0x40204080, 0x3F191919},
    {0x3, 0.75f, 0x80C86432, 0x40204080, 0x341A2232},
    {0x3, 0.5f, 0x80C86432, 0x40204080, 0x301C2C4C},
    {0x3, 0.25f, 0x80C86432, 0x40204080, 0x341E3666},
    {0x3, 0.3f, 0x80C86432, 0x40204080, 0x321D3461},
    {0x4, 1.0f, 0x80C86432, 0x40204080, 0x6F2F3559},
    {0x4, 0.75f, 0x80C86432, 0x40204080, 0x522B3862},
    {0x4, 0.5f, 0x80C86432, 0x40204080, 0x40273A6C},
    {0x4, 0.25f, 0x80C86432, 0x40204080, 0x3A233D76},
    {0x4, 0.3f, 0x80C86432, 0x40204080, 0x3A243C74},
    {0x10000, 1.0f, 0xFF112233, 0x40204080, 0xFF112233},
    {0x10000, 1.0f, 0x80112233, 0x40204080, 0x60183159},
    {0x10000, 1.0f, 0x40112233, 0x40204080, 0x401C386C},
    {0x10000, 1.0f, 0xC0112233, 0x40204080, 0xA0142945},
    {0x10000, 1.0f, 0x7F112233, 0x40204080, 0x60183159},
    {0x10000, 1.0f, 0x00112233, 0x40204080, 0x40204080},
};

uint32_t BlitOne(uint32_t src, uint32_t dst, float weight, int mode) {
  RasterMemBitmap s(3, 2), d(3, 2);
  FillAll(s, src);
  FillAll(d, dst);
  Blit(&d, &s, 0, 0, nullptr, weight, mode);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(At(d, x, y), At(d, 0, 0));
  return At(d, 0, 0);
}

}  // namespace

TEST(RasterBlitTest, EveryKernelPixelExact) {
  for (const KernelCase& c : kBlitCases)
    EXPECT_EQ(BlitOne(c.src, c.dst, c.weight, c.mode), c.expected)
        << std::hex << "mode 0x" << c.mode << " weight " << c.weight << " src 0x" << c.src;
  // The worked examples: blue 200 under blue 100 at alpha 128, and the 50 % average.
  EXPECT_EQ(BlitOne(0x80000064, 0x000000C8, 1.0f, 0x10000), 0x80000095u);
  EXPECT_EQ(BlitOne(0x00FFFFFF, 0xFF000000, 0.5f, 0), 0x7F7F7F7Fu);
  // The shortcut at 0.5 differs from what the general kernel would give.
  EXPECT_EQ(BlitOne(0x00000001, 0x00000000, 0.5f, 0), 0x00000000u);
  EXPECT_EQ(BlitOne(0x00000001, 0x00000000, 0.50390625f, 0), 0x00000001u);
  EXPECT_EQ(BlitOne(0x000000FF, 0x00000000, 0.5f, 0), 0x0000007Fu);
  EXPECT_EQ(BlitOne(0x000000FF, 0x00000000, 0.50390625f, 0), 0x00000081u);
}

TEST(RasterBlitTest, ModeBitsAndUnknownModes) {
  // Bits outside 0x100FF are ignored; unknown kernels draw nothing.
  EXPECT_EQ(BlitOne(0x80C86432, 0x40204080, 0.3f, 0x10100), 0x66394674u);
  EXPECT_EQ(BlitOne(0x80C86432, 0x40204080, 1.0f, 6), 0x40204080u);
  EXPECT_EQ(BlitOne(0x80C86432, 0x40204080, 1.0f, 0x10077), 0x40204080u);
  // Weights that are not numbers or below 1/256 change nothing in copy mode.
  EXPECT_EQ(BlitOne(0x80C86432, 0x40204080, 0.002f, 0), 0x40204080u);
  EXPECT_EQ(BlitOne(0x80C86432, 0x40204080, -1.0f, 0), 0x40204080u);
  EXPECT_EQ(BlitOne(0x80C86432, 0x40204080, std::nanf(""), 0x10000), 0x40204080u);
}

TEST(RasterBlitTest, ChannelCopy) {
  // 0xF0 + dst byte * 4 + src byte: red of the source into the destination's alpha.
  EXPECT_EQ(BlitOne(0x11223344, 0xAABBCCDD, 0.25f, 0xF0 + 3 * 4 + 2), 0x22BBCCDDu);
  EXPECT_EQ(BlitOne(0x11223344, 0xAABBCCDD, 1.0f, 0xF0 + 0 * 4 + 3), 0xAABBCC11u);
  EXPECT_EQ(BlitOne(0x11223344, 0xAABBCCDD, 0.0f, 0xF0 + 0 * 4 + 3), 0xAABBCCDDu);
}

TEST(RasterBlitTest, ClippingCases) {
  RasterMemBitmap src(10, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) At(src, x, y) = static_cast<uint32_t>(0xFF000000u | (y << 8) | x);
  auto check = [&](RasterMemBitmap& d, int ox, int oy, int sx, int sy, int w, int h) {
    for (int y = 0; y < d.Height(); ++y)
      for (int x = 0; x < d.Width(); ++x) {
        bool inside = x >= ox && x < ox + w && y >= oy && y < oy + h;
        uint32_t want = inside ? At(src, x - ox + sx, y - oy + sy) : 0u;
        ASSERT_EQ(At(d, x, y), want) << x << "," << y;
      }
  };
  {  // negative destination: source (3, 2)..(10, 10) lands at (0, 0)
    RasterMemBitmap d(12, 12);
    FillAll(d, 0);
    Blit(&d, &src, -3, -2, nullptr, 1.0f, 0);
    check(d, 0, 0, 3, 2, 7, 8);
  }
  {  // rectangle beyond the source, and past the destination's edge
    RasterMemBitmap d(9, 6);
    FillAll(d, 0);
    RasterRect r{4, 5, 40, 40};
    Blit(&d, &src, 3, 1, &r, 1.0f, 0);
    check(d, 3, 1, 4, 5, 6, 5);
  }
  {  // a negative rectangle origin moves the destination instead
    RasterMemBitmap d(12, 12);
    FillAll(d, 0);
    RasterRect r{-2, -1, 3, 3};
    Blit(&d, &src, 0, 0, &r, 1.0f, 0);
    check(d, 2, 1, 0, 0, 3, 3);
  }
  {  // nothing to copy
    RasterMemBitmap d(5, 5), empty(0, 0);
    FillAll(d, 0);
    RasterRect inverted{5, 5, 2, 2};
    Blit(&d, &src, 0, 0, &inverted, 1.0f, 0);
    Blit(&d, &src, 5, 0, nullptr, 1.0f, 0);
    Blit(&d, &src, 0, -10, nullptr, 1.0f, 0);
    Blit(&d, &src, -2000000000, -2000000000, nullptr, 1.0f, 0);
    Blit(&d, &empty, 0, 0, nullptr, 1.0f, 0);
    Blit(&empty, &src, 0, 0, nullptr, 1.0f, 0);
    Blit(&d, nullptr, 0, 0, nullptr, 1.0f, 0);
    Blit(nullptr, &src, 0, 0, nullptr, 1.0f, 0);
    RasterRect huge{-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647};
    Blit(&d, &src, 2147483647, 0, &huge, 1.0f, 0);
    check(d, 0, 0, 0, 0, 0, 0);
  }
}

TEST(RasterBlitTest, BottomUpBitmapsAreWalkedBackwards) {
  BottomUpBitmap src(4, 3);
  RasterMemBitmap top(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) At(src, x, y) = static_cast<uint32_t>(0xFF000000u | (y << 4) | x);
  FillAll(top, 0);
  RasterRect r{1, 1, 4, 3};
  for (float weight : {0.5f, 0.75f, 1.0f}) {
    FillAll(top, 0);
    Blit(&top, &src, 0, 0, &r, weight, 0);
    BottomUpBitmap back(4, 3);
    FillAll(back, 0);
    Blit(&back, &top, 1, 1, nullptr, 1.0f, 0);
    for (int y = 1; y < 3; ++y)
      for (int x = 1; x < 4; ++x) EXPECT_EQ(At(back, x, y), At(top, x - 1, y - 1));
  }
  EXPECT_EQ(At(top, 0, 0), 0xFF000011u);
  EXPECT_EQ(At(top, 2, 1), 0xFF000023u);
}

TEST(RasterFillTest, EveryKernelAndShortcutPixelExact) {
  for (const KernelCase& c : kFillCases) {
    RasterMemBitmap b(5, 3);
    FillAll(b, c.dst);
    FillArea(&b, 0, 0, 5, 3, c.src, c.weight, c.mode);
    EXPECT_EQ(At(b, 4, 2), c.expected) << std::hex << "mode 0x" << c.mode << " weight " << c.weight << " colour 0x"
                                       << c.src;
    EXPECT_EQ(At(b, 0, 0), At(b, 4, 2));
  }
}

TEST(RasterFillTest, ClippingAndBadInput) {
  RasterMemBitmap b(6, 4);
  FillAll(b, 0);
  FillArea(&b, -2, -1, 4, 3, 0xFFFFFFFF, 1.0f, 0);  // covers (0,0)..(2,2)
  FillArea(&b, 4, 3, 100, 100, 0xFF00FF00, 1.0f, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      uint32_t want = (x < 2 && y < 2) ? 0xFFFFFFFFu : (x >= 4 && y >= 3) ? 0xFF00FF00u : 0u;
      EXPECT_EQ(At(b, x, y), want) << x << "," << y;
    }
  RasterMemBitmap copy(6, 4);
  Blit(&copy, &b, 0, 0, nullptr, 1.0f, 0);
  FillArea(&b, 0, 0, 0, 4, 0xFF123456, 1.0f, 0);
  FillArea(&b, 6, 0, 4, 4, 0xFF123456, 1.0f, 0);
  FillArea(&b, 0, 4, 4, 4, 0xFF123456, 1.0f, 0);
  FillArea(&b, -10, 0, 10, 4, 0xFF123456, 1.0f, 0);
  FillArea(&b, 0, 0, 6, 4, 0xFF123456, 0.0f, 0);
  FillArea(&b, 0, 0, 6, 4, 0x00123456, 1.0f, 0x10000);
  FillArea(&b, 0, 0, 6, 4, 0xFF123456, 1.0f, 7);
  FillArea(&b, -2147483647 - 1, 0, 2147483647, 4, 0xFF123456, 1.0f, 0);
  FillArea(nullptr, 0, 0, 6, 4, 0xFF123456, 1.0f, 0);
  RasterMemBitmap empty;
  FillArea(&empty, 0, 0, 6, 4, 0xFF123456, 1.0f, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(At(b, x, y), At(copy, x, y));

  BottomUpBitmap up(3, 3);
  FillAll(up, 0);
  FillArea(&up, 1, 2, 5, 5, 0xFF0000FF, 1.0f, 0);
  EXPECT_EQ(At(up, 1, 2), 0xFF0000FFu);
  EXPECT_EQ(At(up, 1, 0), 0u);
}

TEST(RasterBlitTest, AdjustAndBlurStayInRange) {
  // Neutral 128s leave a colour alone; any source keeps alpha and gives a
  // valid colour; a grey stays grey when saturation is not raised.
  EXPECT_EQ(BlitOne(0x00808080, 0x7F3366CC, 1.0f, 5), 0x7F3366CCu);
  EXPECT_EQ(BlitOne(0xFF808080, 0x7F3366CC, 1.0f, 0x10005), 0x7F3366CCu);
  uint32_t grey = BlitOne(0x00FF00FF, 0x20646464, 1.0f, 5);
  EXPECT_EQ(grey >> 24, 0x20u);
  EXPECT_EQ((grey >> 16) & 0xFF, grey & 0xFF);
  EXPECT_EQ((grey >> 8) & 0xFF, grey & 0xFF);
  for (uint32_t s : {0x00000000u, 0xFFFFFFFFu, 0x80FF0080u, 0x8000FF00u})
    for (uint32_t d : {0xFFFF0000u, 0x0000FF00u, 0x800000FFu, 0xFFFFFFFFu, 0u}) {
      uint32_t r = BlitOne(s, d, 1.0f, 5);
      EXPECT_EQ(r >> 24, d >> 24);
      uint32_t rw = BlitOne(s, d, 2.0f, 5);  // outside the normal weight range
      EXPECT_EQ(rw >> 24, d >> 24);
    }
  // A half-turn of hue maps pure red to cyan.
  EXPECT_EQ(BlitOne(0x00008080, 0xFFFF0000, 1.0f, 5) & 0x00FFFFFF, 0x0000FFFFu);

  RasterMemBitmap b(7, 5);
  FillAll(b, 0);
  At(b, 3, 2) = 0xFFFFFFFF;
  At(b, 0, 0) = 0xFFFFFFFF;
  Blur(&b, 0, 0, 7, 5);
  EXPECT_EQ(At(b, 3, 2), 0x7F7F7F7Fu);
  EXPECT_EQ(At(b, 4, 2), 0x1F1F1F1Fu);
  EXPECT_EQ(At(b, 4, 3), 0u);
  // Edges replicate: the corner pixel counts itself for its missing neighbours.
  EXPECT_EQ(At(b, 0, 0), 0xBFBFBFBFu);
  Blur(&b, -5, -5, 100, 100);
  Blur(nullptr, 0, 0, 1, 1);
  FillAll(b, 0xFFFFFFFF);
  Blur(&b, 2, 1, 3, 3);
  EXPECT_EQ(At(b, 3, 2), 0xFFFFFFFFu);
}
