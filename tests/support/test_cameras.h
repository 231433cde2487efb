#pragma once
// Test cameras for tests: runs build/bin/testcam.exe (beside the test
// executable) and binds registered devices through the system device
// enumerator.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

// Runs `testcam.exe arguments`; its exit code, or -1 when it did not start or
// did not end within the deadline.
inline int RunTestcam(const std::wstring& arguments, DWORD deadlineMs = 30000) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring tool(path, length);
  tool.erase(tool.find_last_of(L"\\/") + 1);
  tool += L"testcam.exe";
  std::wstring command = L"\"" + tool + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(tool.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &process))
    return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, deadlineMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  else
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

// The moniker of the index-th (0-based) video-input device, or none.
inline Microsoft::WRL::ComPtr<IMoniker> VideoInputMoniker(ULONG index) {
  Microsoft::WRL::ComPtr<ICreateDevEnum> devices;
  Microsoft::WRL::ComPtr<IEnumMoniker> monikers;
  Microsoft::WRL::ComPtr<IMoniker> moniker;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&devices))) ||
      devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) != S_OK)
    return nullptr;
  // Wine 8's device enumerator ignores Skip (observed: it returns S_OK and
  // stays put), so step with Next.
  for (ULONG i = 0; i <= index; ++i)
    if (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) != S_OK) return nullptr;
  return moniker;
}

// A new filter object for the index-th video-input device, or none.
inline Microsoft::WRL::ComPtr<IBaseFilter> BindVideoInput(ULONG index) {
  Microsoft::WRL::ComPtr<IBaseFilter> filter;
  Microsoft::WRL::ComPtr<IMoniker> moniker = VideoInputMoniker(index);
  if (moniker) (void)moniker->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter));  // none on failure
  return filter;
}
