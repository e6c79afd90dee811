#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "LocalHttpServer.h"
#include "TestSocket.h"
#include "update/VersionCheck.h"

namespace {
const char* const kCaption = "Check Online for Update";
const char* const kContactError = "An error occurred while contacting quorvel.example.";
const char* const kInvalidCall = "Invalid call to quorvel.example.";
const char* const kUpToDate = "Your version is up to date.";
const char* const kNewCaption = "New Version of Quorvel Brigade Delay Detected";
const char* const kDownloadPage = "http://www.quorvel.example/music/vst.html";
constexpr int kIdYes = 6;

std::string Question(const std::string& shown) {
  return "A new version of Quorvel Brigade Delay is available.\n\n"
         "\tYour version: \t2.0.2\n"
         "\tNew version: \t" + shown + "\n"
         "\nDo you want to go to http://www.quorvel.example/ to get the new version?";
}

// Records what the check shows and opens; answers the question as told.
struct RecordingUi : IVersionCheckUi {
  struct Box {
    std::string text;
    std::string caption;
    int type;
  };
  std::vector<Box> boxes;
  std::vector<std::string> opened;
  int answer = kIdYes;

  int ShowMessageBox(const char* text, const char* caption, int type) override {
    boxes.push_back({text, caption, type});
    return type == kVersionBoxYesNo ? answer : 1;
  }
  bool OpenURL(const char* url) override {
    opened.emplace_back(url);
    return false;  // a browser that fails to start changes nothing
  }
};

// Expects exactly one box with that text, caption and type.
void ExpectOneBox(const RecordingUi& ui, const std::string& text, const char* caption, int type) {
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, text);
  EXPECT_EQ(ui.boxes[0].caption, caption);
  EXPECT_EQ(ui.boxes[0].type, type);
}

VersionEndpoint Local(unsigned short port, int timeoutMs = 5000) {
  VersionEndpoint endpoint;
  endpoint.host = "127.0.0.1";
  endpoint.port = port;
  endpoint.timeoutMs = timeoutMs;
  return endpoint;
}

// A port with nobody listening: bound once, then released.
unsigned short ClosedPort() {
  TestSocket s = TestSocket::Listen(1);
  return s.Port();
}

// Header value by case-insensitive name; empty when absent.
std::string Header(const std::string& request, const std::string& name) {
  std::string lower = request;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string key = "\r\n" + name + ":";
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const size_t at = lower.find(key);
  if (at == std::string::npos) return std::string();
  size_t from = at + key.size();
  while (from < request.size() && request[from] == ' ') ++from;
  return request.substr(from, request.find("\r\n", from) - from);
}
}  // namespace

// --- the answer alone ----------------------------------------------------------

TEST(VersionAnswer, NotNewerIsUpToDate) {
  // Equal, older, no digits at all, negative, leading blanks.
  for (const char* body : {"2002", "1999", "0", "abc", "-5000", "  2002\n", "\t+2002", "2002.5", "3"}) {
    RecordingUi ui;
    EXPECT_EQ(HandleVersionAnswer(ui, body), kVersionCheckDone) << body;
    ExpectOneBox(ui, kUpToDate, kCaption, kVersionBoxIconInformation);
    EXPECT_TRUE(ui.opened.empty()) << body;
  }
}

TEST(VersionAnswer, NewerShowsTheVersionFromTheAnswersCharacters) {
  const struct {
    const char* body;
    const char* shown;
  } cases[] = {
      {"2003", "2.0.3"},     {"2010", "2.0.10"},  {"3000", "3.0.0"},
      {"2100", "2.1.0"},     {"2003\r\n", "2.0.3\r\n"},
      {" 2003", " .2.03"},   // characters, not the number
      {"99999999999999999999", "9.9.999999999999999999"},  // beyond int: still newer
  };
  for (const auto& c : cases) {
    RecordingUi ui;
    ui.answer = 7;
    EXPECT_EQ(HandleVersionAnswer(ui, c.body), kVersionCheckDone) << c.body;
    ExpectOneBox(ui, Question(c.shown), kNewCaption, kVersionBoxYesNo);
    EXPECT_TRUE(ui.opened.empty());
  }
}

TEST(VersionAnswer, YesOpensTheDownloadPageNoOpensNothing) {
  RecordingUi yes;
  yes.answer = kIdYes;
  EXPECT_EQ(HandleVersionAnswer(yes, "2003"), kVersionCheckDone);
  EXPECT_EQ(yes.opened, std::vector<std::string>{kDownloadPage});

  RecordingUi no;
  no.answer = kVersionBoxIdNo;
  EXPECT_EQ(HandleVersionAnswer(no, "2003"), kVersionCheckDone);
  EXPECT_TRUE(no.opened.empty());

  // Any other result than No (a box that could not be shown) still opens it.
  RecordingUi failed;
  failed.answer = 0;
  HandleVersionAnswer(failed, "2003");
  EXPECT_EQ(failed.opened.size(), 1u);
}

TEST(VersionAnswer, PagesAndEmptyAnswersAreErrors) {
  for (const char* body : {"<html><body>404 Not Found</body></html>", "2003<", "<"}) {
    RecordingUi ui;
    EXPECT_EQ(HandleVersionAnswer(ui, body), kVersionCheckNotVersion) << body;
    ExpectOneBox(ui, kInvalidCall, kCaption, kVersionBoxIconError);
  }
  RecordingUi ui;
  EXPECT_EQ(HandleVersionAnswer(ui, ""), kVersionCheckNoAnswer);
  ExpectOneBox(ui, kContactError, kCaption, kVersionBoxIconError);
  EXPECT_TRUE(ui.opened.empty());
}

// Short and odd answers in bulk: one box each, a known code, and (under the
// sanitizers) no read outside the answer.
TEST(VersionAnswer, ArbitraryShortAnswersAreHandledSafely) {
  const std::string alphabet = "0123456789 +-<\r\n\t.x";
  std::mt19937 random(12);
  for (int round = 0; round < 20000; ++round) {
    std::string body(random() % 7, ' ');
    for (char& c : body) c = alphabet[random() % alphabet.size()];
    RecordingUi ui;
    const int code = HandleVersionAnswer(ui, body);
    ASSERT_TRUE(code == 0 || code == -1 || code == -3) << code;
    ASSERT_EQ(ui.boxes.size(), 1u);
    ASSERT_LE(ui.opened.size(), 1u);
  }
}

// --- the whole exchange against a local server ----------------------------------

TEST(VersionCheckConcurrent, SendsTheRequestAsTheServerExpects) {
  LocalHttpServer server(LocalHttpServer::Answer("200 OK", "2002"));
  ASSERT_TRUE(server.Listening());
  RecordingUi ui;
  EXPECT_EQ(CheckOnlineVersion(ui, Local(server.Port())), kVersionCheckDone);
  ExpectOneBox(ui, kUpToDate, kCaption, kVersionBoxIconInformation);

  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& r = requests[0];
  EXPECT_EQ(r.substr(0, r.find("\r\n")), "GET /music/version/?file=qvdelay HTTP/1.1");
  EXPECT_EQ(Header(r, "User-Agent"), "Quorvel Brigade Delay");
  EXPECT_EQ(Header(r, "Accept"), "*/*");
  EXPECT_EQ(Header(r, "Host"), "127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_EQ(r.substr(r.size() - 4), "\r\n\r\n") << "a GET carries no body";
}

TEST(VersionCheckConcurrent, AnswersFromTheServer) {
  const std::string longTail(3000, 'x');  // read over several 1024-byte reads
  const struct {
    const char* name;
    std::string raw;
    int code;
    std::string text;
    int type;
  } cases[] = {
      {"equal", LocalHttpServer::Answer("200 OK", "2002"), 0, kUpToDate, kVersionBoxIconInformation},
      {"newer", LocalHttpServer::Answer("200 OK", "2003"), 0, Question("2.0.3"), kVersionBoxYesNo},
      {"line break", LocalHttpServer::Answer("200 OK", "2003\r\n"), 0, Question("2.0.3\r\n"), kVersionBoxYesNo},
      {"patch 10", LocalHttpServer::Answer("200 OK", "2010"), 0, Question("2.0.10"), kVersionBoxYesNo},
      {"major", LocalHttpServer::Answer("200 OK", "3000"), 0, Question("3.0.0"), kVersionBoxYesNo},
      {"404 page",
       LocalHttpServer::Answer("404 Not Found",
                               "<!DOCTYPE html><html><head><title>404 Not Found</title></head>"
                               "<body><h1>Not Found</h1></body></html>\n",
                               "text/html"),
       -3, kInvalidCall, kVersionBoxIconError},
      {"letters", LocalHttpServer::Answer("200 OK", "version unknown"), 0, kUpToDate, kVersionBoxIconInformation},
      {"empty", LocalHttpServer::Answer("200 OK", ""), -1, kContactError, kVersionBoxIconError},
      {"empty 500", LocalHttpServer::Answer("500 Internal Server Error", ""), -1, kContactError,
       kVersionBoxIconError},
      {"long", LocalHttpServer::Answer("200 OK", "2010" + longTail), 0, Question("2.0.10" + longTail),
       kVersionBoxYesNo},
      {"chunked",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
       "2\r\n20\r\n1;ext=1\r\n1\r\n1\r\n0\r\n0\r\n\r\n",
       0, Question("2.0.10"), kVersionBoxYesNo},
      {"ended by close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n3000", 0, Question("3.0.0"),
       kVersionBoxYesNo},
      {"interim answer first", "HTTP/1.1 100 Continue\r\n\r\n" + LocalHttpServer::Answer("200 OK", "2003"), 0,
       Question("2.0.3"), kVersionBoxYesNo},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LocalHttpServer server(c.raw);
    ASSERT_TRUE(server.Listening());
    RecordingUi ui;
    ui.answer = kVersionBoxIdNo;
    EXPECT_EQ(CheckOnlineVersion(ui, Local(server.Port())), c.code);
    ExpectOneBox(ui, c.text, c.type == kVersionBoxYesNo ? kNewCaption : kCaption, c.type);
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_EQ(server.Requests().size(), 1u);
  }
}

TEST(VersionCheckConcurrent, YesOnTheQuestionOpensTheDownloadPage) {
  LocalHttpServer server(LocalHttpServer::Answer("200 OK", "2003"));
  RecordingUi ui;
  ui.answer = kIdYes;
  EXPECT_EQ(CheckOnlineVersion(ui, Local(server.Port())), kVersionCheckDone);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.opened, std::vector<std::string>{kDownloadPage});
}

TEST(VersionCheckConcurrent, BodiesBeyondTheBoundAreAnError) {
  const size_t bound = 1024 * 1024;
  // Exactly the bound is still read and judged.
  {
    LocalHttpServer server(LocalHttpServer::Answer("200 OK", "2002" + std::string(bound - 4, ' ')));
    RecordingUi ui;
    EXPECT_EQ(CheckOnlineVersion(ui, Local(server.Port())), kVersionCheckDone);
    ExpectOneBox(ui, kUpToDate, kCaption, kVersionBoxIconInformation);
  }
  // One byte more is refused, with or without a length given up front.
  const std::string over = "2003" + std::string(bound - 3, '9');
  for (const std::string& raw : {LocalHttpServer::Answer("200 OK", over),
                                 "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + over}) {
    LocalHttpServer server(raw);
    RecordingUi ui;
    EXPECT_EQ(CheckOnlineVersion(ui, Local(server.Port())), kVersionCheckError);
    ExpectOneBox(ui, kContactError, kCaption, kVersionBoxIconError);
    EXPECT_TRUE(ui.opened.empty());
  }
}

// Starts no thread of its own, but WinINet does: where emulated x86 Wine
// cannot run threads the exchange never ends, so the name keeps it out there.
TEST(VersionCheckOfflineConcurrent, NoServerIsOneErrorAndNothingOpens) {
  RecordingUi ui;
  EXPECT_EQ(CheckOnlineVersion(ui, Local(ClosedPort())), kVersionCheckNoAnswer);
  ExpectOneBox(ui, kContactError, kCaption, kVersionBoxIconError);
  EXPECT_TRUE(ui.opened.empty());
}

TEST(VersionCheckConcurrent, ServerThatNeverAnswersTimesOut) {
  LocalHttpServer server("", LocalHttpServer::Mode::kSilent);
  RecordingUi ui;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CheckOnlineVersion(ui, Local(server.Port(), 1000)), kVersionCheckNoAnswer);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  // Not a speed check: a wait that ignored the time-out would last a minute or for ever.
  EXPECT_LT(seconds, 20);
  ExpectOneBox(ui, kContactError, kCaption, kVersionBoxIconError);
  EXPECT_EQ(server.Requests().size(), 1u);
}

// A server that keeps sending a little: every read succeeds, yet the whole
// answer must end in bounded time, and a cut-off answer is no answer.
TEST(VersionCheckConcurrent, TricklingServerIsCutOffAsAnError) {
  LocalHttpServer server("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n2003",
                         LocalHttpServer::Mode::kTrickle);
  RecordingUi ui;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CheckOnlineVersion(ui, Local(server.Port(), 500)), kVersionCheckNoAnswer);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20);
  ExpectOneBox(ui, kContactError, kCaption, kVersionBoxIconError);
  EXPECT_TRUE(ui.opened.empty());
}
