#include "media/sys_dev_enum.h"

#include "classlib/exceptions.h"
#include "classlib/sysutils.h"
#include "platform/platform_factory.h"

using platform::ComPtr;

namespace {
// Reads a text property; empty when the bag has none.
std::wstring ReadText(IPropertyBag* bag, const wchar_t* name, HRESULT* result) {
  VARIANT value;
  VariantInit(&value);
  *result = bag ? bag->Read(name, &value, nullptr) : E_POINTER;
  std::wstring text;
  if (*result == S_OK && value.vt == VT_BSTR && value.bstrVal)
    text.assign(value.bstrVal, SysStringLen(value.bstrVal));
  VariantClear(&value);
  return text;
}
}  // namespace

std::wstring ShortDeviceName(const std::wstring& name) {
  if (name.empty()) return name;
  const int size = WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string ansi(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), ansi.data(), size,
                      nullptr, nullptr);
  // Cutting at 255 bytes may split a double-byte character: stop before it.
  size_t end = 0;
  while (end < ansi.size()) {
    const size_t next = IsDBCSLeadByte(static_cast<BYTE>(ansi[end])) ? end + 2 : end + 1;
    if (next > 255) break;
    end = next;
  }
  ansi.resize(end);
  const int wide = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring result(wide, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), result.data(), wide);
  return result;
}

TSysDevEnum::TSysDevEnum(const GUID& category) { SelectCategory(category); }

ComPtr<IEnumMoniker> TSysDevEnum::Enumerate(const GUID& category) {
  ComPtr<ICreateDevEnum> devices;
  ComPtr<IEnumMoniker> monikers;
  (void)platform::CreatePlatformObject(CLSID_SystemDeviceEnum, devices.GetAddressOf());
  if (!devices) return monikers;
  // S_FALSE means a category without devices: no enumerator to use.
  if (devices->CreateClassEnumerator(category, &monikers, 0) != S_OK) monikers.Reset();
  return monikers;
}

void TSysDevEnum::SelectCategory(const GUID& category) {
  entries_.clear();
  category_ = category;
  ComPtr<IEnumMoniker> monikers = Enumerate(category_);
  if (!monikers) return;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    // Entry i must stay the i-th moniker, so a device without a readable
    // bag still gets its (empty) entry.
    (void)moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag));
    TDeviceEntry entry{};
    HRESULT result;
    entry.FriendlyName = ShortDeviceName(ReadText(bag.Get(), L"FriendlyName", &result));
    const std::wstring clsid = ReadText(bag.Get(), L"CLSID", &result);
    if (result == S_OK) {
      const HRESULT parsed = CLSIDFromString(clsid.c_str(), &entry.CLSID);
      if (FAILED(parsed))
        throw EOSError(Format(L"Invalid class string \"%ls\": %ls", clsid.c_str(),
                              SysErrorMessage(static_cast<unsigned long>(parsed)).c_str()),
                       static_cast<unsigned long>(parsed));
    }
    entries_.push_back(entry);
  }
}

TDeviceEntry TSysDevEnum::FilterName(int index) const {
  if (index < 0 || index >= CountFilters())
    throw EListError(Format(L"List index out of bounds (%d)", index));
  return entries_[index];
}

ComPtr<IMoniker> TSysDevEnum::FilterMoniker(int index) const {
  ComPtr<IMoniker> moniker;
  if (index < 0 || index >= CountFilters()) return moniker;
  ComPtr<IEnumMoniker> monikers = Enumerate(category_);
  if (!monikers) return moniker;
  // Wine 8's IEnumMoniker::Skip moves nowhere, so step over the first
  // `index` devices by fetching them.
  for (int i = 0; i < index; ++i) {
    ComPtr<IMoniker> passed;
    if (monikers->Next(1, &passed, nullptr) != S_OK) return moniker;  // the device went away
  }
  (void)monikers->Next(1, &moniker, nullptr);
  (void)monikers->Reset();
  return moniker;
}

platform::ComPtr<IMoniker> TSysDevEnum::FindMoniker(const GUID& category, const std::wstring& displayName) {
  platform::ComPtr<IEnumMoniker> monikers = Enumerate(category);
  platform::ComPtr<IMoniker> moniker;
  if (!monikers || displayName.empty()) return moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK)
    if (MonikerDisplayName(moniker.Get()) == displayName) return moniker;
  moniker.Reset();
  return moniker;
}

std::wstring MonikerDisplayName(IMoniker* moniker) {
  std::wstring text;
  platform::ComPtr<IBindCtx> context;
  if (!moniker || FAILED(CreateBindCtx(0, &context))) return text;
  LPOLESTR name = nullptr;
  if (SUCCEEDED(moniker->GetDisplayName(context.Get(), nullptr, &name)) && name) text = name;
  CoTaskMemFree(name);
  return text;
}
