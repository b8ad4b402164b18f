#include <gtest/gtest.h>

#include <stdexcept>

#include "hostintf/InterfacePtr.h"
#include "hostintf/VirtIntf.h"

namespace scrivlock::hostintf {
namespace {

// Counts live objects so that a missing or extra Release shows.
class TCountedObject : public TInterface {
 public:
  static inline int Live = 0;
  TCountedObject() { ++Live; }

 protected:
  ~TCountedObject() override { --Live; }
};

TEST(InterfacePtrTest, ReleasesEachReferenceOnceOnEveryPath) {
  {
    TInterfacePtr<TCountedObject> first(new TCountedObject);  // adopts the creation count
    EXPECT_EQ(first->RefCount(), 1);
    TInterfacePtr<TCountedObject> copy = first;
    EXPECT_EQ(first->RefCount(), 2);
    TInterfacePtr<TCountedObject> moved = std::move(copy);
    EXPECT_FALSE(copy);
    EXPECT_EQ(first->RefCount(), 2);
    auto retained = TInterfacePtr<TCountedObject>::Retain(first.Get());
    EXPECT_EQ(first->RefCount(), 3);
    moved = retained;  // assignment releases what `moved` held
    EXPECT_EQ(first->RefCount(), 3);
  }
  EXPECT_EQ(TCountedObject::Live, 0);

  try {
    TInterfacePtr<TCountedObject> held(new TCountedObject);
    throw std::runtime_error("failure on the way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(TCountedObject::Live, 0);

  TInterfacePtr<TCountedObject> detaching(new TCountedObject);
  TCountedObject* raw = detaching.Detach();
  EXPECT_EQ(TCountedObject::Live, 1);
  EXPECT_EQ(raw->GetVersion(), 3);
  EXPECT_EQ(raw->Release(), 0);
  EXPECT_EQ(TCountedObject::Live, 0);
}

}  // namespace
}  // namespace scrivlock::hostintf
