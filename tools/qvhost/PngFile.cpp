#include "tools/qvhost/PngFile.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace {
// libpng reports errors by longjmp; nothing with a destructor lives between
// setjmp and the calls that may jump.
bool Write(FILE* f, int width, int height, const std::vector<uint8_t>& rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, const_cast<png_bytep>(rows.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}
}  // namespace

bool WritePngFile(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels,
                  std::string* error) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    *error = "no picture to write";
    return false;
  }
  std::vector<uint8_t> rows(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    rows[i * 3] = static_cast<uint8_t>(pixels[i] >> 16);
    rows[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    rows[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = path + ": cannot be written";
    return false;
  }
  const bool ok = Write(f, width, height, rows);
  if (std::fclose(f) != 0 || !ok) {
    std::remove(path.c_str());
    *error = path + ": writing the PNG failed";
    return false;
  }
  return true;
}
