// A one-answer HTTP server on 127.0.0.1, run on its own thread by a test: it
// records every request it reads and sends the same raw answer to each.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestSocket.h"

class LocalHttpServer {
 public:
  enum class Mode {
    kAnswer,   // sends `raw`, byte for byte, and closes
    kSilent,   // reads the request, then keeps the connection open and quiet
    kTrickle,  // sends `raw`, then a space every 100 ms until the test ends
  };

  explicit LocalHttpServer(std::string raw, Mode mode = Mode::kAnswer);
  ~LocalHttpServer();

  unsigned short Port() const { return port_; }
  bool Listening() const { return port_ != 0; }
  std::vector<std::string> Requests() const;

  // A complete answer with the given status, body and framing by length.
  static std::string Answer(const std::string& status, const std::string& body,
                            const std::string& type = "text/plain");

 private:
  void Run();
  void Serve(TestSocket& client);

  const std::string raw_;
  const Mode mode_;
  TestSocket listener_;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::vector<TestSocket> held_;
  std::thread thread_;
};
