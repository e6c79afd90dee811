// qvhost: a command-line VST 2.4 host of our own.
#include <cstdio>
#include <cstring>

#include "tests/host/DynamicLibrary.h"
#include "tools/qvhost/QvHostCommands.h"

namespace {
int Usage() {
  std::fprintf(stderr,
               "usage: qvhost info PLUGIN\n"
               "  info   print the effect record, parameters, programs and capabilities\n");
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const char* command = argv[1];
  const char* path = argv[2];
  DynamicLibrary library;
  if (!library.Open(path)) {
    std::fprintf(stderr, "qvhost: cannot load %s: %s\n", path, library.Error().c_str());
    return 1;
  }
  VstEntryProc entry = reinterpret_cast<VstEntryProc>(library.Symbol("VSTPluginMain"));
  if (!entry) entry = reinterpret_cast<VstEntryProc>(library.Symbol("main"));
  if (!entry) {
    std::fprintf(stderr, "qvhost: %s exports no VST entry point\n", path);
    return 1;
  }
  if (!std::strcmp(command, "info")) return RunInfo(entry, path);
  return Usage();
}
