// The subcommands of qvhost, each given the plug-in's entry point.
#pragma once

#include "tests/host/TestHost.h"

int RunInfo(VstEntryProc entry, const char* path);
