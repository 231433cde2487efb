#include "platform/dshow/empty_media_type_enumerator.h"

#include <new>

namespace platform {

HRESULT EmptyMediaTypeEnumerator::Create(IEnumMediaTypes** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = new (std::nothrow) EmptyMediaTypeEnumerator();
  return *enumerator ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP EmptyMediaTypeEnumerator::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IEnumMediaTypes)) {
    *object = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EmptyMediaTypeEnumerator::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) EmptyMediaTypeEnumerator::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP EmptyMediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (!types || (count > 1 && !fetched)) return E_POINTER;
  if (fetched) *fetched = 0;
  return count == 0 ? S_OK : S_FALSE;
}

STDMETHODIMP EmptyMediaTypeEnumerator::Skip(ULONG count) { return count == 0 ? S_OK : S_FALSE; }

STDMETHODIMP EmptyMediaTypeEnumerator::Reset() { return S_OK; }

STDMETHODIMP EmptyMediaTypeEnumerator::Clone(IEnumMediaTypes** copy) { return Create(copy); }

}  // namespace platform
