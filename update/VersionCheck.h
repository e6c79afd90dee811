// The online version check: asks the maker's web server for the newest
// version number and tells the user through the editor's message boxes.
#pragma once

#include <string>

#include "update/IVersionCheckUi.h"

// Result codes of the check.
enum : int {
  kVersionCheckDone = 0,         // a version number arrived and was reported
  kVersionCheckNoAnswer = -1,    // nothing was read
  kVersionCheckError = -2,       // the answer could not be handled (too large, no memory)
  kVersionCheckNotVersion = -3,  // the answer is a page, not a number
};

// Where the question goes. The product always uses the built-in endpoint;
// nothing from the user's environment can redirect it.
struct VersionEndpoint {
  std::string host;
  unsigned short port = 80;
  int timeoutMs = 5000;  // connect and each wait for data
};

// The maker's web domain as the user reads it, and the address of its site.
extern const char kMakerDomain[];
extern const char kMakerSite[];

// The built-in endpoint: the maker's server on port 80.
VersionEndpoint ProductVersionEndpoint();

// The check as the editor's menu runs it: blocks until the exchange ends and
// the user has answered the message box.
int CheckOnlineVersion(IVersionCheckUi& ui);

// The same against another endpoint; for tests, which run a local server.
int CheckOnlineVersion(IVersionCheckUi& ui, const VersionEndpoint& endpoint);

// Everything after the exchange: judges the answer body and talks to the user.
// Kept apart so that it can be fed arbitrary bodies.
int HandleVersionAnswer(IVersionCheckUi& ui, const std::string& body);
