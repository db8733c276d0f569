// Drivers that hand a control mouse, wheel, key and scroll input as the
// message loop would (through Perform, so a form freed inside a handler
// goes once the handler is done). Points are the control's own pixels.
#pragma once
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/menus.h"

namespace ui {

class TCustomForm;

void SendMouseMove(TControl* control, int x, int y, TShiftState shift = 0);
void SendMouseDown(TControl* control, TMouseButton button, int x, int y, TShiftState shift = 0);
void SendMouseUp(TControl* control, TMouseButton button, int x, int y, TShiftState shift = 0);
// A left press and release at the point (which clicks the control).
void SendClick(TControl* control, int x, int y, TShiftState shift = 0);
// The second press of a double click, then its release.
void SendDblClick(TControl* control, int x, int y, TShiftState shift = 0);
// DELTA in wheel units (WHEEL_DELTA a notch; positive turns away from
// the user, scrolling up).
void SendMouseWheel(TControl* control, int delta, int x, int y, TShiftState shift = 0);
// Key down, its character (when it has one) and key up.
void SendKey(TWinControl* control, unsigned short key, TShiftState shift = 0);
// Each byte of TEXT typed as a character (Big5 pairs as two).
void SendText(TWinControl* control, const std::string& text);
// What a user does to put TEXT into an edit: focus it when it can take
// the focus, select everything and delete it (a Backspace), then type.
void TypeInto(TEdit* edit, const std::string& text);
// A click at a point of MENU's picture (TPopupMenu::PaintToBitmap): the
// item there is clicked; false when the point holds none.
bool SendMenuClick(TPopupMenu* menu, int x, int y);
// A key pressed on FORM: its focused control takes it, else the form
// (never both): key down, its character (Enter and Esc too) unless the
// key-down handler set the key to 0, key up. An Enter or Esc that neither
// handler took (set to 0) presses the form's default or cancel button.
void SendFormKey(TCustomForm* form, unsigned short key, TShiftState shift = 0);
// A key written "<Enter>", "<Esc>", "<Tab>", "<PgUp>", "<PgDn>", "<Home>",
// "<End>", "<Up>", "<Down>", "<Left>", "<Right>", "<Del>", "<Back>",
// "<Space>" or a letter or digit, after "Ctrl+", "Shift+" or "Alt+"
// prefixes (case ignored). False when ENTRY is no such key.
bool ParseKeyEntry(const std::string& entry, unsigned short& key, TShiftState& shift);
// A scroll bar's message with CODE (SB_...) and thumb position POS.
void SendScroll(TScrollingWinControl* control, TScrollBarKind bar, int code, int pos = 0);

}  // namespace ui
