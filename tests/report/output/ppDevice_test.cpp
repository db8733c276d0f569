// Pages and their commands, page requests.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <thread>

#include "report/output/ppDevice.h"

namespace {

class TestBoxCommand : public TppDrawCommand {
  CLS_DECLARE_CLASS(TestBoxCommand, TppDrawCommand)
 public:
  using TppDrawCommand::TppDrawCommand;
  void Assign(cls::TPersistent* source) override {
    inherited::Assign(source);
    if (auto* from = cls::ObjectAs<TestBoxCommand>(source)) Label = from->Label;
  }
  std::string Label;
};
CLS_IMPLEMENT_COMPONENT(TestBoxCommand)

// A command with a page number printed late.
class TestPageNoCommand : public TppDrawCommand {
  CLS_DECLARE_CLASS(TestPageNoCommand, TppDrawCommand)
 public:
  using TppDrawCommand::TppDrawCommand;
  bool NeedsPageValues() override { return true; }
  bool UpdatePageValues() override {
    ++Updates;
    Text = std::to_string(Page()->PageNo()) + "/" + std::to_string(Page()->PageCount());
    return true;
  }
  std::string Text;
  static inline int Updates = 0;
};
CLS_IMPLEMENT_COMPONENT(TestPageNoCommand)

class TppOutlineDrawCommand : public TppDrawCommand {
  CLS_DECLARE_CLASS(TppOutlineDrawCommand, TppDrawCommand)
 public:
  using TppDrawCommand::TppDrawCommand;
};
CLS_IMPLEMENT_COMPONENT(TppOutlineDrawCommand)

template <class T>
T* AddCommand(TppPage& page, int left = 0, int top = 0) {
  auto* c = new T(nullptr);
  c->SetLeft(left);
  c->SetTop(top);
  c->SetWidth(1000);
  c->SetHeight(500);
  c->SetPage(&page);
  return c;
}

struct ClickCounter {
  int clicks = 0;
  void Clicked(cls::TObject*) { ++clicks; }
};

}  // namespace

TEST(Pages, CommandsJoinInOrderAndLeaveWhenFreed) {
  cls::Owned<TppPage> page(new TppPage(nullptr));
  auto* a = AddCommand<TestBoxCommand>(*page, 10);
  auto* b = AddCommand<TestPageNoCommand>(*page, 20);
  auto* c = AddCommand<TestBoxCommand>(*page, 30);
  c->SetClickable(true);
  c->SetPage(nullptr);
  c->SetPage(page.get());  // clickable counts when it joins
  ASSERT_EQ(page->GetDrawCommandCount(), 3);
  EXPECT_EQ(page->GetDrawCommand(0), a);
  EXPECT_EQ(page->GetDrawCommand(2), c);
  EXPECT_EQ(a->Owner(), page.get());
  EXPECT_EQ(page->GetClickableCommandCount(), 1);
  EXPECT_TRUE(page->HasPageValueCommands());
  EXPECT_EQ(page->FindDrawCommandOfClass(&TestPageNoCommand::StaticClass()), b);
  EXPECT_EQ(page->FindDrawCommandOfClass(&TppOutlineDrawCommand::StaticClass()), nullptr);

  b->Free();
  c->Free();
  EXPECT_EQ(page->GetDrawCommandCount(), 1);
  EXPECT_FALSE(page->HasPageValueCommands());
  EXPECT_EQ(page->GetClickableCommandCount(), 0);
  EXPECT_EQ(page->GetClickableCommand(0), nullptr);

  // A command moved to another page leaves the first one and its owner.
  cls::Owned<TppPage> other(new TppPage(nullptr));
  a->SetPage(other.get());
  EXPECT_EQ(page->GetDrawCommandCount(), 0);
  EXPECT_EQ(page->ComponentCount(), 0);
  EXPECT_EQ(a->Page(), other.get());
  EXPECT_EQ(a->Owner(), other.get());
  other->RemoveDrawCommand(a);
  EXPECT_EQ(a->Page(), nullptr);
  EXPECT_EQ(a->Owner(), nullptr);
  a->Free();
}

TEST(Pages, AssignCopiesCommandsOfTheSameClassesInOrder) {
  cls::Owned<TppPage> page(new TppPage(nullptr));
  page->SetAbsolutePageNo(3);
  page->SetDocumentName("Receipt");
  page->SetFinal(true);
  page->PrinterSetup()->SetCopies(2);
  AddCommand<TestBoxCommand>(*page, 1)->Label = "first";
  AddCommand<TestPageNoCommand>(*page, 2);
  AddCommand<TppOutlineDrawCommand>(*page, 3);

  cls::Owned<TppPage> copy(new TppPage(nullptr));
  AddCommand<TestBoxCommand>(*copy, 99);  // replaced
  copy->Assign(page.get());
  EXPECT_EQ(copy->AbsolutePageNo(), 3);
  EXPECT_EQ(copy->DocumentName(), "Receipt");
  EXPECT_TRUE(copy->Final());
  EXPECT_EQ(copy->PrinterSetup()->Copies(), 2);
  EXPECT_NE(copy->PrinterSetup(), page->PrinterSetup());
  ASSERT_EQ(copy->GetDrawCommandCount(), 3);
  for (int i = 0; i < 3; ++i) {
    TppDrawCommand* c = copy->GetDrawCommand(i);
    EXPECT_EQ(c->ClassType(), page->GetDrawCommand(i)->ClassType());
    EXPECT_NE(c, page->GetDrawCommand(i));
    EXPECT_EQ(c->Left(), i + 1);
    EXPECT_EQ(c->Page(), copy.get());
    EXPECT_EQ(c->Owner(), copy.get());
    EXPECT_TRUE(c->IsSameAs(page->GetDrawCommand(i)));
  }
  EXPECT_EQ(static_cast<TestBoxCommand*>(copy->GetDrawCommand(0))->Label, "first");
  EXPECT_TRUE(copy->HasPageValueCommands());
  EXPECT_FALSE(copy->GetDrawCommand(0)->IsSameAs(copy->GetDrawCommand(1)));

  cls::TStringList notAPage;
  EXPECT_THROW(copy->Assign(&notAPage), cls::EConvertError);

  copy->Clear();
  EXPECT_EQ(copy->GetDrawCommandCount(), 0);
  EXPECT_EQ(copy->AbsolutePageNo(), 0);
  EXPECT_EQ(copy->DocumentName(), "");
}

TEST(Pages, OneOutlineCommandAPageAndLatePageValues) {
  cls::Owned<TppPage> page(new TppPage(nullptr));
  AddCommand<TppOutlineDrawCommand>(*page);
  auto* second = new TppOutlineDrawCommand(nullptr);
  try {
    second->SetPage(page.get());
    FAIL() << "a second outline was added";
  } catch (const EOutlineError& e) {
    EXPECT_STREQ(e.what(), "TppPage.AddDrawCommand: Cannot add more than one draw outline command per page.");
  }
  EXPECT_EQ(second->Page(), nullptr);
  EXPECT_EQ(page->GetDrawCommandCount(), 1);
  second->Free();

  auto* late = AddCommand<TestPageNoCommand>(*page);
  page->SetPageNo(2);
  page->SetPageCount(5);
  page->UpdatePageValues(nullptr);
  EXPECT_EQ(late->Text, "2/5");
  page->SetAbsolutePageNo(2);
  page->SetAbsolutePageCount(5);
  EXPECT_EQ(page->GetPageNoText(), "Page 2");
  EXPECT_EQ(page->GetPageNoOfCountText(), "Page 2 of 5");
}

TEST(DrawCommands, AFreedComponentIsDroppedWithItsClickHandler) {
  cls::Owned<TppPage> page(new TppPage(nullptr));
  auto* command = AddCommand<TestBoxCommand>(*page);
  ClickCounter counter;
  auto* component = new cls::TComponent(nullptr);
  auto* band = new cls::TComponent(nullptr);
  command->SetComponent(component);
  command->SetBand(band);
  command->SetPageRect(MakeRect(0, 0, 82000, 100000));
  command->SetDrawRect(MakeRect(1, 2, 3, 4));
  command->OnClick = cls::TNotifyEvent(&counter, &ClickCounter::Clicked);
  command->SetTag(7);

  // A copy keeps the references, not the page.
  cls::Owned<TestBoxCommand> copy(new TestBoxCommand(nullptr));
  copy->Assign(command);
  EXPECT_EQ(copy->Component(), component);
  EXPECT_EQ(copy->Band(), band);
  EXPECT_EQ(copy->PageRect(), MakeRect(0, 0, 82000, 100000));
  EXPECT_EQ(copy->GetDrawRect(), MakeRect(1, 2, 3, 4));
  EXPECT_EQ(copy->Tag(), 7);
  EXPECT_EQ(copy->Page(), nullptr);
  copy->DoClick();
  EXPECT_EQ(counter.clicks, 1);

  component->Free();
  EXPECT_EQ(command->Component(), nullptr);
  EXPECT_EQ(copy->Component(), nullptr);
  EXPECT_EQ(command->Band(), band);
  command->DoClick();
  copy->DoClick();
  EXPECT_EQ(counter.clicks, 1);
  band->Free();
  EXPECT_EQ(command->Band(), nullptr);
  EXPECT_EQ(copy->Band(), nullptr);
}

namespace {

cls::Owned<TppPage> MakePage(int no, int count, bool last) {
  cls::Owned<TppPage> p(new TppPage(nullptr));
  p->SetAbsolutePageNo(no);
  p->SetAbsolutePageCount(count);
  p->SetFirstPage(no == 1);
  p->SetLastPage(last);
  p->SetFinal(true);
  return p;
}

}  // namespace

TEST(PageRequests, ASinglePageBeyondTheEndIsClampedToTheLastPage) {
  TppPageRequest r;
  r.SetPageSetting(TppPageSettingType::psSinglePage);
  r.SetPageRequested(9);
  for (int i = 1; i <= 4; ++i) EXPECT_FALSE(r.IsPageRequested(MakePage(i, i, false).get()));
  auto last = MakePage(5, 5, true);
  EXPECT_TRUE(r.IsPageRequested(last.get()));
  EXPECT_EQ(r.PageRequested(), 5);
  EXPECT_TRUE(r.IsRequestComplete(last.get()));

  // Below 1 it becomes page 1.
  r.SetPageRequested(0);
  EXPECT_TRUE(r.IsPageRequested(MakePage(1, 1, false).get()));
  EXPECT_EQ(r.PageRequested(), 1);
}

TEST(PageRequests, RangesListsAndCompletion) {
  TppPageRequest even;
  even.SetPageRange(prEvenPages);
  std::vector<int> wanted;
  for (int i = 1; i <= 6; ++i)
    if (even.IsPageRequested(MakePage(i, 6, i == 6).get())) wanted.push_back(i);
  EXPECT_EQ(wanted, (std::vector<int>{2, 4, 6}));

  TppPageRequest list;
  list.SetPageSetting(TppPageSettingType::psPageList);
  list.PageList()->Add("2");
  list.PageList()->Add("4");
  TppPageRequest copy;
  copy.Assign(&list);
  EXPECT_FALSE(list.IsPageRequested(MakePage(3, 3, false).get()));
  EXPECT_FALSE(list.IsRequestComplete(MakePage(4, 4, false).get()));
  EXPECT_TRUE(list.IsRequestComplete(MakePage(2, 4, false).get()));

  TppPageRequest range;
  range.SetPageSetting(TppPageSettingType::psPageRange);
  EXPECT_FALSE(range.IsPageRequested(MakePage(1, 1, true).get()));
  EXPECT_FALSE(range.IsRequestComplete(MakePage(1, 1, true).get()));

  EXPECT_EQ(list.PageList()->Count(), 0);
  EXPECT_EQ(copy.PageSetting(), TppPageSettingType::psPageList);
  EXPECT_EQ(copy.PageList()->CommaText(), "2,4");
  cls::TStringList other;
  copy.Assign(&other);  // ignored
  copy.Clear();
  EXPECT_EQ(copy.PageSetting(), TppPageSettingType::psAll);
  EXPECT_EQ(copy.PageList()->Count(), 0);
}

TEST(PageRequests, MergingWidensThePendingRequest) {
  auto single = [](int page) {
    auto r = std::make_unique<TppPageRequest>();
    r->SetPageSetting(TppPageSettingType::psSinglePage);
    r->SetPageRequested(page);
    return r;
  };
  auto pending = single(5);
  pending->MergeRequest(single(3).get());
  EXPECT_EQ(pending->PageSetting(), TppPageSettingType::psPageList);
  EXPECT_EQ(pending->PageList()->CommaText(), "5,3");
  pending->MergeRequest(single(3).get());
  pending->MergeRequest(single(8).get());
  EXPECT_EQ(pending->PageList()->CommaText(), "5,3,8");

  // The same page leaves it as it was.
  auto same = single(5);
  same->MergeRequest(single(5).get());
  EXPECT_EQ(same->PageSetting(), TppPageSettingType::psSinglePage);

  // A last-page or range request cannot tell whether it holds page 3.
  for (auto setting : {TppPageSettingType::psLastPage, TppPageSettingType::psPageRange}) {
    TppPageRequest r;
    r.SetPageSetting(setting);
    r.MergeRequest(single(3).get());
    EXPECT_EQ(r.PageSetting(), TppPageSettingType::psAll);
  }
  // Anything but a single or first page makes it all pages.
  TppPageRequest last;
  last.SetPageSetting(TppPageSettingType::psLastPage);
  auto first = single(5);
  first->MergeRequest(&last);
  EXPECT_EQ(first->PageSetting(), TppPageSettingType::psAll);

  // A first-page request is page 1.
  TppPageRequest firstPage;
  firstPage.SetPageSetting(TppPageSettingType::psFirstPage);
  auto four = single(4);
  four->MergeRequest(&firstPage);
  EXPECT_EQ(four->PageList()->CommaText(), "4,1");
  TppPageRequest pendingFirst;
  pendingFirst.SetPageSetting(TppPageSettingType::psFirstPage);
  pendingFirst.MergeRequest(single(1).get());
  EXPECT_EQ(pendingFirst.PageSetting(), TppPageSettingType::psFirstPage);
}

TEST(PageRequests, PublishedDefaultsAreTheArchiveFormat) {
  TppPageRequest r;
  const cls::TPropInfo* requested = cls::GetPropInfo(&r, "PageRequested");
  ASSERT_NE(requested, nullptr);
  EXPECT_TRUE(requested->HasDefault);
  EXPECT_EQ(requested->Default, 1);
  EXPECT_EQ(cls::GetEnumProp(&r, "PageSetting"), "psAll");
  cls::SetEnumProp(&r, "PageRange", "prOddPages");
  EXPECT_EQ(r.PageRange(), prOddPages);
  TestBoxCommand c(nullptr);
  EXPECT_EQ(cls::GetEnumProp(&c, "DataType"), "dtString");
  EXPECT_EQ(cls::GetPropInfo(&c, "DataType")->Default, dtString);
  TppPage page(nullptr);
  EXPECT_EQ(cls::GetOrdProp(&page, "Color"), 0xFFFFFF);
  EXPECT_EQ(cls::GetPropInfo(&page, "Color")->Default, 0xFFFFFF);
}

// ---- publisher and devices ----

namespace {

class TestDevice : public TppDevice {
  CLS_DECLARE_CLASS(TestDevice, TppDevice)
 public:
  using TppDevice::TppDevice;
  static std::string ClassDeviceName() { return "TestFile"; }
  std::string DeviceName() const override { return ClassDeviceName(); }
  void ReceivePage(TppPage* page) override {
    inherited::ReceivePage(page);
    if (!SkipPage() && PageIsRequested()) Received.push_back(page->AbsolutePageNo());
  }
  bool DrawCommand(TppDrawCommand* command) override {
    Drawn.push_back(command->Left());
    return true;
  }
  std::vector<int> Received;
  std::vector<int> Drawn;
};
CLS_IMPLEMENT_COMPONENT(TestDevice)

// Makes pages 1 to Count for every request, as a report does.
struct TestReport {
  int Count = 7;
  int Requests = 0;
  std::vector<int> Skip;  // pages made non-final
  TppPublisher* Publisher = nullptr;
  void PageRequest(cls::TObject*, TppPageRequest*) {
    ++Requests;
    for (int i = 1; i <= Count; ++i) {
      cls::Owned<TppPage> page(new TppPage(nullptr));
      page->SetAbsolutePageNo(i);
      page->SetAbsolutePageCount(i);
      page->SetPageNo(i);
      page->SetPageCount(i);
      page->SetFirstPage(i == 1);
      page->SetLastPage(i == Count);
      page->SetFinal(std::find(Skip.begin(), Skip.end(), i) == Skip.end());
      AddCommand<TestPageNoCommand>(*page);
      Publisher->PublishPage(page.get());
    }
  }
};

class Publishing : public ::testing::Test {
 protected:
  void SetUp() override {
    publisher_.reset(new TppPublisher(nullptr));
    report_.Publisher = publisher_.get();
    publisher_->OnPageRequest = TppPageRequestEvent(&report_, &TestReport::PageRequest);
  }
  TestDevice* Attach() {
    auto* d = new TestDevice(nullptr);
    devices_.emplace_back(d);
    d->SetPublisher(publisher_.get());
    return d;
  }
  void Print(TestDevice* d) {
    d->RequestPages();
  }
  cls::Owned<TppPublisher> publisher_;
  TestReport report_;
  std::vector<cls::Owned<TestDevice>> devices_;
};

}  // namespace

TEST_F(Publishing, CachedPagesTakeTheFinalCountAndServeTheNextRequest) {
  publisher_->SetCachePages(true);
  TestDevice* d = Attach();
  Print(d);
  EXPECT_EQ(report_.Requests, 1);
  EXPECT_EQ(d->Received, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_FALSE(d->Busy());
  EXPECT_EQ(publisher_->PageCount(), 7);
  ASSERT_EQ(publisher_->GetCachedPageCount(), 7);
  for (int i = 0; i < 7; ++i) {
    TppPage* cached = publisher_->GetCachedPage(i);
    EXPECT_EQ(cached->AbsolutePageNo(), i + 1);
    EXPECT_EQ(cached->AbsolutePageCount(), 7);
    // The last page's own values are the report's to set.
    if (i < 6) {
      EXPECT_EQ(static_cast<TestPageNoCommand*>(cached->GetDrawCommand(0))->Text, std::to_string(i + 1) + "/7");
    }
  }
  d->Received.clear();
  Print(d);
  EXPECT_EQ(report_.Requests, 1);
  EXPECT_EQ(d->Received, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));

  // A single page, the first and the last come from the cache too.
  for (auto [setting, page] : {std::pair{TppPageSettingType::psSinglePage, 5},
                               std::pair{TppPageSettingType::psFirstPage, 1},
                               std::pair{TppPageSettingType::psLastPage, 7}}) {
    d->Received.clear();
    d->PageRequest()->SetPageSetting(setting);
    d->PageRequest()->SetPageRequested(page);
    Print(d);
    EXPECT_EQ(report_.Requests, 1);
    EXPECT_EQ(d->Received, (std::vector<int>{page}));
  }
}

TEST_F(Publishing, NonFinalAndCalculationPagesAreNotCachedAndAGapIsGenerated) {
  publisher_->SetCachePages(true);
  report_.Skip = {4};
  TestDevice* d = Attach();
  Print(d);
  EXPECT_EQ(publisher_->GetCachedPageCount(), 6);
  EXPECT_EQ(publisher_->FindCachedPage(4), nullptr);
  Print(d);
  EXPECT_EQ(report_.Requests, 2);

  // Publishing a page again keeps one copy, the newer one.
  cls::Owned<TppPage> again(new TppPage(nullptr));
  again->SetAbsolutePageNo(3);
  again->SetAbsolutePageCount(7);
  again->SetFinal(true);
  again->SetDocumentName("second");
  publisher_->PublishPage(again.get());
  EXPECT_EQ(publisher_->GetCachedPageCount(), 6);
  EXPECT_EQ(publisher_->FindCachedPage(3)->DocumentName(), "second");
  again->SetAbsolutePageNo(4);
  again->SetCalculation(true);
  publisher_->PublishPage(again.get());
  EXPECT_EQ(publisher_->FindCachedPage(4), nullptr);
}

TEST_F(Publishing, AllPagesAreNotServedWithoutCachedPageOne) {
  publisher_->SetCachePages(true);
  report_.Skip = {1};
  report_.Count = 1;
  TestDevice* d = Attach();
  Print(d);
  // Page 7 alone, made as the last of seven.
  cls::Owned<TppPage> seven(new TppPage(nullptr));
  seven->SetAbsolutePageNo(7);
  seven->SetAbsolutePageCount(1);
  seven->SetFinal(true);
  seven->SetLastPage(true);
  publisher_->PublishPage(seven.get());
  ASSERT_EQ(publisher_->GetCachedPageCount(), 1);
  EXPECT_EQ(publisher_->FindCachedPage(1), nullptr);
  Print(d);
  EXPECT_EQ(report_.Requests, 2);
}

namespace {

// A cached page as the publisher must show it: each page cached raises the
// counts of those cached before it, and a raised page's late values are
// made again from its counts.
struct ModelPage {
  int32_t count, pageNo, pageCount, breakNo;
  std::string text;  // a copy's late value is empty until made again
};

void ModelCache(std::map<int32_t, ModelPage>& model, int32_t no, const ModelPage& page) {
  model[no] = page;
  for (auto& [n, m] : model) {
    if (m.count >= page.count) continue;
    m.count = page.count;
    if (m.breakNo == page.breakNo && m.pageCount < page.pageCount) m.pageCount = page.pageCount;
    m.text = std::to_string(m.pageNo) + "/" + std::to_string(m.pageCount);
  }
}

}  // namespace

// Runs as one pass makes them (the count rising page by page, page numbers
// restarting by group), as two passes make them (the count final), and with
// pages made again, counts falling back, gaps and groups at random; cached
// pages are read at random between pages and all at the end.
TEST_F(Publishing, CachedPagesCountAsIfEachPageRaisedThoseBeforeIt) {
  publisher_->SetCachePages(true);
  std::mt19937 random(32);
  for (int run = 0; run < 60; ++run) {
    const int kind = run % 3;  // one pass, two passes, anything
    const int pages = 1 + static_cast<int>(random() % 120);
    publisher_->Reset();
    std::map<int32_t, ModelPage> model;
    int32_t breakNo = 0, inGroup = 0;
    auto check = [&](int32_t no, TppPage* cached) {
      ASSERT_EQ(model.count(no), 1u) << run << " " << no;
      ASSERT_NE(cached, nullptr) << run << " " << no;
      const ModelPage& m = model[no];
      EXPECT_EQ(cached->AbsolutePageNo(), no) << run;
      EXPECT_EQ(cached->AbsolutePageCount(), m.count) << run << " " << no;
      EXPECT_EQ(cached->PageCount(), m.pageCount) << run << " " << no;
      EXPECT_EQ(static_cast<TestPageNoCommand*>(cached->GetDrawCommand(0))->Text, m.text) << run << " " << no;
    };
    for (int step = 1; step <= pages * 2; ++step) {
      int32_t no = step, count = step;
      if (kind == 1) count = pages;
      if (kind == 2) {
        no = 1 + static_cast<int32_t>(random() % pages);
        count = no + static_cast<int32_t>(random() % 4) - 1;
      } else if (step > pages) {
        break;
      }
      if (kind == 2 || random() % 5 == 0) {
        breakNo += kind == 2 ? static_cast<int32_t>(random() % 3) - 1 : 1;
        inGroup = 0;
      }
      ++inGroup;
      cls::Owned<TppPage> page(new TppPage(nullptr));
      page->SetAbsolutePageNo(no);
      page->SetAbsolutePageCount(count);
      page->SetControlGroupBreakNo(breakNo);
      page->SetPageNo(inGroup);
      page->SetPageCount(kind == 2 ? static_cast<int32_t>(random() % 6) : inGroup);
      page->SetFinal(random() % 10 != 0);
      AddCommand<TestPageNoCommand>(*page);
      publisher_->PublishPage(page.get());
      if (page->Final())
        ModelCache(model, no, {count, page->PageNo(), page->PageCount(), breakNo, ""});
      if (!model.empty() && random() % 3 == 0) {
        auto it = std::next(model.begin(), static_cast<std::ptrdiff_t>(random() % model.size()));
        check(it->first, publisher_->FindCachedPage(it->first));
      }
    }
    ASSERT_EQ(publisher_->GetCachedPageCount(), static_cast<int>(model.size())) << run;
    for (int i = 0; i < publisher_->GetCachedPageCount(); ++i) {
      TppPage* cached = publisher_->GetCachedPage(i);
      check(cached->AbsolutePageNo(), cached);
    }
  }
}

// One pass raises every page's count at each page; a cached page makes its
// late values again once when read, not once per later page.
TEST_F(Publishing, ACachedPageMakesItsLateValuesOncePerRead) {
  publisher_->SetCachePages(true);
  report_.Count = 2000;
  TestDevice* d = Attach();
  TestPageNoCommand::Updates = 0;
  Print(d);
  EXPECT_EQ(TestPageNoCommand::Updates, 0);
  for (int i = 0; i < publisher_->GetCachedPageCount(); ++i) publisher_->GetCachedPage(i);
  EXPECT_EQ(TestPageNoCommand::Updates, report_.Count - 1);
  for (int i = 0; i < publisher_->GetCachedPageCount(); ++i) publisher_->GetCachedPage(i);
  EXPECT_EQ(TestPageNoCommand::Updates, report_.Count - 1);
}

TEST_F(Publishing, DevicesStopWaitingOnceTheirRequestIsComplete) {
  TestDevice* single = Attach();
  single->PageRequest()->SetPageSetting(TppPageSettingType::psSinglePage);
  single->PageRequest()->SetPageRequested(2);
  TestDevice* inactive = Attach();
  inactive->SetActive(false);
  int started = 0;
  struct Counter {
    int* n;
    void Fired(cls::TObject*) { ++*n; }
  } counter{&started};
  inactive->OnStartJob = cls::TNotifyEvent(&counter, &Counter::Fired);
  single->OnEndJob = cls::TNotifyEvent(&counter, &Counter::Fired);
  single->RequestPages();
  EXPECT_EQ(single->Received, (std::vector<int>{2}));
  EXPECT_TRUE(inactive->Received.empty());
  EXPECT_EQ(started, 1);  // the single device's end of job only
  single->EndJob();       // not busy: nothing
  EXPECT_EQ(started, 1);
  EXPECT_EQ(publisher_->PendingRequest()->PageSetting(), TppPageSettingType::psAll);
}

TEST_F(Publishing, OnlyTheNewestDeviceOfAGroupReceivesPages) {
  auto grouped = [&] {
    auto* d = new TestDevice(nullptr);
    devices_.emplace_back(d);
    d->SetGrouped(true);
    d->SetGroupName("Archive");
    d->SetPublisher(publisher_.get());
    d->SetGroupName("Other");  // ignored while attached
    EXPECT_EQ(d->GroupName(), "Archive");
    return d;
  };
  TestDevice* first = grouped();
  TestDevice* second = grouped();
  EXPECT_EQ(publisher_->GetDeviceCount(), 1);
  second->RequestPages();
  EXPECT_TRUE(first->Received.empty());
  EXPECT_EQ(second->Received.size(), 7u);
  second->SetPublisher(nullptr);
  EXPECT_EQ(publisher_->GetDevice(0), first);
  first->RequestPages();
  EXPECT_EQ(first->Received.size(), 7u);
  first->SetPublisher(publisher_.get());  // attached twice: ignored
  EXPECT_EQ(publisher_->GetDeviceCount(), 1);
}

TEST_F(Publishing, DevicesAndPublishersForgetEachOtherWhenFreed) {
  TestDevice* d = Attach();
  devices_.back().reset();
  EXPECT_EQ(publisher_->GetDeviceCount(), 0);
  TestDevice* e = Attach();
  publisher_.reset();
  EXPECT_EQ(e->Publisher(), nullptr);
  e->RequestPages();  // no publisher: nothing
  EXPECT_TRUE(e->Received.empty());
  (void)d;
}

TEST_F(Publishing, ADeviceFreedDuringABroadcastIsSkipped) {
  TestDevice* first = Attach();
  TestDevice* second = Attach();
  struct Freer {
    cls::Owned<TestDevice>* victim;
    void Received(cls::TObject*, TppPage*) { victim->reset(); }
  } freer{&devices_[1]};
  first->OnPageReceive = TppPageEvent(&freer, &Freer::Received);
  first->RequestPages();
  EXPECT_EQ(first->Received.size(), 7u);
  EXPECT_EQ(publisher_->GetDeviceCount(), 1);
  (void)second;
}

TEST_F(Publishing, TheBroadcastLockIsGivenUpAroundUserEvents) {
  TestDevice* d = Attach();
  struct OtherThread {
    TppPublisher* publisher;
    bool tookIt = false;
    void Received(cls::TObject*, TppPage*) {
      std::thread t([this] {
        publisher->BroadcastLock().Lock();
        tookIt = true;
        publisher->BroadcastLock().Unlock();
      });
      t.join();
    }
  } other{publisher_.get()};
  d->OnPageReceive = TppPageEvent(&other, &OtherThread::Received);
  report_.Count = 1;
  d->RequestPages();
  EXPECT_TRUE(other.tookIt);
}

TEST(Devices, DrawPageSkipsCommandsThatStartBeyondThePaper) {
  TppPage page(nullptr);
  page.PrinterSetup()->SetUnits(utMMThousandths);
  page.PageDef()->SetmmWidth(82000);
  page.PageDef()->SetmmHeight(100000);
  AddCommand<TestBoxCommand>(page, 82000, 0);
  AddCommand<TestBoxCommand>(page, 82001, 0);
  AddCommand<TestBoxCommand>(page, 5, 100001);
  AddCommand<TestBoxCommand>(page, 7, 100000);
  TestDevice device(nullptr);
  device.DrawPage(&page);
  EXPECT_EQ(device.Drawn, (std::vector<int>{82000, 7}));
}

TEST(Devices, TheRegistryFindsClassesByNameWithoutRegardToCase) {
  RegisterDevice<TestDevice>();
  RegisterDevice<TestDevice>();
  EXPECT_EQ(GetDeviceClassForName("testfile"), &TestDevice::StaticClass());
  EXPECT_EQ(cls::FindClass("TestDevice"), &TestDevice::StaticClass());
  auto names = GetDeviceNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "TestFile"), 1);
  EXPECT_EQ(GetDeviceClassForName("Nowhere"), nullptr);
  UnregisterDevice(&TestDevice::StaticClass());
  EXPECT_EQ(GetDeviceClassForName("TestFile"), nullptr);
  EXPECT_EQ(cls::FindClass("TestDevice"), nullptr);

  EXPECT_EQ(GetTrueTypeFontName("MS Serif"), "Courier New");
  EXPECT_EQ(GetTrueTypeFontName("Courier"), "Courier New");
  EXPECT_EQ(GetTrueTypeFontName("Small Fonts"), "Arial");
  EXPECT_EQ(GetTrueTypeFontName("courier"), "courier");
  EXPECT_EQ(GetTrueTypeFontName("細明體"), "細明體");
}

TEST(PageScripting, CommandsJoinAndLeavePagesByName) {
  cls::Owned<TppPage> page(new TppPage(nullptr));
  TestBoxCommand* box = new TestBoxCommand(nullptr);
  const TraRTTI* commands = raGetRTTIClass(box->ClassType());
  ASSERT_EQ(commands, &TraTppDrawCommandRTTI::Instance());
  EXPECT_TRUE(commands->SetPropValue(box, "Page", static_cast<cls::TObject*>(page.get())));
  EXPECT_EQ(page->GetDrawCommandCount(), 1);
  EXPECT_EQ(box->Owner(), page.get());
  EXPECT_FALSE(commands->SetPropValue(box, "Clickable", true));
  EXPECT_FALSE(commands->SetPropValue(box, "Page", static_cast<cls::TObject*>(box)));
  EXPECT_TRUE(commands->SetPropValue(box, "RedrawPage", true));
  EXPECT_TRUE(box->RedrawPage());
  // The page's method takes the command off again.
  const TraRTTI* pages = raGetRTTIClass(page->ClassType());
  ASSERT_EQ(pages, &TraTppPageRTTI::Instance());
  cls::Owned<TraParamList> params(pages->GetParams("RemoveDrawCommand"));
  ASSERT_TRUE(params);
  TppDrawCommand* which = box;
  params->SetParamAddress("aDrawCommand", &which);
  EXPECT_TRUE(pages->CallMethod(page.get(), "RemoveDrawCommand", params.get()));
  EXPECT_EQ(page->GetDrawCommandCount(), 0);
  EXPECT_EQ(box->Owner(), nullptr);
  box->Free();
  // The print time is a date-time; the page's own names still answer.
  page->SetPrintDateTime(46159.5);
  TraPropRec rec;
  ASSERT_TRUE(pages->GetPropRec("PrintDateTime", rec));
  EXPECT_EQ(rec.TypeCode, daDateTime);
  std::string text;
  ASSERT_TRUE(pages->GetPropValueText(page.get(), "PrintDateTime", text));
  EXPECT_EQ(text, "2026/5/17 12:00:00");
  ASSERT_TRUE(pages->GetPropValueText(page.get(), "PassSetting", text));
  EXPECT_EQ(text, "psOnePass");
}

// ---- page events with their parameter ----

namespace {

// Takes the "Page" parameter of every event it is sent.
class PageListener : public TppCommunicator {
 public:
  explicit PageListener(int eventId) : TppCommunicator(nullptr) { EventMask().Include(eventId); }
  void EventNotify(TppCommunicator*, int, TraParamList* params) override {
    TraParamRec rec;
    cls::TObject* page = nullptr;
    if (!params || params->IndexOf("Page") < 0 || !params->GetParam("Page", page)) {
      Pages.push_back(-1);
      return;
    }
    params->GetParamRec(params->IndexOf("Page"), rec);
    EXPECT_EQ(rec.Class, &TppPage::StaticClass());
    // A receiver cannot put something else in its place.
    EXPECT_FALSE(params->SetParamValue("Page", static_cast<cls::TObject*>(this)));
    Pages.push_back(static_cast<TppPage*>(page)->AbsolutePageNo());
  }
  std::vector<int> Pages;
};

}  // namespace

TEST_F(Publishing, ReceivedAndPublishedPagesTravelAsTheEventsPageParameter) {
  report_.Count = 3;
  TestDevice* d = Attach();
  PageListener received(ciDevicePageReceived), published(ciPublisherPagePublished);
  d->AddEventNotify(&received);
  publisher_->AddEventNotify(&published);
  Print(d);
  EXPECT_EQ(received.Pages, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(published.Pages, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(d->Received, (std::vector<int>{1, 2, 3}));
}
