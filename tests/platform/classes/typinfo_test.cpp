#include <gtest/gtest.h>

#include "platform/classes/typinfo.h"

using namespace cls;

namespace {

enum TShade { shLight, shDark };

namespace paint {
CLS_ENUM_CLASS(TFinish, fnMatt, fnSatin, fnGloss)
}  // namespace paint

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

// An enumeration declared with its names, in a namespace of its own.
TEST(Reflection, EnumerationsDeclaredWithTheirNames) {
  static_assert(EnumCount<paint::TFinish>() == 3);
  const TTypeInfo* t = EnumTypeInfo<paint::TFinish>();
  EXPECT_EQ(t, EnumTypeInfo<paint::TFinish>());  // made once
  EXPECT_EQ(t->Kind, tkEnumeration);
  EXPECT_EQ(t->Name, "TFinish");
  EXPECT_EQ(t->EnumNames, (std::vector<std::string>{"fnMatt", "fnSatin", "fnGloss"}));
  EXPECT_EQ(EnumName(paint::TFinish::fnGloss), "fnGloss");
  EXPECT_EQ(EnumName(static_cast<paint::TFinish>(3)), "");
  EXPECT_EQ(EnumValue<paint::TFinish>("FNSATIN"), 1);
  EXPECT_EQ(EnumValue<paint::TFinish>("fnNone"), -1);
  EXPECT_EQ(EnumName(taCenter), "taCenter");
  // Names from a list: blanks and empty entries do not count.
  EXPECT_EQ(MakeEnumTypeInfoFromList("T", " a,\n\tb ,, c")->EnumNames, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(MakeEnumTypeInfoFromList("T", "")->EnumNames.empty());
}

TEST(TypeInfo, FloatKindsAndVariantProperties) {
  struct TGauge : TComponent {
    using TComponent::TComponent;
    float Level() const { return level; }
    void SetLevel(float v) { level = v; }
    long double Precise() const { return 1.5L; }
    Variant Reading() const { return reading; }
    void SetReading(const Variant& v) { reading = v; }
    float level = 0;
    Variant reading;
  };
  TPropInfo level = FloatProperty<TGauge, float>("Level", &TGauge::Level, &TGauge::SetLevel);
  TPropInfo precise = FloatProperty<TGauge, long double>("Precise", &TGauge::Precise);
  TPropInfo plain = FloatProperty<TBigWidget, double>("Scale", &TBigWidget::Scale, &TBigWidget::SetScale);
  EXPECT_EQ(level.Type->FloatType, ftSingle);
  EXPECT_EQ(precise.Type->FloatType, ftExtended);
  EXPECT_EQ(plain.Type->FloatType, ftDouble);
  EXPECT_EQ(TypeInfoCurrency()->FloatType, ftCurr);
  EXPECT_EQ(TypeInfoDateTime()->Kind, tkFloat);
  TPropInfo reading = VariantProperty<TGauge>("Reading", &TGauge::Reading, &TGauge::SetReading);
  EXPECT_EQ(reading.Kind(), tkVariant);
  EXPECT_FALSE(reading.ReadOnly());
  EXPECT_TRUE(VariantProperty<TGauge>("Reading", &TGauge::Reading).ReadOnly());
  TGauge g(nullptr);
  reading.SetVariant(&g, Variant("12"));
  EXPECT_EQ(reading.GetVariant(&g).AsInt64(), 12);
}

}  // namespace
