#include <windows.h>
#include <wininet.h>

#include <algorithm>
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

// The platform's defaults may wait for ever on a server that accepts and
// never answers (Wine's receive time-out is infinite). Wine does not pass the
// Internet handle's time-outs on to requests, so the request gets them too.
void SetTimeouts(HINTERNET handle, int ms) {
  DWORD value = static_cast<DWORD>(std::max(ms, 1));
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    InternetSetOptionA(handle, option, &value, sizeof(value));
}
}  // namespace

HttpGetStatus HttpGet(const HttpGetRequest& request, std::string& body) {
  body.clear();
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long long>(std::max(request.timeoutMs, 1)) * kHttpGetWholeTimeouts);
  InternetHandles h;
  h.internet = InternetOpenA(request.agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!h.internet) return HttpGetStatus::kFailed;
  SetTimeouts(h.internet, request.timeoutMs);
  h.connection = InternetConnectA(h.internet, request.host.c_str(), request.port, nullptr, nullptr,
                                  INTERNET_SERVICE_HTTP, 0, 0);
  if (!h.connection) return HttpGetStatus::kFailed;
  const char* accept[] = {"*/*", nullptr};
  h.request = HttpOpenRequestA(h.connection, "GET", request.object.c_str(), nullptr, nullptr,
                               accept, 0, 0);
  if (!h.request) return HttpGetStatus::kFailed;
  SetTimeouts(h.request, request.timeoutMs);
  if (!HttpSendRequestA(h.request, nullptr, 0, nullptr, 0)) return HttpGetStatus::kFailed;

  char buffer[1024];
  DWORD got = 1;
  BOOL ok = TRUE;
  while (ok && got != 0) {
    // A read waits until the buffer is full, so a server that sends a byte
    // now and then would hold each one for minutes: ask only for what has
    // arrived, and the deadline below is checked often enough.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(h.request, &available, 0, 0)) return HttpGetStatus::kFailed;
    const DWORD want = available == 0 ? sizeof(buffer) : std::min<DWORD>(available, sizeof(buffer));
    got = 0;
    ok = InternetReadFile(h.request, buffer, want, &got);
    // Whatever a read reports is kept, even when it failed.
    body.append(buffer, std::min<DWORD>(got, sizeof(buffer)));
    if (body.size() > request.maxBody) return HttpGetStatus::kTooLarge;
    if (got != 0 && std::chrono::steady_clock::now() > deadline)
      return HttpGetStatus::kFailed;
  }
  return ok ? HttpGetStatus::kComplete : HttpGetStatus::kFailed;
}
