// FreeType glyph rendering with fontconfig face lookup; there is no native
// text route here, so every string takes the glyph route.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "raster/RasterBlit.h"
#include "raster/RasterFontPlatform.h"
#include "raster/RasterSysBitmap.h"

namespace {

struct PosixFont {
  FT_Face face;
  int lineHeight;
  int ascent;
  bool mono;
  bool synthBold;
  bool synthItalic;
};

// Made on first use, freed only when the module's exit asks for it (after the
// fonts made with it): the font library outlives every cached font.
FT_Library gLibrary = nullptr;
bool gTried = false;

FT_Library Library() {
  if (!gTried) {
    gTried = true;
    if (FT_Init_FreeType(&gLibrary) != 0) gLibrary = nullptr;
  }
  return gLibrary;
}

// Faces the artwork was designed with, mapped to metric-compatible ones.
const char* MapFace(const char* face) {
  static const struct { const char* from; const char* to; } kMap[] = {
      {"Arial", "Liberation Sans"},          {"Helvetica", "Liberation Sans"},
      {"Times New Roman", "Liberation Serif"}, {"Courier New", "Liberation Mono"},
      {"Verdana", "DejaVu Sans"},            {"Tahoma", "DejaVu Sans"},
  };
  for (const auto& m : kMap)
    if (strcasecmp(face, m.from) == 0) return m.to;
  return face;
}

}  // namespace

RasterFontHandle RasterCreateFont(const char* face, int height, bool bold, bool italic, int orientationDegrees,
                                  int quality) {
  (void)orientationDegrees;  // no rotated native text here; vertical text uses the font flags
  FT_Library lib = Library();
  if (!lib || height < -4096 || height > 4096) return nullptr;
  if (height == 0) height = 16;
  const char* family = MapFace(face && *face ? face : "DejaVu Sans");

  FcPattern* pat = FcPatternCreate();
  if (!pat) return nullptr;
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pat, &res);
  FcPatternDestroy(pat);
  if (!match) return nullptr;
  FcChar8* file = nullptr;
  int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  FT_Face ftFace = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    if (FT_New_Face(lib, reinterpret_cast<const char*>(file), index, &ftFace) != 0) ftFace = nullptr;
  }
  FcPatternDestroy(match);
  if (!ftFace) return nullptr;
  if (!FT_IS_SCALABLE(ftFace) || ftFace->ascender - ftFace->descender <= 0) {
    FT_Done_Face(ftFace);
    return nullptr;
  }

  // A positive height is the cell (ascent + descent), a negative one the em
  // size, as platform fonts take it.
  const long cell = ftFace->ascender - ftFace->descender;
  FT_F26Dot6 em = height > 0 ? static_cast<FT_F26Dot6>(static_cast<long long>(height) * 64 * ftFace->units_per_EM / cell)
                             : static_cast<FT_F26Dot6>(-height) * 64;
  if (FT_Set_Char_Size(ftFace, 0, std::max<FT_F26Dot6>(em, 64), 72, 72) != 0) {
    FT_Done_Face(ftFace);
    return nullptr;
  }
  PosixFont* f = new PosixFont();
  f->face = ftFace;
  f->ascent = static_cast<int>((ftFace->size->metrics.ascender + 63) >> 6);
  const int descent = static_cast<int>((-ftFace->size->metrics.descender + 63) >> 6);
  f->lineHeight = height > 0 ? height : f->ascent + descent;
  f->mono = quality == 1;
  f->synthBold = bold && weight < FC_WEIGHT_DEMIBOLD;
  f->synthItalic = italic && slant == FC_SLANT_ROMAN;
  return f;
}

void RasterDeleteFont(RasterFontHandle handle) {
  PosixFont* f = static_cast<PosixFont*>(handle);
  if (!f) return;
  FT_Done_Face(f->face);
  delete f;
}

bool RasterPlatformIsWine() { return false; }

bool RasterPlatformHasNativeText() { return false; }

void RasterPlatformPrepareScratch(RasterSysBitmap*) {}

int RasterPlatformLineHeight(RasterFontHandle font, RasterSysBitmap*) {
  return font ? static_cast<PosixFont*>(font)->lineHeight : 0;
}

void RasterPlatformRenderChar(RasterFontHandle font, RasterSysBitmap* scratch, unsigned short code, int margin, int* w,
                              int* h) {
  *w = 0;
  *h = 0;
  PosixFont* f = static_cast<PosixFont*>(font);
  if (!f || !scratch || !scratch->Pixels()) return;
  FT_Face face = f->face;
  const FT_Int32 load = f->mono ? (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) : FT_LOAD_TARGET_NORMAL;
  if (FT_Load_Glyph(face, FT_Get_Char_Index(face, code), load) != 0) return;
  FT_GlyphSlot slot = face->glyph;
  if (f->synthBold) FT_GlyphSlot_Embolden(slot);
  if (f->synthItalic) FT_GlyphSlot_Oblique(slot);
  if (FT_Render_Glyph(slot, f->mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return;

  *w = static_cast<int>((slot->advance.x + 32) >> 6);
  *h = f->lineHeight;
  if (*w < 1) return;
  FillArea(scratch, 0, 0, *w + 2 * margin, *h, 0, 1.0f, 0);

  // White ink on the black ground, the pen at x = margin on the font's baseline.
  const FT_Bitmap& b = slot->bitmap;
  const int ox = margin + slot->bitmap_left, oy = f->ascent - slot->bitmap_top;
  const int sw = scratch->Width(), sh = std::min(scratch->Height(), *h);
  uint32_t* px = scratch->Pixels();
  const long span = scratch->RowSpan();
  for (unsigned r = 0; r < b.rows; ++r) {
    const int y = oy + static_cast<int>(r);
    if (y < 0 || y >= sh) continue;
    const unsigned char* src = b.buffer + static_cast<long>(r) * b.pitch;
    for (unsigned c = 0; c < b.width; ++c) {
      const int x = ox + static_cast<int>(c);
      if (x < 0 || x >= sw) continue;
      unsigned v = b.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[c >> 3] >> (7 - (c & 7))) & 1) * 255u : src[c];
      px[y * span + x] = 0xFF000000u | (v << 16) | (v << 8) | v;
    }
  }
}

int RasterPlatformDrawText(const RasterNativeStyle&, RasterBitmap*, const char*, int, RasterRect*, uint32_t,
                           RasterSysBitmap**) {
  return 0;
}

void RasterReleaseFontLibrary() {
  if (gLibrary) FT_Done_FreeType(gLibrary);
  gLibrary = nullptr;
  gTried = false;
}
