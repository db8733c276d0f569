#include "report/model/ppRegistration.h"

#include <gtest/gtest.h>

namespace {

class TFakeLabel : public cls::TComponent {
  CLS_DECLARE_CLASS(TFakeLabel, cls::TComponent)
 public:
  explicit TFakeLabel(cls::TComponent* owner) : cls::TComponent(owner) {}
};
CLS_IMPLEMENT_COMPONENT(TFakeLabel)

class TFakeShape : public cls::TComponent {
  CLS_DECLARE_CLASS(TFakeShape, cls::TComponent)
 public:
  explicit TFakeShape(cls::TComponent* owner) : cls::TComponent(owner) {}
};
CLS_IMPLEMENT_COMPONENT(TFakeShape)

// Counts the list's change notices.
struct Listener {
  int calls = 0;
  cls::TObject* sender = nullptr;
  cls::TNotifyEvent Event() {
    return cls::TNotifyEvent(this, [](void* data, cls::TObject* s) {
      auto* self = static_cast<Listener*>(data);
      ++self->calls;
      self->sender = s;
    });
  }
};

TppRegList& List() {
  TppRegList* list = ppRegisteredComponents();
  EXPECT_NE(list, nullptr);
  return *list;
}

}  // namespace

TEST(Registration, RegisteringAClassAgainKeepsOnlyTheLaterEntry) {
  Listener listener;
  List().AddListener(listener.Event());
  cls::TClass label = &TFakeLabel::StaticClass();
  ppRegisterComponent(label, "Standard Components", 0, "", 0, 172);
  ppRegisterComponent(label, "Advanced Components", 3, "second", 2, 460);
  EXPECT_EQ(listener.calls, 3);  // added, deleted, added
  EXPECT_EQ(listener.sender, &List());
  EXPECT_EQ(List().IndexOf("TFakeLabel"), List().IndexOf("tfakelabel"));
  TppRegComponent* entry = List().FindEntry("tfakelabel");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->ComponentClass(), label);
  EXPECT_EQ(entry->PaletteName(), "Advanced Components");
  EXPECT_EQ(entry->PalettePosition(), 3);
  EXPECT_EQ(entry->Name(), "second");
  EXPECT_EQ(entry->Number(), 2);
  EXPECT_EQ(entry->DescriptionMessage(), 460);
  EXPECT_EQ(cls::FindClass("TFakeLabel"), label);

  // Another class of the same name takes the name over in the class
  // library's registry too.
  static cls::TClassInfo stranger{"TFakeLabel", &cls::TComponent::StaticClass()};
  ppRegisterComponent(&stranger, "Standard Components", 1, "", 0, 175);
  EXPECT_EQ(cls::FindClass("TFakeLabel"), &stranger);
  EXPECT_EQ(List().FindEntry("TFakeLabel")->ComponentClass(), &stranger);

  ppUnRegisterComponent(&stranger);
  EXPECT_EQ(cls::FindClass("TFakeLabel"), nullptr);
  EXPECT_EQ(List().FindEntry("TFakeLabel"), nullptr);
  const int calls = listener.calls;
  ppUnRegisterComponent(&stranger);  // not listed: no change, no notice
  EXPECT_EQ(listener.calls, calls);
  List().RemoveListener(listener.Event());
  ppRegisterComponent(label, "Standard Components", 0, "", 0, 172);
  EXPECT_EQ(listener.calls, calls);
  ppUnRegisterComponent(label);
}

// A class of the name registered outside the list cannot be displaced: the
// registration raises and lists nothing.
TEST(Registration, ANameTheClassRegistryHoldsForAnotherClassRaises) {
  static cls::TClassInfo outsider{"TFakeShape", &cls::TComponent::StaticClass()};
  cls::RegisterClass(&outsider);
  EXPECT_THROW(ppRegisterComponent(&TFakeShape::StaticClass(), "Standard Components", 6, "", 0, 178),
               cls::EComponentError);
  EXPECT_EQ(List().FindEntry("TFakeShape"), nullptr);
  EXPECT_EQ(cls::FindClass("TFakeShape"), &outsider);
  cls::UnregisterClass(&outsider);
}

TEST(Registration, TheListIsSortedByClassNameAndCreatesByName) {
  ppRegisterComponent(&TFakeShape::StaticClass(), "Standard Components", 6, "", 0, 178);
  ppRegisterComponent(&TFakeLabel::StaticClass(), "Standard Components", 0, "", 0, 172);
  EXPECT_LT(List().IndexOf("TFakeLabel"), List().IndexOf("TFakeShape"));
  cls::Owned<cls::TComponent> made(cls::GetClass("TFakeShape")->Create(nullptr));
  EXPECT_TRUE(cls::ObjectIs<TFakeShape>(made.get()));
  ppUnRegisterComponent(&TFakeShape::StaticClass());
  ppUnRegisterComponent(&TFakeLabel::StaticClass());
}

TEST(Registration, WithTheSlotsEmptyRegistrationRaises) {
  ppRegisterComponent(&TFakeLabel::StaticClass(), "Standard Components", 0, "", 0, 172);
  ppFinalizeRegistrationUnit();
  EXPECT_EQ(ppRegisteredComponents(), nullptr);
  EXPECT_EQ(ppRegisterComponentProc(), nullptr);
  try {
    ppRegisterComponent(&TFakeShape::StaticClass(), "Standard Components", 6, "", 0, 178);
    ADD_FAILURE() << "no exception";
  } catch (const cls::Exception& e) {
    EXPECT_EQ(e.Message(), "Unable to register component classes.");
    EXPECT_STREQ(e.ClassName(), "Exception");
  }
  try {
    ppUnRegisterComponent(&TFakeLabel::StaticClass());
    ADD_FAILURE() << "no exception";
  } catch (const cls::Exception& e) {
    EXPECT_EQ(e.Message(), "Unable to unregister component classes.");
  }
  EXPECT_EQ(cls::FindClass("TFakeShape"), nullptr);
  // The class library keeps what was registered; a new unit starts empty.
  EXPECT_EQ(cls::FindClass("TFakeLabel"), &TFakeLabel::StaticClass());
  ppRegisterRegistrationUnit();
  EXPECT_EQ(List().Count(), 0);
  ppRegisterComponent(&TFakeLabel::StaticClass(), "Standard Components", 0, "", 0, 172);
  EXPECT_EQ(List().Count(), 1);
  ppUnRegisterComponent(&TFakeLabel::StaticClass());
}
