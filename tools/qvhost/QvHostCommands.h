// The subcommands of qvhost. Each gets the entry point of the loaded plug-in,
// the plug-in's path and the arguments after it, and returns the exit code:
// 0 done, 1 failed (bad file, plug-in refused), 2 usage error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/host/TestHost.h"

int RunInfo(VstEntryProc entry, const char* path);
int RunRender(VstEntryProc entry, const std::string& pluginPath, const std::vector<std::string>& args);
int RunState(VstEntryProc entry, const std::string& pluginPath, const std::vector<std::string>& args);
// Opens the editor in a window of its own and writes what it shows to a PNG file.
int RunEditor(VstEntryProc entry, const std::string& pluginPath, const std::vector<std::string>& args);

// Prints the reason and the usage text to stderr; returns 2.
int UsageError(const std::string& reason);

// Finds the entry point of the plug-in at a path, or gives null and a reason.
// The command line loads the library; tests hand in an entry linked in-process.
using EntryResolver = std::function<VstEntryProc(const std::string& path, std::string* error)>;

// The whole command line after the program name.
int RunQvHost(const std::vector<std::string>& args, const EntryResolver& resolve);
