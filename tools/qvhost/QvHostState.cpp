#include <cstdio>

#include "tools/qvhost/QvHostCommands.h"
#include "tools/qvhost/QvHostOptions.h"
#include "tools/qvhost/QvHostSession.h"

namespace {
int Error(const std::string& message) {
  std::fprintf(stderr, "qvhost: %s\n", message.c_str());
  return 1;
}

void PrintProgram(TestHost& host) {
  AEffect* e = host.Effect();
  std::printf("program  %d \"%s\"\n", static_cast<int>(host.Dispatch(effGetProgram)), host.ProgramName().c_str());
  for (int i = 0; i < e->numParams; ++i)
    std::printf("  %d  %-20s %-12s %.6f\n", i, host.ParamText(effGetParamName, i).c_str(),
                host.ParamText(effGetParamDisplay, i).c_str(), static_cast<double>(host.GetParameter(i)));
}
}  // namespace

int RunState(VstEntryProc entry, const std::string& pluginPath, const std::vector<std::string>& args) {
  if (args.empty() || (args[0] != "save" && args[0] != "load")) return UsageError("state takes 'save' or 'load'");
  const bool save = args[0] == "save";
  HostOptions o;
  std::string error;
  OptionSet allowed = save ? OptionSet{{"program", "param", "load"}} : OptionSet{{"program"}};
  if (!ParseHostOptions(std::vector<std::string>(args.begin() + 1, args.end()), allowed, &o, &error))
    return UsageError(error);
  if (o.positional.size() != 1) return UsageError(std::string("state ") + args[0] + " takes one .fxp or .fxb file");
  const std::string& file = o.positional[0];

  TestHost host;
  if (!host.Create(entry)) return Error(pluginPath + ": the entry point made no instance");
  host.Open();
  if (!save) o.load = file;
  bool usageMistake = false;
  if (!ApplyStateOptions(host, o, &error, &usageMistake)) return usageMistake ? UsageError(error) : Error(error);
  if (save) {
    if (!SavePresetFile(host, file, &error)) return Error(error);
    std::printf("saved    %s\n", file.c_str());
  } else {
    std::printf("loaded   %s\n", file.c_str());
  }
  PrintProgram(host);
  return 0;
}
