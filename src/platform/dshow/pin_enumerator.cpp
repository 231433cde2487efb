#include "platform/dshow/pin_enumerator.h"

#include <algorithm>
#include <new>

namespace platform {

using Microsoft::WRL::ComPtr;

HRESULT PinEnumerator::Create(std::vector<ComPtr<IPin>> pins, IEnumPins** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = new (std::nothrow) PinEnumerator(std::move(pins));
  return *enumerator ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PinEnumerator::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IEnumPins)) {
    *object = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PinEnumerator::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) PinEnumerator::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins || (count > 1 && !fetched)) return E_POINTER;
  ULONG done = 0;
  for (; done < count && position_ < pins_.size(); ++done, ++position_) {
    ComPtr<IPin> pin = pins_[position_];
    pins[done] = pin.Detach();
  }
  if (fetched) *fetched = done;
  return done == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Skip(ULONG count) {
  position_ = std::min(pins_.size(), position_ + count);
  return position_ < pins_.size() || count == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP PinEnumerator::Clone(IEnumPins** copy) {
  const HRESULT created = Create(pins_, copy);
  if (SUCCEEDED(created)) static_cast<PinEnumerator*>(*copy)->position_ = position_;
  return created;
}

}  // namespace platform
