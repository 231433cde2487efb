#include "enumerators.h"

#include <algorithm>

using Microsoft::WRL::ComPtr;

namespace testcam {

MediaTypeEnumerator::MediaTypeEnumerator(std::vector<MediaType> types, ULONG position)
    : types_(std::move(types)), position_(position) {}

STDMETHODIMP MediaTypeEnumerator::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumMediaTypes)) {
    *object = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaTypeEnumerator::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MediaTypeEnumerator::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (!types || (count > 1 && !fetched)) return E_POINTER;
  ULONG given = 0;
  while (given < count && position_ < types_.size()) {
    AM_MEDIA_TYPE* copy = types_[position_].CreateCopy();
    if (!copy) break;
    ++position_;
    types[given++] = copy;
  }
  if (fetched) *fetched = given;
  return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Skip(ULONG count) {
  const ULONG left = static_cast<ULONG>(types_.size()) - position_;
  position_ += std::min(count, left);
  return count <= left ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Clone(IEnumMediaTypes** copy) {
  if (!copy) return E_POINTER;
  ComPtr<IEnumMediaTypes> clone(new MediaTypeEnumerator(types_, position_));
  *copy = clone.Detach();
  return S_OK;
}

}  // namespace testcam
