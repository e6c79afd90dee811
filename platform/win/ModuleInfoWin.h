// The Windows rule for the module folder, apart from the module lookup so that
// it can be checked on any path.
#pragma once

#include <string>

// Everything up to and including the last backslash, when the path has one
// that is not its last character; otherwise empty, so that files meant for the
// module folder are looked up relative to the current directory.
std::string ModuleFolderOf(const std::string& modulePath);
