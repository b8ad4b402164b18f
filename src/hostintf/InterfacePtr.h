// TInterfacePtr<T>: owns one reference to a reference-counted host interface and
// releases it when it goes out of scope, so that every interface obtained from
// the host is released on every path, exceptions included.
//
//   TInterfacePtr<TIModuleInterface> module(ToolServices->GetModuleInterface(name));
//   if (!module) return 0;
//   TInterfacePtr<TIEditorInterface> editor(module->GetEditorInterface());
//
// The constructor ADOPTS the reference it is given (the host's functions return
// one already counted); use Retain() to take an extra reference to a borrowed
// pointer. Copies AddRef, moves transfer. Released in the reverse order of
// declaration, as C++ destroys locals.
#pragma once

#include <utility>

namespace scrivlock::hostintf {

template <class T>
class TInterfacePtr {
 public:
  TInterfacePtr() = default;
  explicit TInterfacePtr(T* adopted) : FIntf(adopted) {}
  TInterfacePtr(const TInterfacePtr& other) : FIntf(other.FIntf) {
    if (FIntf) FIntf->AddRef();
  }
  TInterfacePtr(TInterfacePtr&& other) noexcept : FIntf(std::exchange(other.FIntf, nullptr)) {}
  TInterfacePtr& operator=(TInterfacePtr other) noexcept {
    std::swap(FIntf, other.FIntf);
    return *this;
  }
  ~TInterfacePtr() { Reset(); }

  // A holder with a reference of its own to `borrowed` (AddRef unless null).
  static TInterfacePtr Retain(T* borrowed) {
    if (borrowed) borrowed->AddRef();
    return TInterfacePtr(borrowed);
  }

  T* Get() const { return FIntf; }
  T* operator->() const { return FIntf; }
  T& operator*() const { return *FIntf; }
  explicit operator bool() const { return FIntf != nullptr; }

  // Releases the reference now (if any) and holds nothing.
  void Reset() {
    if (T* intf = std::exchange(FIntf, nullptr)) intf->Release();
  }
  // Gives the reference up to the caller without releasing it.
  [[nodiscard]] T* Detach() { return std::exchange(FIntf, nullptr); }

 private:
  T* FIntf = nullptr;
};

}  // namespace scrivlock::hostintf
