// Four mixing renderers fed 640 x 480 frames at 30 fps each, drawing into
// 328 x 247 child windows, as the main window's four panes do. Prints per
// renderer the frames received, drawn and dropped, and the CPU time per
// frame the renderers add over the same sources feeding null renderers.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <array>
#include <chrono>
#include <cstdio>

#include "platform/mixing_renderer/mixing_renderer.h"
#include "renderer/push_source.h"

using Microsoft::WRL::ComPtr;
using testing_source::Frames;
using testing_source::PushSource;

namespace {
constexpr int kPanes = 4;
constexpr auto kDuration = std::chrono::seconds(8);
// The null renderer's CLSID; declared here as MinGW's qedit.h leaves it out.
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto seconds = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

void Pump(std::chrono::steady_clock::duration duration) {
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

struct Run {
  std::array<ComPtr<PushSource>, kPanes> sources;
  std::array<ComPtr<IBaseFilter>, kPanes> renderers;
  double cpuSeconds = 0;
};

// Runs four sources into four renderers (mixing or null) for kDuration.
bool Measure(Run& run, IReferenceClock* clock, HWND form, bool mixing) {
  for (int i = 0; i < kPanes; ++i) {
    run.sources[i] = PushSource::Create(Frames(MEDIASUBTYPE_RGB24, 640, 480, 30));
    HRESULT hr = mixing ? platform::CreateMixingRenderer(IID_PPV_ARGS(&run.renderers[i]))
                        : CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&run.renderers[i]));
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> input;
    if (SUCCEEDED(hr)) hr = run.renderers[i]->EnumPins(&pins);
    if (SUCCEEDED(hr)) hr = pins->Next(1, &input, nullptr);
    if (hr == S_OK) hr = run.sources[i]->Output()->Connect(input.Get(), nullptr);
    if (FAILED(hr)) {
      std::printf("pane %d: cannot connect (0x%08lx)\n", i + 1, static_cast<unsigned long>(hr));
      return false;
    }
    (void)run.renderers[i]->SetSyncSource(clock);  // both accept any clock
    (void)run.sources[i]->SetSyncSource(clock);
    ComPtr<IVideoWindow> video;
    if (mixing && SUCCEEDED(run.renderers[i]->QueryInterface(IID_IVideoWindow, &video))) {
      (void)video->put_Owner(reinterpret_cast<OAHWND>(form));  // a failure shows in the frame counts
      (void)video->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
      (void)video->SetWindowPosition(8 + (i % 2) * 336, 8 + (i / 2) * 255, 328, 247);
    }
  }
  REFERENCE_TIME now = 0;
  (void)clock->GetTime(&now);  // the system clock always answers
  const double before = ProcessCpuSeconds();
  for (int i = 0; i < kPanes; ++i) {
    (void)run.renderers[i]->Run(now);  // failures show as frames not drawn
    (void)run.sources[i]->Run(now);
  }
  Pump(kDuration);
  run.cpuSeconds = ProcessCpuSeconds() - before;
  for (int i = 0; i < kPanes; ++i) {
    (void)run.sources[i]->Stop();  // teardown
    (void)run.renderers[i]->Stop();
  }
  return true;
}

int Delivered(const Run& run) {
  int frames = 0;
  for (const auto& source : run.sources) frames += source->Delivered();
  return frames;
}
}  // namespace

int main() {
  (void)CoInitialize(nullptr);  // the bench runs on a fresh thread
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  windowClass.lpszClassName = L"RendererBench";
  RegisterClassW(&windowClass);
  const HWND form = CreateWindowExW(0, L"RendererBench", L"renderer bench", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                                    0, 0, 700, 560, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ComPtr<IReferenceClock> clock;
  if (FAILED(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&clock)))) return 1;

  Run baseline, mixing;
  if (!Measure(baseline, clock.Get(), form, false) || !Measure(mixing, clock.Get(), form, true)) return 1;

  std::printf("%d renderers, 640x480 RGB24 at 30 fps into 328x247 windows, %lld s\n", kPanes,
              static_cast<long long>(kDuration.count()));
  std::printf("%-6s %9s %7s %8s\n", "pane", "received", "drawn", "dropped");
  for (int i = 0; i < kPanes; ++i) {
    ComPtr<IQualProp> quality;
    int drawn = -1, dropped = -1;
    if (SUCCEEDED(mixing.renderers[i]->QueryInterface(IID_IQualProp, &quality))) {
      (void)quality->get_FramesDrawn(&drawn);  // -1 stays when unanswered
      (void)quality->get_FramesDroppedInRenderer(&dropped);
    }
    std::printf("%-6d %9d %7d %8d\n", i + 1, mixing.sources[i]->Delivered(), drawn, dropped);
  }
  const double baselinePerFrame = baseline.cpuSeconds * 1000 / std::max(1, Delivered(baseline));
  const double mixingPerFrame = mixing.cpuSeconds * 1000 / std::max(1, Delivered(mixing));
  std::printf("CPU per frame: sources into null renderers %.2f ms, into mixing renderers %.2f ms\n",
              baselinePerFrame, mixingPerFrame);
  std::printf("CPU per frame added by the mixing renderer: %.2f ms (%.1f%% of one core at %d frames/s)\n",
              mixingPerFrame - baselinePerFrame, (mixingPerFrame - baselinePerFrame) * kPanes * 30 / 10,
              kPanes * 30);
  DestroyWindow(form);
  CoUninitialize();
  return 0;
}
