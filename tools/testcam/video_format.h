#pragma once
// The two uncompressed video formats the camera offers, and their media
// types.
#include <windows.h>
#include <dshow.h>

#include "platform/dshow/media_type.h"

namespace testcam {

// One uncompressed video format: RGB24 (bottom-up) or YUY2.
struct VideoFormat {
  GUID subtype = MEDIASUBTYPE_RGB24;
  LONG width = 0;
  LONG height = 0;
  REFERENCE_TIME frameDuration = 0;  // 100 ns units

  LONG Stride() const;  // bytes per row
  LONG ImageSize() const;
  bool operator==(const VideoFormat&) const = default;
};

inline constexpr LONG kMinSize = 16;
inline constexpr LONG kMaxSize = 4096;
inline constexpr REFERENCE_TIME kMinFrameDuration = 10000000 / 120;
inline constexpr REFERENCE_TIME kMaxFrameDuration = 10000000;

dshow::MediaType MakeVideoType(const VideoFormat& format);
// The format of a type the camera can produce, or false.
bool ParseVideoType(const AM_MEDIA_TYPE& type, VideoFormat* format);

}  // namespace testcam
