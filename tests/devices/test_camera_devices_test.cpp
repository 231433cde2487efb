// The device list and the moniker block against registered test cameras in
// the video-input category.
#include <doctest/doctest.h>

#include <string>

#include "../../tools/testcam/camera_info.h"
#include "media/base_filter.h"
#include "media/sys_dev_enum.h"
#include "test_cameras.h"
#include "test_support.h"

namespace {
// "Test Camera N\r\n<size>, <rate>" from the camera's own interface.
std::wstring Describe(IBaseFilter* filter) {
  platform::ComPtr<ITestCameraInfo> camera;
  wchar_t text[512] = L"";
  if (filter && SUCCEEDED(filter->QueryInterface(IID_ITestCameraInfo, &camera)))
    (void)camera->GetDescription(text, 512);  // empty text on failure
  return text;
}
}  // namespace

TEST_CASE("the device list of the video-input category follows the registered cameras") {
  SUBCASE("0, 1, 3 and 5 devices, in order") {
    for (int count : {0, 1, 3, 5}) {
      REQUIRE(RunTestcam(L"register " + std::to_wstring(count)) == 0);
      TSysDevEnum devices(CLSID_VideoInputDeviceCategory);
      REQUIRE(devices.CountFilters() == count);
      for (int i = 0; i < count; ++i)
        CHECK(devices.FilterName(i).FriendlyName == L"Test Camera " + std::to_wstring(i + 1));
      CHECK_FALSE(devices.FilterMoniker(-1));
      CHECK_FALSE(devices.FilterMoniker(count));
      if (count > 0) CHECK(devices.FilterMoniker(count - 1));
    }
  }
  SUBCASE("a long name is cut, a repeated name is two entries, no CLSID is the null GUID") {
    REQUIRE(RunTestcam(L"register 3 --long-name 3 --same-name 2 --no-clsid 3") == 0);
    TSysDevEnum devices(CLSID_VideoInputDeviceCategory);
    REQUIRE(devices.CountFilters() == 3);
    CHECK(devices.FilterName(0).FriendlyName == L"Test Camera 1");
    CHECK(devices.FilterName(1).FriendlyName == L"Test Camera 1");
    const TDeviceEntry longName = devices.FilterName(2);
    CHECK(longName.FriendlyName.size() == 255);
    CHECK(longName.FriendlyName.rfind(L"Test Camera 3 ", 0) == 0);
    CHECK(IsEqualGUID(longName.CLSID, GUID_NULL));
    CHECK_FALSE(IsEqualGUID(devices.FilterName(1).CLSID, GUID_NULL));
    CHECK(devices.FilterMoniker(2));
  }
}

TEST_CASE("a moniker block stored and read back binds the same test camera") {
  REQUIRE(RunTestcam(L"register 3") == 0);
  TSysDevEnum devices(CLSID_VideoInputDeviceCategory);
  REQUIRE(devices.CountFilters() == 3);
  for (int i = 0; i < 3; ++i) {
    TBaseFilter assigned;
    assigned.AssignMoniker(devices.FilterMoniker(i).Get());
    REQUIRE(assigned.DataLength() > 0);
    TBaseFilter stored;
    stored.ReadData(assigned.WriteData());
    platform::ComPtr<IBaseFilter> first = stored.CreateFilter();
    platform::ComPtr<IBaseFilter> second = stored.CreateFilter();
    REQUIRE(first);
    REQUIRE(second);
    CHECK(first.Get() != second.Get());
    CHECK(Describe(first.Get()).rfind(L"Test Camera " + std::to_wstring(i + 1) + L"\r\n", 0) == 0);
  }
  // A block whose moniker is taken away, and one of foreign bytes, bind nothing.
  TBaseFilter cleared;
  cleared.AssignMoniker(devices.FilterMoniker(0).Get());
  cleared.AssignMoniker(nullptr);
  CHECK(cleared.DataLength() == 0);
  CHECK_FALSE(cleared.CreateFilter());
  TBaseFilter garbage;
  garbage.ReadData(std::string("\x04\0\0\0junk", 8));
  CHECK_FALSE(garbage.CreateFilter());
}
