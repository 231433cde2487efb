#pragma once
// Unplugging and plugging a test device as a USB camera drops off the bus and
// comes back: unplugging moves the device's entry out of the video-input
// category into a stash key, so the enumerator no longer lists it; plugging
// moves it back under the same instance name, hence the same display name.
// The stash is in the registry, where every process sees it; a running filter
// of the device watches for it.
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace testcam {

// HKCR "CLSID\{test camera}\Unplugged\TestCameraNN".
std::wstring UnpluggedKey(int device);
bool IsUnplugged(int device);
// Both succeed when the device already is in the state asked for, and fail
// with ERROR_DEV_NOT_EXIST for a device that is not registered at all.
HRESULT Unplug(int device);
HRESULT Plug(int device);
// Drops every stash: the devices are being registered anew.
HRESULT ForgetUnplugged();

// Calls `lost` once, on the watch's own thread, when the device is unplugged
// while the watch runs.
class UnplugWatch {
public:
  explicit UnplugWatch(std::function<void()> lost);
  ~UnplugWatch();
  UnplugWatch(const UnplugWatch&) = delete;
  UnplugWatch& operator=(const UnplugWatch&) = delete;

  void Start(int device);
  // Returns when the watch's thread has ended; `lost` is not running then.
  void Stop();

private:
  void Watch(int device);

  std::function<void()> lost_;
  HANDLE stop_;
  std::thread thread_;
};

}  // namespace testcam
