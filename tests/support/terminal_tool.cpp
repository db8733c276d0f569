// zolmet-test-terminal: runs a program on a pseudo-terminal of its own and
// answers its questions by button label, as a person at the terminal would.
// What the program shows is copied to standard output (without CRs).
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

namespace {

long NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

const char kHelp[] =
    "usage: zolmet-test-terminal [--timeout SEC] [--press LABEL | [--after SEC | --when TEXT] --type LINE |\n"
    "                            --eof]... -- PROGRAM [ARG...]\n"
    "Runs PROGRAM on a pseudo-terminal and answers it as a person would; what it\n"
    "shows is copied to standard output (without CRs).\n"
    "  --press LABEL  at the next prompt (a line ending in \"> \" after a quiet\n"
    "                 moment), types the number of the offered line \"  N) LABEL\"\n"
    "                 (a mark \" *\", \" [down]\" or \" (disabled)\" after it ignored)\n"
    "  --type LINE    at the next prompt, types LINE as it is\n"
    "  --after SEC    the --type after it is typed SEC seconds (fractions allowed)\n"
    "                 after the previous answer (or the start), prompt or not:\n"
    "                 what a person types while the program works\n"
    "  --when TEXT    the --type after it is typed as soon as TEXT is shown after\n"
    "                 the previous answer, prompt or not\n"
    "  --eof          at the next prompt, ends the input (Ctrl-D)\n"
    "  --timeout SEC  gives up after SEC seconds (default 30)\n"
    "  --help         shows this\n"
    "Exit code: the program's own; 124 when it has not ended in time, 125 when it\n"
    "asks a question that has no answer here, 126 when it cannot be started.\n";

int Usage() {
  std::fputs(kHelp, stderr);
  return 2;
}

// The number of the offered line "  N) LABEL" (maybe marked " *" as the
// default) in the list just above the prompt at the end of SHOWN; 0 if none.
int OfferedNumber(const std::string& shown, const std::string& label) {
  size_t end = shown.rfind('\n');  // the prompt line starts after it
  while (end != std::string::npos && end > 0) {
    size_t start = shown.rfind('\n', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    std::string line = shown.substr(start, end - start);
    size_t paren = line.find(") ");
    if (line.rfind("  ", 0) != 0 || paren == std::string::npos || paren < 3) break;
    std::string number = line.substr(2, paren - 2), text = line.substr(paren + 2);
    if (number.find_first_not_of("0123456789") != std::string::npos) break;
    for (const char* mark : {" *", " (disabled)", " [down]"}) {
      const std::string m = mark;
      if (text.size() >= m.size() && text.compare(text.size() - m.size(), m.size(), m) == 0)
        text.resize(text.size() - m.size());
    }
    if (text == label) return std::atoi(number.c_str());
    if (start == 0) break;
    end = start - 1;
  }
  return 0;
}

// Copies BUF to standard output and to SHOWN, CRs dropped.
void Show(const char* buf, ssize_t n, std::string& shown) {
  std::string part;
  for (ssize_t i = 0; i < n; ++i)
    if (buf[i] != '\r') part += buf[i];
  shown += part;
  std::fwrite(part.data(), 1, part.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  long timeoutMs = 30000;
  // The answers in order: a label to press, or (marked) a line to type.
  // AFTER: typed that many ms after the previous answer, prompt or not (-1: at a prompt).
  // WHEN: typed once that text is shown after the previous answer.
  struct Answer {
    bool typed;
    std::string text;
    long after;
    std::string when;
  };
  std::deque<Answer> presses;
  long after = -1;
  std::string when;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (a == "--timeout" && i + 1 < argc) timeoutMs = std::atol(argv[++i]) * 1000;
    else if (a == "--after" && i + 1 < argc) after = static_cast<long>(std::atof(argv[++i]) * 1000);
    else if (a == "--when" && i + 1 < argc) when = argv[++i];
    else if ((a == "--press" || a == "--type") && i + 1 < argc) {
      if (a == "--press" && (after >= 0 || !when.empty())) return Usage();
      presses.push_back({a == "--type", argv[++i], after, when});
      after = -1;
      when.clear();
    } else if (a == "--eof" && after < 0 && when.empty()) {
      presses.push_back({true, "\x04", -1, ""});
    } else if (a == "--") break;
    else return Usage();
  }
  if (i + 1 >= argc || timeoutMs <= 0) return Usage();
  char** program = argv + i + 1;

  int fd = -1;
  pid_t pid = forkpty(&fd, nullptr, nullptr, nullptr);
  if (pid < 0) {
    std::perror("zolmet-test-terminal: forkpty");
    return 126;
  }
  if (pid == 0) {
    execvp(program[0], program);
    std::fprintf(stderr, "zolmet-test-terminal: cannot run %s\n", program[0]);
    _exit(126);
  }

  const long deadline = NowMs() + timeoutMs;
  std::string shown;
  size_t answeredAt = 0;  // SHOWN up to here is before the last answer
  long quietSince = NowMs(), answeredWhen = NowMs();
  int result = -1;
  char buf[4096];
  for (;;) {
    long left = deadline - NowMs();
    if (left <= 0) {
      std::fprintf(stderr, "\nzolmet-test-terminal: %s has not ended within %ld s\n", program[0], timeoutMs / 1000);
      result = 124;
      break;
    }
    // An answer typed at its time, or once its text shows, whatever else
    // the program shows.
    if (!presses.empty() &&
        ((presses.front().after >= 0 && NowMs() - answeredWhen >= presses.front().after) ||
         (!presses.front().when.empty() && shown.find(presses.front().when, answeredAt) != std::string::npos))) {
      const std::string line = presses.front().text + "\n";
      presses.pop_front();
      if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
      answeredAt = shown.size();
      answeredWhen = NowMs();
      continue;
    }
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left < 20 ? left : 20));
    if (r < 0 && errno != EINTR) break;
    if (r > 0) {
      ssize_t n = read(fd, buf, sizeof buf);
      if (n <= 0) break;  // the program has ended and closed the terminal
      Show(buf, n, shown);
      quietSince = NowMs();
      continue;
    }
    // Quiet for a moment at a prompt: the program waits for an answer.
    bool atPrompt = shown.size() > answeredAt && shown.size() >= 2 &&
                    shown.compare(shown.size() - 2, 2, "> ") == 0 && NowMs() - quietSince >= 100;
    if (!atPrompt || (!presses.empty() && (presses.front().after >= 0 || !presses.front().when.empty()))) continue;
    if (presses.empty()) {
      std::fprintf(stderr, "\nzolmet-test-terminal: a question with no answer scripted\n");
      result = 125;
      break;
    }
    // End of input is Ctrl-D alone, at the start of a line.
    std::string line = presses.front().text == "\x04" ? "\x04" : presses.front().text + "\n";
    if (!presses.front().typed) {
      int number = OfferedNumber(shown.substr(answeredAt), presses.front().text);
      if (number == 0) {
        std::fprintf(stderr, "\nzolmet-test-terminal: \"%s\" is not offered\n", presses.front().text.c_str());
        result = 125;
        break;
      }
      line = std::to_string(number) + "\n";
    }
    presses.pop_front();
    if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
    answeredAt = shown.size();
    answeredWhen = NowMs();
  }

  int status = 0;
  if (result >= 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  } else {
    // The terminal has closed; the program ends (bounded by the deadline).
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (NowMs() >= deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        close(fd);
        return 124;
      }
      usleep(20000);
    }
    result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  close(fd);
  return result;
}
