#include "report/model/ppRegister.h"

#include <mutex>
#include <utility>

#include "platform/classes/typinfo.h"
#include "platform/gdi/canvas.h"
#include "report/model/ppCache.h"
#include "report/model/ppDisplayFormat.h"
#include "report/model/ppForms.h"
#include "report/model/ppIniStorage.h"
#include "report/model/ppParameter.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppRegistration.h"
#include "report/model/ppRelatv.h"
#include "report/model/ppTemplate.h"
#include "report/model/ppTreeNode.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtils.h"

// The canvas's brush and pen styles, described beside their declarations.
const cls::TTypeInfo* ppTypeInfoBrushStyle() { return cls::EnumTypeInfo<gdi::TBrushStyle>(); }
const cls::TTypeInfo* ppTypeInfoPenStyle() { return cls::EnumTypeInfo<gdi::TPenStyle>(); }

namespace {

template <size_t... Slot>
void RegisterStartupEnums(std::index_sequence<Slot...>) {
  for (const cls::TTypeInfo* t : {ppStartupEnum<static_cast<int>(Slot)>::TypeInfo()...})
    RegisterEnumType(t->Name, t);
}

void PublishPageDef() {
  auto& c = TppPageDef::StaticClass();
  using P = TppPageDef;
  const cls::TTypeInfo* i = cls::TypeInfoInteger();
  cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmHeight", i, &P::mmHeight, &P::SetmmHeight));
  cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmWidth", i, &P::mmWidth, &P::SetmmWidth));
  cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmMarginLeft", i, &P::mmMarginLeft, &P::SetmmMarginLeft));
  cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmMarginRight", i, &P::mmMarginRight, &P::SetmmMarginRight));
  cls::PublishProperty(c, cls::OrdProperty<P, int32_t>("mmMarginTop", i, &P::mmMarginTop, &P::SetmmMarginTop));
  cls::PublishProperty(c,
                       cls::OrdProperty<P, int32_t>("mmMarginBottom", i, &P::mmMarginBottom, &P::SetmmMarginBottom));
}

}  // namespace

void ppRegisterModel() {
  static std::once_flag once;
  std::call_once(once, [] {
    ppRegisterRegistrationUnit();  // before any layer registers its components
    RegisterStartupEnums(std::make_index_sequence<ppStartupEnumCount>{});
    gdi::RegisterGraphicsClasses();
    PublishPageDef();
    ppPublishFormProperties();
    raRegisterBaseRTTI();
    raRegisterRTTI(TraTppCommunicatorRTTI::Instance());
    raRegisterRTTI(TraTppRelativeRTTI::Instance());
    raRegisterRTTI(TraTppCacheableRTTI::Instance());
    ppSetDisplayFormatClass(&TppDisplayFormat::Instance());
    ppRegisterParameterUnit();
    ppRegisterIniStorageUnit();
    ppRegisterTemplateUnit();
    ppRegisterTreeNodeUnit();
  });
}
