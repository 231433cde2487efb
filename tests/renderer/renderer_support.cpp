#include "renderer_support.h"

#include <cstdlib>

#include "platform/mixing_renderer/mixing_renderer.h"
#include "test_support.h"

namespace renderer_test {

ComPtr<IBaseFilter> NewRenderer() {
  ComPtr<IBaseFilter> renderer;
  if (FAILED(platform::CreateMixingRenderer(IID_PPV_ARGS(&renderer)))) return nullptr;
  return renderer;
}

int FramesDrawn(IBaseFilter* renderer) {
  ComPtr<IQualProp> quality;
  int frames = -1;
  if (SUCCEEDED(renderer->QueryInterface(IID_IQualProp, &quality))) (void)quality->get_FramesDrawn(&frames);  // -1 tells
  return frames;
}

int FramesDropped(IBaseFilter* renderer) {
  ComPtr<IQualProp> quality;
  int frames = -1;
  if (SUCCEEDED(renderer->QueryInterface(IID_IQualProp, &quality)))
    (void)quality->get_FramesDroppedInRenderer(&frames);  // -1 tells
  return frames;
}

HWND RendererWindowOf(IBaseFilter* renderer) {
  ComPtr<IVideoWindow> window;
  BSTR marker = SysAllocString(L"renderer-under-test");
  HWND found = nullptr;
  if (SUCCEEDED(renderer->QueryInterface(IID_IVideoWindow, &window)) && SUCCEEDED(window->put_Caption(marker)))
    found = FindWindowW(L"VideoRenderer", L"renderer-under-test");
  SysFreeString(marker);
  return found;
}

COLORREF PicturePixel(IBaseFilter* renderer, int x, int y) {
  ComPtr<IVMRWindowlessControl9> control;
  BYTE* dib = nullptr;
  if (FAILED(renderer->QueryInterface(IID_PPV_ARGS(&control))) || FAILED(control->GetCurrentImage(&dib)))
    return CLR_INVALID;
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
  const auto* pixels = reinterpret_cast<const DWORD*>(dib + header->biSize);
  const DWORD pixel = pixels[(header->biHeight - 1 - y) * header->biWidth + x];
  CoTaskMemFree(dib);
  return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

OverlayPicture::OverlayPicture(int width, int height, COLORREF fill) {
  HDC screen = GetDC(nullptr);
  dc_ = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  previous_ = SelectObject(dc_, bitmap_);
  FillRect(RECT{0, 0, width, height}, fill);
}

OverlayPicture::~OverlayPicture() { Destroy(); }

void OverlayPicture::FillRect(const RECT& r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  ::FillRect(dc_, &r, brush);
  DeleteObject(brush);
}

void OverlayPicture::Destroy() {
  if (!dc_) return;
  SelectObject(dc_, previous_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
  dc_ = nullptr;
}

VMR9AlphaBitmap Description(HDC dc, float alpha, DWORD extraFlags) {
  VMR9AlphaBitmap description{};
  description.dwFlags = VMR9AlphaBitmap_hDC | extraFlags;
  description.hdc = dc;
  description.rDest = {0.0f, 0.0f, 1.0f, 1.0f};
  description.fAlpha = alpha;
  return description;
}

}  // namespace renderer_test
