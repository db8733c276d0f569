// The HTTP GET against a scripted peer on 127.0.0.1: what each read hands
// over, how failures are reported, and the time limits.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/inet/wininet.h"
#include "platform/process/clock.h"

namespace {

// One connection answered by a child process: after the request, each step
// is sent after its pause; then the peer closes, resets or holds.
struct Step {
  std::string bytes;
  int pauseMs = 0;
};
enum class End { Close, Reset, Hold };

class Peer {
 public:
  explicit Peer(std::vector<Step> steps, End end = End::Close) {
    int ls = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(ls, 4);
    socklen_t len = sizeof a;
    getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    pid_ = fork();
    if (pid_ == 0) {
      int fd = accept(ls, nullptr, nullptr);
      std::string req;
      char buf[1024];
      while (req.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) _exit(1);
        req.append(buf, static_cast<size_t>(n));
      }
      for (const Step& s : steps) {
        if (s.pauseMs) std::this_thread::sleep_for(std::chrono::milliseconds(s.pauseMs));
        if (send(fd, s.bytes.data(), s.bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(s.bytes.size())) _exit(1);
      }
      if (end == End::Reset) {
        linger l{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
      } else if (end == End::Hold) {
        pause();
      } else {
        shutdown(fd, SHUT_WR);
        pollfd p{fd, POLLIN, 0};
        while (poll(&p, 1, 5000) > 0 && recv(fd, buf, sizeof buf, 0) > 0) {
        }
      }
      close(fd);
      _exit(0);
    }
    close(ls);
  }
  ~Peer() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/p?d=1"; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

std::string Head(size_t length) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(i * 131 % 251);
  return s;
}

class InetTest : public ::testing::Test {
 protected:
  void SetUp() override { session_ = win::InternetOpen("t", win::INTERNET_OPEN_TYPE_DIRECT, "", "", 0); }
  void TearDown() override {
    win::InternetCloseHandle(session_);
    win::ResetInternetTimeouts();
  }
  win::HINTERNET Open(const Peer& p) { return win::InternetOpenUrl(session_, p.Url(), "", 0, 0); }
  // Reads to the end with reads of TOREAD bytes; false with the last error
  // when a read fails. Every read gives at most TOREAD bytes.
  static bool ReadAll(win::HINTERNET u, win::DWORD toRead, std::string& body) {
    std::vector<char> buf(toRead);
    for (;;) {
      win::DWORD got = 12345;
      if (!win::InternetReadFile(u, buf.data(), toRead, &got)) {
        EXPECT_EQ(got, 0u);
        return false;
      }
      EXPECT_LE(got, toRead);
      if (got == 0) return true;
      body.append(buf.data(), got);
    }
  }
  win::HINTERNET session_ = nullptr;
};

}  // namespace

TEST_F(InetTest, ReadsOfAnySizeHandOverTheBodyInOrder) {
  // Delivered at once and in uneven pieces; read in small and odd sizes,
  // so most of the body waits in the handle between reads.
  const std::string body = Pattern(200 * 1024 + 7);
  for (win::DWORD toRead : {1u, 7u, 1000u, 65536u}) {
    SCOPED_TRACE(toRead);
    std::vector<Step> steps = {{Head(body.size()) + body.substr(0, 3)}, {body.substr(3, 70000), 20},
                               {body.substr(70003), 20}};
    Peer peer(steps);
    win::HINTERNET u = Open(peer);
    ASSERT_NE(u, nullptr);
    win::DWORD got = 9;
    char c;
    EXPECT_TRUE(win::InternetReadFile(u, &c, 0, &got));  // nothing asked, nothing given
    EXPECT_EQ(got, 0u);
    std::string text;
    EXPECT_TRUE(ReadAll(u, toRead, text));
    EXPECT_TRUE(text == body) << text.size();
    // The end stays the end.
    EXPECT_TRUE(win::InternetReadFile(u, &c, 1, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(win::InternetCloseHandle(u));
  }
}

TEST_F(InetTest, FailuresCarryTheirCodesAndTexts) {
  struct Case {
    const char* what;
    std::vector<Step> steps;
    End end;
    bool opens;  // the failure comes from a read, not from opening
    win::DWORD code;
  };
  const std::vector<Case> cases = {
      {"closed without a byte", {}, End::Close, false, win::ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {"not HTTP", {{"hello there\r\n\r\n"}}, End::Close, false, win::ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {"broken status line", {{"HTTP/1.1 abc\r\n\r\n"}}, End::Close, false, win::ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {"headers cut off", {{"HTTP/1.1 200 OK\r\nContent-Le"}}, End::Close, false,
       win::ERROR_HTTP_INVALID_SERVER_RESPONSE},
      {"reset mid-body", {{Head(5000) + Pattern(100)}, {"", 50}}, End::Reset, true,
       win::ERROR_INTERNET_CONNECTION_RESET},
      {"closed mid-body", {{Head(5000) + Pattern(100)}}, End::Close, true, win::ERROR_INTERNET_CONNECTION_ABORTED},
      // What the server sent wrong is named, not taken for a reset or for want of memory.
      {"chunked garbage", {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nxyz\r\n"}}, End::Close, true,
       win::ERROR_HTTP_INVALID_CHUNKED_BODY},
      {"chunk size past any size",
       {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffff\r\nabc"}}, End::Close, true,
       win::ERROR_HTTP_INVALID_CHUNKED_BODY},
      {"10 MiB header line", {{"HTTP/1.1 200 OK\r\nX-Long: " + std::string(10 << 20, 'a') + "\r\n\r\n"}}, End::Close,
       false, win::ERROR_HTTP_INVALID_HEADER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Peer peer(c.steps, c.end);
    win::HINTERNET u = Open(peer);
    if (!c.opens) {
      EXPECT_EQ(u, nullptr);
      EXPECT_EQ(win::GetLastError(), c.code) << win::SysErrorMessage(win::GetLastError());
      continue;
    }
    ASSERT_NE(u, nullptr);
    std::string text;
    EXPECT_FALSE(ReadAll(u, 1024, text));
    EXPECT_EQ(win::GetLastError(), c.code) << win::SysErrorMessage(win::GetLastError());
    win::InternetCloseHandle(u);
  }
  // Every code has its own text.
  for (win::DWORD code : {win::ERROR_HTTP_INVALID_SERVER_RESPONSE, win::ERROR_INTERNET_CONNECTION_RESET,
                          win::ERROR_INTERNET_CONNECTION_ABORTED, win::ERROR_HTTP_REDIRECT_FAILED,
                          win::ERROR_HTTP_INVALID_HEADER, win::ERROR_HTTP_INVALID_CHUNKED_BODY})
    EXPECT_EQ(win::SysErrorMessage(code).find("Unknown"), std::string::npos) << code;
}

TEST_F(InetTest, OverallLimitKeepsWhatCameAndThenTimesOut) {
  // One byte every 40 ms, never silent long enough for the receive limit.
  const std::string body = Pattern(200);
  std::vector<Step> steps = {{Head(body.size())}};
  for (char c : body) steps.push_back({std::string(1, c), 40});
  Peer peer(steps, End::Hold);
  win::SetInternetTimeouts(5000, 1000, 600);
  win::InternetCloseHandle(session_);
  session_ = win::InternetOpen("t", win::INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
  std::uint64_t start = win::MonotonicMs();
  win::HINTERNET u = Open(peer);
  ASSERT_NE(u, nullptr);
  std::string text;
  EXPECT_FALSE(ReadAll(u, 1024, text));
  std::uint64_t took = win::MonotonicMs() - start;
  EXPECT_EQ(win::GetLastError(), win::ERROR_INTERNET_TIMEOUT);
  EXPECT_GE(took, 550u);
  EXPECT_LT(took, 2000u);
  // What arrived before the limit is handed over whole and in order.
  EXPECT_GT(text.size(), 3u);
  EXPECT_LT(text.size(), body.size());
  EXPECT_EQ(text, body.substr(0, text.size()));
  win::InternetCloseHandle(u);
}

TEST_F(InetTest, OverallLimitBeforeAnyAnswerFailsTheOpen) {
  Peer peer({}, End::Hold);
  win::SetInternetTimeouts(5000, 5000, 400);
  win::InternetCloseHandle(session_);
  session_ = win::InternetOpen("t", win::INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
  std::uint64_t start = win::MonotonicMs();
  EXPECT_EQ(Open(peer), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INTERNET_TIMEOUT);
  EXPECT_LT(win::MonotonicMs() - start, 2000u);
}

TEST_F(InetTest, StatusCallbackBelongsToASession) {
  auto cb = [](win::HINTERNET, win::DWORD, win::DWORD, const void*, win::DWORD) {};
  win::INTERNET_STATUS_CALLBACK f = cb;
  EXPECT_EQ(win::InternetSetStatusCallback(session_, f), nullptr);
  EXPECT_EQ(win::InternetSetStatusCallback(session_, nullptr), f);
  EXPECT_EQ(win::InternetSetStatusCallback(nullptr, f), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  Peer peer({{Head(2) + "ok"}});
  win::HINTERNET u = Open(peer);
  ASSERT_NE(u, nullptr);
  EXPECT_EQ(win::InternetSetStatusCallback(u, f), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  win::InternetCloseHandle(u);
}
