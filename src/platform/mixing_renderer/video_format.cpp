#include "platform/mixing_renderer/video_format.h"

#include <amvideo.h>
#include <uuids.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {
// Larger pictures than this are refused so size arithmetic cannot overflow.
constexpr int kMaxDimension = 8192;

std::uint8_t Clamp(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// BT.601 studio range, integer arithmetic.
std::uint32_t YuvToBgrx(int y, int u, int v) {
  const int c = 298 * (y - 16);
  const int d = u - 128;
  const int e = v - 128;
  const std::uint8_t r = Clamp((c + 409 * e + 128) >> 8);
  const std::uint8_t g = Clamp((c - 100 * d - 208 * e + 128) >> 8);
  const std::uint8_t b = Clamp((c + 516 * d + 128) >> 8);
  return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}
}  // namespace

std::optional<VideoFormat> VideoFormatOf(const AM_MEDIA_TYPE& type) {
  if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) ||
      !IsEqualGUID(type.formattype, FORMAT_VideoInfo) || !type.pbFormat ||
      type.cbFormat < sizeof(VIDEOINFOHEADER))
    return std::nullopt;
  const BITMAPINFOHEADER& header = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
  VideoFormat format;
  format.frameDuration = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->AvgTimePerFrame;
  format.width = header.biWidth;
  format.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  format.bottomUp = header.biHeight > 0;
  if (format.width <= 0 || format.height <= 0 || format.width > kMaxDimension ||
      format.height > kMaxDimension)
    return std::nullopt;

  if (IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24) || IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32)) {
    const bool rgb24 = IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24);
    if (header.biCompression != BI_RGB || header.biBitCount != (rgb24 ? 24 : 32)) return std::nullopt;
    format.layout = rgb24 ? PixelLayout::Rgb24 : PixelLayout::Rgb32;
    format.stride = (format.width * header.biBitCount + 31) / 32 * 4;
    return format;
  }
  if (IsEqualGUID(type.subtype, MEDIASUBTYPE_YUY2)) {
    // YUV rows always run top-down, whatever the sign of the height.
    if (header.biCompression != MAKEFOURCC('Y', 'U', 'Y', '2') || header.biBitCount != 16 ||
        format.width % 2 != 0)
      return std::nullopt;
    format.layout = PixelLayout::Yuy2;
    format.bottomUp = false;
    format.stride = format.width * 2;
    return format;
  }
  return std::nullopt;
}

void ConvertToRgb32(const VideoFormat& format, const BYTE* source, std::uint32_t* target) {
  for (int row = 0; row < format.height; ++row) {
    const int sourceRow = format.bottomUp ? format.height - 1 - row : row;
    const BYTE* in = source + static_cast<std::size_t>(sourceRow) * format.stride;
    std::uint32_t* out = target + static_cast<std::size_t>(row) * format.width;
    switch (format.layout) {
      case PixelLayout::Rgb32:
        std::memcpy(out, in, static_cast<std::size_t>(format.width) * 4);
        break;
      case PixelLayout::Rgb24:
        for (int x = 0; x < format.width; ++x, in += 3)
          out[x] = std::uint32_t{in[0]} | (std::uint32_t{in[1]} << 8) | (std::uint32_t{in[2]} << 16);
        break;
      case PixelLayout::Yuy2:
        for (int x = 0; x < format.width; x += 2, in += 4) {
          out[x] = YuvToBgrx(in[0], in[1], in[3]);
          out[x + 1] = YuvToBgrx(in[2], in[1], in[3]);
        }
        break;
    }
  }
}

}  // namespace platform
