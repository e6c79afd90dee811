// Why a plug-in file would not load, in words: the loader's own messages are
// bare codes ("error 193") that say nothing to a user.
#pragma once

#include <string>

// What the file at path is, as far as loading it goes: a missing file, a
// Windows or Linux library built for another processor width or system than
// this host, or "" when nothing is visibly wrong with it.
std::string LoadFailureReason(const std::string& path);

// The loader's message with the Windows error codes qvhost users meet put
// into words ("LoadLibrary failed with error 126" and the like).
std::string ExplainLoaderError(const std::string& loaderError);
