// One plain HTTP GET, as the version check needs it: the body is read whatever
// the status, and a failure part-way keeps what had arrived.
#pragma once

#include <cstddef>
#include <string>

struct HttpGetRequest {
  std::string host;
  unsigned short port = 80;
  std::string object;  // path and query, without the leading slash
  std::string agent;
  // A hostile or broken server must not exhaust memory: the body is cut off
  // one byte past this bound and reported as too large.
  size_t maxBody = 0;
  // Connect and each wait for data. Reading the answer stops once
  // kHttpGetWholeTimeouts of them have passed in all, so a trickling server
  // cannot hold the window either.
  int timeoutMs = 5000;
};

constexpr int kHttpGetWholeTimeouts = 4;

enum class HttpGetStatus {
  kComplete,  // the server ended the body
  kFailed,    // no connection, or the exchange broke off: body holds what arrived
  kTooLarge,  // the body passed maxBody
};

HttpGetStatus HttpGet(const HttpGetRequest& request, std::string& body);
