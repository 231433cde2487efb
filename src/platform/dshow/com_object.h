#pragma once
// The reference counting and interface lookup every COM object of ours
// shares. A class lists the interfaces it implements as template arguments;
// that list is what QueryInterface answers.
#include <windows.h>
#include <unknwn.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <new>
#include <utility>

namespace dshow {

using Microsoft::WRL::ComPtr;

// Takes over a reference the platform handed out (FILTER_INFO::pGraph, a
// record's pUnk, a new object's first reference) without adding one.
// MinGW's ComPtr::Attach adds a reference, unlike the platform's own, and
// would leak it.
template <class T>
ComPtr<T> Adopt(T* reference) {
  ComPtr<T> adopted;
  *adopted.GetAddressOf() = reference;
  return adopted;
}

// Objects of ours alive in this module; a DLL may unload only at zero.
std::atomic<long>& LiveObjects();

// Whether a listed interface also answers `iid` for an interface it
// extends. Specialised next to the interfaces that need it.
template <class I>
struct InterfaceAlso {
  static bool Answers(REFIID) { return false; }
};
template <>
struct InterfaceAlso<IMediaFilter> {
  static bool Answers(REFIID iid) { return iid == __uuidof(IPersist); }
};
template <>
struct InterfaceAlso<IBaseFilter> {
  static bool Answers(REFIID iid) { return iid == __uuidof(IMediaFilter) || iid == __uuidof(IPersist); }
};
template <>
struct InterfaceAlso<IFileSinkFilter2> {
  static bool Answers(REFIID iid) { return iid == __uuidof(IFileSinkFilter); }
};

// Whether `I` answers `iid`. A class that is not an interface itself (a
// base such as FilterBase) names the interface it stands for as `Interface`.
template <class I, class = void>
struct InterfaceOf {
  using Type = I;
};
template <class I>
struct InterfaceOf<I, std::void_t<typename I::Interface>> {
  using Type = typename I::Interface;
};

template <class I>
bool Answers(REFIID iid) {
  using Type = typename InterfaceOf<I>::Type;
  return iid == __uuidof(Type) || InterfaceAlso<Type>::Answers(iid);
}

// The interface lookup for `self`, whose classes `Interfaces` are listed in
// order; IUnknown is answered by the first. S_OK with a reference added
// through `self`, or E_NOINTERFACE.
template <class First, class... Rest, class Self>
HRESULT QueryInterfaceTable(Self* self, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == __uuidof(IUnknown) || Answers<First>(iid))
    *object = static_cast<typename InterfaceOf<First>::Type*>(static_cast<First*>(self));
  else
    (void)((Answers<Rest>(iid) &&
            (*object = static_cast<typename InterfaceOf<Rest>::Type*>(static_cast<Rest*>(self)))) ||
           ...);
  if (!*object) return E_NOINTERFACE;
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

// A reference-counted COM object implementing `Interfaces` (or bases that
// stand for one). It starts with one reference, which Make adopts; it
// cannot be copied. A class that hands out an interface of a member
// declares QueryOther for it.
template <class Derived, class First, class... Rest>
class ComObject : public First, public Rest... {
public:
  template <class... Args>
  explicit ComObject(Args&&... args) : First(std::forward<Args>(args)...) {
    ++LiveObjects();
  }
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // Creates the object; empty when memory runs out.
  template <class... Args>
  static ComPtr<Derived> Make(Args&&... args) {
    return dshow::Adopt(new (std::nothrow) Derived(std::forward<Args>(args)...));
  }

  // Creates the object and hands out its `iid` interface (class factories,
  // the platform table).
  template <class... Args>
  static HRESULT CreateInstance(REFIID iid, void** object, Args&&... args) {
    if (!object) return E_POINTER;
    *object = nullptr;
    const ComPtr<Derived> created = Make(std::forward<Args>(args)...);
    if (!created) return E_OUTOFMEMORY;
    return created->QueryInterface(iid, object);
  }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    const HRESULT found = QueryInterfaceTable<First, Rest...>(static_cast<Derived*>(this), iid, object);
    if (found != E_NOINTERFACE) return found;
    return static_cast<Derived*>(this)->QueryOther(iid, object);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

  // Interfaces held by members, looked up after the list; none by default.
  HRESULT QueryOther(REFIID, void**) { return E_NOINTERFACE; }

protected:
  ~ComObject() { --LiveObjects(); }

private:
  std::atomic<ULONG> references_{1};
};

}  // namespace dshow
