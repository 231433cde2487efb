#pragma once
// A snapshot enumerator for a pin's media types (the filter's pins use the
// program's platform::PinEnumerator).
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <vector>

#include "dll_module.h"
#include "media_type.h"

namespace testcam {

class MediaTypeEnumerator final : public IEnumMediaTypes {
  // IUnknown, IEnumMediaTypes
public:
  explicit MediaTypeEnumerator(std::vector<MediaType> types, ULONG position = 0);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumMediaTypes** copy) override;

private:
  std::atomic<ULONG> references_{0};
  LiveObject live_;
  const std::vector<MediaType> types_;
  ULONG position_;
};

}  // namespace testcam
