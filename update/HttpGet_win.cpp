#include <windows.h>
#include <wininet.h>

#include <chrono>

#include "update/HttpGet.h"

namespace {
// Handles are closed in reverse order of opening, whether or not they opened.
struct InternetHandles {
  HINTERNET internet = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
  ~InternetHandles() {
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(internet);
  }
};

void SetTimeout(HINTERNET handle, DWORD option, int ms) {
  DWORD value = static_cast<DWORD>(ms);
  InternetSetOptionA(handle, option, &value, sizeof(value));
}
}  // namespace

HttpGetStatus HttpGet(const HttpGetRequest& request, std::string& body) {
  body.clear();
  InternetHandles h;
  h.internet = InternetOpenA(request.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!h.internet) return HttpGetStatus::kFailed;
  if (request.timeoutMs > 0) {
    SetTimeout(h.internet, INTERNET_OPTION_CONNECT_TIMEOUT, request.timeoutMs);
    SetTimeout(h.internet, INTERNET_OPTION_SEND_TIMEOUT, request.timeoutMs);
    SetTimeout(h.internet, INTERNET_OPTION_RECEIVE_TIMEOUT, request.timeoutMs);
  }
  h.connection = InternetConnectA(h.internet, request.host.c_str(), request.port, nullptr, nullptr,
                                  INTERNET_SERVICE_HTTP, 0, 0);
  if (!h.connection) return HttpGetStatus::kFailed;
  const char* accept[] = {"*/*", nullptr};
  h.request = HttpOpenRequestA(h.connection, "GET", request.object.c_str(), nullptr, nullptr,
                               accept, 0, 0);
  if (!h.request) return HttpGetStatus::kFailed;
  if (!HttpSendRequestA(h.request, nullptr, 0, nullptr, 0)) return HttpGetStatus::kFailed;

  char buffer[1024];
  DWORD got = 1;
  BOOL ok = TRUE;
  while (ok && got != 0) {
    got = 0;
    ok = InternetReadFile(h.request, buffer, sizeof(buffer), &got);
    body.append(buffer, got);
    if (body.size() > request.maxBody) return HttpGetStatus::kTooLarge;
  }
  return ok ? HttpGetStatus::kComplete : HttpGetStatus::kFailed;
}
