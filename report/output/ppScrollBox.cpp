#include "report/output/ppScrollBox.h"

#include "platform/classes/typinfo.h"

CLS_IMPLEMENT_COMPONENT(TppScrollBox)

TppScrollBox::TppScrollBox(cls::TComponent* AOwner) : ui::TScrollBox(AOwner) {}

void TppScrollBox::WndProc(ui::TMessage& m) {
  inherited::WndProc(m);
  if (m.Msg != ui::WM_VSCROLL && m.Msg != ui::WM_HSCROLL) return;
  const auto code = static_cast<int>(m.WParam);
  // Codes the events do not name are not reported.
  if (code < ui::SB_LINEUP || code > ui::SB_ENDSCROLL) return;
  const bool thumb = code == ui::SB_THUMBPOSITION || code == ui::SB_THUMBTRACK;
  if (m.Msg == ui::WM_VSCROLL) {
    if (OnVerticalScroll)
      OnVerticalScroll(this, thumb ? static_cast<int32_t>(m.LParam) : VertScrollBar().Position(),
                       static_cast<TppVerticalScrollEventType>(code));
  } else if (OnHorizontalScroll) {
    OnHorizontalScroll(this, thumb ? static_cast<int32_t>(m.LParam) : HorzScrollBar().Position(),
                       static_cast<TppHorizontalScrollEventType>(code));
  }
}

void ppRegisterScrollBoxUnit() {
  auto& c = TppScrollBox::StaticClass();
  cls::RegisterClass(&c);
  cls::PublishProperty(c, cls::MethodProperty<TppScrollBox>("OnHorizontalScroll", &TppScrollBox::OnHorizontalScroll));
  cls::PublishProperty(c, cls::MethodProperty<TppScrollBox>("OnVerticalScroll", &TppScrollBox::OnVerticalScroll));
}
