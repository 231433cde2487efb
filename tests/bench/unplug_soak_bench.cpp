// Unplug/plug cycles of camera 2 while four channels record: the process's
// handle count, GDI objects and memory after the first cycle and every tenth,
// against the first cycle's values.
// Run: ./scripts/wine-run build/bin/bench_unplug_soak_bench.exe [cycles]   (default 100)
// It registers four test cameras (320x240 at 15 fps, to keep the recordings
// small), points its settings file at a temporary storage folder, makes the
// program's two windows as start-up does, and clears the cameras and the
// folder afterwards.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/camera_watch.h"
#include "app/main_form.h"
#include "bench/host_programs.h"
#include "classlib/application.h"
#include "options/option_form.h"
#include "options/settings.h"
#include "support/test_cameras.h"

namespace {

double Seconds() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Handles messages until the condition holds or `limit` seconds pass.
bool PumpUntil(bool (*condition)(), double limit) {
  const double end = Seconds() + limit;
  while (!condition()) {
    if (Seconds() > end) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(10);
  }
  return true;
}

bool Running(TFilterGraph* graph) {
  platform::ComPtr<IMediaControl> control;
  if (FAILED(graph->QueryInterface(control.GetAddressOf()))) return false;
  OAFilterState state = State_Stopped;
  return SUCCEEDED(control->GetState(0, &state)) && state == State_Running;
}

bool ChannelLost() { return mainForm->CameraWatch->Lost(2); }
bool ChannelBack() { return !mainForm->CameraWatch->Lost(2) && Running(mainForm->FilterGraph2); }

// Threads of this process (Wine reports no GDI objects or private bytes:
// those columns read 0 there).
DWORD ThreadCount() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  DWORD count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

bool IsRegistryKey(HANDLE handle) {
  alignas(8) unsigned char buffer[1024];
  ULONG length = 0;
  if (NtQueryObject(handle, ObjectTypeInformation, buffer, sizeof(buffer), &length) != 0) return false;
  const auto* type = reinterpret_cast<const PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer);
  return std::wstring_view(type->TypeName.Buffer, type->TypeName.Length / sizeof(wchar_t)) == L"Key";
}

// Open handles found by asking after every handle value in the low range
// (Wine's GetProcessHandleCount answers 0), and how many are registry keys:
// Wine's device enumerator leaves a key open for every enumerator and every
// moniker it hands out, released or not.
void CountHandles(DWORD& handles, DWORD& keys) {
  handles = keys = 0;
  DWORD flags = 0;
  for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
    const HANDLE handle = reinterpret_cast<HANDLE>(value);
    if (!GetHandleInformation(handle, &flags)) continue;
    ++handles;
    if (IsRegistryKey(handle)) ++keys;
  }
}

struct Figures {
  DWORD threads = 0;
  DWORD handles = 0;
  DWORD keys = 0;
  DWORD gdiObjects = 0;
  double privateMB = 0;
  double workingSetMB = 0;
};

Figures Take() {
  Figures figures;
  figures.threads = ThreadCount();
  CountHandles(figures.handles, figures.keys);
  figures.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  PROCESS_MEMORY_COUNTERS_EX counters{};
  if (K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters))) {
    figures.privateMB = static_cast<double>(counters.PrivateUsage) / (1 << 20);
    figures.workingSetMB = static_cast<double>(counters.WorkingSetSize) / (1 << 20);
  }
  return figures;
}

double Change(double now, double first) { return first > 0 ? (now - first) * 100 / first : 0; }

int Soak(int cycles) {
  TApplication application;
  application.SetTitle(L"摄像头监控");
  application.CreateForm(mainForm);
  application.CreateForm(optionForm);
  mainForm->Show();
  mainForm->Timer3Timer(nullptr);  // starts monitoring, as the first tick does
  mainForm->recBtnClick(mainForm->recBtn);
  if (!Running(mainForm->FilterGraph4)) {
    std::printf("the four channels did not start recording\n");
    return 1;
  }
  std::printf("| cycle | threads | handles | registry keys | GDI objects | private MB | working set MB | seconds per cycle |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  Figures first;
  int failures = 0;
  double cycleStart = Seconds();
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    if (RunTestcam(L"unplug 2") != 0 || !PumpUntil(ChannelLost, 10) || RunTestcam(L"plug 2") != 0 ||
        !PumpUntil(ChannelBack, 10)) {
      std::printf("cycle %d: channel 2 was not lost and back within 10 s each\n", cycle);
      ++failures;
    }
    if (cycle == 1 || cycle % 10 == 0) {
      const Figures now = Take();
      if (cycle == 1) first = now;
      const double perCycle = (Seconds() - cycleStart) / (cycle == 1 ? 1 : 10);
      std::printf("| %d | %lu | %lu | %lu | %lu | %.1f | %.1f | %.1f |\n", cycle, now.threads, now.handles, now.keys, now.gdiObjects,
                  now.privateMB, now.workingSetMB, perCycle);
      std::fflush(stdout);
      cycleStart = Seconds();
    }
  }
  const Figures last = Take();
  std::printf("\nafter %d cycles against the first: threads %+.1f %%, handles %+.1f %% (other than registry keys %+.1f %%), GDI objects %+.1f %%, private %+.1f %%, "
              "working set %+.1f %%; %d failed cycles\n",
              cycles, Change(last.threads, first.threads), Change(last.handles, first.handles),
              Change(last.handles - last.keys, first.handles - first.keys), Change(last.gdiObjects, first.gdiObjects),
              Change(last.privateMB, first.privateMB), Change(last.workingSetMB, first.workingSetMB), failures);
  bool running = true;
  for (int channel = 1; channel <= 4; ++channel)
    running = running && Running(mainForm->Channel(channel).FilterGraph);
  std::printf("all four channels recording at the end: %s\n", running ? "yes" : "no");
  mainForm->recBtnClick(mainForm->recBtn);  // 停止录像
  optionForm->Free();
  optionForm = nullptr;
  mainForm->Free();
  mainForm = nullptr;
  return failures == 0 && running ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 100;
  if (cycles < 1 || RunTestcam(L"register 4 --size 320x240 --rate 15") != 0) {
    std::printf("usage: unplug_soak_bench [cycles]; the test cameras must register\n");
    return 1;
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring storage = std::wstring(temp) + L"cammon_soak_" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(storage.c_str(), nullptr);
  const std::wstring settings = SettingsFileName();
  WritePrivateProfileStringW(L"comm", L"path", storage.c_str(), settings.c_str());
  WritePrivateProfileStringW(L"comm", L"auto", L"0", settings.c_str());
  std::printf("four test cameras 320x240 at 15 fps recording; camera 2 unplugged and plugged %d times\n\n",
              cycles);
  const HRESULT com = CoInitialize(nullptr);
  const int result = Soak(cycles);
  if (SUCCEEDED(com)) CoUninitialize();
  bench::RunOnHost(storage, "rm -rf '" + bench::HostPath(storage) + "'/*/", 120000);
  for (const wchar_t* file : {L"\\host.sh", L"\\host.out", L"\\host.status"})
    DeleteFileW((storage + file).c_str());
  RemoveDirectoryW(storage.c_str());
  DeleteFileW(settings.c_str());
  RunTestcam(L"clear");
  return result;
}
