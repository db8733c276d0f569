#include "dialogs.h"

#include <poll.h>
#include <unistd.h>

#include <iostream>
#include <mutex>

#include "platform/classes/sysutils.h"
#include "platform/classes/threads.h"
#include "platform/sysroot/codepage.h"

namespace ui {
namespace {

std::mutex g_mutex;
std::vector<TRecordedDialog> g_recorded;
std::deque<int> g_answers;
std::string g_title;
bool g_echo = true;
bool g_terminalEnded = false;  // the terminal's input reached its end

const char* ButtonLabel(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    case mrAll: return "All";
    case mrNoToAll: return "No to All";
    case mrYesToAll: return "Yes to All";
    default: return "?";
  }
}

// A button's name (the caption without spaces).
std::string ButtonName(int id) {
  std::string name;
  for (const char* p = ButtonLabel(id); *p; ++p)
    if (*p != ' ') name += *p;
  return name;
}

std::vector<int> MessageBoxButtons(unsigned flags) {
  switch (flags & 0xF) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
  }
}

// The question and its numbered buttons; MARKED (the answer taken without
// asking) gets " *".
void Echo(const std::string& caption, const std::string& text,
          const std::vector<std::pair<int, std::string>>& buttons, int marked) {
  std::cerr << "[" << ForTerminal(caption) << "] " << ForTerminal(text) << "\n";
  for (size_t i = 0; i < buttons.size(); ++i)
    std::cerr << "  " << (i + 1) << ") " << ForTerminal(buttons[i].second)
              << (buttons[i].first == marked ? " *" : "") << "\n";
}

std::vector<std::pair<int, std::string>> Labelled(const std::vector<int>& ids) {
  std::vector<std::pair<int, std::string>> out;
  for (int id : ids) out.emplace_back(id, ButtonLabel(id));
  return out;
}

int Show(const std::string& kind, const std::string& caption, const std::string& text,
         unsigned icon, const std::vector<int>& buttons, int defaultAnswer) {
  // No window on a worker: the main thread shows it, the worker goes on
  // with the default answer.
  if (cls::IsWorkerThread()) {
    cls::QueueToMainThread(nullptr, [=] { Show(kind, caption, text, icon, buttons, defaultAnswer); });
    return defaultAnswer;
  }
  TRecordedDialog d{kind, caption, text, icon, buttons, 0};
  d.answer = AskModal(caption, text, Labelled(buttons), defaultAnswer);
  RecordDialog(d);
  return d.answer;
}

}  // namespace

std::string ForTerminal(const std::string& big5) { return ForTerminalUtf8(cp::Big5ToUtf8(big5)); }

std::string ForTerminalUtf8(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const unsigned char next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if (c == '\r') {
      out += '\n';
      if (next == '\n') ++i;  // CR LF is one break
    } else if (c == '\n' || c == '\t') {
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      out += '^';
      out += static_cast<char>(c ^ 0x40);
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080..U+009F
      out += "M-^";
      out += static_cast<char>((next - 0x80) ^ 0x40);
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void SetApplicationTitle(const std::string& title) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_title = title;
}

std::string ApplicationTitle() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_title;
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  std::vector<int> buttons = MessageBoxButtons(flags);
  size_t def = (flags >> 8) & 0xF;
  int defaultAnswer = buttons[def < buttons.size() ? def : 0];
  return Show("MessageBox", caption, text, flags & 0xF0, buttons, defaultAnswer);
}

void ShowMessage(const std::string& text) {
  Show("ShowMessage", ApplicationTitle(), text, 0, {IDOK}, IDOK);
}

int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int) {
  static const std::pair<unsigned, int> order[] = {
      {mbYes, mrYes}, {mbNo, mrNo}, {mbOK, mrOk}, {mbCancel, mrCancel}, {mbAbort, mrAbort},
      {mbRetry, mrRetry}, {mbIgnore, mrIgnore}, {mbAll, mrAll}, {mbNoToAll, mrNoToAll},
      {mbYesToAll, mrYesToAll}};
  std::vector<int> ids;
  for (auto [bit, id] : order)
    if (buttons & bit) ids.push_back(id);
  if (ids.empty()) ids.push_back(mrOk);
  unsigned icon = 0;
  const char* caption = "";
  switch (type) {
    case TMsgDlgType::mtWarning: icon = MB_ICONWARNING; caption = "Warning"; break;
    case TMsgDlgType::mtError: icon = MB_ICONERROR; caption = "Error"; break;
    case TMsgDlgType::mtInformation: icon = MB_ICONINFORMATION; caption = "Information"; break;
    case TMsgDlgType::mtConfirmation: icon = MB_ICONQUESTION; caption = "Confirm"; break;
    case TMsgDlgType::mtCustom: break;
  }
  std::string cap = type == TMsgDlgType::mtCustom ? ApplicationTitle() : caption;
  // Yes, OK and All default; otherwise the first button.
  int def = ids.front();
  for (int id : ids)
    if (id == mrYes || id == mrOk || id == mrAll) {
      def = id;
      break;
    }
  return Show("MessageDlg", cap, text, icon, ids, def);
}

std::vector<TRecordedDialog> RecordedDialogs() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_recorded;
}

void ClearRecordedDialogs() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_recorded.clear();
}

void RecordDialog(const TRecordedDialog& d) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_recorded.push_back(d);
}

void ScriptAnswers(std::deque<int> answers) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_answers = std::move(answers);
}

void ClearScriptedAnswers() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_answers.clear();
}

void SetEchoDialogs(bool on) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_echo = on;
}

bool EchoDialogs() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_echo;
}

int CloseAnswer(const std::vector<std::pair<int, std::string>>& buttons, int defaultAnswer) {
  for (int id : {IDCANCEL, IDNO, IDOK})
    for (const auto& b : buttons)
      if (b.first == id) return id;
  return defaultAnswer;
}

bool TerminalInputEnded() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_terminalEnded;
}

void DropTypedAhead() {
  if (!TerminalAvailable()) return;
  for (;;) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) return;
    std::optional<std::string> line = ReadTerminalLine("");
    if (!line) return;
    const std::string entry = TrimmedEntry(*line);
    if (!entry.empty())
      std::cerr << ForTerminal(entry) << ": typed while the program worked, not taken here\n";
  }
}

bool TerminalAvailable() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_terminalEnded) return false;
  }
  return isatty(STDIN_FILENO) != 0;
}

std::optional<std::string> ReadTerminalLine(const std::string& prompt) {
  if (!TerminalAvailable()) return std::nullopt;
  std::cerr << ForTerminal(prompt) << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_terminalEnded = true;
    if (!prompt.empty()) std::cerr << "\n";  // the prompt's line ends
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return cp::Utf8ToBig5(line);
}

std::string StripAccelerator(const std::string& caption) {
  std::string out;
  out.reserve(caption.size());
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) ++i;  // "&&" is one "&"
    else if (caption[i] == '&') continue;
    out += caption[i];
  }
  return out;
}

std::string TrimmedEntry(const std::string& line) {
  const size_t first = line.find_first_not_of(" \t");
  return first == std::string::npos ? "" : line.substr(first, line.find_last_not_of(" \t") - first + 1);
}

bool CaptionMatches(const std::string& caption, const std::string& entry) {
  return !entry.empty() && cls::AnsiCompareText(StripAccelerator(caption), StripAccelerator(entry)) == 0;
}

std::optional<int> AskOnTerminal(const std::string& caption, const std::string& text,
                                 const std::vector<std::pair<int, std::string>>& buttons,
                                 int defaultAnswer) {
  if (!TerminalAvailable()) return std::nullopt;
  DropTypedAhead();
  if (TerminalInputEnded()) return CloseAnswer(buttons, defaultAnswer);
  // No mark: an empty line takes nothing here.
  Echo(caption, text, buttons, 0);
  for (;;) {
    std::optional<std::string> line = ReadTerminalLine("> ");
    if (!line) return CloseAnswer(buttons, defaultAnswer);  // the end of input closes the window
    const std::string entry = TrimmedEntry(*line);
    if (entry == "<close>" || cls::AnsiCompareText(entry, "<Esc>") == 0) return CloseAnswer(buttons, defaultAnswer);
    if (!entry.empty() && entry.find_first_not_of("0123456789") == std::string::npos) {
      const size_t n = entry.size() <= 9 ? std::stoul(entry) : 0;
      if (n >= 1 && n <= buttons.size()) return buttons[n - 1].first;
    }
    for (const auto& [id, label] : buttons)
      if (CaptionMatches(label, entry) || cls::AnsiCompareText(ButtonName(id), entry) == 0) return id;
    std::string offered;
    for (size_t i = 0; i < buttons.size(); ++i)
      offered += (i ? ", " : "") + std::to_string(i + 1) + " " + buttons[i].second;
    std::cerr << ForTerminal(entry) << ": not a button here (" << ForTerminal(offered) << ", <Esc>)\n";
  }
}

int AskModal(const std::string& caption, const std::string& text,
             const std::vector<std::pair<int, std::string>>& buttons, int defaultAnswer) {
  bool echo;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    echo = g_echo;
    if (!g_answers.empty()) {
      int a = g_answers.front();
      g_answers.pop_front();
      if (echo) std::cerr << "[" << ForTerminal(caption) << "] " << ForTerminal(text) << "\n";
      return a;
    }
  }
  if (buttons.size() > 1)
    if (std::optional<int> a = AskOnTerminal(caption, text, buttons, defaultAnswer)) return *a;
  const int answer = TerminalInputEnded() ? CloseAnswer(buttons, defaultAnswer) : defaultAnswer;
  if (echo) Echo(caption, text, buttons, answer);
  return answer;
}

}  // namespace ui
