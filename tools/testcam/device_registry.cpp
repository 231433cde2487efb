#include "device_registry.h"

#include <dshow.h>
#include <wrl/client.h>

#include "platform/dshow/com_object.h"
#include "testcam_ids.h"
#include "unplug.h"

using dshow::ComPtr;

namespace testcam {

namespace {
std::wstring ClsidText(REFCLSID clsid) {
  wchar_t text[40] = L"";
  StringFromGUID2(clsid, text, ARRAYSIZE(text));
  return text;
}

HRESULT SetText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  return HRESULT_FROM_WIN32(RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

HRESULT SetNumber(HKEY root, const std::wstring& key, const wchar_t* name, DWORD value) {
  return HRESULT_FROM_WIN32(RegSetKeyValueW(root, key.c_str(), name, REG_DWORD, &value, sizeof(value)));
}

HRESULT RegisterClass(REFCLSID clsid, const wchar_t* description, const std::wstring& dllPath) {
  const std::wstring key = L"CLSID\\" + ClsidText(clsid);
  HRESULT hr = SetText(HKEY_CLASSES_ROOT, key, nullptr, description);
  if (SUCCEEDED(hr)) hr = SetText(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr, dllPath);
  if (SUCCEEDED(hr))
    hr = SetText(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel", L"Both");
  return hr;
}

// Instance key names of the registered test devices.
std::vector<std::wstring> TestInstances() {
  std::vector<std::wstring> names;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kCategoryInstanceKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return names;
  const std::wstring prefix = kInstancePrefix;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = ARRAYSIZE(name);
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    if (std::wstring(name).compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  RegCloseKey(key);
  return names;
}

HRESULT RemoveTestInstances() {
  for (const std::wstring& name : TestInstances()) {
    const std::wstring key = std::wstring(kCategoryInstanceKey) + L"\\" + name;
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  }
  return S_OK;
}

HRESULT RegisterDevice(IFilterMapper2* mapper, int device, const DeviceSpec& camera) {
  // One video output, as a camera driver's filter declares it.
  REGPINTYPES type{&MEDIATYPE_Video, &GUID_NULL};
  REGFILTERPINS pin{};
  pin.bOutput = TRUE;
  pin.nMediaTypes = 1;
  pin.lpMediaType = &type;
  REGFILTER2 filter{};
  filter.dwVersion = 1;
  filter.dwMerit = MERIT_DO_NOT_USE;
  filter.cPins = 1;
  filter.rgPins = &pin;
  const std::wstring instance = InstanceName(device);
  HRESULT hr = mapper->RegisterFilter(CLSID_TestCamera, camera.name.c_str(), nullptr,
                                      &CLSID_VideoInputDeviceCategory, instance.c_str(), &filter);
  if (FAILED(hr)) return hr;
  const std::wstring key = InstanceKey(device);
  hr = SetText(HKEY_CLASSES_ROOT, key, kDevicePathValue, DevicePath(device));
  if (SUCCEEDED(hr)) hr = SetNumber(HKEY_CLASSES_ROOT, key, kWidthValue, camera.width);
  if (SUCCEEDED(hr)) hr = SetNumber(HKEY_CLASSES_ROOT, key, kHeightValue, camera.height);
  if (SUCCEEDED(hr)) hr = SetNumber(HKEY_CLASSES_ROOT, key, kFrameRateValue, camera.frameRate);
  if (SUCCEEDED(hr))
    hr = SetNumber(HKEY_CLASSES_ROOT, key, kSceneValue, static_cast<LONG>(camera.scene));
  if (SUCCEEDED(hr) && !camera.withClsid)
    hr = HRESULT_FROM_WIN32(RegDeleteKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), L"CLSID"));
  return hr;
}
}  // namespace

HRESULT RegisterClasses(const std::wstring& dllPath) {
  HRESULT hr = RegisterClass(CLSID_TestCamera, L"Test Camera", dllPath);
  if (SUCCEEDED(hr)) hr = RegisterClass(CLSID_TestCameraPage, L"Test Camera Property Page", dllPath);
  return hr;
}

HRESULT RegisterDevices(const std::vector<DeviceSpec>& devices) {
  if (devices.size() > static_cast<size_t>(kMaxDevices)) return E_INVALIDARG;
  HRESULT hr = RemoveTestInstances();
  if (SUCCEEDED(hr)) hr = ForgetUnplugged();
  if (FAILED(hr)) return hr;
  ComPtr<IFilterMapper2> mapper;
  hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mapper));
  if (FAILED(hr)) return hr;
  for (size_t i = 0; i < devices.size() && SUCCEEDED(hr); ++i)
    hr = RegisterDevice(mapper.Get(), static_cast<int>(i) + 1, devices[i]);
  return hr;
}

HRESULT ClearDevices() {
  HRESULT hr = RemoveTestInstances();
  for (REFCLSID clsid : {CLSID_TestCamera, CLSID_TestCameraPage}) {
    const std::wstring key = L"CLSID\\" + ClsidText(clsid);
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (SUCCEEDED(hr) && status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
      hr = HRESULT_FROM_WIN32(status);
  }
  return hr;
}

HRESULT SetBusy(int device) {
  bool found = device == 0;
  for (const std::wstring& name : TestInstances()) {
    const std::wstring key = std::wstring(kCategoryInstanceKey) + L"\\" + name;
    const bool busy = name == InstanceName(device);
    found = found || busy;
    const HRESULT hr = SetNumber(HKEY_CLASSES_ROOT, key, kBusyValue, busy ? 1 : 0);
    if (FAILED(hr)) return hr;
  }
  return found ? S_OK : HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
}

HRESULT ListDevices(std::vector<ListedDevice>* devices) {
  devices->clear();
  ComPtr<ICreateDevEnum> system;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&system));
  if (FAILED(hr)) return hr;
  ComPtr<IEnumMoniker> monikers;
  hr = system->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
  // S_FALSE (and no enumerator) for a category without devices.
  if (hr != S_OK) return SUCCEEDED(hr) ? S_OK : hr;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, &moniker, nullptr) == S_OK) {
    ListedDevice listed;
    ComPtr<IPropertyBag> bag;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) {
      VARIANT value;
      VariantInit(&value);
      if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR)
        listed.name = value.bstrVal;
      (void)VariantClear(&value);  // frees what Read gave
      if (SUCCEEDED(bag->Read(kDevicePathValue, &value, nullptr)) && value.vt == VT_BSTR) {
        const int device = DeviceFromPath(value.bstrVal);
        listed.test = device != 0;
        DWORD busy = 0, size = sizeof(busy);
        listed.busy = device != 0 &&
                      RegGetValueW(HKEY_CLASSES_ROOT, InstanceKey(device).c_str(), kBusyValue,
                                   RRF_RT_REG_DWORD, nullptr, &busy, &size) == ERROR_SUCCESS &&
                      busy != 0;
      }
      (void)VariantClear(&value);  // frees what Read gave
    }
    devices->push_back(listed);
    moniker.Reset();
  }
  return S_OK;
}

}  // namespace testcam
