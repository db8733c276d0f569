// The scripting registry read on several threads while it changes.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "report/model/ppCache.h"
#include "report/model/ppRTTI.h"

namespace {

class TppThreadNode : public TppRelative {
  CLS_DECLARE_CLASS(TppThreadNode, TppRelative)
 public:
  using TppRelative::TppRelative;
};
CLS_IMPLEMENT_COMPONENT(TppThreadNode)

class TraTppThreadNodeRTTI : public TraTppRelativeRTTI {
  RA_DECLARE_RTTI(TraTppThreadNodeRTTI, TraTppRelativeRTTI, TppThreadNode)
};
RA_IMPLEMENT_RTTI(TraTppThreadNodeRTTI)
const TraMembers* TraTppThreadNodeRTTI::Members() const { return inherited::Members(); }

TEST(ScriptingThreads, LookupsSeeWholeRegistriesWhileItChanges) {
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t)
    readers.emplace_back([&] {
      while (!stop) {
        const TraRTTI* node = raGetRTTIClass(&TppThreadNode::StaticClass());
        if (node != &TraTppThreadNodeRTTI::Instance() && node != &TraTppRelativeRTTI::Instance()) ++wrong;
        if (raGetRTTIClass(&TppCacheable::StaticClass()) != &TraTppCacheableRTTI::Instance()) ++wrong;
      }
    });
  for (int i = 0; i < 300; ++i) {
    raRegisterRTTI(TraTppThreadNodeRTTI::Instance());
    raUnregisterRTTI(TraTppThreadNodeRTTI::Instance());
  }
  stop = true;
  for (auto& r : readers) r.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
