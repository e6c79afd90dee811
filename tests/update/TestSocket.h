// Just enough TCP on 127.0.0.1 for the tests' own little servers, the same on
// POSIX and under Winsock.
#pragma once

#include <cstdint>
#include <string>

class TestSocket {
 public:
  TestSocket() = default;
  ~TestSocket();
  TestSocket(TestSocket&& other) noexcept;
  TestSocket& operator=(TestSocket&& other) noexcept;
  TestSocket(const TestSocket&) = delete;
  TestSocket& operator=(const TestSocket&) = delete;

  // A listening socket on 127.0.0.1 at a free port.
  static TestSocket Listen(int backlog);
  // Starts a connection to 127.0.0.1:port; true in `done` once it completed
  // within timeoutMs (false while the listener's queue is full).
  static TestSocket Connect(unsigned short port, int timeoutMs, bool& done);

  bool Valid() const { return handle_ != kInvalid; }
  unsigned short Port() const;
  // An invalid socket when nobody connects within timeoutMs.
  TestSocket Accept(int timeoutMs) const;
  // Bytes read, 0 when the peer closed, -1 on time-out or error.
  int Receive(char* buffer, int size, int timeoutMs) const;
  bool Send(const std::string& data) const;
  // Ends our sending side, so the peer reads the end of the answer.
  void ShutdownSend() const;
  void Close();

 private:
  static constexpr intptr_t kInvalid = -1;
  explicit TestSocket(intptr_t handle) : handle_(handle) {}
  intptr_t handle_ = kInvalid;
};
