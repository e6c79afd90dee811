// Writes 8-bit RGB PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// pixels: width x height values 0x00RRGGBB, row by row from the top.
bool WritePngFile(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels,
                  std::string* error);
