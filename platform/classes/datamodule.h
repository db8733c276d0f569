// Data modules and the class library's global component lookup: a data
// module is a component others find by name without owning it (the
// pipelines a report names may live on one). It is listed while it lives.
#pragma once
#include <string>
#include <vector>

#include "platform/classes/classes.h"

namespace cls {

class TDataModule : public TComponent {
  CLS_DECLARE_CLASS(TDataModule, TComponent)
 public:
  explicit TDataModule(TComponent* owner);
  ~TDataModule() override;
  void BeforeDestruction() override;
};

// The data modules alive now, oldest first (any thread may ask).
std::vector<TComponent*> GlobalComponents();
// The live data module named NAME (ignoring case); nullptr when none.
TComponent* FindGlobalComponent(const std::string& name);

}  // namespace cls
