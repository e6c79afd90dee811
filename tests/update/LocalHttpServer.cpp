#include "LocalHttpServer.h"

#include <chrono>

namespace {
constexpr int kPollMs = 50;
// A request that has not ended by then is recorded as it is.
constexpr int kRequestWaitMs = 5000;
}  // namespace

LocalHttpServer::LocalHttpServer(std::string raw, Mode mode)
    : raw_(std::move(raw)), mode_(mode), listener_(TestSocket::Listen(8)) {
  if (!listener_.Valid()) return;
  port_ = listener_.Port();
  thread_ = std::thread([this] { Run(); });
}

LocalHttpServer::~LocalHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> LocalHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string LocalHttpServer::Answer(const std::string& status, const std::string& body,
                                    const std::string& type) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void LocalHttpServer::Run() {
  while (!stop_) {
    TestSocket client = listener_.Accept(kPollMs);
    if (client.Valid()) Serve(client);
  }
}

void LocalHttpServer::Serve(TestSocket& client) {
  std::string request;
  char buffer[2048];
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestWaitMs);
  while (!stop_ && request.find("\r\n\r\n") == std::string::npos &&
         std::chrono::steady_clock::now() < until) {
    const int n = client.Receive(buffer, sizeof(buffer), kPollMs);
    if (n == 0) break;
    if (n > 0) request.append(buffer, static_cast<size_t>(n));
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  if (mode_ == Mode::kSilent) {
    // Keeps the connection open and quiet until the test ends.
    held_.push_back(std::move(client));
    return;
  }
  client.Send(raw_);
  if (mode_ == Mode::kTrickle) {
    while (!stop_ && client.Send(" "))
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return;
  }
  // Closing gracefully: the client reads the whole answer before the end.
  client.ShutdownSend();
  for (int i = 0; i < 40 && !stop_; ++i)
    if (client.Receive(buffer, sizeof(buffer), kPollMs) == 0) break;
}
