#include <cstdio>
#include <new>

#include "tools/qvhost/QvHostCommands.h"

namespace {
const char kUsage[] =
    "usage: qvhost COMMAND PLUGIN [ARGUMENTS]\n"
    "  info   PLUGIN\n"
    "         print the effect record, parameters, programs and capabilities\n"
    "  render PLUGIN IN.wav OUT.wav [--program N] [--param INDEX=NORMALISED ...]\n"
    "         [--tempo BPM] [--rate HZ] [--block FRAMES] [--double] [--tail SECONDS]\n"
    "         [--load IN.fxp|IN.fxb] [--save OUT.fxp|OUT.fxb]\n"
    "         process a 16/24/32-bit PCM or 32-bit float WAV file (mono or stereo)\n"
    "         into a stereo 32-bit float WAV file\n"
    "  state  PLUGIN save OUT.fxp|OUT.fxb [--program N] [--param INDEX=NORMALISED ...] [--load IN]\n"
    "  state  PLUGIN load IN.fxp|IN.fxb [--program N]\n"
    "         write or check a preset (.fxp) or bank (.fxb) file\n"
    "  editor PLUGIN OUT.png [--program N] [--param INDEX=NORMALISED ...] [--scale 1|1.5|2]\n"
    "         open the editor in a window of our own and write what it shows\n"
    "         (Linux: needs an X server; without DISPLAY, Xvfb is started for it)\n";

struct Command {
  const char* name;
  std::function<int(VstEntryProc, const std::string&, const std::vector<std::string>&)> run;
};

// New subcommands (an editor capture, for one) go into this table.
const Command kCommands[] = {
    {"info",
     [](VstEntryProc entry, const std::string& path, const std::vector<std::string>& rest) {
       if (!rest.empty()) return UsageError("info takes only the plug-in");
       return RunInfo(entry, path.c_str());
     }},
    {"render", RunRender},
    {"state", RunState},
    {"editor", RunEditor},
};
}  // namespace

int UsageError(const std::string& reason) {
  if (!reason.empty()) std::fprintf(stderr, "qvhost: %s\n", reason.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

int RunQvHost(const std::vector<std::string>& args, const EntryResolver& resolve) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (args.size() < 2) return UsageError("");
  for (const Command& command : kCommands) {
    if (args[0] != command.name) continue;
    std::string error;
    VstEntryProc entry = resolve(args[1], &error);
    if (!entry) {
      std::fprintf(stderr, "qvhost: %s\n", error.c_str());
      return 1;
    }
    try {
      return command.run(entry, args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    } catch (const std::bad_alloc&) {
      // Long inputs and tails at high rates can outgrow memory, above all in 32-bit processes.
      std::fprintf(stderr, "qvhost: out of memory (is the input or the tail too long?)\n");
      return 1;
    }
  }
  return UsageError("unknown command '" + args[0] + "'");
}
