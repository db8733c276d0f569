#include "input.h"

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

void SendScroll(TScrollingWinControl* control, TScrollBarKind bar, int code, int pos) {
  control->Perform(bar == TScrollBarKind::sbHorizontal ? WM_HSCROLL : WM_VSCROLL, code, pos);
}

}  // namespace ui
