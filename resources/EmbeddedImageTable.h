// The table that the build generates from resources/img (not for the Windows
// build, where the images are module resources).
#pragma once

#include <cstddef>

struct EmbeddedImageBytes {
  int id;
  const unsigned char* data;
  size_t length;
};

extern const EmbeddedImageBytes kEmbeddedImageTable[];
extern const int kEmbeddedImageCount;
