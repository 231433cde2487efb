#include "platform/dshow/media_type.h"

#include <cstring>
#include <utility>

#include "platform/dshow/com_object.h"

namespace dshow {

MediaType::MediaType(const AM_MEDIA_TYPE& type) {
  (void)Copy(type, &type_);  // without memory the copy has no format block
}

MediaType::MediaType(const MediaType& other) : MediaType(other.type_) {}

MediaType::MediaType(MediaType&& other) noexcept : type_(other.type_) { other.type_ = AM_MEDIA_TYPE{}; }

MediaType& MediaType::operator=(MediaType other) noexcept {
  std::swap(type_, other.type_);
  return *this;
}

MediaType::~MediaType() { FreeContents(type_); }

HRESULT MediaType::CopyTo(AM_MEDIA_TYPE* target) const { return Copy(type_, target); }

AM_MEDIA_TYPE* MediaType::CreateCopy() const {
  auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (copy && FAILED(Copy(type_, copy))) {
    CoTaskMemFree(copy);
    return nullptr;
  }
  return copy;
}

HRESULT MediaType::Copy(const AM_MEDIA_TYPE& source, AM_MEDIA_TYPE* target) {
  if (!target) return E_POINTER;
  *target = source;
  target->pbFormat = nullptr;
  target->cbFormat = 0;
  target->pUnk = nullptr;
  if (source.cbFormat && source.pbFormat) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source.cbFormat));
    if (!target->pbFormat) return E_OUTOFMEMORY;
    std::memcpy(target->pbFormat, source.pbFormat, source.cbFormat);
    target->cbFormat = source.cbFormat;
  }
  target->pUnk = ComPtr<IUnknown>(source.pUnk).Detach();
  return S_OK;
}

void MediaType::FreeContents(AM_MEDIA_TYPE& type) {
  CoTaskMemFree(type.pbFormat);
  type.pbFormat = nullptr;
  type.cbFormat = 0;
  (void)Adopt(type.pUnk);  // released right here
  type.pUnk = nullptr;
}

void MediaType::Delete(AM_MEDIA_TYPE* type) {
  if (!type) return;
  FreeContents(*type);
  CoTaskMemFree(type);
}

}  // namespace dshow
