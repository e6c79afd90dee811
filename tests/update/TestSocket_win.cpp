#include <winsock2.h>
#include <ws2tcpip.h>

#include "TestSocket.h"

namespace {
struct WinsockStarted {
  WinsockStarted() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

void EnsureWinsock() { static WinsockStarted started; }

SOCKET Raw(intptr_t handle) { return static_cast<SOCKET>(handle); }

// One poll entry per socket. Listing a socket in two select() sets (read and
// except) makes Wine 8's server abort in its poll completion when the peer
// closes at that moment, and every Wine program of the prefix then hangs.
bool WaitFor(SOCKET s, bool write, int timeoutMs) {
  WSAPOLLFD p{};
  p.fd = s;
  p.events = write ? POLLWRNORM : POLLRDNORM;
  if (WSAPoll(&p, 1, timeoutMs) <= 0) return false;
  // A closed or failed connection reads as ready, so recv reports it.
  if (!write) return (p.revents & (POLLRDNORM | POLLHUP | POLLERR)) != 0;
  return (p.revents & POLLWRNORM) != 0 && (p.revents & (POLLERR | POLLHUP)) == 0;
}

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

intptr_t NewSocket() {
  EnsureWinsock();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  return s == INVALID_SOCKET ? -1 : static_cast<intptr_t>(s);
}
}  // namespace

TestSocket::~TestSocket() { Close(); }

TestSocket::TestSocket(TestSocket&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }

TestSocket& TestSocket::operator=(TestSocket&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kInvalid;
  }
  return *this;
}

TestSocket TestSocket::Listen(int backlog) {
  TestSocket s(NewSocket());
  sockaddr_in a = Loopback(0);
  if (!s.Valid() || bind(Raw(s.handle_), reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 ||
      listen(Raw(s.handle_), backlog) != 0)
    s.Close();
  return s;
}

TestSocket TestSocket::Connect(unsigned short port, int timeoutMs, bool& done) {
  done = false;
  TestSocket s(NewSocket());
  if (!s.Valid()) return s;
  u_long nonBlocking = 1;
  ioctlsocket(Raw(s.handle_), FIONBIO, &nonBlocking);
  sockaddr_in a = Loopback(port);
  if (connect(Raw(s.handle_), reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0)
    done = true;
  else if (WSAGetLastError() == WSAEWOULDBLOCK)
    done = WaitFor(Raw(s.handle_), true, timeoutMs);
  return s;
}

unsigned short TestSocket::Port() const {
  sockaddr_in a{};
  int length = sizeof(a);
  if (getsockname(Raw(handle_), reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
  return ntohs(a.sin_port);
}

TestSocket TestSocket::Accept(int timeoutMs) const {
  if (!WaitFor(Raw(handle_), false, timeoutMs)) return TestSocket();
  const SOCKET s = accept(Raw(handle_), nullptr, nullptr);
  return TestSocket(s == INVALID_SOCKET ? kInvalid : static_cast<intptr_t>(s));
}

int TestSocket::Receive(char* buffer, int size, int timeoutMs) const {
  if (!WaitFor(Raw(handle_), false, timeoutMs)) return -1;
  const int n = recv(Raw(handle_), buffer, size, 0);
  return n < 0 ? -1 : n;
}

bool TestSocket::Send(const std::string& data) const {
  size_t sent = 0;
  while (sent < data.size()) {
    const int n = send(Raw(handle_), data.data() + sent, static_cast<int>(data.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void TestSocket::ShutdownSend() const { shutdown(Raw(handle_), SD_SEND); }

void TestSocket::Close() {
  if (handle_ != kInvalid) closesocket(Raw(handle_));
  handle_ = kInvalid;
}
