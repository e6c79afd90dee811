#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TestSocket.h"

namespace {
bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  int r;
  do r = poll(&p, 1, timeoutMs);
  while (r < 0 && errno == EINTR);
  return r > 0;
}

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
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
  TestSocket s(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in a = Loopback(0);
  if (!s.Valid() || bind(s.handle_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 ||
      listen(s.handle_, backlog) != 0)
    s.Close();
  return s;
}

TestSocket TestSocket::Connect(unsigned short port, int timeoutMs, bool& done) {
  done = false;
  TestSocket s(socket(AF_INET, SOCK_STREAM, 0));
  if (!s.Valid()) return s;
  fcntl(static_cast<int>(s.handle_), F_SETFL, O_NONBLOCK);
  sockaddr_in a = Loopback(port);
  if (connect(s.handle_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0) {
    done = true;
  } else if (errno == EINPROGRESS && WaitFor(s.handle_, POLLOUT, timeoutMs)) {
    int error = 0;
    socklen_t length = sizeof(error);
    done = getsockopt(s.handle_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
  }
  return s;
}

unsigned short TestSocket::Port() const {
  sockaddr_in a{};
  socklen_t length = sizeof(a);
  if (getsockname(handle_, reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
  return ntohs(a.sin_port);
}

TestSocket TestSocket::Accept(int timeoutMs) const {
  if (!WaitFor(handle_, POLLIN, timeoutMs)) return TestSocket();
  return TestSocket(accept(handle_, nullptr, nullptr));
}

int TestSocket::Receive(char* buffer, int size, int timeoutMs) const {
  if (!WaitFor(handle_, POLLIN, timeoutMs)) return -1;
  const ssize_t n = recv(handle_, buffer, static_cast<size_t>(size), 0);
  return n < 0 ? -1 : static_cast<int>(n);
}

bool TestSocket::Send(const std::string& data) const {
  size_t sent = 0;
  while (sent < data.size()) {
    // A client that stops reading early must not kill the test with SIGPIPE.
    const ssize_t n = send(handle_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

void TestSocket::ShutdownSend() const { shutdown(handle_, SHUT_WR); }

void TestSocket::Close() {
  if (handle_ != kInvalid) close(static_cast<int>(handle_));
  handle_ = kInvalid;
}
