#pragma once
// The camera's property page: the device's name, picture size and frame
// rate, read from the filter it is opened for.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <atomic>

#include "camera_info.h"
#include "dll_module.h"

namespace testcam {

class CameraPage final : public IPropertyPage {
  // IUnknown, IPropertyPage
public:
  static HRESULT Create(REFIID iid, void** object);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT command) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR folder) override;
  STDMETHODIMP TranslateAccelerator(MSG* message) override;

private:
  CameraPage() = default;
  ~CameraPage();

  std::atomic<ULONG> references_{0};
  LiveObject live_;
  Microsoft::WRL::ComPtr<IPropertyPageSite> site_;
  Microsoft::WRL::ComPtr<ITestCameraInfo> camera_;
  HWND window_ = nullptr;
};

}  // namespace testcam
