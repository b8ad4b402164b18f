// TInterface: the root of every object that passes between the host and the
// plug-in. Reference-counted by hand, the way the host expects:
//
//   - a new object starts with a count of 1, owned by whoever created it;
//   - AddRef adds an owner, Release drops one and destroys the object at 0;
//   - a function that returns a TInterface pointer hands the caller a reference
//     of its own (count already raised), which the caller must Release;
//   - a pointer passed as an argument is only borrowed for the call; a callee
//     that keeps it calls AddRef.
//
// Hold references in a TInterfacePtr (InterfacePtr.h) so that the compiler
// releases them on every path.
#pragma once

#include <cstdint>

namespace scrivlock::hostintf {

class TInterface {
 public:
  TInterface() = default;
  TInterface(const TInterface&) = delete;
  TInterface& operator=(const TInterface&) = delete;

  // Returns the new count.
  virtual int32_t AddRef() { return ++FRefCount; }
  // Returns the new count; at 0 the object has destroyed itself and must not be
  // touched again. Releasing an object more often than it was referenced is a
  // fault of the caller (hosts built for testing detect and record it).
  virtual int32_t Release() {
    const int32_t count = --FRefCount;
    if (count == 0) Destroy();
    return count;
  }
  // The version of the interface, always 3.
  virtual int32_t GetVersion() { return 3; }

  // Only Release destroys; a host may read the count to check its bookkeeping.
  int32_t RefCount() const { return FRefCount; }

 protected:
  virtual ~TInterface() = default;
  // Called by Release when the count reaches 0. Hosts that check their
  // bookkeeping may keep the object instead, to catch later misuse.
  virtual void Destroy() { delete this; }

 private:
  int32_t FRefCount = 1;
};

}  // namespace scrivlock::hostintf
