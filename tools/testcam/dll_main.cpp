// The DLL's COM entry points: one class factory per class it serves.
#include <windows.h>

#include "camera_filter.h"
#include "camera_page.h"
#include "dll_module.h"
#include "platform/dshow/com_object.h"
#include "testcam_ids.h"

namespace testcam {

namespace {
HINSTANCE module_instance = nullptr;

using Creator = HRESULT (*)(REFIID iid, void** object);

class ClassFactory final : public dshow::ComObject<ClassFactory, IClassFactory> {
public:
  explicit ClassFactory(Creator create) : create_(create) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(iid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      ++dshow::LiveObjects();
    else
      --dshow::LiveObjects();
    return S_OK;
  }

private:
  const Creator create_;
};
}  // namespace

HINSTANCE ModuleInstance() { return module_instance; }

}  // namespace testcam

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    testcam::module_instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  testcam::Creator create = nullptr;
  if (IsEqualCLSID(clsid, CLSID_TestCamera))
    create = &testcam::CameraFilter::Create;
  else if (IsEqualCLSID(clsid, CLSID_TestCameraPage))
    create = &testcam::CameraPage::Create;
  else
    return CLASS_E_CLASSNOTAVAILABLE;
  // IClassFactory's own CreateInstance hides the kit's here.
  const dshow::ComPtr<testcam::ClassFactory> factory = testcam::ClassFactory::Make(create);
  if (!factory) return E_OUTOFMEMORY;
  return factory->QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return dshow::LiveObjects() == 0 ? S_OK : S_FALSE; }
