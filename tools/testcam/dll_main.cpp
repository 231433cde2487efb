// The DLL's COM entry points: one class factory per class it serves.
#include <windows.h>
#include <wrl/client.h>

#include <atomic>

#include "camera_filter.h"
#include "camera_page.h"
#include "dll_module.h"
#include "testcam_ids.h"

using Microsoft::WRL::ComPtr;

namespace testcam {

namespace {
HINSTANCE module_instance = nullptr;

using Creator = HRESULT (*)(REFIID iid, void** object);

class ClassFactory final : public IClassFactory {
  // IUnknown, IClassFactory
public:
  explicit ClassFactory(Creator create) : create_(create) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(iid, object);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      ++LiveObjects();
    else
      --LiveObjects();
    return S_OK;
  }

private:
  std::atomic<ULONG> references_{0};
  LiveObject live_;
  const Creator create_;
};
}  // namespace

std::atomic<long>& LiveObjects() {
  static std::atomic<long> count{0};
  return count;
}

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
  ComPtr<IClassFactory> factory(new testcam::ClassFactory(create));
  return factory->QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return testcam::LiveObjects() == 0 ? S_OK : S_FALSE; }
