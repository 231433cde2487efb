// A test camera previewed through the grabber (RGB24) into the VMR-9 video
// window on a shown form: what the screen shows, how the picture follows
// the form and full screen, and input over the picture.
#include <doctest/doctest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "classlib/sysutils.h"
#include "media/media_errors.h"
#include "test_cameras.h"
#include "test_support.h"
#include "video_form.h"

namespace {

// Runs a command line and waits for it; the exit code.
DWORD Run(std::wstring line) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process))
    return GetLastError();
  DWORD code = WAIT_TIMEOUT;
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// The first test camera, registered once for the whole run.
ComPtr<IBaseFilter> FirstCamera() {
  static const int registered = RunTestcam(L"register 1");
  REQUIRE(registered == 0);
  ComPtr<IBaseFilter> camera = BindVideoInput(0);
  REQUIRE(camera);
  return camera;
}

// What the screen shows, read back from the display.
class ScreenShot {
public:
  explicit ScreenShot(const RECT& area) : area_(area) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    pixels_.resize(static_cast<size_t>(w) * h);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::memcpy(pixels_.data(), bits, pixels_.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }
  // 0x00RRGGBB at screen coordinates inside the area.
  DWORD At(int x, int y) const {
    const int w = area_.right - area_.left;
    return pixels_[static_cast<size_t>(y - area_.top) * w + (x - area_.left)] & 0xFFFFFF;
  }
  // Share of a grid of points over the rectangle that are not black.
  double Lit(const RECT& r) const {
    int lit = 0, all = 0;
    for (int y = r.top + 4; y < r.bottom - 4; y += 8)
      for (int x = r.left + 4; x < r.right - 4; x += 8, ++all)
        if (At(x, y) != 0) ++lit;
    return all ? static_cast<double>(lit) / all : 0;
  }
  bool SameAs(const ScreenShot& other, const RECT& r) const {
    for (int y = r.top; y < r.bottom; y += 3)
      for (int x = r.left; x < r.right; x += 3)
        if (At(x, y) != other.At(x, y)) return false;
    return true;
  }

private:
  RECT area_;
  std::vector<DWORD> pixels_;
};

RECT ScreenRect(TWinControl& control) {
  RECT r;
  GetWindowRect(control.Handle(), &r);
  return r;
}

RECT FullScreenRect() {
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// The moving pattern fills the rectangle: its colour bars (the lower part,
// inside any letter-box bars) are lit, and the picture changes.
bool PictureFills(const RECT& r) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  const RECT bars{r.left + w / 10, r.top + h * 2 / 5, r.right - w / 10, r.bottom - h / 20};
  const ScreenShot first(r);
  if (first.Lit(bars) < 0.9) return false;
  return PumpUntil([&] { return !ScreenShot(r).SameAs(first, r); }, std::chrono::seconds(2));
}

void SendButton(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void ClickAt(POINT p, int times = 1) {
  SetCursorPos(p.x, p.y);
  for (int i = 0; i < times; ++i) {
    // A person's pace: the control sees each click before the next.
    if (i > 0) PumpFor(std::chrono::milliseconds(80));
    SendButton(MOUSEEVENTF_LEFTDOWN);
    PumpFor(std::chrono::milliseconds(20));
    SendButton(MOUSEEVENTF_LEFTUP);
  }
}

// Double-clicks at p until `seen` holds, each pair given 3 s to be seen: on a
// busy machine the two clicks of a pair can land further apart than the
// double-click time and count as two single clicks.
bool DoubleClickAt(POINT p, const std::function<bool()>& seen) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < end) {
    ClickAt(p, 2);
    if (PumpUntil(seen, std::chrono::seconds(3))) return true;
  }
  return false;
}

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

// Leaves a picture of the screen in the folder VIDEO_SCREENSHOTS names (a
// Unix path), for a person to look at; does nothing without it.
void Screenshot(const std::wstring& name) {
  wchar_t folder[MAX_PATH];
  if (!GetEnvironmentVariableW(L"VIDEO_SCREENSHOTS", folder, MAX_PATH)) return;
  const std::wstring file = std::wstring(folder) + L"/" + name + L".png";
  const std::wstring seen = L"Z:" + file;
  DeleteFileW(seen.c_str());
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  Run(std::wstring(system) + L"\\start.exe /unix /usr/bin/import -window root " + file);
  // start returns at once; the picture is whole when its last chunk is there.
  CHECK(PumpUntil([&] {
    const std::string png = ReadFileBytes(seen);
    return png.size() > 12 && png.compare(png.size() - 8, 4, "IEND") == 0;
  }));
}

// Activates the form's graph, renders the camera's preview pin through the
// grabber into the video window, as the channels do, and runs it; the
// grabber's filter.
ComPtr<IBaseFilter> StartPreview(TVideoForm& form, const ComPtr<IBaseFilter>& camera,
                                 TSampleGrabber& grabber) {
  form.Graph->SetActive(true);
  ComPtr<IGraphBuilder> graph;
  REQUIRE(SUCCEEDED(form.Graph->QueryInterface(graph.GetAddressOf())));
  REQUIRE(SUCCEEDED(graph->AddFilter(camera.Get(), L"Filter1")));
  ComPtr<ICaptureGraphBuilder2> builder;
  REQUIRE(SUCCEEDED(form.Graph->QueryInterface(builder.GetAddressOf())));
  ComPtr<IBaseFilter> grabberFilter, renderer;
  REQUIRE(SUCCEEDED(grabber.QueryInterface(grabberFilter.GetAddressOf())));
  REQUIRE(SUCCEEDED(form.Video->QueryInterface(renderer.GetAddressOf())));
  CheckMediaResult(builder->RenderStream(&PIN_CATEGORY_PREVIEW, nullptr, camera.Get(),
                                         grabberFilter.Get(), renderer.Get()));
  REQUIRE(form.Graph->Play());
  return grabberFilter;
}

}  // namespace

TEST_CASE("live preview through the grabber into the video window") {
  const ComPtr<IBaseFilter> camera = FirstCamera();
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  video.SetAlign(alClient);
  auto* grabber = new TSampleGrabber(form.form);
  grabber->SetName(L"SampleGrabber1");
  grabber->SetFilterGraph(form->Graph);
  std::mutex timesLock;
  std::vector<double> times;
  std::vector<LONG> lengths;
  grabber->OnBuffer = [&](TComponent*, double time, BYTE*, LONG length) {
    const std::lock_guard<std::mutex> lock(timesLock);
    times.push_back(time);
    lengths.push_back(length);
  };
  int clicks = 0, doubleClicks = 0;
  video.OnClick = [&](TComponent*) { ++clicks; };
  video.OnDblClick = [&](TComponent*) {
    ++doubleClicks;
    video.SetFullScreen(!video.FullScreen());
  };

  const ComPtr<IBaseFilter> grabberFilter = StartPreview(*form.form, camera, *grabber);

  // The renderer tells the graph it can draw; the control then drains its input.
  ComPtr<IVideoWindow> window = RendererWindow(video);
  REQUIRE(window);
  CHECK(PumpUntil([&] {
    OAHWND drain = 0;
    return SUCCEEDED(window->get_MessageDrain(&drain)) &&
           reinterpret_cast<HWND>(drain) == video.Handle();
  }));
  CHECK(PumpUntil([&] { return PictureFills(ScreenRect(video)); }));
  Screenshot(L"1-preview");

  SUBCASE("the grabber forces RGB24 and hands on every frame") {
    ComPtr<ISampleGrabber> control;
    REQUIRE(SUCCEEDED(grabberFilter.As(&control)));
    AM_MEDIA_TYPE connected{};
    REQUIRE(control->GetConnectedMediaType(&connected) == S_OK);
    CHECK(IsEqualGUID(connected.subtype, MEDIASUBTYPE_RGB24));
    const auto* format = reinterpret_cast<const VIDEOINFOHEADER*>(connected.pbFormat);
    const LONG frameBytes = format->bmiHeader.biWidth * 3 * std::abs(format->bmiHeader.biHeight);
    const double frameTime = format->AvgTimePerFrame / 1e7;
    CoTaskMemFree(connected.pbFormat);
    const ComPtr<IUnknown> unknown = platform::Adopt(connected.pUnk);

    CHECK(PumpUntil([&] {
      const std::lock_guard<std::mutex> lock(timesLock);
      return times.size() >= 20;
    }));
    REQUIRE(form->Graph->Stop());
    const std::lock_guard<std::mutex> lock(timesLock);
    for (LONG length : lengths) CHECK(length == frameBytes);
    // One call per frame: no sample twice or out of order. A busy machine
    // makes the camera skip frames, never send two in one frame's time.
    for (size_t i = 1; i < times.size(); ++i) CHECK(times[i] > times[i - 1]);
    CHECK(times.back() - times.front() >= (times.size() - 2) * frameTime);
  }

  SUBCASE("a click on the picture fires OnClick") {
    ClickAt(Centre(ScreenRect(video)));
    CHECK(PumpUntil([&] { return clicks == 1; }));
    CHECK(doubleClicks == 0);
  }

  SUBCASE("the picture follows the form's size") {
    form->SetBounds(20, 20, 640, 480);
    CHECK(RendererPosition(window) == form->ClientRect());
    CHECK(PumpUntil([&] { return PictureFills(ScreenRect(video)); }));
    Screenshot(L"2-resized");
  }

  SUBCASE("a double click toggles full screen and back") {
    REQUIRE(DoubleClickAt(Centre(ScreenRect(video)), [&] { return doubleClicks == 1; }));
    CHECK(video.FullScreen());
    CHECK(RendererPosition(window) == FullScreenRect());
    CHECK(PumpUntil([&] { return PictureFills(FullScreenRect()); }));
    Screenshot(L"3-full-screen");

    PumpFor(std::chrono::milliseconds(600));  // two clicks apart are not a double click
    REQUIRE(DoubleClickAt(POINT{40, 40}, [&] { return doubleClicks == 2; }));
    CHECK_FALSE(video.FullScreen());
    CHECK(RendererPosition(window) == form->ClientRect());
    CHECK(PumpUntil([&] { return PictureFills(ScreenRect(video)); }));
    Screenshot(L"4-back");
  }
}

TEST_CASE("a buffer handler assigned while the graph runs is never called") {
  const ComPtr<IBaseFilter> camera = FirstCamera();
  ShownVideoForm form;
  auto* grabber = new TSampleGrabber(form.form);
  grabber->SetName(L"SampleGrabber1");
  grabber->SetFilterGraph(form->Graph);
  const ComPtr<IBaseFilter> grabberFilter = StartPreview(*form.form, camera, *grabber);
  std::atomic<int> calls{0};
  grabber->OnBuffer = [&](TComponent*, double, BYTE*, LONG) { ++calls; };

  // Buffering is on regardless: the sample held changes as frames pass.
  ComPtr<ISampleGrabber> control;
  REQUIRE(SUCCEEDED(grabberFilter.As(&control)));
  const auto currentSample = [&] {
    long size = 0;
    if (control->GetCurrentBuffer(&size, nullptr) != S_OK || size <= 0) return std::string();
    std::string bytes(size, '\0');
    if (control->GetCurrentBuffer(&size, reinterpret_cast<long*>(bytes.data())) != S_OK)
      return std::string();
    return bytes;
  };
  REQUIRE(PumpUntil([&] { return !currentSample().empty(); }));
  const std::string first = currentSample();
  CHECK(PumpUntil([&] {
    const std::string now = currentSample();
    return !now.empty() && now != first;
  }));
  CHECK(calls == 0);
}
