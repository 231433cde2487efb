#pragma once
// Snapshot enumerators for the filter's pins and a pin's media types.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <vector>

#include "dll_module.h"
#include "media_type.h"

namespace testcam {

class PinEnumerator final : public IEnumPins {
  // IUnknown, IEnumPins
public:
  explicit PinEnumerator(std::vector<Microsoft::WRL::ComPtr<IPin>> pins, ULONG position = 0);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins** copy) override;

private:
  std::atomic<ULONG> references_{0};
  LiveObject live_;
  const std::vector<Microsoft::WRL::ComPtr<IPin>> pins_;
  ULONG position_;
};

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
