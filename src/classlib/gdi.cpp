#include "classlib/gdi.h"

#include <algorithm>

TBufferedPaint::TBufferedPaint(HDC target, int width, int height)
    : target_(target),
      width_(width),
      height_(height),
      memory_(target),
      bitmap_(CreateCompatibleBitmap(target, std::max(width, 1), std::max(height, 1))),
      selected_(memory_.Get(), bitmap_.Get()) {}

TBufferedPaint::~TBufferedPaint() {
  BitBlt(target_, 0, 0, width_, height_, memory_.Get(), 0, 0, SRCCOPY);
}

void FillSolidRect(HDC dc, const RECT& rect, COLORREF color) {
  const TGdiObject<HBRUSH> brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush.Get());
}
