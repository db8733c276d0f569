// The viewer's scroll box reports each scroll message after moving its bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/typinfo.h"
#include "platform/ui/input.h"
#include "report/output/ppScrollBox.h"

namespace {

struct Seen {
  std::vector<std::string> events;
  void Vertical(cls::TObject*, int32_t pos, TppVerticalScrollEventType type) {
    events.push_back("v" + std::to_string(static_cast<int>(type)) + " " + std::to_string(pos));
  }
  void Horizontal(cls::TObject*, int32_t pos, TppHorizontalScrollEventType type) {
    events.push_back("h" + std::to_string(static_cast<int>(type)) + " " + std::to_string(pos));
  }
};

TEST(ScrollBox, ReportsTheBarsPositionOrTheThumbsAfterMoving) {
  TppScrollBox box(nullptr);
  box.BorderStyle = ui::TBorderStyle::bsNone;
  box.SetBounds(0, 0, 300, 200);
  box.VertScrollBar().SetRange(34064);
  box.HorzScrollBar().SetRange(500);
  box.VertScrollBar().Increment = 10;
  Seen seen;
  box.OnVerticalScroll = TppVerticalScrollEvent(&seen, &Seen::Vertical);
  box.OnHorizontalScroll = TppHorizontalScrollEvent(&seen, &Seen::Horizontal);
  using ui::TScrollBarKind;
  ui::SendScroll(&box, TScrollBarKind::sbVertical, ui::SB_BOTTOM);
  ui::SendScroll(&box, TScrollBarKind::sbVertical, ui::SB_THUMBTRACK, 33000);  // no tracking: the bar stays
  box.VertScrollBar().Tracking = true;
  ui::SendScroll(&box, TScrollBarKind::sbVertical, ui::SB_THUMBTRACK, 33000);
  ui::SendScroll(&box, TScrollBarKind::sbVertical, ui::SB_ENDSCROLL);
  ui::SendScroll(&box, TScrollBarKind::sbHorizontal, ui::SB_PAGEDOWN);
  ui::SendScroll(&box, TScrollBarKind::sbHorizontal, ui::SB_THUMBPOSITION, 7);
  ui::SendMouseWheel(&box, ui::WHEEL_DELTA, 5, 5);  // three lines up
  EXPECT_EQ(seen.events, (std::vector<std::string>{"v7 33864", "v5 33000", "v5 33000", "v8 33000", "h3 200",
                                                   "h4 7", "v0 32990", "v0 32980", "v0 32970"}));
  EXPECT_EQ(box.VertScrollBar().Position(), 32970);
  EXPECT_EQ(box.HorzScrollBar().Position(), 7);
}

TEST(ScrollBox, RegisteredWithItsEventsPublished) {
  EXPECT_EQ(cls::FindClass("TppScrollBox"), &TppScrollBox::StaticClass());
  EXPECT_NE(cls::GetPropInfo(&TppScrollBox::StaticClass(), "OnVerticalScroll"), nullptr);
  EXPECT_NE(cls::GetPropInfo(&TppScrollBox::StaticClass(), "OnHorizontalScroll"), nullptr);
}

}  // namespace
