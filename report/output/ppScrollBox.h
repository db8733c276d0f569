// TppScrollBox: the page viewer's scroll box, reporting scroll-bar moves
// through two published events once the box has handled the message.
#pragma once
#include "platform/classes/methods.h"
#include "platform/ui/extctrls.h"
#include "report/model/ppTypes.h"  // the event types, in the order of the scroll codes

// The position is 32-bit: pages taller than 32,767 pixels scroll whole.
using TppVerticalScrollEvent =
    cls::TMethodPointer<void(cls::TObject* Sender, int32_t aPosition, TppVerticalScrollEventType aEventType)>;
using TppHorizontalScrollEvent =
    cls::TMethodPointer<void(cls::TObject* Sender, int32_t aPosition, TppHorizontalScrollEventType aEventType)>;

class TppScrollBox : public ui::TScrollBox {
  CLS_DECLARE_CLASS(TppScrollBox, ui::TScrollBox)

 public:
  explicit TppScrollBox(cls::TComponent* AOwner);
  TppVerticalScrollEvent OnVerticalScroll;
  TppHorizontalScrollEvent OnHorizontalScroll;

 protected:
  // After the box has moved its bar: the event with the message's position
  // for the thumb codes, the bar's position for the others.
  void WndProc(ui::TMessage& message) override;
};

// Registers the class and publishes its events (the output layer's entry
// point calls it).
void ppRegisterScrollBoxUnit();
