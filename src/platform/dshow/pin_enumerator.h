#pragma once
// IEnumPins over a fixed list of pins (the mixing renderer has one).
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <atomic>
#include <vector>

namespace platform {

class PinEnumerator final : public IEnumPins {
public:
  // Interface map: IUnknown, IEnumPins.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins** copy) override;

  static HRESULT Create(std::vector<Microsoft::WRL::ComPtr<IPin>> pins, IEnumPins** enumerator);

private:
  explicit PinEnumerator(std::vector<Microsoft::WRL::ComPtr<IPin>> pins) : pins_(std::move(pins)) {}

  std::atomic<ULONG> references_{1};
  std::vector<Microsoft::WRL::ComPtr<IPin>> pins_;
  std::size_t position_ = 0;
};

}  // namespace platform
