#include "update/VersionCheck.h"

#include <climits>
#include <exception>

#include "update/HttpGet.h"

// The maker's server and site, fixed at build time. They live under a domain
// reserved for documentation until the real one is chosen.
#define QV_UPDATE_HOST "www.quorvel.example"
#define QV_UPDATE_DOMAIN "quorvel.example"
#define QV_UPDATE_SITE "http://" QV_UPDATE_HOST "/"

const char kMakerDomain[] = QV_UPDATE_DOMAIN;
const char kMakerSite[] = QV_UPDATE_SITE;

namespace {
constexpr const char* kProductName = "Quorvel Brigade Delay";
constexpr int kOwnVersion = 2002;
constexpr char kOwnVersionText[] = "2.0.2";
constexpr const char* kObject = "music/version/?file=qvdelay";
constexpr unsigned short kPort = 80;
constexpr const char* kDownloadPage = QV_UPDATE_SITE "music/vst.html";
constexpr const char* kCaption = "Check Online for Update";
constexpr const char* kContactError = "An error occurred while contacting " QV_UPDATE_DOMAIN ".";
constexpr const char* kInvalidCall = "Invalid call to " QV_UPDATE_DOMAIN ".";
constexpr const char* kUpToDate = "Your version is up to date.";

// A hostile or broken server must not exhaust memory: a longer answer is an error.
constexpr size_t kMaxBody = 1024 * 1024;
// Connect and each wait for data; the window stays blocked meanwhile.
constexpr int kTimeoutMs = 5000;

// The number and its text are written twice; they must not drift apart.
constexpr int VersionFromText(const char* t) {
  return (t[0] - '0') * 1000 + (t[2] - '0') * 100 +
         (t[5] == '\0' ? t[4] - '0' : (t[4] - '0') * 10 + (t[5] - '0'));
}
static_assert(kOwnVersionText[1] == '.' && kOwnVersionText[3] == '.', "version text is M.m.p");
static_assert(VersionFromText(kOwnVersionText) == kOwnVersion, "version number and text disagree");

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Leading decimal integer as the C library reads one, but saturating where
// the library's conversion would overflow.
long long LeadingInteger(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value > INT_MAX ? value : value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

// The new version as shown: "M.m." and the rest of the answer, from the
// characters rather than the number, so 2010 reads 2.0.10. Characters that
// are not there contribute nothing.
std::string DisplayedVersion(const std::string& answer) {
  auto from = [&answer](size_t i) { return i < answer.size() ? answer.substr(i) : std::string(); };
  auto at = [&answer](size_t i) { return i < answer.size() ? answer.substr(i, 1) : std::string(); };
  std::string shown = at(0) + "." + at(1) + ".";
  shown += answer.size() > 2 && answer[2] == '0' ? from(3) : from(2);
  return shown;
}
}  // namespace

VersionEndpoint ProductVersionEndpoint() {
  VersionEndpoint endpoint;
  endpoint.host = QV_UPDATE_HOST;
  endpoint.port = kPort;
  endpoint.timeoutMs = kTimeoutMs;
  return endpoint;
}

int HandleVersionAnswer(IVersionCheckUi& ui, const std::string& body) {
  if (body.empty()) {
    ui.ShowMessageBox(kContactError, kCaption, kVersionBoxIconError);
    return kVersionCheckNoAnswer;
  }
  // Error pages come back as HTML; the test comes before the number's.
  if (body.find('<') != std::string::npos) {
    ui.ShowMessageBox(kInvalidCall, kCaption, kVersionBoxIconError);
    return kVersionCheckNotVersion;
  }
  if (LeadingInteger(body) <= kOwnVersion) {
    ui.ShowMessageBox(kUpToDate, kCaption, kVersionBoxIconInformation);
    return kVersionCheckDone;
  }
  std::string text;
  std::string caption;
  try {
    text = std::string("A new version of ") + kProductName + " is available.\n\n" +
           "\tYour version: \t" + kOwnVersionText + "\n" +
           "\tNew version: \t" + DisplayedVersion(body) + "\n" +
           "\nDo you want to go to " + QV_UPDATE_SITE + " to get the new version?";
    caption = std::string("New Version of ") + kProductName + " Detected";
  } catch (const std::exception&) {
    ui.ShowMessageBox(kContactError, kCaption, kVersionBoxIconError);
    return kVersionCheckError;
  }
  if (ui.ShowMessageBox(text.c_str(), caption.c_str(), kVersionBoxYesNo) != kVersionBoxIdNo)
    ui.OpenURL(kDownloadPage);
  return kVersionCheckDone;
}

int CheckOnlineVersion(IVersionCheckUi& ui) { return CheckOnlineVersion(ui, ProductVersionEndpoint()); }

int CheckOnlineVersion(IVersionCheckUi& ui, const VersionEndpoint& endpoint) {
  HttpGetRequest request;
  std::string body;
  HttpGetStatus status = HttpGetStatus::kFailed;
  try {
    request.host = endpoint.host;
    request.port = endpoint.port;
    request.object = kObject;
    request.agent = kProductName;
    request.maxBody = kMaxBody;
    request.timeoutMs = endpoint.timeoutMs;
    status = HttpGet(request, body);
  } catch (const std::exception&) {
    ui.ShowMessageBox(kContactError, kCaption, kVersionBoxIconError);
    return kVersionCheckError;
  }
  if (status == HttpGetStatus::kTooLarge) {
    ui.ShowMessageBox(kContactError, kCaption, kVersionBoxIconError);
    return kVersionCheckError;
  }
  // An answer cut off by a time-out or a broken connection may be any prefix
  // of the number ("20" of "2003"): judging it would report a failure as
  // "up to date", so it counts as no answer.
  if (status == HttpGetStatus::kFailed) body.clear();
  return HandleVersionAnswer(ui, body);
}
