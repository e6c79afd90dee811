// The editor's images as resources of type "PNG": 1-5 (background, knob,
// switch, button, range selector) at 100 %, 11-15 at 150 %, 21-25 at 200 %.
#pragma once

#include <cstddef>

// Resource lookup in the shape RasterSetPngResourceLookup expects: true, with
// the PNG bytes, when module has image id. On Windows it reads the module's
// own resources (null: the program); elsewhere the images are built in and
// the module is not consulted.
bool EmbeddedImage(void* module, int id, const void** data, size_t* length);

// Makes RasterLoadPngResource find the built-in images where the platform has
// no resources of its own. Windows needs nothing: the images are resources of
// the module that links this library.
void InstallEmbeddedImages();
