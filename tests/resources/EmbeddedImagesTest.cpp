// The embedded editor images: every id decodes to its stated size, unknown
// ids give nothing, and the frames keep the promises the editor relies on, at
// each of the editor's scales.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "raster/RasterPng.h"
#include "resources/EmbeddedImages.h"
#include "tests/resources/ExpectedImages.h"
#include "tests/resources/ImageModule.h"

namespace {

// The editor's scales; each has ids 1-5 plus its offset.
struct Scale {
  int idOffset;
  double s;
};
constexpr Scale kScales[] = {{0, 1.0}, {10, 1.5}, {20, 2.0}};

// Device pixel of logical coordinate v, rounded as the editor rounds it.
int D(double v, double s) { return static_cast<int>(std::floor(v * s + 0.5)); }

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

// Mean of one colour channel (shift 16, 8 or 0) over the pixels [x0, x1) x [y0, y1).
double Mean(RasterMemBitmap& b, int shift, int x0, int y0, int x1, int y1) {
  double sum = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) sum += (b.Pixels()[y * b.RowSpan() + x] >> shift) & 0xFF;
  }
  return sum / ((x1 - x0) * (y1 - y0));
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
  for (int id : {6, 7, 10, 16, 20, 26, 99, 1000}) {
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
  for (const Scale& sc : kScales) {
    auto back = Load(1 + sc.idOffset);
    ASSERT_NE(back, nullptr) << "scale " << sc.s;
    EXPECT_EQ(back->Width(), D(683, sc.s));
    EXPECT_EQ(back->Height(), D(174, sc.s));
    for (int y = 0; y < back->Height(); ++y) {
      for (int x = 0; x < back->Width(); ++x) {
        ASSERT_EQ(Alpha(*back, x, y), 0xFFu) << x << "," << y << " at scale " << sc.s;
      }
    }
  }
}

TEST(EmbeddedImages, EveryKnobFrameShowsAnotherPosition) {
  for (const Scale& sc : kScales) {
    auto knob = Load(2 + sc.idOffset);
    ASSERT_NE(knob, nullptr) << "scale " << sc.s;
    const int size = knob->Height() / 65;
    for (int f = 0; f < 65; ++f) {
      // Round knob: the panel shows through the frame's corners.
      EXPECT_EQ(Alpha(*knob, 0, f * size), 0u) << "frame " << f << " at scale " << sc.s;
      EXPECT_EQ(Alpha(*knob, size - 1, f * size + size - 1), 0u) << "frame " << f << " at scale " << sc.s;
      if (f) {
        EXPECT_FALSE(RowsEqual(*knob, size, f - 1, f, 0, size))
            << "frames " << f - 1 << " and " << f << " at scale " << sc.s;
      }
    }
  }
}

TEST(EmbeddedImages, TwoStateFramesDiffer) {
  for (const Scale& sc : kScales) {
    auto sw = Load(3 + sc.idOffset);
    auto button = Load(4 + sc.idOffset);
    ASSERT_NE(sw, nullptr);
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(RowsEqual(*sw, sw->Height() / 2, 0, 1, 0, sw->Height() / 2)) << "scale " << sc.s;
    EXPECT_FALSE(RowsEqual(*button, button->Height() / 2, 0, 1, 0, button->Height() / 2)) << "scale " << sc.s;
  }
}

// A click on band k (12 logical rows from the selector's top at y 96) selects
// value k; frame k must light that band and change nothing else, so frames k
// and j differ only in bands k and j, at every scale.
TEST(EmbeddedImages, RangeFrameLightsOnlyItsOwnBand) {
  for (const Scale& sc : kScales) {
    auto ranges = Load(5 + sc.idOffset);
    ASSERT_NE(ranges, nullptr);
    const int frame = ranges->Height() / 5;
    auto row = [&](int band) { return D(96 + 12 * band, sc.s) - D(96, sc.s); };
    ASSERT_EQ(row(5), frame) << "scale " << sc.s;
    for (int k = 0; k < 5; ++k) {
      for (int j = 0; j < 5; ++j) {
        if (j == k) continue;
        for (int band = 0; band < 5; ++band) {
          bool same = RowsEqual(*ranges, frame, k, j, row(band), row(band + 1));
          EXPECT_EQ(same, band != k && band != j)
              << "frames " << k << "/" << j << ", band " << band << " at scale " << sc.s;
        }
      }
    }
  }
}

// The editor blits a control's frame at the device spot of its logical place.
// Every place must get exactly the frame's size, and the scaled background
// must show what the first one shows around each place (its bezels, wells and
// trays, compared in 4 x 4 logical-pixel cells), or the frames sit off them.
// Drawn again at scale, the cells differ by antialiasing alone (under 1.5 of
// 255); a bezel or well one logical pixel off differs by more.
TEST(EmbeddedImages, ScaledImagesFitThePlacesOfTheirControls) {
  struct Control {
    int id;
    int w, h;
    std::vector<int> xs, ys;
  };
  const Control kControls[] = {
      {2, 40, 40, {120, 186, 274, 372, 460, 526}, {100}},  // knobs
      {3, 20, 57, {83, 333}, {94}},                        // sync switches
      {4, 62, 20, {605}, {80, 108, 136}},                  // tool buttons
      {5, 48, 60, {20}, {96}},                             // range selector
  };
  auto first = Load(1);
  ASSERT_NE(first, nullptr);
  for (const Scale& sc : kScales) {
    if (sc.idOffset == 0) continue;
    auto back = Load(1 + sc.idOffset);
    ASSERT_NE(back, nullptr);
    for (const Control& c : kControls) {
      auto strip = Load(c.id + sc.idOffset);
      ASSERT_NE(strip, nullptr);
      int frames = 0;
      for (const ExpectedImage& e : kExpectedImages) {
        if (e.id == c.id) frames = e.frames;
      }
      ASSERT_GT(frames, 0);
      for (int x : c.xs) {
        for (int y : c.ys) {
          EXPECT_EQ(D(x + c.w, sc.s) - D(x, sc.s), strip->Width()) << "image " << c.id << " at " << x << "," << y;
          EXPECT_EQ(D(y + c.h, sc.s) - D(y, sc.s), strip->Height() / frames)
              << "image " << c.id << " at " << x << "," << y;
          if (c.id == 5) continue;  // its legends are hinted anew at each size
          for (int cy = y - 2; cy + 4 <= y + c.h + 2; cy += 4) {
            for (int cx = x - 2; cx + 4 <= x + c.w + 2; cx += 4) {
              for (int shift : {16, 8, 0}) {
                double want = Mean(*first, shift, cx, cy, cx + 4, cy + 4);
                double got = Mean(*back, shift, D(cx, sc.s), D(cy, sc.s), D(cx + 4, sc.s), D(cy + 4, sc.s));
                ASSERT_NEAR(got, want, 1.5) << "image " << c.id << " at " << x << "," << y << ", cell " << cx
                                            << "," << cy << " at scale " << sc.s;
              }
            }
          }
        }
      }
    }
  }
}
