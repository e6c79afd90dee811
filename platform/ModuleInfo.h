// The plug-in library's own module: recorded when the library is attached
// to the process, used to find resources and the folder of the library.
#pragma once

#include <string>

// The module handle (HINSTANCE on Windows, the load address elsewhere).
void* ModuleHandle();

// Full path of the module file; empty when it cannot be found.
std::string ModulePath();

// Folder of the module file, ending in the platform's separator.
std::string ModuleFolder();
