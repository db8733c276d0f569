// The print-data fetch against the real server on 127.0.0.1.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "fixture.h"
#include "platform/inet/wininet.h"
#include "printclient/uuPrintData.h"
#include "server.h"

using printdata_test::PrintDataTest;
using printdata_test::ServerProcess;
using testing_support::WriteFile;

namespace {

std::string Url(const std::string& host, const std::string& id) {
  return "http://" + host + "/PrintData.aspx?d=" + id;
}

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('A' + (i * 7) % 26);
  return s;
}

class FetchTest : public PrintDataTest {
 protected:
  static void SetUpTestSuite() {
    folder_ = new std::string(std::filesystem::temp_directory_path() /
                              ("zolmet-fetch-" + std::to_string(getpid())));
    std::filesystem::create_directories(*folder_);
    server_ = new ServerProcess(*folder_);
  }
  static void TearDownTestSuite() {
    delete server_;
    std::filesystem::remove_all(*folder_);
    delete folder_;
  }
  void TearDown() override { win::ResetInternetTimeouts(); }

  // Serves BODY byte for byte as ID, with the transport FAULTS.
  static void Serve(const std::string& id, const std::string& body, const std::string& faults = "") {
    WriteFile(*folder_ + "/" + id + ".raw", body);
    if (!faults.empty()) WriteFile(*folder_ + "/" + id + ".faults", faults);
  }

  bool Get(const std::string& id, std::string& text) {
    return printclient::uuPrintData::GetPrintData("10.0.0.1", server_->host(), "/", id, text);
  }

  static std::string* folder_;
  static ServerProcess* server_;
};

std::string* FetchTest::folder_ = nullptr;
ServerProcess* FetchTest::server_ = nullptr;

}  // namespace

TEST_F(FetchTest, EmptyBody) {
  Serve("empty", "");
  std::string text = "unchanged";
  ASSERT_TRUE(Get("empty", text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(printclient::uuPrintData::PrintDataError, "");
  const std::string url = Url(server_->host(), "empty");
  EXPECT_EQ(DebugLog(), Entries({"[GPD] 初始成功", "[GPD] 連線成功 " + url, "[GPD] 成功取得列印資料 " + url}));
  EXPECT_EQ(ErrLog(), "");
}

TEST_F(FetchTest, BodiesAroundTheChunkSize) {
  for (size_t n : {size_t{1}, size_t{1023}, size_t{1024}, size_t{1025}, size_t{2048}, size_t{1} << 20}) {
    std::string body = Pattern(n);
    Serve("size" + std::to_string(n), body);
    std::string text;
    ASSERT_TRUE(Get("size" + std::to_string(n), text)) << n;
    EXPECT_EQ(text, body) << n;
  }
}

TEST_F(FetchTest, ShortReadsInTheMiddleLoseNothing) {
  std::string body = Pattern(5000);
  Serve("dribble", body, "dribble");
  // The reads really are short before the end of the body...
  win::HINTERNET s = win::InternetOpen("t", win::INTERNET_OPEN_TYPE_PRECONFIG, "", "", 0);
  win::HINTERNET u = win::InternetOpenUrl(s, Url(server_->host(), "dribble"), "", 0, 0);
  ASSERT_NE(u, nullptr);
  char buf[1024];
  win::DWORD got = 0;
  std::string direct;
  int shortReads = 0;
  while (win::InternetReadFile(u, buf, sizeof buf, &got) && got > 0) {
    direct.append(buf, got);
    if (got < sizeof buf && direct.size() < body.size()) ++shortReads;
  }
  EXPECT_TRUE(win::InternetCloseHandle(u));
  EXPECT_TRUE(win::InternetCloseHandle(s));
  EXPECT_EQ(direct, body);
  EXPECT_GT(shortReads, 0);
  // ...and the fetch still gets all of it.
  std::string text;
  ASSERT_TRUE(Get("dribble", text));
  EXPECT_EQ(text, body);
}

// A zero byte has no place in a reply: wherever it falls, before or after
// a read boundary, the reply is a read failure and nothing of it is kept.
TEST_F(FetchTest, ReplyWithAZeroByteIsAReadFailure) {
  for (size_t at : {size_t{0}, size_t{3}, size_t{1023}, size_t{1024}, size_t{1500}}) {
    SCOPED_TRACE(at);
    std::string body = "K1\rL" + Pattern(3000) + "\rEND\r";
    body[at] = '\0';
    Serve("zero", body);
    std::string text = "unchanged";
    EXPECT_FALSE(Get("zero", text));
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(printclient::uuPrintData::PrintDataError, "讀取失敗");
    EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: 資料第 " + std::to_string(at + 1) + " 位元組為零"}));
    std::remove(root_.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt").c_str());
  }
}

// A "#" would end the query and shorten the id: it is sent encoded.
TEST_F(FetchTest, IdWithAHashIsFetchedWhole) {
  Serve("A1", "K1\rEND\r");  // what the id cut at its "#" would fetch
  std::string text;
  ASSERT_TRUE(Get("A1#B2", text));
  EXPECT_NE(text, "K1\rEND\r");  // the server was asked for "A1#B2", which it does not know
  EXPECT_NE(text.find("404"), std::string::npos) << text;
  EXPECT_NE(DebugLog().find("[GPD] 連線成功 " + Url(server_->host(), "A1%23B2") + "\r\n"), std::string::npos);
}

TEST_F(FetchTest, ErrorPageIsReturnedAsText) {
  Serve("errpage", "", "error-page");
  std::string text;
  ASSERT_TRUE(Get("errpage", text));
  EXPECT_EQ(text.rfind("<html>", 0), 0u);
  // An id the server does not know: its 404 page.
  ASSERT_TRUE(Get("nosuchid", text));
  EXPECT_NE(text.find("404"), std::string::npos);
}

TEST_F(FetchTest, RefusedConnection) {
  const std::string host = "127.0.0.1:" + std::to_string(printdata_test::UnusedPort());
  std::string text = "unchanged";
  EXPECT_FALSE(printclient::uuPrintData::GetPrintData("", host, "/", "x1", text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(printclient::uuPrintData::PrintDataError, "連線失敗");
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 開啟服務失敗(連線失敗):The attempt to connect to the server failed. " +
                               Url(host, "x1")}));
  EXPECT_EQ(DebugLog(), Entries({"[GPD] 初始成功"}));
}

TEST_F(FetchTest, PagePathWithoutSlashRunsIntoTheServerName) {
  std::string text;
  EXPECT_FALSE(printclient::uuPrintData::GetPrintData("", server_->host(), "Zolmet/", "x1", text));
  EXPECT_EQ(printclient::uuPrintData::PrintDataError, "連線失敗");
  EXPECT_NE(ErrLog().find(" http://" + server_->host() + "Zolmet/PrintData.aspx?d=x1\r\n"), std::string::npos);
}

TEST_F(FetchTest, ServerThatStopsSendingMidBody) {
  Serve("stall", Pattern(3000), "stall");
  // Long enough for a loaded machine to send the headers: the stall itself
  // has no end.
  win::SetInternetTimeouts(5000, 2000);
  std::string text = "unchanged";
  EXPECT_FALSE(Get("stall", text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(printclient::uuPrintData::PrintDataError, "讀取失敗");
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: The operation timed out."}));
  const std::string url = Url(server_->host(), "stall");
  EXPECT_EQ(DebugLog(), Entries({"[GPD] 初始成功", "[GPD] 連線成功 " + url}));
}

TEST_F(FetchTest, ServerThatNeverAnswers) {
  Serve("mute", "END\r", "stall-headers");
  win::SetInternetTimeouts(5000, 300);
  std::string text;
  EXPECT_FALSE(Get("mute", text));
  EXPECT_EQ(printclient::uuPrintData::PrintDataError, "連線失敗");
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 開啟服務失敗(連線失敗):The operation timed out. " +
                               Url(server_->host(), "mute")}));
}

TEST_F(FetchTest, ServerThatClosesMidBody) {
  Serve("cut", Pattern(4000), "close-mid-body");
  std::string text;
  EXPECT_FALSE(Get("cut", text));
  EXPECT_EQ(printclient::uuPrintData::PrintDataError, "讀取失敗");
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: The connection with the server was terminated abnormally."}));
}

TEST_F(FetchTest, ConnectTimeLimit) {
  // A listener whose queue is full drops further connection attempts, so
  // connecting never completes.
  int ls = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(ls, 0), 0);
  socklen_t len = sizeof a;
  getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    int c = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(c);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  win::SetInternetTimeouts(300, 5000);
  const std::string host = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
  std::string text;
  std::uint64_t start = win::MonotonicMs();
  EXPECT_FALSE(printclient::uuPrintData::GetPrintData("", host, "/", "x", text));
  EXPECT_LT(win::MonotonicMs() - start, 30000u);  // far below the default limit
  EXPECT_EQ(printclient::uuPrintData::PrintDataError, "連線失敗");
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 開啟服務失敗(連線失敗):The operation timed out. " + Url(host, "x")}));
  for (int c : fillers) close(c);
  close(ls);
}

TEST_F(FetchTest, ProxyComesFromTheEnvironment) {
  Serve("viaproxy", "K1\rEND\r");
  // The server answers proxy-style requests too; the name below is never
  // looked up, the request goes to the proxy on 127.0.0.1.
  setenv("http_proxy", ("http://" + server_->host()).c_str(), 1);
  std::string text;
  bool ok = printclient::uuPrintData::GetPrintData("", "zolmet.invalid", "/", "viaproxy", text);
  unsetenv("http_proxy");
  ASSERT_TRUE(ok);
  EXPECT_EQ(text, "K1\rEND\r");
}

TEST_F(FetchTest, InternetHandlesAreChecked) {
  win::DWORD got = 7;
  char buf[4];
  EXPECT_FALSE(win::InternetReadFile(nullptr, buf, 4, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(win::InternetCloseHandle(nullptr));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_HANDLE);
  win::HINTERNET s = win::InternetOpen("t", win::INTERNET_OPEN_TYPE_PRECONFIG, "", "", 0);
  ASSERT_NE(s, nullptr);
  EXPECT_FALSE(win::InternetReadFile(s, buf, 4, &got));  // a session is not a URL
  EXPECT_EQ(win::GetLastError(), win::ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_EQ(win::InternetOpenUrl(s, "ftp://127.0.0.1/x", "", 0, 0), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  EXPECT_TRUE(win::InternetCloseHandle(s));
  EXPECT_FALSE(win::InternetCloseHandle(s));
  EXPECT_EQ(win::SysErrorMessage(win::ERROR_INTERNET_TIMEOUT), "The operation timed out.");
}

TEST(PrintDataServer, StopsOnTermWithAConnectionStalled) {
  std::string folder = std::filesystem::temp_directory_path() / ("zolmet-stop-" + std::to_string(getpid()));
  WriteFile(folder + "/s.raw", "END\r");
  WriteFile(folder + "/s.faults", "stall-headers");
  ServerProcess server(folder);
  int c = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(server.port()));
  ASSERT_EQ(connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  std::string req = "GET /PrintData.aspx?d=s HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_EQ(send(c, req.data(), req.size(), 0), static_cast<ssize_t>(req.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int status = server.Stop(5000);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  close(c);
  std::filesystem::remove_all(folder);
}

TEST(PrintDataServer, EndsAfterItsLifetime) {
  std::string folder = std::filesystem::temp_directory_path() / ("zolmet-life-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  ServerProcess server(folder, "/", {"--lifetime", "1"});
  const int port = server.port();
  const int status = server.WaitForEnd();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // Gone by itself: connecting is refused.
  int c = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  EXPECT_NE(connect(c, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  close(c);
  std::filesystem::remove_all(folder);
}

TEST_F(FetchTest, TimeLimitsFromTheEnvironment) {
  Serve("envstall", Pattern(3000), "stall");
  setenv("ZOLMET_INET_TIMEOUTS", "5000,2000", 1);
  win::ResetInternetTimeouts();
  std::string text;
  std::uint64_t start = win::MonotonicMs();
  bool ok = Get("envstall", text);
  unsetenv("ZOLMET_INET_TIMEOUTS");
  EXPECT_FALSE(ok);
  EXPECT_LT(win::MonotonicMs() - start, 30000u);  // the default receive limit
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: The operation timed out."}));
}

TEST_F(FetchTest, RepliesLongerThan16MiBAreReadFailures) {
  const size_t kMax = 16 * 1024 * 1024;
  // The limit itself is taken...
  Serve("max", Pattern(kMax));
  std::string text;
  ASSERT_TRUE(Get("max", text));
  EXPECT_EQ(text.size(), kMax);
  EXPECT_EQ(ErrLog(), "");
  // ...one byte more, a 17 MiB reply and a reply without end are not.
  Serve("max1", Pattern(kMax + 1));
  Serve("oversize", "K1\rEND\r", "oversize");
  Serve("endless", "K1\rEND\r", "endless");
  for (const char* id : {"max1", "oversize", "endless"}) {
    SCOPED_TRACE(id);
    text = "unchanged";
    EXPECT_FALSE(Get(id, text));
    EXPECT_TRUE(text == "unchanged") << text.size() << " bytes";
    EXPECT_EQ(printclient::uuPrintData::PrintDataError, "讀取失敗");
    EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: 資料超過 16777216 bytes"}));
    std::remove(root_.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt").c_str());
  }
}

// Fetches ID in a child process and returns its peak resident size in KiB;
// the child's exit status says how the fetch ended: 0 a read failure, 1
// anything else, 3 the peak passed CAPKIB (it stops there), 14 no end in 60 s.
static long FetchPeakKiB(const std::string& host, const std::string& id, long capKiB, int& exitStatus) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    alarm(60);
    std::thread([capKiB] {
      for (;;) {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        if (u.ru_maxrss > capKiB) _exit(3);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }).detach();
    std::string text;
    bool ok = printclient::uuPrintData::GetPrintData("", host, "/", id, text);
    _exit(!ok && printclient::uuPrintData::PrintDataError == "讀取失敗" ? 0 : 1);
  }
  int status = 0;
  rusage u{};
  wait4(pid, &status, 0, &u);
  exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return u.ru_maxrss;
}

TEST_F(FetchTest, OversizeAndEndlessRepliesKeepMemoryBounded) {
  Serve("small", Pattern(100));
  Serve("big", "K1\rEND\r", "oversize");
  Serve("endless", "K1\rEND\r", "endless");
  int status = -1;
  // The small reply's child ends as a success (1 here); its peak is the base.
  long base = FetchPeakKiB(server_->host(), "small", 1L << 30, status);
  EXPECT_EQ(status, 1);
  const long capKiB = base + 256 * 1024;
  for (const char* id : {"big", "endless"}) {
    SCOPED_TRACE(id);
    long peak = FetchPeakKiB(server_->host(), id, capKiB, status);
    EXPECT_EQ(status, 0) << "3: over the cap, 14: no end";
    // The reply is held once: at most 16 MiB, with room for the string's
    // growth and the sanitizer's quarantine of the buffers it outgrew.
    EXPECT_LT(peak - base, 64 * 1024) << "peak " << peak << " KiB, base " << base << " KiB";
    std::printf("peak resident size fetching %s: %ld KiB (base %ld KiB, +%ld KiB)\n", id, peak, base,
                peak - base);
  }
}

TEST_F(FetchTest, TricklesEndAtTheOverallLimit) {
  // One byte, one header line or one "100 Continue" every 100 ms: never
  // silent for the receive limit, stopped by the overall one.
  const std::string body = Pattern(3000);
  Serve("trickle", body, "trickle");
  Serve("trickle-headers", body, "trickle-headers");
  Serve("trickle-continue", body, "trickle-continue");
  for (const char* id : {"trickle", "trickle-headers", "trickle-continue"}) {
    SCOPED_TRACE(id);
    win::SetInternetTimeouts(5000, 1000, 1500);
    std::string text = "unchanged";
    std::uint64_t start = win::MonotonicMs();
    EXPECT_FALSE(Get(id, text));
    std::uint64_t took = win::MonotonicMs() - start;
    EXPECT_GE(took, 1450u);
    EXPECT_LT(took, 60000u);  // the trickle alone lasts 300 s
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(printclient::uuPrintData::PrintDataError, "讀取失敗");
    EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: The operation timed out."}));
    const std::string url = Url(server_->host(), id);
    EXPECT_EQ(DebugLog(), Entries({"[GPD] 初始成功", "[GPD] 連線成功 " + url}));
    for (const char* kind : {"err", "debug"})
      std::remove(root_.Host(std::string("C:\\Zolmet\\Logs\\090831.ZolmetPrint.") + kind + ".txt").c_str());
  }
}

TEST_F(FetchTest, OverallLimitFromTheEnvironment) {
  Serve("envtrickle", Pattern(3000), "trickle");
  setenv("ZOLMET_INET_TIMEOUTS", "5000,1000,800", 1);
  win::ResetInternetTimeouts();
  std::string text;
  std::uint64_t start = win::MonotonicMs();
  bool ok = Get("envtrickle", text);
  std::uint64_t took = win::MonotonicMs() - start;
  unsetenv("ZOLMET_INET_TIMEOUTS");
  EXPECT_FALSE(ok);
  EXPECT_GE(took, 750u);
  EXPECT_LT(took, 60000u);  // the trickle alone lasts 300 s
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: The operation timed out."}));
}

TEST_F(FetchTest, RedirectsAreFollowedAndLogged) {
  // Another server stands for another host.
  std::string otherFolder = *folder_ + "-other";
  WriteFile(otherFolder + "/there.raw", "K1\rEND\r");
  ServerProcess other(otherFolder);
  const std::string there = Url(other.host(), "there");
  WriteFile(*folder_ + "/hop1.txt", "redirect hop2\n");
  WriteFile(*folder_ + "/hop2.txt", "redirect " + there + "\n");
  std::string text;
  ASSERT_TRUE(Get("hop1", text));
  EXPECT_EQ(text, "K1\rEND\r");
  const std::string url = Url(server_->host(), "hop1");
  EXPECT_EQ(DebugLog(), Entries({"[GPD] 初始成功", "[GPD] 重新導向 " + Url(server_->host(), "hop2"),
                                 "[GPD] 重新導向 " + there, "[GPD] 連線成功 " + url,
                                 "[GPD] 成功取得列印資料 " + url}));
  EXPECT_EQ(ErrLog(), "");
  std::filesystem::remove_all(otherFolder);
}

// A redirect that cannot be followed fails the connection with what went
// wrong, logged under the URL whose reply asked for it.
TEST_F(FetchTest, RedirectsThatCannotBeFollowedSayWhy) {
  const std::string loop = "The redirection failed: the redirects run in a loop.";
  const std::string tooMany = "The redirection failed: more than 10 redirects.";
  const std::string scheme = "The redirection failed: the new location does not use http or https.";
  // To itself, and back and forth.
  WriteFile(*folder_ + "/self.txt", "redirect self\n");
  WriteFile(*folder_ + "/ping.txt", "redirect pong\n");
  WriteFile(*folder_ + "/pong.txt", "redirect ping\n");
  WriteFile(*folder_ + "/toftp.txt", "redirect ftp://127.0.0.1/PrintData.aspx?d=x\n");
  WriteFile(*folder_ + "/tofile.txt", "redirect file:///etc/passwd\n");
  const std::string refused = "http://127.0.0.1:" + std::to_string(printdata_test::UnusedPort()) + "/PrintData.aspx?d=x";
  WriteFile(*folder_ + "/torefused.txt", "redirect " + refused + "\n");
  struct Case {
    std::string id, why, failed;
    std::vector<std::string> redirects;
  };
  // Eleven distinct hops are one too many; ten are followed.
  std::vector<std::string> chain;
  for (int i = 0; i <= 11; ++i) {
    WriteFile(*folder_ + "/chain" + std::to_string(i) + ".txt", "redirect chain" + std::to_string(i + 1) + "\n");
    if (i >= 1 && i <= 10) chain.push_back(Url(server_->host(), "chain" + std::to_string(i)));
  }
  const std::string pong = Url(server_->host(), "pong");
  for (const Case& c : {Case{"self", loop, Url(server_->host(), "self"), {}}, Case{"ping", loop, pong, {pong}},
                        Case{"chain0", tooMany, chain.back(), chain},
                        Case{"toftp", scheme, Url(server_->host(), "toftp"), {}},
                        Case{"tofile", scheme, Url(server_->host(), "tofile"), {}},
                        Case{"torefused", "The attempt to connect to the server failed.", refused, {refused}}}) {
    SCOPED_TRACE(c.id);
    std::string text = "unchanged";
    EXPECT_FALSE(Get(c.id, text));
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(printclient::uuPrintData::PrintDataError, "連線失敗");
    EXPECT_EQ(ErrLog(), Entries({"[GPD] 開啟服務失敗(連線失敗):" + c.why + " " + c.failed}));
    std::vector<std::string> debug = {"[GPD] 初始成功"};
    for (const std::string& r : c.redirects) debug.push_back("[GPD] 重新導向 " + r);
    EXPECT_EQ(DebugLog(), Entries(debug));
    for (const char* kind : {"err", "debug"})
      std::remove(root_.Host(std::string("C:\\Zolmet\\Logs\\090831.ZolmetPrint.") + kind + ".txt").c_str());
  }
}
