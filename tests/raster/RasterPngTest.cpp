#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "raster/RasterPng.h"
#include "raster/RasterSysBitmap.h"
#include "tests/raster/RasterTestUtil.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct Kind {
  int colorType;
  int depth;
  bool interlace;
  bool trns;
};

constexpr int kW = 13, kH = 7;

int Channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;  // palette index
  }
}

// Sample c of pixel (x, y) at the image's bit depth.
unsigned Sample(const Kind& s, int x, int y, int c) {
  unsigned v = static_cast<unsigned>(x * 7 + y * 13 + c * 5 + (c == 1 ? x * y : 0));
  if (s.depth == 16) return ((v * 37) & 0xFF) << 8 | ((v * 11 + 3) & 0xFF);
  return v % (1u << s.depth);
}

unsigned PaletteEntries(const Kind& s) { return 1u << s.depth; }
png_color PaletteColor(unsigned i) {
  return png_color{static_cast<png_byte>(i * 9 + 1), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 3)};
}
png_byte PaletteAlpha(unsigned i) { return static_cast<png_byte>(i * 17 + 5); }
// Only the first entries carry a transparency value; the rest stay opaque.
int TransCount(const Kind& s) { return static_cast<int>(PaletteEntries(s) > 4 ? PaletteEntries(s) - 3 : PaletteEntries(s)); }

void Write(png_structp png, png_bytep data, png_size_t n) {
  Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void Flush(png_structp) {}

Bytes MakePng(const Kind& s) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "writer failed";
    return Bytes();
  }
  png_set_write_fn(png, &out, Write, Flush);
  png_set_IHDR(png, info, kW, kH, s.depth, s.colorType, s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  std::vector<png_byte> alpha;
  if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
    for (unsigned i = 0; i < PaletteEntries(s); ++i) palette.push_back(PaletteColor(i));
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (s.trns) {
      for (int i = 0; i < TransCount(s); ++i) alpha.push_back(PaletteAlpha(static_cast<unsigned>(i)));
      png_set_tRNS(png, info, alpha.data(), TransCount(s), nullptr);
    }
  } else if (s.trns) {
    png_color_16 key = {};
    key.gray = static_cast<png_uint_16>(Sample(s, 1, 0, 0));
    key.red = static_cast<png_uint_16>(Sample(s, 1, 0, 0));
    key.green = static_cast<png_uint_16>(Sample(s, 1, 0, 1));
    key.blue = static_cast<png_uint_16>(Sample(s, 1, 0, 2));
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);

  const int ch = Channels(s.colorType);
  const size_t rowBytes = (static_cast<size_t>(kW) * ch * s.depth + 7) / 8;
  std::vector<Bytes> rows(kH, Bytes(rowBytes, 0));
  std::vector<png_bytep> ptrs;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x)
      for (int c = 0; c < ch; ++c) {
        unsigned v = Sample(s, x, y, c);
        size_t bit = (static_cast<size_t>(x) * ch + c) * s.depth;
        if (s.depth == 16) {
          rows[y][bit / 8] = static_cast<unsigned char>(v >> 8);
          rows[y][bit / 8 + 1] = static_cast<unsigned char>(v);
        } else if (s.depth == 8) {
          rows[y][bit / 8] = static_cast<unsigned char>(v);
        } else {
          rows[y][bit / 8] |= static_cast<unsigned char>(v << (8 - s.depth - bit % 8));
        }
      }
    ptrs.push_back(rows[y].data());
  }
  png_write_image(png, ptrs.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

unsigned To8(const Kind& s, unsigned v) {
  if (s.depth == 16) return v >> 8;
  return v * 255 / ((1u << s.depth) - 1);
}

uint32_t Expected(const Kind& s, int x, int y) {
  if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
    unsigned i = Sample(s, x, y, 0);
    png_color c = PaletteColor(i);
    unsigned a = s.trns && static_cast<int>(i) < TransCount(s) ? PaletteAlpha(i) : 255;
    return (a << 24) | (unsigned(c.red) << 16) | (unsigned(c.green) << 8) | c.blue;
  }
  unsigned r, g, b, a = 255;
  bool keyed = true;
  if (s.colorType & PNG_COLOR_MASK_COLOR) {
    for (int c = 0; c < 3; ++c) keyed = keyed && Sample(s, x, y, c) == Sample(s, 1, 0, c);
    r = To8(s, Sample(s, x, y, 0));
    g = To8(s, Sample(s, x, y, 1));
    b = To8(s, Sample(s, x, y, 2));
    if (s.colorType & PNG_COLOR_MASK_ALPHA) a = To8(s, Sample(s, x, y, 3));
  } else {
    keyed = Sample(s, x, y, 0) == Sample(s, 1, 0, 0);
    r = g = b = To8(s, Sample(s, x, y, 0));
    if (s.colorType & PNG_COLOR_MASK_ALPHA) a = To8(s, Sample(s, x, y, 1));
  }
  if (s.trns && keyed) a = 0;
  return (a << 24) | (r << 16) | (g << 8) | b;
}

std::vector<Kind> AllKinds() {
  std::vector<Kind> all;
  const struct { int type; std::vector<int> depths; bool trns; } kinds[] = {
      {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}, true},   {PNG_COLOR_TYPE_RGB, {8, 16}, true},
      {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}, true},    {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}, false},
      {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}, false},
  };
  for (const auto& k : kinds)
    for (int d : k.depths)
      for (bool il : {false, true})
        for (bool t : {false, true})
          if (!t || k.trns) all.push_back(Kind{k.type, d, il, t});
  return all;
}

void ExpectImage(RasterBitmap* b, const Kind& s) {
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->Width(), kW);
  ASSERT_EQ(b->Height(), kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      ASSERT_EQ(At(*b, x, y), Expected(s, x, y))
          << "type " << s.colorType << " depth " << s.depth << " interlace " << s.interlace << " tRNS " << s.trns
          << " at " << x << "," << y;
}

// A chunk with a correct CRC, for hand-made headers.
void Chunk(Bytes& out, const char* type, const Bytes& data) {
  const uint32_t n = static_cast<uint32_t>(data.size());
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<unsigned char>(n >> (8 * i)));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  uint32_t crc = static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<unsigned char>(crc >> (8 * i)));
}

Bytes HeaderOnly(uint32_t w, uint32_t h) {
  Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  for (uint32_t v : {w, h})
    for (int i = 3; i >= 0; --i) ihdr.push_back(static_cast<unsigned char>(v >> (8 * i)));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  Chunk(out, "IDAT", Bytes{0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
  Chunk(out, "IEND", Bytes());
  return out;
}

std::unique_ptr<RasterBitmap> Load(const Bytes& b) {
  return std::unique_ptr<RasterBitmap>(RasterLoadPngMemory(b.data(), b.size()));
}

}  // namespace

TEST(RasterPngTest, EveryColourTypeDepthInterlaceAndTransparency) {
  const std::vector<Kind> kinds = AllKinds();
  EXPECT_EQ(kinds.size(), 52u);
  for (const Kind& s : kinds) {
    Bytes png = MakePng(s);
    auto b = Load(png);
    ExpectImage(b.get(), s);
    if (b) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(b->Pixels()) % 64, 0u);
    }
  }
}

TEST(RasterPngTest, SinglePixelValues) {
  // RGBA 0x10 0x20 0x30 0x80 becomes 0x80102030, not premultiplied.
  Kind s{PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false};
  Bytes png;
  {
    png_structp w = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(w);
    ASSERT_EQ(setjmp(png_jmpbuf(w)), 0);
    png_set_write_fn(w, &png, Write, Flush);
    png_set_IHDR(w, info, 1, 1, 8, s.colorType, PNG_INTERLACE_NONE, 0, 0);
    png_write_info(w, info);
    png_byte row[4] = {0x10, 0x20, 0x30, 0x80};
    png_write_row(w, row);
    png_write_end(w, info);
    png_destroy_write_struct(&w, &info);
  }
  auto b = Load(png);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->RowSpan(), 4);
  EXPECT_EQ(b->Pixels()[0], 0x80102030u);
}

TEST(RasterPngTest, CorruptInputGivesNothing) {
  const Bytes good = MakePng(Kind{PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false});
  ASSERT_NE(Load(good), nullptr);
  for (size_t n = 0; n < good.size(); ++n)
    ASSERT_EQ(RasterLoadPngMemory(good.data(), n), nullptr) << "truncated at " << n;
  EXPECT_EQ(RasterLoadPngMemory(nullptr, 100), nullptr);

  Bytes badSig = good;
  badSig[1] = 'Q';
  EXPECT_EQ(Load(badSig), nullptr);

  // Flip one byte inside each chunk's data or CRC: IHDR, the first IDAT, IEND.
  const size_t ihdrCrc = 8 + 8 + 13, idatData = 8 + 25 + 8, iendCrc = good.size() - 1;
  for (size_t at : {ihdrCrc, ihdrCrc + 3, idatData + 2, iendCrc}) {
    Bytes bad = good;
    bad[at] ^= 0x5A;
    EXPECT_EQ(Load(bad), nullptr) << "byte " << at;
  }
}

TEST(RasterPngTest, AbsurdDimensionsGiveNothing) {
  // A sound stream shape, with sizes that are zero, beyond libpng's limits,
  // or whose byte count overflows 32 bits.
  const uint32_t sizes[][2] = {{0, 5}, {5, 0}, {0x7FFFFFFF, 1}, {0x80000000u, 0x80000000u},
                               {1000000, 1000000}, {65536, 65536}, {40000, 20000}};
  for (const auto& s : sizes) EXPECT_EQ(Load(HeaderOnly(s[0], s[1])), nullptr) << s[0] << "x" << s[1];
  // The same shape at a sane size is refused only for its missing pixel data.
  EXPECT_EQ(Load(HeaderOnly(2, 2)), nullptr);
}

TEST(RasterPngTest, FileLoaderReusesBitmapsAndChecksTheExtension) {
  const Kind s{PNG_COLOR_TYPE_PALETTE, 4, true, true};
  const Bytes png = MakePng(s);
  const std::string path = "raster_test_\xC3\xBC.png", upper = "raster_test_file.PNG", other = "raster_test_file.pngx";
  for (const std::string& p : {path, upper, other}) {
    FILE* f = std::fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(png.data(), 1, png.size(), f);
    std::fclose(f);
  }
  std::unique_ptr<RasterBitmap> fresh(RasterLoadPngFile(path.c_str()));
  ExpectImage(fresh.get(), s);

  RasterSysBitmap sys(200, 100);
  EXPECT_EQ(RasterLoadPngFile(path.c_str(), &sys), &sys);
  ExpectImage(&sys, s);
  EXPECT_EQ(sys.RowSpan(), 200);  // the larger section is kept
  BottomUpBitmap up(1, 1);
  EXPECT_EQ(RasterLoadPngFileChecked(upper.c_str(), &up), &up);
  ExpectImage(&up, s);

  EXPECT_EQ(RasterLoadPngFileChecked(other.c_str()), nullptr);
  EXPECT_EQ(RasterLoadPngFileChecked("dir.png/file"), nullptr);
  EXPECT_EQ(RasterLoadPngFileChecked("dir.png\\file"), nullptr);
  EXPECT_EQ(RasterLoadPngFileChecked("noextension"), nullptr);
  EXPECT_EQ(RasterLoadPngFile("raster_test_missing.png"), nullptr);
  EXPECT_EQ(RasterLoadPngFile(nullptr), nullptr);
  std::unique_ptr<RasterBitmap> anyName(RasterLoadPngFile(other.c_str()));  // the plain loader ignores names
  EXPECT_NE(anyName, nullptr);

  // A broken file leaves a passed bitmap to its owner and returns nothing.
  FILE* f = std::fopen(other.c_str(), "wb");
  std::fwrite(png.data(), 1, png.size() / 2, f);
  std::fclose(f);
  RasterMemBitmap keep(3, 3);
  EXPECT_EQ(RasterLoadPngFile(other.c_str(), &keep), nullptr);
  for (const std::string& p : {path, upper, other}) std::remove(p.c_str());

  ASSERT_EQ(RasterImageLoaderCount(), 1);
  EXPECT_STREQ(RasterImageLoaderAt(0)->pattern, "*.PNG");
  EXPECT_EQ(RasterImageLoaderAt(1), nullptr);
}

#ifndef _WIN32
namespace {
Bytes gResource;
bool Lookup(void* module, int id, const void** data, size_t* length) {
  if (module != &gResource || id != 3) return false;
  *data = gResource.data();
  *length = gResource.size();
  return true;
}
}  // namespace

TEST(RasterPngTest, ResourcesThroughTheInstalledLookup) {
  const Kind s{PNG_COLOR_TYPE_RGB, 8, false, false};
  gResource = MakePng(s);
  EXPECT_EQ(RasterLoadPngResource(&gResource, 3), nullptr);  // nothing installed yet
  EXPECT_EQ(RasterSetPngResourceLookup(Lookup), nullptr);
  std::unique_ptr<RasterBitmap> b(RasterLoadPngResource(&gResource, 3));
  ExpectImage(b.get(), s);
  EXPECT_EQ(RasterLoadPngResource(&gResource, 4), nullptr);
  gResource.resize(7);
  EXPECT_EQ(RasterLoadPngResource(&gResource, 3), nullptr);
  EXPECT_EQ(RasterSetPngResourceLookup(nullptr), Lookup);
}
#else
#include <windows.h>

// Resources of type "PNG" put into a copy of this program, loaded as data.
TEST(RasterPngTest, ResourcesOfTypePng) {
  const Kind s{PNG_COLOR_TYPE_RGB_ALPHA, 8, true, false};
  Bytes png = MakePng(s);
  char self[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  const char* copy = "raster_test_resources.exe";
  ASSERT_TRUE(CopyFileA(self, copy, FALSE));
  HANDLE update = BeginUpdateResourceA(copy, FALSE);
  ASSERT_NE(update, nullptr);
  char tiny[7] = {'\x89', 'P', 'N', 'G', 13, 10, 26};
  EXPECT_TRUE(UpdateResourceA(update, "PNG", MAKEINTRESOURCEA(103), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), png.data(),
                              static_cast<DWORD>(png.size())));
  EXPECT_TRUE(UpdateResourceA(update, "PNG", MAKEINTRESOURCEA(104), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), tiny,
                              sizeof(tiny)));
  ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
  HMODULE mod = LoadLibraryExA(copy, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(mod, nullptr);
  std::unique_ptr<RasterBitmap> b(RasterLoadPngResource(mod, 103));
  ExpectImage(b.get(), s);
  EXPECT_EQ(RasterLoadPngResource(mod, 104), nullptr);  // 7 bytes: too short
  // Ids clear of the editor's images 1-5, which the combined x86 test program carries.
  EXPECT_EQ(RasterLoadPngResource(mod, 105), nullptr);
  FreeLibrary(mod);
  DeleteFileA(copy);
  EXPECT_EQ(RasterLoadPngResource(GetModuleHandleA(nullptr), 101), nullptr);
}
#endif
