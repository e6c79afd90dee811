// The built plug-in DLL carries every editor image as a "PNG" resource.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "raster/RasterPng.h"
#include "tests/resources/ExpectedImages.h"

TEST(PluginImages, TheDllCarriesEveryImage) {
  std::string path = QV_PLUGIN_FILE;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;  // a Unix path under Wine
  HMODULE dll = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(dll, nullptr) << path << ": error " << GetLastError();
  for (const ExpectedImage& e : kExpectedImages) {
    std::unique_ptr<RasterMemBitmap> bmp(RasterLoadPngResource(dll, e.id));
    ASSERT_NE(bmp, nullptr) << "image " << e.id;
    EXPECT_EQ(bmp->Width(), e.width) << "image " << e.id;
    EXPECT_EQ(bmp->Height(), e.height) << "image " << e.id;
  }
  for (int id : {6, 16, 26}) EXPECT_EQ(RasterLoadPngResource(dll, id), nullptr) << "id " << id;
  FreeLibrary(dll);
}
