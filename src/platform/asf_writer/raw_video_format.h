#pragma once
// The layouts of camera frames the built-in ASF writer encodes.
#include <cstddef>
#include <cstdint>

namespace platform {

// MJPEG frames vary in size and are decoded before encoding.
enum class RawVideoLayout { RGB24, RGB32, YUY2, I420, MJPEG };

struct RawVideoFormat {
  RawVideoLayout layout = RawVideoLayout::RGB24;
  int width = 0;
  int height = 0;
  bool bottomUp = false;  // RGB DIBs with a positive height
  // Bytes per row of the first plane, and of a whole frame (0 for MJPEG).
  size_t stride = 0;
  size_t frameSize = 0;

  // Fills stride and frameSize from the layout and size; false when the
  // size is out of range.
  bool Complete();
};

}  // namespace platform
