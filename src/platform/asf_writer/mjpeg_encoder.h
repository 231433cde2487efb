#pragma once
// Motion JPEG encoding of uncompressed DirectShow video frames with
// libjpeg-turbo: every frame becomes one complete baseline JPEG.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

enum class RawVideoLayout { RGB24, RGB32, YUY2, I420 };

struct RawVideoFormat {
  RawVideoLayout layout = RawVideoLayout::RGB24;
  int width = 0;
  int height = 0;
  bool bottomUp = false;  // RGB DIBs with a positive height
  // Bytes per row of the first plane, and of a whole frame.
  size_t stride = 0;
  size_t frameSize = 0;

  // Fills stride and frameSize from the layout and size; false when the
  // size is out of range.
  bool Complete();
};

// JPEG quality (1..100) for a video bit rate, kept within 50..90: the
// profile's rate only steers it, Motion JPEG cannot reach the low rates.
int QualityForBitRate(uint32_t bitsPerSecond);

class MjpegEncoder {
public:
  MjpegEncoder(const RawVideoFormat& format, int quality);
  ~MjpegEncoder();
  MjpegEncoder(const MjpegEncoder&) = delete;
  MjpegEncoder& operator=(const MjpegEncoder&) = delete;

  // Encodes one frame of at least format.frameSize bytes into `jpeg`;
  // false on a short frame or an encoder error.
  // Thread: the encoder thread.
  bool Encode(const uint8_t* frame, size_t size, std::vector<uint8_t>& jpeg);

private:
  struct State;
  bool EncodeRows(const uint8_t* frame, std::vector<uint8_t>& jpeg);
  RawVideoFormat format_;
  int quality_;
  std::unique_ptr<State> state_;
  std::vector<uint8_t> rowBuffer_;
};

}  // namespace platform
