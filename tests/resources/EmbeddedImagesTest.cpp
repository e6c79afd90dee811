// The embedded editor images: every id decodes to its stated size, unknown
// ids give nothing, and the frames keep the promises the editor relies on.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "raster/RasterPng.h"
#include "resources/EmbeddedImages.h"
#include "tests/resources/ExpectedImages.h"
#include "tests/resources/ImageModule.h"

namespace {

std::unique_ptr<RasterMemBitmap> Load(int id) {
  return std::unique_ptr<RasterMemBitmap>(RasterLoadPngResource(ImageModule(), id));
}

uint32_t Alpha(RasterMemBitmap& b, int x, int y) { return b.Pixels()[y * b.RowSpan() + x] >> 24; }

// True when rows y0..y1 (exclusive) of frames a and b, each frameHeight high, are equal.
bool RowsEqual(RasterMemBitmap& b, int frameHeight, int fa, int fb, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    const uint32_t* ra = b.Pixels() + (fa * frameHeight + y) * b.RowSpan();
    const uint32_t* rb = b.Pixels() + (fb * frameHeight + y) * b.RowSpan();
    for (int x = 0; x < b.Width(); ++x) {
      if (ra[x] != rb[x]) return false;
    }
  }
  return true;
}

}  // namespace

TEST(EmbeddedImages, EveryIdDecodesToItsStatedSize) {
  for (const ExpectedImage& e : kExpectedImages) {
    auto bmp = Load(e.id);
    ASSERT_NE(bmp, nullptr) << "image " << e.id;
    EXPECT_EQ(bmp->Width(), e.width) << "image " << e.id;
    EXPECT_EQ(bmp->Height(), e.height) << "image " << e.id;
    EXPECT_EQ(e.height % e.frames, 0) << "image " << e.id;

    const void* data = nullptr;
    size_t length = 0;
    ASSERT_TRUE(EmbeddedImage(ImageModule(), e.id, &data, &length)) << "image " << e.id;
    std::unique_ptr<RasterMemBitmap> direct(RasterLoadPngMemory(data, length));
    ASSERT_NE(direct, nullptr) << "image " << e.id;
    EXPECT_EQ(direct->Height(), e.height) << "image " << e.id;
  }
}

TEST(EmbeddedImages, UnknownIdsGiveNothing) {
  for (int id : {6, 7, 99, 1000}) {
    EXPECT_EQ(Load(id), nullptr) << "id " << id;
  }
  for (int id : {-1, 0, 6, 70000}) {
    const void* data = nullptr;
    size_t length = 0;
    EXPECT_FALSE(EmbeddedImage(ImageModule(), id, &data, &length)) << "id " << id;
  }
  EXPECT_FALSE(EmbeddedImage(ImageModule(), 1, nullptr, nullptr));
}

TEST(EmbeddedImages, BackgroundCoversTheWholeEditor) {
  auto back = Load(1);
  ASSERT_NE(back, nullptr);
  for (int y = 0; y < back->Height(); ++y) {
    for (int x = 0; x < back->Width(); ++x) {
      ASSERT_EQ(Alpha(*back, x, y), 0xFFu) << x << "," << y;
    }
  }
}

TEST(EmbeddedImages, EveryKnobFrameShowsAnotherPosition) {
  auto knob = Load(2);
  ASSERT_NE(knob, nullptr);
  for (int f = 0; f < 65; ++f) {
    // Round knob: the panel shows through the frame's corners.
    EXPECT_EQ(Alpha(*knob, 0, f * 40), 0u) << "frame " << f;
    EXPECT_EQ(Alpha(*knob, 39, f * 40 + 39), 0u) << "frame " << f;
    if (f) {
      EXPECT_FALSE(RowsEqual(*knob, 40, f - 1, f, 0, 40)) << "frames " << f - 1 << " and " << f;
    }
  }
}

TEST(EmbeddedImages, TwoStateFramesDiffer) {
  auto sw = Load(3);
  auto button = Load(4);
  ASSERT_NE(sw, nullptr);
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(RowsEqual(*sw, 57, 0, 1, 0, 57));
  EXPECT_FALSE(RowsEqual(*button, 20, 0, 1, 0, 20));
}

// A click on band k (12 rows from the top) selects value k; frame k must light
// that band and change nothing else, so frames k and j differ only in bands k and j.
TEST(EmbeddedImages, RangeFrameLightsOnlyItsOwnBand) {
  auto ranges = Load(5);
  ASSERT_NE(ranges, nullptr);
  for (int k = 0; k < 5; ++k) {
    for (int j = 0; j < 5; ++j) {
      if (j == k) continue;
      for (int band = 0; band < 5; ++band) {
        bool same = RowsEqual(*ranges, 60, k, j, band * 12, band * 12 + 12);
        EXPECT_EQ(same, band != k && band != j) << "frames " << k << "/" << j << ", band " << band;
      }
    }
  }
}
