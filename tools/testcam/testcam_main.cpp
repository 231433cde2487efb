// testcam.exe: registers, lists, marks busy and removes test cameras in the
// video-input device category of the current (Wine) prefix.
//   testcam register N [--size WxH] [--rate FPS] [--scene bars|street]
//                      [--long-name K] [--same-name K] [--no-clsid K] [--unless-real]
//   testcam busy K      (0: no device busy)
//   testcam unplug K / plug K
//   testcam list
//   testcam clear
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "device_registry.h"
#include "video_format.h"
#include "testcam_ids.h"
#include "unplug.h"

using namespace testcam;

namespace {

const wchar_t kUsage[] =
    L"usage: testcam register N [--size WxH] [--rate FPS] [--scene bars|street]\n"
    L"                          [--long-name K] [--same-name K] [--no-clsid K] [--unless-real]\n"
    L"       testcam busy K     (K = 0: no device busy)\n"
    L"       testcam unplug K   (camera K goes as an unplugged USB camera does)\n"
    L"       testcam plug K     (and comes back under the same display name)\n"
    L"       testcam list\n"
    L"       testcam clear\n";

int Usage() {
  std::fputws(kUsage, stderr);
  return 1;
}

int Fail(const wchar_t* what, HRESULT hr) {
  std::fwprintf(stderr, L"testcam: %ls failed (0x%08lx)\n", what, static_cast<unsigned long>(hr));
  return 2;
}

bool ParseInt(const wchar_t* text, int low, int high, int* value) {
  wchar_t* end = nullptr;
  const long parsed = std::wcstol(text, &end, 10);
  if (!*text || *end || parsed < low || parsed > high) return false;
  *value = static_cast<int>(parsed);
  return true;
}

std::wstring DllPath() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  folder.erase(folder.find_last_of(L"\\/") + 1);
  return folder + L"testcam.dll";
}

// A name over 255 characters that still says which device it is.
std::wstring LongName(int device) {
  std::wstring name = L"Test Camera " + std::to_wstring(device) + L" ";
  while (name.size() < 300) name += L"with a very long name ";
  return name;
}

int Register(int argc, wchar_t** argv) {
  int count = 0;
  if (argc < 3 || !ParseInt(argv[2], 0, kMaxDevices, &count)) return Usage();
  std::vector<DeviceSpec> devices(count);
  for (int i = 0; i < count; ++i) devices[i].name = L"Test Camera " + std::to_wstring(i + 1);
  bool unlessReal = false;
  std::vector<int> sameName;  // applied last: they copy device 1's final name
  for (int i = 3; i < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--unless-real") {
      unlessReal = true;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const wchar_t* value = argv[++i];
    int device = 0;
    if (option == L"--size") {
      int width = 0, height = 0;
      if (std::swscanf(value, L"%dx%d", &width, &height) != 2 || width < kMinSize ||
          width > kMaxSize || height < kMinSize || height > kMaxSize || width % 2 != 0)
        return Usage();
      for (DeviceSpec& camera : devices) camera.width = width, camera.height = height;
    } else if (option == L"--rate") {
      int rate = 0;
      if (!ParseInt(value, 1, 120, &rate)) return Usage();
      for (DeviceSpec& camera : devices) camera.frameRate = rate;
    } else if (option == L"--scene") {
      const std::wstring scene = value;
      if (scene != L"bars" && scene != L"street") return Usage();
      for (DeviceSpec& camera : devices) camera.scene = scene == L"street" ? Scene::Street : Scene::Bars;
    } else if (ParseInt(value, 1, count, &device)) {
      DeviceSpec& camera = devices[device - 1];
      if (option == L"--long-name")
        camera.name = LongName(device);
      else if (option == L"--same-name")
        sameName.push_back(device);
      else if (option == L"--no-clsid")
        camera.withClsid = false;
      else
        return Usage();
    } else {
      return Usage();
    }
  }
  for (int device : sameName) devices[device - 1].name = devices[0].name;

  if (unlessReal) {
    std::vector<ListedDevice> present;
    const HRESULT hr = ListDevices(&present);
    if (FAILED(hr)) return Fail(L"listing the video-input devices", hr);
    for (const ListedDevice& device : present) {
      if (!device.test) {
        std::fwprintf(stdout, L"a camera is present (%ls); no test cameras registered\n",
                      device.name.c_str());
        return 0;
      }
    }
  }
  const std::wstring dll = DllPath();
  if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fwprintf(stderr, L"testcam: %ls not found\n", dll.c_str());
    return 2;
  }
  HRESULT hr = RegisterClasses(dll);
  if (FAILED(hr)) return Fail(L"registering testcam.dll", hr);
  hr = RegisterDevices(devices);
  if (FAILED(hr)) return Fail(L"registering the devices", hr);
  return 0;
}

int List() {
  std::vector<ListedDevice> devices;
  const HRESULT hr = ListDevices(&devices);
  if (FAILED(hr)) return Fail(L"listing the video-input devices", hr);
  for (size_t i = 0; i < devices.size(); ++i)
    std::fwprintf(stdout, L"%zu\t%ls%ls%ls\n", i, devices[i].name.c_str(),
                  devices[i].test ? L"" : L"\t(not a test camera)", devices[i].busy ? L"\tbusy" : L"");
  return 0;
}

int Run(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring command = argv[1];
  if (command == L"register") return Register(argc, argv);
  if (command == L"list" && argc == 2) return List();
  if (command == L"clear" && argc == 2) {
    const HRESULT hr = ClearDevices();
    return FAILED(hr) ? Fail(L"removing the test cameras", hr) : 0;
  }
  if (command == L"busy" && argc == 3) {
    int device = 0;
    if (!ParseInt(argv[2], 0, kMaxDevices, &device)) return Usage();
    const HRESULT hr = SetBusy(device);
    return FAILED(hr) ? Fail(L"marking the device busy", hr) : 0;
  }
  if ((command == L"unplug" || command == L"plug") && argc == 3) {
    int device = 0;
    if (!ParseInt(argv[2], 1, kMaxDevices, &device)) return Usage();
    const HRESULT hr = command == L"unplug" ? Unplug(device) : Plug(device);
    return FAILED(hr) ? Fail(command == L"unplug" ? L"unplugging the device" : L"plugging the device", hr)
                      : 0;
  }
  return Usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  const int result = Run(argc, argv);
  CoUninitialize();
  return result;
}
