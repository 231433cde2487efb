#include "platform/dshow/media_type.h"

#include <cstring>

#include "platform/media_platform.h"
using Microsoft::WRL::ComPtr;

namespace platform {

// ---------------------------------------------------------------------------
// MediaTypeCopy

MediaTypeCopy::MediaTypeCopy() : type_{} {}

MediaTypeCopy::MediaTypeCopy(const AM_MEDIA_TYPE& type) : type_{} {
  (void)Copy(type, &type_);  // on allocation failure the copy has no format block
}

MediaTypeCopy::MediaTypeCopy(const MediaTypeCopy& other) : MediaTypeCopy(other.type_) {}

MediaTypeCopy& MediaTypeCopy::operator=(const MediaTypeCopy& other) {
  if (this != &other) {
    FreeContents(type_);
    (void)Copy(other.type_, &type_);  // on allocation failure the copy has no format block
  }
  return *this;
}

MediaTypeCopy::~MediaTypeCopy() { FreeContents(type_); }

HRESULT MediaTypeCopy::CopyTo(AM_MEDIA_TYPE* target) const { return Copy(type_, target); }

HRESULT MediaTypeCopy::Copy(const AM_MEDIA_TYPE& source, AM_MEDIA_TYPE* target) {
  if (!target) return E_POINTER;
  *target = source;
  target->pbFormat = nullptr;
  target->cbFormat = 0;
  if (source.cbFormat && source.pbFormat) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
    if (!target->pbFormat) {
      target->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source.pbFormat, source.cbFormat);
    target->cbFormat = source.cbFormat;
  }
  // The structure shares the object; the copy carries its own reference.
  if (target->pUnk) ComPtr<IUnknown>(target->pUnk).Detach();
  return S_OK;
}

void MediaTypeCopy::FreeContents(AM_MEDIA_TYPE& type) {
  if (type.pbFormat) CoTaskMemFree(type.pbFormat);
  type.pbFormat = nullptr;
  type.cbFormat = 0;
  if (type.pUnk) {
    const ComPtr<IUnknown> owned = Adopt(type.pUnk);
    type.pUnk = nullptr;
  }
}

// ---------------------------------------------------------------------------
// MediaTypeEnumerator

ComPtr<IEnumMediaTypes> MediaTypeEnumerator::Create(std::vector<MediaTypeCopy> types,
                                                    size_t position) {
  return Adopt<IEnumMediaTypes>(new MediaTypeEnumerator(std::move(types), position));
}

HRESULT MediaTypeEnumerator::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumMediaTypes)) {
    *object = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG MediaTypeEnumerator::AddRef() { return ++refs_; }

ULONG MediaTypeEnumerator::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (!types || (count > 1 && !fetched)) return E_POINTER;
  ULONG done = 0;
  while (done < count && position_ < types_.size()) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type || FAILED(types_[position_].CopyTo(type))) {
      if (type) CoTaskMemFree(type);
      break;
    }
    ++position_;
    types[done++] = type;
  }
  if (fetched) *fetched = done;
  return done == count ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnumerator::Skip(ULONG count) {
  position_ += count;
  if (position_ <= types_.size()) return S_OK;
  position_ = types_.size();
  return S_FALSE;
}

HRESULT MediaTypeEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

HRESULT MediaTypeEnumerator::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  *clone = Create(types_, position_).Detach();
  return S_OK;
}

}  // namespace platform
