#include "report/model/ppPreviewSettings.h"

#include <gtest/gtest.h>

#include "platform/classes/typinfo.h"

namespace {

struct ChangeCounter : cls::TObject {
  int changes = 0;
  void Changed(cls::TObject*) { ++changes; }
};

}  // namespace

TEST(PreviewFormSettings, ZoomPercentageIsClampedAndSelectsThePercentageSetting) {
  cls::Owned<TppPreviewFormSettings> s(new TppPreviewFormSettings);
  ChangeCounter counter;
  s->OnChange = cls::TNotifyEvent(&counter, &ChangeCounter::Changed);
  EXPECT_EQ(s->ZoomSetting(), zsWholePage);
  s->SetZoomPercentage(10);
  EXPECT_EQ(s->ZoomPercentage(), 25);
  EXPECT_EQ(s->ZoomSetting(), zsPercentage);
  EXPECT_EQ(counter.changes, 2);  // the setting's notice, then its own
  s->SetZoomPercentage(300);
  EXPECT_EQ(s->ZoomPercentage(), 250);
  s->SetZoomSetting(zsPageWidth);
  s->SetWindowState(ui::wsMaximized);
  EXPECT_EQ(counter.changes, 6);

  // Copying sends no notice; Assign sends one.
  cls::Owned<TppPreviewFormSettings> t(new TppPreviewFormSettings);
  t->OnChange = cls::TNotifyEvent(&counter, &ChangeCounter::Changed);
  t->CopySettings(s.get());
  EXPECT_EQ(counter.changes, 6);
  EXPECT_EQ(t->ZoomPercentage(), 250);
  EXPECT_EQ(t->ZoomSetting(), zsPageWidth);
  EXPECT_EQ(t->WindowState(), ui::wsMaximized);
  t->Assign(s.get());
  EXPECT_EQ(counter.changes, 7);

}

TEST(TextSearchSettings, VisibleNeedsEnabledAndAssignCopiesEverything) {
  cls::Owned<TppTextSearchSettings> s(new TppTextSearchSettings);
  EXPECT_EQ(s->DefaultString(), "<FindText>");
  EXPECT_TRUE(s->Enabled());
  s->SetEnabled(false);
  s->SetVisible(true);
  EXPECT_FALSE(s->Visible());
  s->SetEnabled(true);
  s->SetVisible(true);
  EXPECT_TRUE(s->Visible());
  s->SetCaseSensitive(true);
  s->SetWholeWord(true);
  s->SetShowAll(true);
  s->SetSearchFromCurrentPage(true);
  s->SetDefaultString("find me");

  cls::Owned<TppTextSearchSettings> t(new TppTextSearchSettings);
  t->Assign(s.get());
  EXPECT_TRUE(t->CaseSensitive() && t->WholeWord() && t->ShowAll() && t->SearchFromCurrentPage() && t->Visible());
  EXPECT_EQ(t->DefaultString(), "find me");
  t->ResetDefaultString();
  EXPECT_EQ(t->DefaultString(), "<FindText>");
}

TEST(TextSearchSettings, TheEmbeddedCommunicatorCannotBeFreedFromOutside) {
  cls::Owned<TppTextSearchSettings> s(new TppTextSearchSettings);
  TppCommunicator* w = s->WalkieTalkie();
  ASSERT_NE(w, nullptr);
  cls::Owned<TppCommunicator> listener(new TppCommunicator(nullptr));
  listener->AddNotify(w);
  try {
    w->Free();
    FAIL() << "freed";
  } catch (const ESearchError& e) {
    EXPECT_STREQ(e.what(), "TppTextSearchSettings.WalkieTalkieNotifyEvent: Don't free the embedded walkie talkie!");
  }
  EXPECT_EQ(s->WalkieTalkie(), w);
  EXPECT_EQ(listener->NotifyCount(), 1);  // still linked: nothing was torn down
  // Freeing the settings frees it, and the listener hears of it.
  s.reset();
  EXPECT_EQ(listener->NotifyCount(), 0);
}
