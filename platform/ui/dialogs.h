// Message boxes and message dialogs, headless: each is written to stderr in
// UTF-8 and recorded; its answer comes from the scripted answers (tests),
// else from the terminal when standard input is one, else the default button.
#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum TModalResult : int {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
  mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10
};

// MessageBox flags and answers (the answers equal the modal results).
constexpr unsigned MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2,
                   MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5;
constexpr unsigned MB_ICONHAND = 0x10, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
                   MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30,
                   MB_ICONASTERISK = 0x40, MB_ICONINFORMATION = 0x40;
constexpr unsigned MB_DEFBUTTON1 = 0x000, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : unsigned {
  mbYes = 1u << 0, mbNo = 1u << 1, mbOK = 1u << 2, mbCancel = 1u << 3, mbAbort = 1u << 4,
  mbRetry = 1u << 5, mbIgnore = 1u << 6, mbAll = 1u << 7, mbNoToAll = 1u << 8,
  mbYesToAll = 1u << 9, mbHelp = 1u << 10
};
using TMsgDlgButtons = unsigned;

// One shown dialog. Icon: 0 none, else the MB_ICON value.
struct TRecordedDialog {
  std::string kind;     // "MessageBox", "ShowMessage", "MessageDlg" or a form's class
  std::string caption;  // Big5, as given
  std::string text;     // Big5, as given
  unsigned icon = 0;
  std::vector<int> buttons;  // the answers it offered, in order
  int answer = 0;
};

int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
// A plain message dialog with an OK button; caption is the application title.
void ShowMessage(const std::string& text);
int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx = 0);

// The title that ShowMessage uses as caption (the application's title).
void SetApplicationTitle(const std::string& title);
std::string ApplicationTitle();

// Recording, for tests and for looking back.
std::vector<TRecordedDialog> RecordedDialogs();
void ClearRecordedDialogs();
void RecordDialog(const TRecordedDialog& d);

// Scripted answers: each modal question takes the front one.
void ScriptAnswers(std::deque<int> answers);
void ClearScriptedAnswers();

// The answer to a modal question offering BUTTONS (answer and label pairs):
// scripted, else asked on the terminal, else DEFAULTANSWER; once the
// terminal's input has ended, the answer of closing the window
// (CloseAnswer).
int AskModal(const std::string& caption, const std::string& text,
             const std::vector<std::pair<int, std::string>>& buttons, int defaultAnswer);

// Asks on the terminal when standard input is one and has not ended:
// writes the question and the numbered BUTTONS to stderr and reads a
// choice: a listed number, a button's caption (case and "&" ignored) or
// name ("NoToAll"), or <Esc> or <close> for closing the window
// (CloseAnswer); anything else, an empty line too, is answered and asked
// again (a slip must not answer a question), and nothing is marked as taken
// by an empty line. Lines typed before the question was shown are not
// taken. The end of input (Ctrl-D) closes the window. Nothing when there
// is no terminal to ask.
std::optional<int> AskOnTerminal(const std::string& caption, const std::string& text,
                                 const std::vector<std::pair<int, std::string>>& buttons,
                                 int defaultAnswer);

// A typed LINE without the blanks around it (a typing slip, not part of
// the entry).
std::string TrimmedEntry(const std::string& line);
// CAPTION without its accelerator marks ("&Name" is "Name", "&&" is "&").
std::string StripAccelerator(const std::string& caption);
// ENTRY names CAPTION: the same text, case and accelerator marks ignored.
bool CaptionMatches(const std::string& caption, const std::string& entry);

// What closing a question's window answers: Cancel, else No, else OK,
// else the default; never a destructive Yes.
int CloseAnswer(const std::vector<std::pair<int, std::string>>& buttons, int defaultAnswer);

// Standard input is a terminal that has not ended.
bool TerminalAvailable();
// Standard input was a terminal and its input has ended (Ctrl-D): from
// then on every question is answered as its window's closing.
bool TerminalInputEnded();
// Reads and drops the lines typed at the terminal that are waiting unread
// (typed while the program worked, before the question now shown), saying
// so for each: a line is only ever taken by the question it was typed at.
void DropTypedAhead();
// Writes PROMPT to stderr and reads one line from the terminal (Big5, from
// the terminal's UTF-8); nothing when there is no terminal or it ended
// (TerminalInputEnded is then true).
std::optional<std::string> ReadTerminalLine(const std::string& prompt);

// TEXT (Big5) as the terminal is given it: UTF-8, CR as a line break, and
// CR LF as one line break, every other control character shown, not
// obeyed: caret notation ("^[" for
// ESC, "^?" for DEL, "M-^[" for the C1 control U+009B); LF and TAB stay.
// Only what goes to a terminal passes here; logs and records keep the bytes.
std::string ForTerminal(const std::string& big5);
// The same for UTF-8 TEXT (a script's strings, which need not have a Big5
// form).
std::string ForTerminalUtf8(const std::string& utf8);

// Turns off writing dialogs to stderr (recording goes on).
void SetEchoDialogs(bool on);
bool EchoDialogs();

}  // namespace ui
