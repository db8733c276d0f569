#include "input.h"

#include <cctype>

#include "platform/classes/sysutils.h"
#include "platform/ui/forms.h"

namespace ui {
namespace {

unsigned DownMessage(TMouseButton b) {
  switch (b) {
    case TMouseButton::mbRight: return WM_RBUTTONDOWN;
    case TMouseButton::mbMiddle: return WM_MBUTTONDOWN;
    case TMouseButton::mbLeft: break;
  }
  return WM_LBUTTONDOWN;
}

unsigned UpMessage(TMouseButton b) {
  switch (b) {
    case TMouseButton::mbRight: return WM_RBUTTONUP;
    case TMouseButton::mbMiddle: return WM_MBUTTONUP;
    case TMouseButton::mbLeft: break;
  }
  return WM_LBUTTONUP;
}

}  // namespace

void SendMouseMove(TControl* control, int x, int y, TShiftState shift) {
  control->Perform(WM_MOUSEMOVE, shift, PointToParam(x, y));
}

void SendMouseDown(TControl* control, TMouseButton button, int x, int y, TShiftState shift) {
  control->Perform(DownMessage(button), shift, PointToParam(x, y));
}

void SendMouseUp(TControl* control, TMouseButton button, int x, int y, TShiftState shift) {
  control->Perform(UpMessage(button), shift, PointToParam(x, y));
}

void SendClick(TControl* control, int x, int y, TShiftState shift) {
  SendMouseDown(control, TMouseButton::mbLeft, x, y, shift);
  SendMouseUp(control, TMouseButton::mbLeft, x, y, shift);
}

void SendDblClick(TControl* control, int x, int y, TShiftState shift) {
  control->Perform(WM_LBUTTONDBLCLK, shift, PointToParam(x, y));
  SendMouseUp(control, TMouseButton::mbLeft, x, y, shift);
}

void SendMouseWheel(TControl* control, int delta, int x, int y, TShiftState shift) {
  control->Perform(WM_MOUSEWHEEL, WheelToParam(delta, shift), PointToParam(x, y));
}

void SendKey(TWinControl* control, unsigned short key, TShiftState shift) {
  control->Perform(WM_KEYDOWN, key, shift);
  if (key == VK_BACK || key == VK_RETURN || key == VK_ESCAPE || key == VK_TAB || key == VK_SPACE ||
      (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z'))
    control->Perform(WM_CHAR, key >= 'A' && key <= 'Z' && !(shift & ssShift) ? key + 32 : key, 0);
  control->Perform(WM_KEYUP, key, shift);
}

void SendText(TWinControl* control, const std::string& text) {
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    // The key of an ASCII letter or digit; 0 for other characters.
    unsigned short vk = 0;
    if (b >= 'a' && b <= 'z') vk = static_cast<unsigned short>(b - 32);
    else if ((b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == ' ') vk = b;
    if (vk) control->Perform(WM_KEYDOWN, vk, 0);
    control->Perform(WM_CHAR, b, 0);
    if (vk) control->Perform(WM_KEYUP, vk, 0);
  }
}

void TypeInto(TEdit* edit, const std::string& text) {
  if (edit->CanFocus()) edit->SetFocus();
  edit->SetText("");  // everything selected, then deleted by the Backspace below
  SendKey(edit, VK_BACK);
  SendText(edit, text);
}

bool SendMenuClick(TPopupMenu* menu, int x, int y) {
  TMenuItem* item = menu->ItemAt(x, y);
  if (!item) return false;
  item->Click();
  return true;
}

void SendFormKey(TCustomForm* form, unsigned short key, TShiftState shift) {
  TWinControl* target = form;
  if (TWinControl* c = form->ActiveControl(); c && c->CanFocus()) target = c;
  bool taken = target->Perform(WM_KEYDOWN, key, shift) == 0;
  if (!taken && !(shift & (ssCtrl | ssAlt)) &&
      (key == VK_BACK || key == VK_SPACE || key == VK_RETURN || key == VK_ESCAPE || (key >= '0' && key <= '9') ||
       (key >= 'A' && key <= 'Z')))
    // A key press handler that sets the character to 0 takes the key too.
    taken = target->Perform(WM_CHAR, key >= 'A' && key <= 'Z' && !(shift & ssShift) ? key + 32 : key, 0) == 0;
  target->Perform(WM_KEYUP, key, shift);
  if (taken || (key != VK_RETURN && key != VK_ESCAPE)) return;
  for (TButton* b : form->Buttons())
    if (key == VK_RETURN ? b->Default : b->Cancel) return b->Click();
}

bool ParseKeyEntry(const std::string& entry, unsigned short& key, TShiftState& shift) {
  if (entry.size() < 3 || entry.front() != '<' || entry.back() != '>') return false;
  std::string rest = entry.substr(1, entry.size() - 2);
  TShiftState s = 0;
  for (;;) {
    const size_t plus = rest.find('+');
    if (plus == std::string::npos || plus + 1 == rest.size()) break;
    const std::string mod = rest.substr(0, plus);
    if (cls::AnsiCompareText(mod, "Ctrl") == 0) s |= ssCtrl;
    else if (cls::AnsiCompareText(mod, "Shift") == 0) s |= ssShift;
    else if (cls::AnsiCompareText(mod, "Alt") == 0) s |= ssAlt;
    else return false;
    rest = rest.substr(plus + 1);
  }
  static const std::pair<const char*, unsigned short> names[] = {
      {"Enter", VK_RETURN}, {"Esc", VK_ESCAPE}, {"Tab", VK_TAB},   {"PgUp", VK_PRIOR}, {"PgDn", VK_NEXT},
      {"Home", VK_HOME},    {"End", VK_END},    {"Up", VK_UP},     {"Down", VK_DOWN},  {"Left", VK_LEFT},
      {"Right", VK_RIGHT},  {"Del", VK_DELETE}, {"Back", VK_BACK}, {"Space", VK_SPACE}};
  for (const auto& [name, vk] : names)
    if (cls::AnsiCompareText(rest, name) == 0) {
      key = vk;
      shift = s;
      return true;
    }
  if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
    key = static_cast<unsigned short>(std::toupper(static_cast<unsigned char>(rest[0])));
    shift = s;
    return true;
  }
  return false;
}


void SendScroll(TScrollingWinControl* control, TScrollBarKind bar, int code, int pos) {
  control->Perform(bar == TScrollBarKind::sbHorizontal ? WM_HSCROLL : WM_VSCROLL, code, pos);
}

}  // namespace ui
