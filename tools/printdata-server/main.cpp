// A print-data web server for the demo and the tests, on 127.0.0.1 only.
//
//   printdata-server --dir FOLDER [--port N] [--path /P/] [--lifetime SEC] [--seed N]
//                    [--trickle-ms N] [--quiet]
//
// Prints the port it listens on as the first line of standard output, then
// serves GET <path>PrintData.aspx?d=<id> from the folder:
//   <id>.raw  is sent byte for byte (with the transport faults listed in
//             <id>.faults, if that file exists: stall, stall-headers,
//             close-mid-body, dribble, truncate, error-page, oversize, endless,
//             trickle, trickle-headers, trickle-continue);
//   <id>.txt  is a receipt file (UTF-8) built into a reply in Big5:
//     key N            a K record (the first receipt gets "key 1" if none came before)
//     receipt BARCODE  a receipt ("-" for no bar code); its text lines follow,
//                      up to a line "." (a leading ".." stands for ".")
//     log TEXT         an L record
//     show TEXT        an S record
//     charset big5     the file is Big5 already
//     redirect TARGET  a 302 to the id TARGET on this server, or to the URL
//                      TARGET when it holds "://" (any scheme)
//     fault MODE       a broken reply on purpose, see kFaults
// Other ids get a 404 page. Filler counts and bytes are random, or follow
// --seed N (the same reply for every request). A proxy-style request
// (GET http://host/...) is served the same way. Ends on SIGTERM or SIGINT,
// or after its lifetime (default 600 s). The trickle faults pause
// --trickle-ms (default 100) between their pieces.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/uuCoding.h"
#include "platform/process/clock.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"

namespace {

const std::set<std::string> kFaults = {
    "crlf",           // CR LF line ends
    "no-end",         // the END line is missing
    "extra-end",      // an END after the first record too
    "bad-key",        // the first K record is "K0"
    "no-key",         // no K records
    "bad-barcode",    // the first bar code's check digit is off by one
    "non-hex",        // the first D record ends in a pair that is not hex
    "filler-29",      // the first D record has 29 filler bytes
    "filler-200",     // the first D record has 200 filler bytes
    "short-stream",   // the first D record is shorter than its filler count
    "truncate",       // only the first half of the body is sent (and announced)
    "error-page",     // an HTTP 500 page instead of the reply
    "stall",          // half the body, then silence until the client gives up
    "stall-headers",  // no answer at all
    "close-mid-body", // the full length is announced, half is sent, then the connection closes
    "dribble",        // the body in small pieces with pauses
    "oversize",       // L records before the reply make it 17 MiB long
    "endless",        // no length announced; the reply, then L records without end
    "trickle",        // the header lines one at a time, then the body one byte at a time
    "trickle-headers",   // a header line at a time, without end
    "trickle-continue",  // "100 Continue" again and again, without end
};

constexpr size_t kOversize = 17 * 1024 * 1024;

int g_stopPipe[2] = {-1, -1};
std::string g_dir, g_path = "/";
bool g_quiet = false;
bool g_seeded = false;
unsigned g_seed = 0;
int g_trickleMs = 100;
std::mutex g_logMutex;

void OnSignal(int) {
  char c = 1;
  ssize_t r = write(g_stopPipe[1], &c, 1);
  (void)r;
}

bool Stopping() {
  pollfd p{g_stopPipe[0], POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

void Note(const std::string& s) {
  if (g_quiet) return;
  std::lock_guard<std::mutex> lock(g_logMutex);
  std::fprintf(stderr, "printdata-server: %s\n", s.c_str());
}

struct Receipt {
  std::string barcode, text;
};

struct Reply {
  std::string body;
  std::set<std::string> faults;
  std::string redirect;  // where a 302 sends the client
};

// An L record of padding, CR included.
std::string Padding(size_t n) { return "L" + std::string(n - 2, 'p') + "\r"; }

// Breaks BODY as the faults that change its bytes say.
void ApplyBodyFaults(Reply& reply) {
  if (reply.faults.count("truncate")) reply.body.resize(reply.body.size() / 2);
  if (reply.faults.count("oversize")) {
    std::string pad;
    pad.reserve(kOversize);
    while (pad.size() + reply.body.size() < kOversize) pad += Padding(1024);
    reply.body.insert(0, pad);
  }
}

std::string RandomFiller(std::mt19937& rng, int count) {
  std::string f;
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < count; ++i) f += static_cast<char>(byte(rng));
  return f;
}

// Builds the reply of a receipt file. False with ERROR on a bad file.
bool BuildReply(const std::string& file, Reply& reply, std::string& error) {
  std::mt19937 rng{g_seeded ? g_seed : std::random_device{}()};
  std::vector<std::string> records;
  std::istringstream in(file);
  std::string line;
  bool big5 = false, haveKey = false, firstD = true, firstBarcode = true, firstK = true;
  int key = 1;
  int lineNo = 0;
  auto conv = [&big5](const std::string& s) { return big5 ? s : cp::Utf8ToBig5(s); };
  std::vector<std::string> raw;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    raw.push_back(line);
  }
  // First pass: directives that shape the rest.
  for (const std::string& l : raw) {
    if (l == "charset big5") big5 = true;
    if (l.rfind("fault ", 0) == 0) {
      std::string m = l.substr(6);
      if (!kFaults.count(m)) {
        error = "unknown fault " + m;
        return false;
      }
      reply.faults.insert(m);
    }
  }
  const auto& F = reply.faults;
  for (size_t i = 0; i < raw.size(); ++i) {
    const std::string& l = raw[i];
    lineNo = static_cast<int>(i + 1);
    if (l.empty() || l[0] == '#' || l.rfind("fault ", 0) == 0 || l.rfind("charset ", 0) == 0) continue;
    size_t sp = l.find(' ');
    std::string word = l.substr(0, sp), arg = sp == std::string::npos ? "" : l.substr(sp + 1);
    if (word == "key") {
      key = std::atoi(arg.c_str());
      haveKey = true;
      if (!F.count("no-key")) {
        records.push_back("K" + std::string(F.count("bad-key") && firstK ? "0" : arg));
        firstK = false;
      }
    } else if (word == "log") {
      records.push_back("L" + conv(arg));
    } else if (word == "redirect") {
      reply.redirect = arg;
    } else if (word == "show") {
      records.push_back("S" + conv(arg));
    } else if (word == "receipt") {
      Receipt r;
      r.barcode = arg == "-" ? "" : arg;
      std::string text;
      bool closed = false, firstLine = true;
      for (++i; i < raw.size(); ++i) {
        if (raw[i] == ".") {
          closed = true;
          break;
        }
        if (!firstLine) text += '\n';
        firstLine = false;
        text += raw[i].rfind("..", 0) == 0 ? raw[i].substr(1) : raw[i];
      }
      if (!closed) {
        error = "receipt at line " + std::to_string(lineNo) + " has no closing \".\"";
        return false;
      }
      r.text = conv(text);
      if (!haveKey) {
        haveKey = true;
        key = 1;
        if (!F.count("no-key")) {
          records.push_back(std::string("K") + (F.count("bad-key") && firstK ? "0" : "1"));
          firstK = false;
        }
      }
      if (F.count("bad-barcode") && firstBarcode && !r.barcode.empty()) {
        char& last = r.barcode.back();
        if (last >= '0' && last <= '9') last = static_cast<char>('0' + (last - '0' + 1) % 10);
        firstBarcode = false;
      }
      int fillerCount = std::uniform_int_distribution<int>(30, 199)(rng);
      if (firstD && F.count("filler-29")) fillerCount = 29;
      if (firstD && F.count("filler-200")) fillerCount = 200;
      std::string d = uuCoding::EncodeData(r.barcode + "\n" + r.text, key, RandomFiller(rng, fillerCount));
      if (firstD && F.count("non-hex")) d.replace(d.size() - 2, 2, "ZZ");
      if (firstD && F.count("short-stream")) d.resize(20);
      firstD = false;
      records.push_back("D" + d);
    } else {
      error = "unknown line " + std::to_string(lineNo) + ": " + l;
      return false;
    }
  }
  if (F.count("extra-end") && !records.empty()) records.insert(records.begin() + 1, "END");
  if (!F.count("no-end")) records.push_back("END");
  const std::string eol = F.count("crlf") ? "\r\n" : "\r";
  for (const std::string& r : records) reply.body += r + eol;
  ApplyBodyFaults(reply);
  return true;
}

bool SendAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    ssize_t w = send(fd, data, n, MSG_NOSIGNAL);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool SendAll(int fd, const std::string& s) { return SendAll(fd, s.data(), s.size()); }

// Waits until the client closes, the server stops or MS have passed.
void WaitQuiet(int fd, int ms) {
  std::uint64_t until = win::MonotonicMs() + static_cast<std::uint64_t>(ms);
  char buf[512];
  for (;;) {
    std::uint64_t now = win::MonotonicMs();
    if (now >= until) return;
    pollfd p[2] = {{g_stopPipe[0], POLLIN, 0}, {fd, POLLIN, 0}};
    int r = poll(p, 2, static_cast<int>(until - now));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p[0].revents & POLLIN)) return;
    if (p[1].revents) {
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return;
    }
  }
}

std::string Header(int status, const char* reason, size_t length, const char* type) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nContent-Type: " + type +
         "\r\nContent-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

bool ValidId(const std::string& id) {
  if (id.empty() || id.size() > 100) return false;
  for (char c : id)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
  return true;
}

void Serve(int fd) {
  std::string req;
  char buf[2048];
  std::uint64_t until = win::MonotonicMs() + 10000;
  while (req.find("\r\n\r\n") == std::string::npos && req.size() < 16384) {
    std::uint64_t now = win::MonotonicMs();
    if (now >= until) break;
    pollfd p[2] = {{g_stopPipe[0], POLLIN, 0}, {fd, POLLIN, 0}};
    int r = poll(p, 2, static_cast<int>(until - now));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p[0].revents & POLLIN)) break;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    req.append(buf, static_cast<size_t>(n));
  }
  if (req.find("\r\n\r\n") == std::string::npos) {
    close(fd);
    return;
  }
  std::string first = req.substr(0, req.find("\r\n"));
  std::string target;
  if (first.rfind("GET ", 0) == 0) {
    size_t sp = first.find(' ', 4);
    target = first.substr(4, sp == std::string::npos ? std::string::npos : sp - 4);
  }
  if (target.rfind("http://", 0) == 0) {
    size_t slash = target.find('/', 7);
    target = slash == std::string::npos ? "/" : target.substr(slash);
  }
  const std::string prefix = g_path + "PrintData.aspx?d=";
  std::string id = target.rfind(prefix, 0) == 0 ? target.substr(prefix.size()) : "";
  Note("GET " + target);

  std::string content;
  Reply reply;
  std::string error;
  bool found = false;
  if (ValidId(id)) {
    if (sysroot::ReadHostFile(g_dir + "/" + id + ".raw", content)) {
      reply.body = content;
      found = true;
      std::string faults;
      if (sysroot::ReadHostFile(g_dir + "/" + id + ".faults", faults)) {
        std::istringstream words(faults);
        for (std::string w; words >> w;) {
          if (kFaults.count(w)) reply.faults.insert(w);
          else Note(id + ".faults: unknown fault " + w);
        }
        ApplyBodyFaults(reply);
      }
    } else if (sysroot::ReadHostFile(g_dir + "/" + id + ".txt", content)) {
      if (!BuildReply(content, reply, error)) {
        Note(id + ".txt: " + error);
        std::string page = "<html><body><h1>Bad receipt file</h1></body></html>";
        SendAll(fd, Header(500, "Internal Server Error", page.size(), "text/html") + page);
        close(fd);
        return;
      }
      found = true;
    }
  }
  if (!found) {
    std::string page = "<html><body><h1>404 Not Found</h1></body></html>";
    SendAll(fd, Header(404, "Not Found", page.size(), "text/html") + page);
    close(fd);
    return;
  }
  const auto& F = reply.faults;
  const std::string& body = reply.body;
  const char* type = "text/plain; charset=big5";
  // Waits one trickle pause; false when the server is stopping.
  auto pause = [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(g_trickleMs));
    return !Stopping();
  };
  if (!reply.redirect.empty()) {
    std::string to = reply.redirect.find("://") != std::string::npos ? reply.redirect
                                                            : g_path + "PrintData.aspx?d=" + reply.redirect;
    std::string page = "<html><body>Moved</body></html>";
    SendAll(fd, "HTTP/1.1 302 Found\r\nLocation: " + to + "\r\nContent-Type: text/html\r\nContent-Length: " +
                    std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
  } else if (F.count("endless")) {
    if (SendAll(fd, "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(type) + "\r\nConnection: close\r\n\r\n") &&
        SendAll(fd, body)) {
      const std::string more = Padding(64 * 1024);
      while (!Stopping() && SendAll(fd, more)) {
      }
    }
  } else if (F.count("trickle") || F.count("trickle-headers")) {
    std::string head = Header(200, "OK", body.size(), type);
    bool ok = true;
    for (size_t at = 0; ok && at < head.size() - 2;) {  // up to the empty line
      size_t end = head.find("\r\n", at) + 2;
      ok = SendAll(fd, head.substr(at, end - at)) && pause();
      at = end;
    }
    for (int n = 0; ok && F.count("trickle-headers"); ++n)
      ok = SendAll(fd, "X-Trickle: " + std::to_string(n) + "\r\n") && pause();
    ok = ok && SendAll(fd, "\r\n");
    for (size_t at = 0; ok && at < body.size(); ++at) ok = SendAll(fd, body.data() + at, 1) && pause();
  } else if (F.count("trickle-continue")) {
    while (SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n") && pause()) {
    }
  } else if (F.count("stall-headers")) {
    WaitQuiet(fd, 3600 * 1000);
  } else if (F.count("error-page")) {
    std::string page =
        "<html><head><title>Runtime Error</title></head><body><h1>Server Error in '/' Application.</h1>"
        "</body></html>";
    SendAll(fd, Header(500, "Internal Server Error", page.size(), "text/html") + page);
  } else if (F.count("stall")) {
    if (SendAll(fd, Header(200, "OK", body.size(), type)) && SendAll(fd, body.substr(0, body.size() / 2)))
      WaitQuiet(fd, 3600 * 1000);
  } else if (F.count("close-mid-body")) {
    SendAll(fd, Header(200, "OK", body.size(), type)) && SendAll(fd, body.substr(0, body.size() / 2));
  } else if (F.count("dribble")) {
    if (SendAll(fd, Header(200, "OK", body.size(), type))) {
      for (size_t at = 0; at < body.size() && !Stopping(); at += 100) {
        if (!SendAll(fd, body.substr(at, 100))) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
      }
    }
  } else {
    SendAll(fd, Header(200, "OK", body.size(), type) + body);
  }
  // Let the client take everything before the connection goes.
  shutdown(fd, SHUT_WR);
  if (!F.count("close-mid-body")) WaitQuiet(fd, 2000);
  close(fd);
}

int Usage() {
  std::fprintf(stderr,
               "usage: printdata-server --dir FOLDER [--port N] [--path /P/] [--lifetime SEC] [--seed N]\n"
               "                        [--trickle-ms N] [--quiet]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  long lifetime = 600;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--dir" && value(v)) g_dir = v;
    else if (a == "--port" && value(v)) port = std::atoi(v.c_str());
    else if (a == "--path" && value(v)) g_path = v;
    else if (a == "--lifetime" && value(v)) lifetime = std::atol(v.c_str());
    else if (a == "--quiet") g_quiet = true;
    else if (a == "--trickle-ms" && value(v)) g_trickleMs = std::max(1, std::atoi(v.c_str()));
    else if (a == "--seed" && value(v)) {
      g_seeded = true;
      g_seed = static_cast<unsigned>(std::strtoul(v.c_str(), nullptr, 10));
    }
    else return Usage();
  }
  if (g_dir.empty() || port < 0 || port > 65535 || lifetime <= 0) return Usage();

  if (pipe2(g_stopPipe, O_CLOEXEC) != 0) return 1;
  struct sigaction sa{};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  int ls = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(ls, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (ls < 0 || bind(ls, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(ls, 64) != 0) {
    std::perror("printdata-server: listen");
    return 1;
  }
  socklen_t len = sizeof addr;
  getsockname(ls, reinterpret_cast<sockaddr*>(&addr), &len);
  std::printf("%d\n", ntohs(addr.sin_port));
  std::fflush(stdout);

  // One thread a connection, at most kMaxConnections at a time.
  constexpr int kMaxConnections = 64;
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Worker> workers;
  const std::uint64_t end = win::MonotonicMs() + static_cast<std::uint64_t>(lifetime) * 1000;
  for (;;) {
    std::uint64_t now = win::MonotonicMs();
    if (now >= end) break;
    pollfd p[2] = {{g_stopPipe[0], POLLIN, 0}, {ls, POLLIN, 0}};
    int r = poll(p, 2, static_cast<int>(std::min<std::uint64_t>(end - now, 1000)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || (p[0].revents & POLLIN)) break;
    for (auto it = workers.begin(); it != workers.end();) {
      if (*it->done) {
        it->thread.join();
        it = workers.erase(it);
      } else {
        ++it;
      }
    }
    if (p[1].revents & POLLIN) {
      int fd = accept4(ls, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0 && static_cast<int>(workers.size()) >= kMaxConnections) {
        Note("too many connections");
        close(fd);
      } else if (fd >= 0) {
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers.push_back({std::thread([fd, done] {
                             Serve(fd);
                             *done = true;
                           }),
                           done});
      }
    }
  }
  close(ls);
  OnSignal(0);  // wakes every connection still waiting
  for (Worker& w : workers) w.thread.join();
  Note("stopped");
  return 0;
}
