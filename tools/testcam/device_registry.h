#pragma once
// Registers test devices in the video-input category the way a capture
// driver's setup does (IFilterMapper2 under the category), lists the
// category through the system device enumerator, and removes them again.
#include <windows.h>

#include <string>
#include <vector>

#include "street_scene.h"
#include "testcam_ids.h"

namespace testcam {

struct DeviceSpec {
  std::wstring name;
  LONG width = kDefaultWidth;
  LONG height = kDefaultHeight;
  LONG frameRate = kDefaultFrameRate;
  Scene scene = Scene::Bars;
  bool withClsid = true;
};

struct ListedDevice {
  std::wstring name;
  bool test = false;  // one of ours
  bool busy = false;
};

// Makes testcam.dll at `dllPath` the server of the camera and page classes.
HRESULT RegisterClasses(const std::wstring& dllPath);
// Replaces every test device with `devices` (device i + 1 is devices[i]).
HRESULT RegisterDevices(const std::vector<DeviceSpec>& devices);
// Removes every test device and the class registrations.
HRESULT ClearDevices();
// Marks device `device` busy and every other one free; 0 frees them all.
HRESULT SetBusy(int device);
// The category as the system device enumerator lists it.
HRESULT ListDevices(std::vector<ListedDevice>* devices);

}  // namespace testcam
