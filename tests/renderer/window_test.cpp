#include <doctest/doctest.h>

#include <vector>

#include "renderer_support.h"
#include "test_support.h"

using namespace renderer_test;
using namespace std::chrono_literals;

namespace {
constexpr auto kDeadline = 5s;
constexpr COLORREF kVideo = RGB(0, 0, 255);
constexpr COLORREF kParent = RGB(0, 128, 0);

// A shown top-level window standing for the form, with a child standing
// for the video control that records the input messages it gets.
class Host {
public:
  Host() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(kParent);
    windowClass.lpszClassName = L"RendererTestHost";
    windowClass.style = CS_DBLCLKS;
    RegisterClassW(&windowClass);
    form = CreateWindowExW(0, L"RendererTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                           420, 340, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    control = CreateWindowExW(0, L"RendererTestHost", L"control", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 20, 20, 328,
                              247, form, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(form);
    Received().clear();
  }
  ~Host() { DestroyWindow(form); }
  static std::vector<MSG>& Received() {
    static std::vector<MSG> messages;
    return messages;
  }
  bool Got(UINT message) const {
    for (const MSG& m : Received())
      if (m.message == message && m.hwnd == control) return true;
    return false;
  }
  HWND form = nullptr;
  HWND control = nullptr;

private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) Received().push_back(MSG{window, message, wParam, lParam, 0, {}});
    return DefWindowProcW(window, message, wParam, lParam);
  }
};

// What the X display shows at a point of a window's client area.
COLORREF ScreenPixel(HWND window, int x, int y) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

void Click(HWND window, int x, int y, int clicks) {
  POINT point{x, y};
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
  for (int i = 0; i < clicks; ++i) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
  }
}
}  // namespace

TEST_CASE("as a child of a control the renderer draws, forwards input and follows resizing") {
  Host host;
  ComPtr<IBaseFilter> renderer = NewRenderer();
  ComPtr<PushSource> source = PushSource::Create(Frames(MEDIASUBTYPE_RGB24, 640, 480, 30, kVideo));
  ComPtr<IReferenceClock> clock;
  REQUIRE(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&clock)) == S_OK);
  REQUIRE(testing_source::ConnectToRenderer(*source.Get(), renderer.Get()) == S_OK);
  REQUIRE(renderer->SetSyncSource(clock.Get()) == S_OK);
  REQUIRE(source->SetSyncSource(clock.Get()) == S_OK);

  // What the video window does when the graph runs and the device is set.
  ComPtr<IVideoWindow> video;
  REQUIRE(renderer->QueryInterface(IID_IVideoWindow, &video) == S_OK);
  REQUIRE(video->put_Owner(reinterpret_cast<OAHWND>(host.form)) == S_OK);
  REQUIRE(video->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN) == S_OK);
  REQUIRE(video->SetWindowPosition(20, 20, 328, 247) == S_OK);
  BSTR caption = SysAllocString(L"VideoWindow1");
  REQUIRE(video->put_Caption(caption) == S_OK);
  SysFreeString(caption);
  REQUIRE(video->put_MessageDrain(reinterpret_cast<OAHWND>(host.control)) == S_OK);
  SetWindowPos(FindWindowExW(host.form, nullptr, L"VideoRenderer", L"VideoWindow1"), HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  REFERENCE_TIME now = 0;
  REQUIRE(clock->GetTime(&now) == S_OK);
  REQUIRE(renderer->Run(now) == S_OK);
  REQUIRE(source->Run(now) == S_OK);

  const HWND window = FindWindowExW(host.form, nullptr, L"VideoRenderer", L"VideoWindow1");
  REQUIRE(window != nullptr);
  CHECK((GetWindowLongPtrW(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE)) == (WS_CHILD | WS_VISIBLE));
  CHECK(PumpUntil([&] { return FramesDrawn(renderer.Get()) >= 10 && Near(ScreenPixel(window, 160, 120), kVideo, 8); },
                  kDeadline));

  SUBCASE("a click and a double click reach the drain as mouse messages") {
    Click(window, 100, 80, 1);
    CHECK(PumpUntil([&] { return host.Got(WM_LBUTTONDOWN) && host.Got(WM_LBUTTONUP); }, kDeadline));
    CHECK(LOWORD(Host::Received().front().lParam) == 100);
    CHECK(HIWORD(Host::Received().front().lParam) == 80);
    PumpFor(std::chrono::milliseconds(GetDoubleClickTime() + 50));
    Click(window, 100, 80, 2);
    CHECK(PumpUntil([&] { return host.Got(WM_LBUTTONDBLCLK); }, kDeadline));
  }
  SUBCASE("resizing follows, and letter-boxing keeps the picture's shape") {
    REQUIRE(video->SetWindowPosition(20, 20, 200, 150) == S_OK);
    long left, top, width, height;
    REQUIRE(video->GetWindowPosition(&left, &top, &width, &height) == S_OK);
    CHECK((left == 20 && top == 20 && width == 200 && height == 150));
    CHECK(PumpUntil([&] { return Near(ScreenPixel(host.form, 20 + 250, 20 + 100), kParent, 8); }, kDeadline));
    CHECK(Near(ScreenPixel(window, 190, 140), kVideo, 8));

    ComPtr<IVMRAspectRatioControl9> aspect;
    REQUIRE(renderer.As(&aspect) == S_OK);
    REQUIRE(aspect->SetAspectRatioMode(VMR9ARMode_LetterBox) == S_OK);
    REQUIRE(video->put_BorderColor(RGB(255, 255, 0)) == S_OK);
    REQUIRE(video->SetWindowPosition(20, 20, 300, 100) == S_OK);
    // 4:3 in 300 x 100 leaves 83-pixel bars left and right.
    CHECK(PumpUntil([&] { return Near(ScreenPixel(window, 10, 50), RGB(255, 255, 0), 8); }, kDeadline));
    CHECK(Near(ScreenPixel(window, 150, 50), kVideo, 8));

    // Told not to draw the border, the bars never take its colour.
    ComPtr<IVMRFilterConfig9> config;
    REQUIRE(renderer.As(&config) == S_OK);
    REQUIRE(config->SetRenderingPrefs(RenderPrefs9_DoNotRenderBorder) == S_OK);
    REQUIRE(video->put_BorderColor(RGB(255, 0, 255)) == S_OK);
    const int drawn = FramesDrawn(renderer.Get());
    CHECK(PumpUntil([&] { return FramesDrawn(renderer.Get()) > drawn + 10; }, kDeadline));
    CHECK_FALSE(Near(ScreenPixel(window, 10, 50), RGB(255, 0, 255), 8));
    REQUIRE(config->SetRenderingPrefs(0) == S_OK);
    CHECK(PumpUntil([&] { return Near(ScreenPixel(window, 10, 50), RGB(255, 0, 255), 8); }, kDeadline));
  }
  SUBCASE("the colour-keyed overlay at opacity 0.5 stays after its bitmap is gone") {
    {
      OverlayPicture picture(328, 247, RGB(0xC0, 0xC0, 0xC0));
      picture.FillRect(RECT{0, 0, 60, 60}, RGB(255, 0, 0));
      VMR9AlphaBitmap description = Description(picture.Dc(), 0.5f, VMR9AlphaBitmap_SrcColorKey);
      description.clrSrcKey = RGB(0xC0, 0xC0, 0xC0);
      ComPtr<IVMRMixerBitmap9> mixer;
      REQUIRE(renderer.As(&mixer) == S_OK);
      REQUIRE(mixer->SetAlphaBitmap(&description) == S_OK);
    }
    const int drawn = FramesDrawn(renderer.Get());
    CHECK(PumpUntil([&] { return FramesDrawn(renderer.Get()) > drawn + 10; }, kDeadline));
    CHECK(Near(ScreenPixel(window, 20, 20), RGB(128, 0, 127), 8));
    CHECK(Near(ScreenPixel(window, 200, 150), kVideo, 8));
  }

  (void)source->Stop();  // teardown: results do not matter here
  (void)renderer->Stop();
  (void)source->Output()->Disconnect();
}
