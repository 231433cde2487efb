#pragma once
// The uncompressed video formats the mixing renderer accepts, and their
// conversion to the one picture layout it draws and blends: top-down
// 32-bit BGRX.
#include <windows.h>
#include <dshow.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform {

enum class PixelLayout { Rgb24, Rgb32, Yuy2 };

struct VideoFormat {
  PixelLayout layout = PixelLayout::Rgb32;
  int width = 0;
  int height = 0;        // always positive
  bool bottomUp = true;  // row order of the incoming buffer
  int stride = 0;        // bytes per incoming row
  REFERENCE_TIME frameDuration = 0;  // AvgTimePerFrame; 0 when unknown

  std::size_t FrameBytes() const { return static_cast<std::size_t>(stride) * height; }
};

// The format of a VIDEOINFOHEADER media type with RGB24, RGB32 or YUY2
// samples; nothing for anything else.
std::optional<VideoFormat> VideoFormatOf(const AM_MEDIA_TYPE& type);

// Converts one frame of `format` (at least FrameBytes() long) into
// width * height top-down BGRX pixels.
void ConvertToRgb32(const VideoFormat& format, const BYTE* source, std::uint32_t* target);

}  // namespace platform
