// Editor drawing costs: the background blit, one knob frame and one value
// read-out on the glyph route. The artwork is synthesised at the editor's sizes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "raster/RasterBlit.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"

namespace {

constexpr int kEditorW = 683, kEditorH = 174;
constexpr int kKnob = 48, kKnobFrames = 64;

uint32_t Noise(uint32_t& s) {
  s = s * 1664525u + 1013904223u;
  return s;
}

void Background(RasterBitmap& b, uint32_t alphaMask) {
  uint32_t seed = 7;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      b.Pixels()[y * b.RowSpan() + x] = (Noise(seed) & 0x00FFFFFFu) | alphaMask;
}

// A vertical strip of knob frames: an antialiased disc with a pointer, on
// transparent ground, as knob artwork is.
void KnobStrip(RasterBitmap& b) {
  for (int f = 0; f < kKnobFrames; ++f) {
    const double angle = -2.4 + 4.8 * f / (kKnobFrames - 1);
    for (int y = 0; y < kKnob; ++y)
      for (int x = 0; x < kKnob; ++x) {
        const double dx = x + 0.5 - kKnob / 2.0, dy = y + 0.5 - kKnob / 2.0;
        const double r = std::sqrt(dx * dx + dy * dy);
        double a = std::fmin(1.0, std::fmax(0.0, kKnob / 2.0 - 2 - r));
        const double along = dx * std::sin(angle) - dy * std::cos(angle);
        const double across = std::fabs(dx * std::cos(angle) + dy * std::sin(angle));
        const bool pointer = along > 4 && across < 1.5;
        const uint32_t alpha = static_cast<uint32_t>(a * 255.0 + 0.5);
        const uint32_t grey = pointer ? 0xF0u : static_cast<uint32_t>(0x40 + r * 2);
        b.Pixels()[(f * kKnob + y) * b.RowSpan() + x] = (alpha << 24) | grey << 16 | grey << 8 | grey;
      }
  }
}

void PerPixel(benchmark::State& state, int pixels) {
  // Shown as time per pixel (seconds with an SI prefix).
  state.counters["per_px"] = benchmark::Counter(
      static_cast<double>(pixels), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_BlitBackground(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const bool translucent = state.range(1) != 0;
  RasterMemBitmap src(kEditorW, kEditorH);
  Background(src, translucent ? 0x80000000u : 0xFF000000u);
  RasterSysBitmap dst(kEditorW, kEditorH);
  Background(dst, 0xFF000000u);
  for (auto _ : state) {
    Blit(&dst, &src, 0, 0, nullptr, 1.0f, mode);
    benchmark::ClobberMemory();
  }
  PerPixel(state, kEditorW * kEditorH);
}
BENCHMARK(BM_BlitBackground)->ArgNames({"mode", "translucent"})->Args({0, 0})->Args({0x10000, 0})->Args({0x10000, 1});

void BM_BlitKnobFrame(benchmark::State& state) {
  RasterMemBitmap strip(kKnob, kKnob * kKnobFrames);
  KnobStrip(strip);
  RasterSysBitmap dst(kEditorW, kEditorH);
  Background(dst, 0xFF000000u);
  int frame = 0;
  for (auto _ : state) {
    const RasterRect r{0, frame * kKnob, kKnob, (frame + 1) * kKnob};
    Blit(&dst, &strip, 120, 60, &r, 1.0f, 0x10000);
    frame = (frame + 1) % kKnobFrames;
    benchmark::ClobberMemory();
  }
  PerPixel(state, kKnob * kKnob);
}
BENCHMARK(BM_BlitKnobFrame);

// A 12-character read-out through cached glyphs, plain and as the editor
// draws it (centred, no clip: a measuring pass and a drawing pass).
void BM_ReadoutGlyphRoute(benchmark::State& state) {
  const uint32_t format = static_cast<uint32_t>(state.range(0));
  RasterSysBitmap dst(kEditorW, kEditorH);
  Background(dst, 0xFF000000u);
  RasterCachedFont font;
  font.SetFontHandle(RasterCreateFont("Verdana", 12, false, false), kRasterFontOwnsHandle | kRasterFontNativeAllowed);
  font.SetFgColor(0xFFE0E0E0);
  const char* text = "Time 1250 ms";
  RasterRect r{100, 80, 180, 96};
  font.DrawString(&dst, text, -1, &r, format | kRasterDtNeverNative);  // warm the cache
  if (font.GetLineHeight() == 0) state.SkipWithError("no font");
  for (auto _ : state) {
    RasterRect rr = r;
    benchmark::DoNotOptimize(font.DrawString(&dst, text, -1, &rr, format | kRasterDtNeverNative));
    benchmark::ClobberMemory();
  }
  state.counters["per_string"] =
      benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadoutGlyphRoute)->ArgName("format")->Arg(0)->Arg(kRasterDtNoClip | kRasterDtCenter);

}  // namespace

BENCHMARK_MAIN();
