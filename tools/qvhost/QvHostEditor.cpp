#include <cstdio>

#include "tools/qvhost/EditorCapture.h"
#include "tools/qvhost/PngFile.h"
#include "tools/qvhost/QvHostCommands.h"
#include "tools/qvhost/QvHostOptions.h"
#include "tools/qvhost/QvHostSession.h"
#include "vst/VendorEditorScale.h"

namespace {
int Error(const std::string& message) {
  std::fprintf(stderr, "qvhost: %s\n", message.c_str());
  return 1;
}
}  // namespace

int RunEditor(VstEntryProc entry, const std::string& pluginPath, const std::vector<std::string>& args) {
  HostOptions o;
  std::string error;
  if (!ParseHostOptions(args, OptionSet{{"program", "param", "scale"}}, &o, &error)) return UsageError(error);
  if (o.positional.size() != 1) return UsageError("editor takes one .png file");
  const std::string& file = o.positional[0];
  if (FileExtension(file) != ".png") return UsageError("editor writes a .png file");

  TestHost host;
  if (!host.Create(entry)) return Error(pluginPath + ": the entry point made no instance");
  host.Start(44100.0, 512);
  if (!ApplyStateOptions(host, o, &error)) return Error(error);
  if (!(host.Effect()->flags & effFlagsHasEditor)) return Error(pluginPath + ": the plug-in offers no editor here");
  // Given as a host gives its scale factor, before the size is asked.
  if (o.scale > 0.0 && host.Dispatch(effVendorSpecific, kVendorEditorScale, 0, nullptr, static_cast<float>(o.scale)) != 1)
    return Error(pluginPath + ": the editor does not take the size " + std::to_string(static_cast<int>(o.scale * 100)) + " %");
  ERect* rect = nullptr;
  if (host.Dispatch(effEditGetRect, 0, 0, &rect) == 0 || !rect) return Error(pluginPath + ": no editor size");
  const int width = rect->right - rect->left, height = rect->bottom - rect->top;
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096)
    return Error(pluginPath + ": the editor size " + std::to_string(width) + " x " + std::to_string(height) +
                 " is not usable");
  std::vector<uint32_t> pixels;
  if (!CaptureEditor(host, width, height, &pixels, &error)) return Error(error);
  if (!WritePngFile(file, width, height, pixels, &error)) return Error(error);
  std::printf("editor   %d x %d written to %s\n", width, height, file.c_str());
  return 0;
}
