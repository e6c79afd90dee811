// The memory PNG loader: anything that is not a complete, valid PNG gives
// null; a bitmap that comes back has a sane size and every pixel readable.
#include <cstdint>
#include <memory>

#include "fuzz/FuzzSupport.h"
#include "raster/RasterPng.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<RasterMemBitmap> bitmap(RasterLoadPngMemory(data, size));
  if (!bitmap) return 0;
  FUZZ_CHECK(bitmap->Width() > 0 && bitmap->Height() > 0);
  FUZZ_CHECK(bitmap->RowSpan() >= bitmap->Width());
  uint32_t sum = 0;
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x) sum += bitmap->Pixels()[static_cast<size_t>(y) * bitmap->RowSpan() + x];
  // Keeps the reads from being optimised away.
  if (sum == 0x12345678u) std::fprintf(stderr, " ");
  return 0;
}
