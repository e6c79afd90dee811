#include "tests/resources/ImageModule.h"

#include "resources/EmbeddedImages.h"

void* ImageModule() {
  InstallEmbeddedImages();
  return nullptr;
}
