#pragma once
// The camera's property page: the device's name, picture size and frame
// rate, read from the filter it is opened for.
#include <windows.h>
#include <ocidl.h>

#include "camera_info.h"
#include "dll_module.h"
#include "platform/dshow/com_object.h"

namespace testcam {

class CameraPage final : public dshow::ComObject<CameraPage, IPropertyPage> {
public:
  static HRESULT Create(REFIID iid, void** object);
  CameraPage() = default;
  ~CameraPage();

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
  dshow::ComPtr<IPropertyPageSite> site_;
  dshow::ComPtr<ITestCameraInfo> camera_;
  HWND window_ = nullptr;
};

}  // namespace testcam
