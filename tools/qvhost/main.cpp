// qvhost: a command-line VST 2.4 host of our own.
#include "tests/host/DynamicLibrary.h"
#include "tools/qvhost/QvHostCommands.h"

int main(int argc, char** argv) {
  DynamicLibrary library;  // stays loaded until the command is done
  auto resolve = [&library](const std::string& path, std::string* error) -> VstEntryProc {
    if (!library.Open(path)) {
      *error = "cannot load " + path + ": " + library.Error();
      return nullptr;
    }
    VstEntryProc entry = reinterpret_cast<VstEntryProc>(library.Symbol("VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<VstEntryProc>(library.Symbol("main"));
    if (!entry) *error = path + " exports no VST entry point";
    return entry;
  };
  return RunQvHost(std::vector<std::string>(argv + 1, argv + argc), resolve);
}
