#include <gtest/gtest.h>

#include <vector>

#include <climits>
#include <cstdint>

#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"
#include "tests/raster/RasterTestUtil.h"

TEST(RasterMemBitmapTest, LayoutAlignmentAndSpan) {
  RasterMemBitmap one(1, 1);
  EXPECT_EQ(one.RowSpan(), 4);
  EXPECT_EQ(one.Allocated(), 16);
  ASSERT_NE(one.Pixels(), nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(one.Pixels()) % 64, 0u);

  RasterMemBitmap five(5, 3);
  EXPECT_EQ(five.RowSpan(), 8);
  // The whole image fits behind the aligned address.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) five.Pixels()[y * 8 + x] = 0x01010101u * static_cast<uint32_t>(x + y);
  EXPECT_EQ(five.Pixels()[2 * 8 + 7], 0x09090909u);

  RasterMemBitmap none(0, 5);
  EXPECT_EQ(none.Pixels(), nullptr);
  EXPECT_EQ(none.Width(), 0);
}

TEST(RasterMemBitmapTest, GrowsAheadAndNeverShrinks) {
  RasterMemBitmap b(4, 4);
  EXPECT_EQ(b.Allocated(), 64);
  EXPECT_FALSE(b.Resize(4, 4));
  b.Pixels()[0] = 0xDEADBEEF;
  EXPECT_TRUE(b.Resize(8, 4));  // needs 128: grows to 128 + 32
  EXPECT_EQ(b.Allocated(), 160);
  EXPECT_EQ(b.Pixels()[0], 0xDEADBEEFu);  // contents kept
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.Pixels()) % 64, 0u);
  EXPECT_TRUE(b.Resize(4, 9));  // 144 fits: no new block
  EXPECT_EQ(b.Allocated(), 160);
  EXPECT_TRUE(b.Resize(2, 2));
  EXPECT_EQ(b.Allocated(), 160);
  EXPECT_TRUE(b.Resize(0, 0));
  EXPECT_EQ(b.Allocated(), 0);
  EXPECT_EQ(b.Pixels(), nullptr);
}

TEST(RasterMemBitmapTest, GrowthKeepsThePixelsWhereverTheBlockMoves) {
  // A moved block can start at another distance from a 64-byte boundary; the
  // pixels must follow the aligned start. Other allocations in between make
  // the heap move the block now and then.
  RasterMemBitmap b(1, 1);
  std::vector<std::vector<char>> clutter;
  for (int w = 2; w < 400; w += 3) {
    b.Pixels()[0] = 0xC0FFEE00u + static_cast<uint32_t>(w);
    clutter.emplace_back(static_cast<size_t>(24 + w % 40), 'x');
    b.Resize(w, 1);
    ASSERT_EQ(b.Pixels()[0], 0xC0FFEE00u + static_cast<uint32_t>(w)) << "width " << w;
    ASSERT_EQ(reinterpret_cast<uintptr_t>(b.Pixels()) % 64, 0u);
  }
}

TEST(RasterMemBitmapTest, ByteCountsBeyond32BitsGiveAnEmptyBitmap) {
  // 65536 x 65536 x 4 wraps to 0 in 32 bits; 40000 x 20000 x 4 wraps negative.
  const int sizes[][2] = {{65536, 65536}, {40000, 20000}, {INT_MAX, 1}, {1, INT_MAX}, {-4, 10}};
  for (const auto& s : sizes) {
    RasterMemBitmap b(16, 16);
    b.Resize(s[0], s[1]);
    EXPECT_EQ(b.Pixels(), nullptr) << s[0] << "x" << s[1];
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 0);
    EXPECT_EQ(b.Allocated(), 0);
  }
}

TEST(RasterSysBitmapTest, ShrinkKeepsTheLargerSection) {
  RasterSysBitmap b(100, 100);
  ASSERT_NE(b.Pixels(), nullptr);
  uint32_t* first = b.Pixels();
  EXPECT_EQ(b.RowSpan(), 100);
  EXPECT_TRUE(b.Resize(50, 50));
  EXPECT_EQ(b.Pixels(), first);
  EXPECT_EQ(b.RowSpan(), 100);
  EXPECT_EQ(b.Width(), 50);
  EXPECT_TRUE(b.Resize(100, 100));
  EXPECT_EQ(b.Pixels(), first);
  EXPECT_TRUE(b.Resize(101, 7));  // wider: a new section, span rounded to 4
  EXPECT_EQ(b.RowSpan(), 104);
  b.Pixels()[6 * 104 + 100] = 1;  // last image pixel is writable
  EXPECT_FALSE(b.Resize(0, 0));
  EXPECT_EQ(b.Pixels(), nullptr);
  EXPECT_FALSE(b.Resize(INT_MAX, 2));
  EXPECT_EQ(b.Pixels(), nullptr);
  EXPECT_EQ(b.Width(), 0);
}

TEST(RasterSysBitmapTest, DeviceContextOnlyOnWindows) {
  RasterSysBitmap b(8, 8);
#ifdef _WIN32
  EXPECT_NE(b.DeviceContext(), nullptr);
#else
  EXPECT_EQ(b.DeviceContext(), nullptr);
#endif
  EXPECT_FALSE(b.IsBottomUp());
  EXPECT_EQ(b.Extension(1, nullptr), 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.Pixels()) % 4, 0u);
}
