#include "platform/asf_writer/raw_video_format.h"

namespace platform {

namespace {

constexpr int kMaxDimension = 8192;

}  // namespace

bool RawVideoFormat::Complete() {
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return false;
  const size_t w = static_cast<size_t>(width);
  const size_t h = static_cast<size_t>(height);
  switch (layout) {
    case RawVideoLayout::RGB24:
      stride = (w * 3 + 3) & ~size_t{3};
      frameSize = stride * h;
      return true;
    case RawVideoLayout::RGB32:
      stride = w * 4;
      frameSize = stride * h;
      return true;
    case RawVideoLayout::YUY2:
      if (width % 2) return false;
      stride = w * 2;
      frameSize = stride * h;
      return true;
    case RawVideoLayout::I420:
      if (width % 2 || height % 2) return false;
      stride = w;
      frameSize = w * h * 3 / 2;
      return true;
    case RawVideoLayout::MJPEG:
      stride = 0;
      frameSize = 0;
      return true;
  }
  return false;
}

}  // namespace platform
