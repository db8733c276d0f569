// Rich-text commands rendered from two threads through the shared control.
#include <gtest/gtest.h>

#include <thread>

#include "platform/gdi/fonts.h"
#include "tests/report/output/ppDrwCmdRichText_support.h"
#include "platform/gdi/picture.h"
#include "tests/support/testroot.h"

namespace {

class TMetafileScreen : public TBitmapScreen {
 public:
  TMetafileScreen() : TBitmapScreen(1, 1), canvas_(metafile_, nullptr) {}
  gdi::TCanvas* ScreenCanvas() override { return &canvas_; }
  std::vector<std::string> Described() {
    canvas_.Close();
    std::vector<std::string> out;
    for (const gdi::Op& op : metafile_.Operations()) out.push_back(op.Describe());
    return out;
  }

 private:
  gdi::TMetafile metafile_;
  gdi::TMetafileCanvas canvas_;
};

}  // namespace

TEST(RichTextThreads, TwoThreadsEachGetTheirOneThreadPicture) {
  gdi::SetDeterministicMetrics(true);
  testing_support::TempRoot root;
  cls::Owned<TppDrawRichText> a(new TppDrawRichText(nullptr)), b(new TppDrawRichText(nullptr));
  SetRtf(a.get(), "{\\rtf1 AAAA\\par AAAA}");
  SetRtf(b.get(), "{\\rtf1\\qc\\b b\\par bbbbbb}");
  for (TppDrawRichText* c : {a.get(), b.get()}) {
    Bounds(c, 0, 0, 25400, 12700);
    c->SetStartCharPos(0);
    c->SetEndCharPos(100);
    c->SetColor(gdi::clWhite);
  }
  // Each onto a recording canvas of its own: what it drew, described.
  auto render = [](TppDrawRichText* c) {
    TMetafileScreen screen;
    c->DrawToScreen(&screen);
    return screen.Described();
  };
  const std::vector<std::string> oneA = render(a.get()), oneB = render(b.get());
  ASSERT_NE(oneA, oneB);
  int badA = 0, badB = 0;
  std::thread ta([&] {
    for (int i = 0; i < 200; ++i) badA += render(a.get()) != oneA;
  });
  std::thread tb([&] {
    for (int i = 0; i < 200; ++i) badB += render(b.get()) != oneB;
  });
  ta.join();
  tb.join();
  EXPECT_EQ(badA, 0);
  EXPECT_EQ(badB, 0);
  ppRichEditFinalize();
  gdi::SetDeterministicMetrics(false);
}
