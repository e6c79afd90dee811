// qvhost: a command-line host of our own for VST 2.4 libraries and VST 3 bundles.
#include "tests/host/DynamicLibrary.h"
#include "tools/qvhost/LoadFailure.h"
#include "tools/qvhost/QvHostCommands.h"
#include "tools/qvhost/Vst3Adapter.h"

int main(int argc, char** argv) {
  DynamicLibrary library;  // stays loaded until the command is done
  auto resolve = [&library](const std::string& path, std::string* error) -> VstEntryProc {
    if (IsVst3Path(path)) return LoadVst3Entry(path, error);
    if (!library.Open(path)) {
      // The loader's reason is often a bare code: say in words what is wrong
      // with the file where we can tell, and keep the loader's text after it.
      const std::string reason = LoadFailureReason(path);
      *error = "cannot load " + path + ": " +
               (reason.empty() ? ExplainLoaderError(library.Error()) : reason + " (" + library.Error() + ")");
      return nullptr;
    }
    VstEntryProc entry = reinterpret_cast<VstEntryProc>(library.Symbol("VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<VstEntryProc>(library.Symbol("main"));
    if (!entry) *error = path + " exports no VST entry point";
    return entry;
  };
  return RunQvHost(std::vector<std::string>(argv + 1, argv + argc), resolve);
}
