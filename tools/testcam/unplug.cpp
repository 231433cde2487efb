#include "unplug.h"

#include <objbase.h>

#include "testcam_ids.h"

namespace testcam {

namespace {
constexpr DWORD kWatchPeriodMs = 100;

// Below the camera class's own key, which clearing the test cameras removes.
std::wstring UnpluggedRoot() {
  wchar_t clsid[40] = L"";
  StringFromGUID2(CLSID_TestCamera, clsid, ARRAYSIZE(clsid));
  return L"CLSID\\" + std::wstring(clsid) + L"\\Unplugged";
}

bool KeyExists(const std::wstring& key) {
  HKEY handle;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

// Copies the tree `from` to `to`, then deletes `from`; the copy exists before
// the original goes, so the device is never in neither place.
HRESULT MoveTree(const std::wstring& from, const std::wstring& to) {
  HKEY source;
  LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, from.c_str(), 0, KEY_READ, &source);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  HKEY target;
  status = RegCreateKeyExW(HKEY_CLASSES_ROOT, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &target, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegCopyTreeW(source, nullptr, target);
    RegCloseKey(target);
  }
  RegCloseKey(source);
  if (status == ERROR_SUCCESS) status = RegDeleteTreeW(HKEY_CLASSES_ROOT, from.c_str());
  return HRESULT_FROM_WIN32(status);
}

HRESULT Move(int device, bool unplug) {
  if (device < 1 || device > kMaxDevices) return E_INVALIDARG;
  const std::wstring present = InstanceKey(device), stash = UnpluggedKey(device);
  const std::wstring& from = unplug ? present : stash;
  const std::wstring& to = unplug ? stash : present;
  if (KeyExists(from)) return MoveTree(from, to);
  return KeyExists(to) ? S_OK : HRESULT_FROM_WIN32(ERROR_DEV_NOT_EXIST);
}
}  // namespace

std::wstring UnpluggedKey(int device) {
  return UnpluggedRoot() + L"\\" + InstanceName(device);
}

bool IsUnplugged(int device) { return KeyExists(UnpluggedKey(device)); }

HRESULT Unplug(int device) { return Move(device, true); }

HRESULT Plug(int device) { return Move(device, false); }

HRESULT ForgetUnplugged() {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, UnpluggedRoot().c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

UnplugWatch::UnplugWatch(std::function<void()> lost)
    : lost_(std::move(lost)), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

UnplugWatch::~UnplugWatch() {
  Stop();
  CloseHandle(stop_);
}

void UnplugWatch::Start(int device) {
  if (thread_.joinable() || device == 0) return;
  ResetEvent(stop_);
  thread_ = std::thread(&UnplugWatch::Watch, this, device);
}

void UnplugWatch::Stop() {
  if (!thread_.joinable()) return;
  SetEvent(stop_);
  thread_.join();
}

void UnplugWatch::Watch(int device) {
  while (WaitForSingleObject(stop_, kWatchPeriodMs) == WAIT_TIMEOUT) {
    if (IsUnplugged(device)) {
      lost_();
      return;
    }
  }
}

}  // namespace testcam
