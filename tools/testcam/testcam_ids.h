#pragma once
// Identifiers and registry names shared by the test camera DLL and the tool
// that registers its devices.
#include <windows.h>

#include <string>

// The camera filter class; every test device binds to it, and the device's
// property bag tells the new object which device it is.
// {668C779A-4C75-4157-B6D3-EA1026808CC3}
inline constexpr CLSID CLSID_TestCamera = {
    0x668c779a, 0x4c75, 0x4157, {0xb6, 0xd3, 0xea, 0x10, 0x26, 0x80, 0x8c, 0xc3}};

// The camera's own property page.
// {6758A7BE-7D2F-430B-8066-3827A75384FD}
inline constexpr CLSID CLSID_TestCameraPage = {
    0x6758a7be, 0x7d2f, 0x430b, {0x80, 0x66, 0x38, 0x27, 0xa7, 0x53, 0x84, 0xfd}};

namespace testcam {

inline constexpr int kMaxDevices = 8;
inline constexpr LONG kDefaultWidth = 640;
inline constexpr LONG kDefaultHeight = 480;
inline constexpr LONG kDefaultFrameRate = 30;

// A device's entry is the key "Instance\TestCameraNN" of the video-input
// category, as IFilterMapper2 writes it. Beside "FriendlyName" and "CLSID"
// it holds these values.
inline constexpr wchar_t kDevicePathValue[] = L"DevicePath";  // "testcam:N"
inline constexpr wchar_t kWidthValue[] = L"Width";            // DWORD pixels
inline constexpr wchar_t kHeightValue[] = L"Height";          // DWORD pixels
inline constexpr wchar_t kFrameRateValue[] = L"FrameRate";    // DWORD frames per second
inline constexpr wchar_t kBusyValue[] = L"Busy";              // DWORD, non-zero: held elsewhere
inline constexpr wchar_t kSceneValue[] = L"Scene";            // DWORD, testcam::Scene

inline constexpr wchar_t kCategoryInstanceKey[] =
    L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance";
inline constexpr wchar_t kInstancePrefix[] = L"TestCamera";

// "TestCamera01" for device 1: two digits keep the registry's (sorted) key
// order equal to the device order.
inline std::wstring InstanceName(int device) {
  const std::wstring digits = std::to_wstring(device);
  return kInstancePrefix + std::wstring(digits.size() < 2 ? L"0" : L"") + digits;
}

inline std::wstring InstanceKey(int device) {
  return std::wstring(kCategoryInstanceKey) + L"\\" + InstanceName(device);
}

inline std::wstring DevicePath(int device) { return L"testcam:" + std::to_wstring(device); }

// The device number of a "testcam:N" path, or 0.
inline int DeviceFromPath(const std::wstring& path) {
  const std::wstring prefix = L"testcam:";
  if (path.compare(0, prefix.size(), prefix) != 0) return 0;
  const int device = _wtoi(path.c_str() + prefix.size());
  return device >= 1 && device <= kMaxDevices ? device : 0;
}

}  // namespace testcam
