#include "platform/mixing_renderer/overlay_mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "classlib/gdi.h"

namespace platform {

namespace {
constexpr DWORD kKnownFlags = VMR9AlphaBitmap_Disable | VMR9AlphaBitmap_hDC |
                              VMR9AlphaBitmap_EntireDDS | VMR9AlphaBitmap_SrcColorKey |
                              VMR9AlphaBitmap_SrcRect | VMR9AlphaBitmap_FilterMode;

// COLORREF is 0x00BBGGRR, a BGRX pixel reads as 0x00RRGGBB.
std::uint32_t PixelOf(COLORREF colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// Copies the bitmap selected into `source` as top-down BGRX pixels. The
// bitmap stays selected there, so it is read through a blit, not GetDIBits.
HRESULT CopySelectedBitmap(HDC source, std::vector<std::uint32_t>& pixels, int& width, int& height) {
  BITMAP info{};
  HGDIOBJ selected = GetCurrentObject(source, OBJ_BITMAP);
  if (!selected || GetObjectW(selected, sizeof info, &info) != sizeof info) return E_INVALIDARG;
  if (info.bmWidth <= 0 || info.bmHeight <= 0) return E_INVALIDARG;

  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = info.bmWidth;
  format.bmiHeader.biHeight = -info.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const TGdiObject<HBITMAP> copy(CreateDIBSection(source, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  const TMemoryDC memory(source);
  if (!copy || !memory || !bits) return E_OUTOFMEMORY;
  const TSelectedObject selection(memory.Get(), copy.Get());
  if (!BitBlt(memory.Get(), 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY)) return E_FAIL;
  GdiFlush();
  pixels.assign(static_cast<const std::uint32_t*>(bits),
                static_cast<const std::uint32_t*>(bits) + std::size_t(info.bmWidth) * info.bmHeight);
  width = info.bmWidth;
  height = info.bmHeight;
  return S_OK;
}
}  // namespace

HRESULT OverlayMixer::Check(const VMR9AlphaBitmap& description, int bitmapWidth,
                            int bitmapHeight) const {
  if (description.dwFlags & ~kKnownFlags) return E_INVALIDARG;
  // Direct3D surfaces are not supported: this renderer has no device.
  if ((description.dwFlags & VMR9AlphaBitmap_EntireDDS) || description.pDDS) return E_INVALIDARG;
  if (description.dwFlags & VMR9AlphaBitmap_Disable) return S_OK;
  if (!(description.fAlpha >= 0.0f && description.fAlpha <= 1.0f)) return E_INVALIDARG;
  const VMR9NormalizedRect& d = description.rDest;
  if (!(d.right > d.left && d.bottom > d.top)) return E_INVALIDARG;
  if (description.dwFlags & VMR9AlphaBitmap_SrcRect) {
    const RECT& s = description.rSrc;
    if (s.left < 0 || s.top < 0 || s.right > bitmapWidth || s.bottom > bitmapHeight ||
        s.left >= s.right || s.top >= s.bottom)
      return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT OverlayMixer::SetAlphaBitmap(const VMR9AlphaBitmap& description) {
  const bool disable = description.dwFlags & VMR9AlphaBitmap_Disable;
  const bool fromDc = (description.dwFlags & VMR9AlphaBitmap_hDC) && description.hdc;
  if (!fromDc && !disable) return E_INVALIDARG;

  std::vector<std::uint32_t> pixels;
  int width = 0, height = 0;
  if (fromDc) {
    const HRESULT copied = CopySelectedBitmap(description.hdc, pixels, width, height);
    if (FAILED(copied)) return copied;
  }
  std::lock_guard lock(lock_);
  if (!fromDc) {
    width = bitmapWidth_;
    height = bitmapHeight_;
  }
  const HRESULT valid = Check(description, width, height);
  if (FAILED(valid)) return valid;
  if (fromDc) {
    bitmap_ = std::move(pixels);
    bitmapWidth_ = width;
    bitmapHeight_ = height;
    hasBitmap_ = true;
  }
  parameters_ = description;
  layer_.valid = false;
  return S_OK;
}

HRESULT OverlayMixer::UpdateAlphaBitmapParameters(const VMR9AlphaBitmap& description) {
  std::lock_guard lock(lock_);
  if (!hasBitmap_) return VFW_E_WRONG_STATE;
  const HRESULT valid = Check(description, bitmapWidth_, bitmapHeight_);
  if (FAILED(valid)) return valid;
  const HDC kept = parameters_.hdc;
  parameters_ = description;
  parameters_.hdc = kept;
  layer_.valid = false;
  return S_OK;
}

HRESULT OverlayMixer::GetAlphaBitmapParameters(VMR9AlphaBitmap* description) const {
  if (!description) return E_POINTER;
  std::lock_guard lock(lock_);
  *description = parameters_;
  return S_OK;
}

void OverlayMixer::Build(int width, int height) {
  layer_ = Layer{};
  layer_.width = width;
  layer_.height = height;
  layer_.valid = true;
  const RECT source = (parameters_.dwFlags & VMR9AlphaBitmap_SrcRect)
                          ? parameters_.rSrc
                          : RECT{0, 0, bitmapWidth_, bitmapHeight_};
  const VMR9NormalizedRect& d = parameters_.rDest;
  const int left = static_cast<int>(std::lround(d.left * width));
  const int top = static_cast<int>(std::lround(d.top * height));
  const int right = static_cast<int>(std::lround(d.right * width));
  const int bottom = static_cast<int>(std::lround(d.bottom * height));
  if (right <= left || bottom <= top) return;
  const bool keyed = parameters_.dwFlags & VMR9AlphaBitmap_SrcColorKey;
  const std::uint32_t key = PixelOf(parameters_.clrSrcKey);
  const long long sourceWidth = source.right - source.left;
  const long long sourceHeight = source.bottom - source.top;

  for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
    const long long sy = source.top + (y - top) * sourceHeight / (bottom - top);
    const std::uint32_t* row = bitmap_.data() + sy * bitmapWidth_;
    Span span{y, 0, 0, 0};
    for (int x = std::max(left, 0); x < std::min(right, width); ++x) {
      const std::uint32_t pixel = row[source.left + (x - left) * sourceWidth / (right - left)] & 0xFFFFFF;
      if (keyed && pixel == key) {
        if (span.count) layer_.spans.push_back(span);
        span.count = 0;
        continue;
      }
      if (!span.count) {
        span.x = x;
        span.first = layer_.colours.size();
      }
      layer_.colours.push_back(pixel);
      ++span.count;
    }
    if (span.count) layer_.spans.push_back(span);
  }
}

void OverlayMixer::BlendInto(std::uint32_t* pixels, int width, int height) {
  std::lock_guard lock(lock_);
  if (!hasBitmap_ || (parameters_.dwFlags & VMR9AlphaBitmap_Disable)) return;
  if (!layer_.valid || layer_.width != width || layer_.height != height) Build(width, height);
  const std::uint32_t alpha = static_cast<std::uint32_t>(std::lround(parameters_.fAlpha * 256.0f));
  if (alpha == 0) return;
  const std::uint32_t rest = 256 - alpha;
  for (const Span& span : layer_.spans) {
    std::uint32_t* out = pixels + std::size_t(span.y) * width + span.x;
    const std::uint32_t* in = layer_.colours.data() + span.first;
    if (alpha == 256) {
      std::memcpy(out, in, std::size_t(span.count) * 4);
      continue;
    }
    for (int i = 0; i < span.count; ++i) {
      const std::uint32_t a = in[i], b = out[i];
      // Red and blue blended together in one word, green on its own.
      const std::uint32_t redBlue = (((a & 0xFF00FF) * alpha + (b & 0xFF00FF) * rest) >> 8) & 0xFF00FF;
      const std::uint32_t green = (((a & 0xFF00) * alpha + (b & 0xFF00) * rest) >> 8) & 0xFF00;
      out[i] = redBlue | green;
    }
  }
}

}  // namespace platform
