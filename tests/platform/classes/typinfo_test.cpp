#include <gtest/gtest.h>

#include "platform/classes/typinfo.h"

using namespace cls;

namespace {

enum TShade { shLight, shDark };

class TWidget : public TComponent {
  CLS_DECLARE_CLASS(TWidget, TComponent)
 public:
  using TComponent::TComponent;
  int Width() const { return width_; }
  void SetWidth(int w) { width_ = w; }
  TShade Shade() const { return shade_; }
  void SetShade(TShade s) { shade_ = s; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c) { caption_ = c; }
  void Clicked(TObject*) { ++clicks; }
  TNotifyEvent OnClick;
  int clicks = 0;

 private:
  int width_ = 10;
  TShade shade_ = shLight;
  std::string caption_;
};
CLS_IMPLEMENT_COMPONENT(TWidget)

class TBigWidget : public TWidget {
  CLS_DECLARE_CLASS(TBigWidget, TWidget)
 public:
  using TWidget::TWidget;
  double Scale() const { return scale_; }
  void SetScale(double s) { scale_ = s; }

 private:
  double scale_ = 1;
};
CLS_IMPLEMENT_COMPONENT(TBigWidget)

void PublishOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  const TTypeInfo* shade = MakeEnumTypeInfo("TShade", {"shLight", "shDark"});
  TPropInfo& w = PublishProperty(TWidget::StaticClass(),
                                 OrdProperty<TWidget, int>("Width", TypeInfoInteger(), &TWidget::Width, &TWidget::SetWidth));
  w.HasDefault = true;
  w.Default = 10;
  PublishProperty(TWidget::StaticClass(),
                  OrdProperty<TWidget, TShade>("Shade", shade, &TWidget::Shade, &TWidget::SetShade));
  PublishProperty(TWidget::StaticClass(), StrProperty<TWidget>("Caption", &TWidget::Caption, &TWidget::SetCaption));
  PublishProperty(TWidget::StaticClass(), MethodProperty<TWidget>("OnClick", &TWidget::OnClick));
  PublishMethod(TWidget::StaticClass(), TMethodInfo{"Clicked", [](TObject* o) {
                                                      return TNotifyEvent(static_cast<TWidget*>(o), &TWidget::Clicked).Method();
                                                    }});
  PublishProperty(TBigWidget::StaticClass(),
                  FloatProperty<TBigWidget, double>("Scale", &TBigWidget::Scale, &TBigWidget::SetScale));
}

TEST(Reflection, OrderedTablesAndAccessByName) {
  PublishOnce();
  auto list = GetPropList(&TBigWidget::StaticClass());
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0]->Name, "Width");
  EXPECT_EQ(list[4]->Name, "Scale");
  EXPECT_EQ(list[1]->Type->EnumNames[1], "shDark");

  TBigWidget* w = new TBigWidget(nullptr);
  SetOrdProp(w, "width", 25);
  EXPECT_EQ(w->Width(), 25);
  SetEnumProp(w, "Shade", "SHDARK");
  EXPECT_EQ(w->Shade(), shDark);
  EXPECT_EQ(GetEnumProp(w, "Shade"), "shDark");
  EXPECT_THROW(SetEnumProp(w, "Shade", "shPurple"), EPropertyError);
  SetStrProp(w, "Caption", "Hi");
  EXPECT_EQ(GetStrProp(w, "caption"), "Hi");
  SetFloatProp(w, "Scale", 2.5);
  EXPECT_DOUBLE_EQ(GetFloatProp(w, "Scale"), 2.5);
  EXPECT_THROW(GetOrdProp(w, "Caption"), EPropertyError);
  EXPECT_THROW(GetOrdProp(w, "Missing"), EPropertyError);
  EXPECT_EQ(GetPropInfo(w, "Scale")->Kind(), tkFloat);
  EXPECT_EQ(GetPropInfo(&TWidget::StaticClass(), "Scale"), nullptr);

  // A published method bound by name becomes the event handler.
  const TMethodInfo* m = GetMethodInfo(w->ClassType(), "clicked");
  ASSERT_NE(m, nullptr);
  SetMethodProp(w, "OnClick", m->Bind(w));
  ASSERT_TRUE(w->OnClick.Assigned());
  w->OnClick(w);
  EXPECT_EQ(w->clicks, 1);
  EXPECT_TRUE(GetMethodProp(w, "OnClick") == w->OnClick.Method());
  w->Free();
}

}  // namespace
