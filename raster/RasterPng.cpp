#include "raster/RasterPng.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct MemSource {
  const unsigned char* data;
  size_t remaining;
};

// Reads past the end deliver zeros, which libpng's own checks then reject.
void ReadMem(png_structp png, png_bytep out, png_size_t count) {
  MemSource* src = static_cast<MemSource*>(png_get_io_ptr(png));
  std::memset(out, 0, count);
  size_t n = count < src->remaining ? count : src->remaining;
  if (n) std::memcpy(out, src->data, n);
  src->data += n;
  src->remaining -= n;
}

// Failures are silent: the caller decides what a missing image means.
void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// State that must survive a longjmp out of libpng.
struct Decode {
  png_structp png = nullptr;
  png_infop info = nullptr;
  RasterBitmap* volatile bitmap = nullptr;
  volatile bool created = false;
  png_bytep* volatile rows = nullptr;
};

void Cleanup(Decode& d, bool failed) {
  png_destroy_read_struct(&d.png, d.info ? &d.info : nullptr, nullptr);
  std::free(d.rows);
  d.rows = nullptr;
  if (failed && d.created) delete d.bitmap;
  if (failed) d.bitmap = nullptr;
}

// Runs the decode once libpng's input is set up; kept apart so setjmp has
// nothing but the Decode record to restore.
bool Run(Decode& d, RasterBitmap* reuse) {
  if (setjmp(png_jmpbuf(d.png))) return false;

  png_read_info(d.png, d.info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0;
  png_get_IHDR(d.png, d.info, &width, &height, &depth, &colorType, nullptr, nullptr, nullptr);

  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(d.png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(d.png);
  if (png_get_valid(d.png, d.info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(d.png);
    colorType |= PNG_COLOR_MASK_ALPHA;
  }
  if (depth == 16) png_set_strip_16(d.png);
  if (depth < 8) png_set_packing(d.png);
  if ((colorType & ~PNG_COLOR_MASK_ALPHA) == PNG_COLOR_TYPE_GRAY) png_set_gray_to_rgb(d.png);
  if (colorType & PNG_COLOR_MASK_ALPHA)
    png_set_swap_alpha(d.png);
  else
    png_set_filler(d.png, 255, PNG_FILLER_BEFORE);
  png_set_interlace_handling(d.png);
  png_read_update_info(d.png, d.info);
  // Every row must now be 4 bytes a pixel, or the row table would overrun.
  if (png_get_rowbytes(d.png, d.info) != static_cast<png_size_t>(width) * 4) return false;
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;

  const int w = static_cast<int>(width), h = static_cast<int>(height);
  if (reuse) {
    d.bitmap = reuse;
    reuse->Resize(w, h);
  } else {
    d.bitmap = new RasterMemBitmap(w, h);
    d.created = true;
  }
  RasterBitmap* bmp = d.bitmap;
  if (bmp->Width() != w || bmp->Height() != h || !bmp->Pixels()) return false;

  d.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * static_cast<size_t>(h)));
  if (!d.rows) return false;
  uint32_t* px = bmp->Pixels();
  const long span = bmp->RowSpan();
  for (int i = 0; i < h; ++i) {
    long row = bmp->IsBottomUp() ? h - 1 - i : i;
    d.rows[i] = reinterpret_cast<png_bytep>(px + row * span);
  }
  png_read_image(d.png, d.rows);
  // Read on to the end chunk so that a stream cut short anywhere is refused.
  png_read_end(d.png, nullptr);

  for (int i = 0; i < h; ++i) {
    unsigned char* b = d.rows[i];
    uint32_t* out = reinterpret_cast<uint32_t*>(b);
    for (int x = 0; x < w; ++x, b += 4)
      out[x] = (uint32_t(b[0]) << 24) | (uint32_t(b[1]) << 16) | (uint32_t(b[2]) << 8) | uint32_t(b[3]);
  }
  return true;
}

bool Begin(Decode& d) {
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (!d.png) return false;
  d.info = png_create_info_struct(d.png);
  return d.info != nullptr;
}

}  // namespace

RasterMemBitmap* RasterLoadPngMemory(const void* data, size_t length) {
  static const unsigned char kSig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (!data || length < 8 || std::memcmp(data, kSig, 8) != 0) return nullptr;
  Decode d;
  MemSource src{static_cast<const unsigned char*>(data), length};
  if (!Begin(d)) {
    Cleanup(d, true);
    return nullptr;
  }
  png_set_read_fn(d.png, &src, ReadMem);
  bool ok = Run(d, nullptr);
  Cleanup(d, !ok);
  return static_cast<RasterMemBitmap*>(d.bitmap);
}

RasterBitmap* RasterLoadPngFile(const char* utf8Path, RasterBitmap* reuse) {
  if (!utf8Path) return nullptr;
  FILE* f = static_cast<FILE*>(RasterOpenFileUtf8(utf8Path));
  if (!f) return nullptr;
  Decode d;
  bool ok = Begin(d);
  if (ok) {
    png_init_io(d.png, f);
    ok = Run(d, reuse);
  }
  Cleanup(d, !ok);
  std::fclose(f);
  return d.bitmap;
}

RasterBitmap* RasterLoadPngFileChecked(const char* utf8Path, RasterBitmap* reuse) {
  if (!utf8Path) return nullptr;
  const char* dot = std::strrchr(utf8Path, '.');
  if (!dot || std::strchr(dot, '/') || std::strchr(dot, '\\')) return nullptr;
  static const char kExt[] = ".png";
  for (int i = 0; i < 5; ++i) {
    char c = dot[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExt[i]) return nullptr;
  }
  return RasterLoadPngFile(utf8Path, reuse);
}

namespace {
const RasterImageLoader kLoaders[] = {{"PNG files (*.PNG)", "*.PNG", RasterLoadPngFileChecked}};
}

int RasterImageLoaderCount() { return static_cast<int>(sizeof(kLoaders) / sizeof(kLoaders[0])); }

const RasterImageLoader* RasterImageLoaderAt(int index) {
  return index >= 0 && index < RasterImageLoaderCount() ? &kLoaders[index] : nullptr;
}
