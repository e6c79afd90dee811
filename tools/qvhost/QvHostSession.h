// Plug-in state for the qvhost subcommands: preset and bank files in and
// out, program selection and parameter values.
#pragma once

#include <string>

#include "tests/host/TestHost.h"
#include "tools/qvhost/QvHostOptions.h"

// Applies --load, --program and --param to an opened instance. A bank is
// loaded first and --program then picks one of its programs; a program file
// goes into the program --program selected; --param values come last. A
// program or parameter number the plug-in does not have is a usage mistake:
// then usageMistake (when given) becomes true.
bool ApplyStateOptions(TestHost& host, const HostOptions& options, std::string* error,
                       bool* usageMistake = nullptr);

// Reads a .fxp/.fxb file and hands it to the instance. The file's content,
// not its name, says whether it is a program or a bank.
bool LoadPresetFile(TestHost& host, const std::string& path, std::string* error);

// Writes the current program (.fxp) or every program (.fxb), chosen by the
// file name's extension.
bool SavePresetFile(TestHost& host, const std::string& path, std::string* error);
