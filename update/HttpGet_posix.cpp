#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstring>
#include <cstdint>
#include <string>

#include "update/HttpGet.h"

namespace {
using Clock = std::chrono::steady_clock;

// Status line and headers; real servers send well under this.
constexpr size_t kMaxHead = 64 * 1024;
// A chunk-size or trailer line.
constexpr size_t kMaxChunkLine = 4096;

class Socket {
 public:
  ~Socket() { Close(); }
  void Reset(int fd) { Close(); fd_ = fd; }
  int fd() const { return fd_; }
 private:
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
};

// Waits for the socket within both the single timeout and the whole deadline.
bool Wait(int fd, short events, int timeoutMs, Clock::time_point deadline) {
  const Clock::time_point until = std::min(deadline, Clock::now() + std::chrono::milliseconds(timeoutMs));
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r > 0) return true;
    if (r == 0 || errno != EINTR) return false;
  }
}

bool ConnectTo(const addrinfo& ai, Socket& socket, int timeoutMs, Clock::time_point deadline) {
  socket.Reset(::socket(ai.ai_family, ai.ai_socktype, ai.ai_protocol));
  const int fd = socket.fd();
  if (fd < 0) return false;
  // The plug-in lives in a host process: keep the socket out of its children.
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) return false;
#ifdef SO_NOSIGPIPE
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof(one));
#endif
  if (connect(fd, ai.ai_addr, ai.ai_addrlen) == 0) return true;
  if (errno != EINPROGRESS) return false;
  if (!Wait(fd, POLLOUT, timeoutMs, deadline)) return false;
  int error = 0;
  socklen_t length = sizeof(error);
  return getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool Connect(const HttpGetRequest& request, Socket& socket, Clock::time_point deadline) {
  addrinfo hints{};
  // Zeroed hints: any address family the name has.
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(request.host.c_str(), std::to_string(request.port).c_str(), &hints, &list) != 0)
    return false;
  bool connected = false;
  for (addrinfo* ai = list; ai && !connected; ai = ai->ai_next)
    connected = ConnectTo(*ai, socket, request.timeoutMs, deadline);
  freeaddrinfo(list);
  return connected;
}

bool SendAll(int fd, const std::string& data, int timeoutMs, Clock::time_point deadline) {
  size_t sent = 0;
  while (sent < data.size()) {
#ifdef MSG_NOSIGNAL
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
#else
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, 0);
#endif
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!Wait(fd, POLLOUT, timeoutMs, deadline)) return false;
    } else {
      return false;
    }
  }
  return true;
}

std::string RequestText(const HttpGetRequest& request) {
  std::string host = request.host.find(':') == std::string::npos ? request.host : "[" + request.host + "]";
  if (request.port != 80) host += ":" + std::to_string(request.port);
  const char* slash = request.object.empty() || request.object[0] != '/' ? "/" : "";
  return "GET " + std::string(slash) + request.object + " HTTP/1.1\r\n" +
         "Host: " + host + "\r\n" +
         "User-Agent: " + request.agent + "\r\n" +
         "Accept: */*\r\n"
         "Connection: close\r\n"
         "\r\n";
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (text.size() - at < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
  return true;
}

bool ContainsNoCase(const std::string& text, size_t from, size_t to, const char* word) {
  for (size_t i = from; i < to; ++i)
    if (StartsWithNoCase(text, i, word)) return true;
  return false;
}

// What the status line and headers say about the body.
struct Head {
  int status = 0;
  bool chunked = false;
  bool hasLength = false;
  size_t length = 0;
};

Head ParseHead(const std::string& head) {
  Head result;
  size_t space = head.find(' ');
  if (space != std::string::npos) {
    for (size_t i = space + 1; i < head.size() && i < space + 4 && std::isdigit(static_cast<unsigned char>(head[i])); ++i)
      result.status = result.status * 10 + (head[i] - '0');
  }
  size_t line = head.find('\n');
  while (line != std::string::npos && line + 1 < head.size()) {
    const size_t start = line + 1;
    line = head.find('\n', start);
    const size_t end = line == std::string::npos ? head.size() : line;
    if (StartsWithNoCase(head, start, "transfer-encoding:")) {
      if (ContainsNoCase(head, start, end, "chunked")) result.chunked = true;
    } else if (StartsWithNoCase(head, start, "content-length:")) {
      size_t i = start + std::strlen("content-length:");
      while (i < end && (head[i] == ' ' || head[i] == '\t')) ++i;
      size_t value = 0;
      bool digits = false;
      for (; i < end && std::isdigit(static_cast<unsigned char>(head[i])); ++i) {
        digits = true;
        // Saturates: anything past the bound ends as "too large" anyway.
        value = value > (SIZE_MAX - 9) / 10 ? SIZE_MAX : value * 10 + static_cast<size_t>(head[i] - '0');
      }
      if (digits) {
        result.hasLength = true;
        result.length = value;
      }
    }
  }
  return result;
}

// Undoes chunked transfer coding as the bytes arrive.
class ChunkedDecoder {
 public:
  enum Result { kMore, kDone, kBad };

  Result Feed(const char* data, size_t size, std::string& out) {
    size_t i = 0;
    while (i < size && state_ != kEnded) {
      if (state_ == kData) {
        const size_t take = std::min(remaining_, size - i);
        out.append(data + i, take);
        i += take;
        remaining_ -= take;
        if (remaining_ == 0) state_ = kDataEnd;
        continue;
      }
      const char c = data[i++];
      if (c != '\n') {
        if (line_.size() >= kMaxChunkLine) return kBad;
        line_ += c;
        continue;
      }
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      if (!EndLine()) return kBad;
      line_.clear();
    }
    return state_ == kEnded ? kDone : kMore;
  }

 private:
  enum State { kSize, kData, kDataEnd, kTrailer, kEnded };

  bool EndLine() {
    switch (state_) {
      case kSize: {
        size_t value = 0, i = 0;
        for (; i < line_.size() && std::isxdigit(static_cast<unsigned char>(line_[i])); ++i) {
          const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(line_[i])));
          const size_t digit = static_cast<size_t>(c <= '9' ? c - '0' : c - 'a' + 10);
          value = value > (SIZE_MAX >> 4) ? SIZE_MAX : (value << 4) | digit;
        }
        if (i == 0) return false;
        if (i < line_.size() && line_[i] != ';' && line_[i] != ' ' && line_[i] != '\t') return false;
        remaining_ = value;
        state_ = value == 0 ? kTrailer : kData;
        return true;
      }
      case kDataEnd:
        state_ = kSize;
        return line_.empty();
      case kTrailer:
        if (line_.empty()) state_ = kEnded;
        return true;
      default:
        return false;
    }
  }

  State state_ = kSize;
  size_t remaining_ = 0;
  std::string line_;
};

// Finds the blank line that ends the head; returns the body's start or npos.
size_t HeadEnd(const std::string& data) {
  const size_t crlf = data.find("\r\n\r\n");
  const size_t lf = data.find("\n\n");
  if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
  if (lf == std::string::npos || (crlf != std::string::npos && crlf < lf)) return crlf + 4;
  return lf + 2;
}

// Takes the answer as it arrives and leaves its body, undone of its framing.
class ResponseReader {
 public:
  enum Result { kMore, kDone, kBad, kTooLarge };

  explicit ResponseReader(size_t maxBody) : maxBody_(maxBody) {}

  Result Feed(const char* data, size_t size, std::string& body) {
    if (phase_ != kHead) return Body(data, size, body);
    head_.append(data, size);
    for (;;) {
      if (!MayBeStatusLine()) {
        // No status line: an old-style answer that is all body.
        phase_ = kIdentity;
        std::string all;
        all.swap(head_);
        return Body(all.data(), all.size(), body);
      }
      const size_t end = HeadEnd(head_);
      if (end == std::string::npos) return head_.size() > kMaxHead ? kTooLarge : kMore;
      info = ParseHead(head_.substr(0, end));
      std::string rest = head_.substr(end);
      head_.swap(rest);
      // An interim answer is followed by the real one.
      if (info.status >= 100 && info.status < 200) continue;
      phase_ = info.chunked ? kChunked : kIdentity;
      std::string first;
      first.swap(head_);
      return Body(first.data(), first.size(), body);
    }
  }

  // The server closed the connection.
  Result End(std::string& body) {
    switch (phase_) {
      case kHead:
        if (!head_.empty() && !MayBeStatusLine(true)) {
          body = head_;
          return body.size() > maxBody_ ? kTooLarge : kDone;
        }
        return kBad;
      case kIdentity:
        return info.hasLength ? kBad : kDone;
      default:
        return kBad;
    }
  }

  Head info;

 private:
  enum Phase { kHead, kIdentity, kChunked };

  // Whether the head so far can still begin with a status line; at the end
  // of the answer a mere prefix of one no longer counts.
  bool MayBeStatusLine(bool atEnd = false) const {
    static const char kHttp[] = "HTTP/";
    const size_t n = std::min(head_.size(), sizeof(kHttp) - 1);
    if (atEnd && n < sizeof(kHttp) - 1) return false;
    return head_.compare(0, n, kHttp, n) == 0;
  }

  Result Body(const char* data, size_t size, std::string& body) {
    Result result = kMore;
    if (phase_ == kChunked) {
      const ChunkedDecoder::Result r = chunks_.Feed(data, size, body);
      if (r == ChunkedDecoder::kBad) result = kBad;
      if (r == ChunkedDecoder::kDone) result = kDone;
    } else if (info.hasLength) {
      const size_t take = std::min(size, info.length - received_);
      body.append(data, take);
      received_ += take;
      if (received_ == info.length) result = kDone;
    } else {
      body.append(data, size);
    }
    return body.size() > maxBody_ ? kTooLarge : result;
  }

  size_t maxBody_;
  Phase phase_ = kHead;
  std::string head_;
  size_t received_ = 0;
  ChunkedDecoder chunks_;
};
}  // namespace

HttpGetStatus HttpGet(const HttpGetRequest& asked, std::string& body) {
  body.clear();
  HttpGetRequest request = asked;
  request.timeoutMs = std::max(request.timeoutMs, 1);
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<long long>(request.timeoutMs) * kHttpGetWholeTimeouts);
  Socket socket;
  if (!Connect(request, socket, deadline)) return HttpGetStatus::kFailed;
  if (!SendAll(socket.fd(), RequestText(request), request.timeoutMs, deadline)) return HttpGetStatus::kFailed;

  ResponseReader reader(request.maxBody);
  char buffer[4096];
  for (;;) {
    if (!Wait(socket.fd(), POLLIN, request.timeoutMs, deadline)) return HttpGetStatus::kFailed;
    const ssize_t n = recv(socket.fd(), buffer, sizeof(buffer), 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n < 0) return HttpGetStatus::kFailed;
    const ResponseReader::Result r =
        n == 0 ? reader.End(body) : reader.Feed(buffer, static_cast<size_t>(n), body);
    if (r == ResponseReader::kDone) return HttpGetStatus::kComplete;
    if (r == ResponseReader::kTooLarge) return HttpGetStatus::kTooLarge;
    if (r == ResponseReader::kBad || n == 0) return HttpGetStatus::kFailed;
  }
}
