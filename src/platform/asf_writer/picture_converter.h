#pragma once
// Turns a camera frame into the H.264 encoder's picture: I420 with video
// levels (luma 16–235). Motion JPEG frames are decoded with libjpeg-turbo.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/asf_writer/raw_video_format.h"

namespace platform {

class PictureConverter {
public:
  explicit PictureConverter(const RawVideoFormat& format);
  ~PictureConverter();
  PictureConverter(const PictureConverter&) = delete;
  PictureConverter& operator=(const PictureConverter&) = delete;

  // False for a short frame, or a Motion JPEG frame that is corrupt or of
  // another size; `i420` is then unspecified.
  // Thread: the encoder thread.
  bool Convert(const uint8_t* frame, size_t size, std::vector<uint8_t>& i420);

private:
  struct Decoder;
  void FromRgb(const uint8_t* frame, size_t pixelBytes, uint8_t* out) const;
  void FromYuy2(const uint8_t* frame, uint8_t* out) const;
  bool FromJpeg(const uint8_t* frame, size_t size, uint8_t* out);

  RawVideoFormat format_;
  std::unique_ptr<Decoder> decoder_;
};

}  // namespace platform
