// qvhost drives VST 3 bundles through the VST 2.4 calls its commands already
// make: this adapter loads a bundle and gives an entry point whose instances
// translate those calls into the VST 3 interfaces.
#pragma once

#include <string>

#include "tests/host/TestHost.h"

// Whether the path names a VST 3 bundle or module (by its ".vst3" name).
bool IsVst3Path(const std::string& path);

// Loads the bundle once for the process; null and a reason when it cannot.
VstEntryProc LoadVst3Entry(const std::string& path, std::string* error);
