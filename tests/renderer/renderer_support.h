#pragma once
// Helpers shared by the renderer's tests.
#include <windows.h>
#include <dshow.h>
#include <d3d9.h>
#include <vmr9.h>
#include <wrl/client.h>

#include <chrono>
#include <functional>

#include "push_source.h"

namespace renderer_test {

using Microsoft::WRL::ComPtr;
using testing_source::PushSource;
using testing_source::Frames;
using testing_source::PushSourceOptions;

ComPtr<IBaseFilter> NewRenderer();
int FramesDrawn(IBaseFilter* renderer);
int FramesDropped(IBaseFilter* renderer);
HWND RendererWindowOf(IBaseFilter* renderer);
// The pixel of the renderer's current picture at (x, y) from the top, as 0x00BBGGRR.
COLORREF PicturePixel(IBaseFilter* renderer, int x, int y);
// True when each channel differs by at most `tolerance`.
bool Near(COLORREF a, COLORREF b, int tolerance = 6);

// A memory DC holding a 24-bit bitmap filled with `fill`, as an overlay
// hands it to the mixer; owns both.
class OverlayPicture {
public:
  OverlayPicture(int width, int height, COLORREF fill);
  ~OverlayPicture();
  OverlayPicture(const OverlayPicture&) = delete;
  OverlayPicture& operator=(const OverlayPicture&) = delete;
  void FillRect(const RECT& r, COLORREF colour);
  HDC Dc() const { return dc_; }
  // Deletes bitmap and DC now, as the overlay does right after handing them over.
  void Destroy();

private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

VMR9AlphaBitmap Description(HDC dc, float alpha, DWORD extraFlags = 0);

}  // namespace renderer_test
