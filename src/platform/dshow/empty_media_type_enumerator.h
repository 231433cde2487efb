#pragma once
// IEnumMediaTypes with no entries: the renderer's input pin proposes no
// type of its own and leaves the choice to the upstream pin.
#include <windows.h>
#include <dshow.h>

#include <atomic>

namespace platform {

class EmptyMediaTypeEnumerator final : public IEnumMediaTypes {
public:
  // Interface map: IUnknown, IEnumMediaTypes.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumMediaTypes** copy) override;

  static HRESULT Create(IEnumMediaTypes** enumerator);

private:
  EmptyMediaTypeEnumerator() = default;
  std::atomic<ULONG> references_{1};
};

}  // namespace platform
