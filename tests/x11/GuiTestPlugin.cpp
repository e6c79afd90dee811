// The test plug-in as a library of its own, for the command-line host's
// editor capture: loaded with dlopen like any plug-in.
#include "raster/RasterPng.h"
#include "tests/x11/GuiTestPlug.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
  static const bool images = (RasterSetPngResourceLookup(x11gui::TestImages), true);
  (void)images;
  return (new x11gui::GuiPlug(host))->Effect();
}
