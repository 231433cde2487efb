#include "platform/asf_writer/mjpeg_encoder.h"

#include <csetjmp>
#include <cstdio>
#include <algorithm>
#include <cmath>

#include <jpeglib.h>

namespace platform {

namespace {

constexpr int kMaxDimension = 8192;

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

// libjpeg's default handler exits the process; return to Encode instead.
void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void OnJpegMessage(j_common_ptr, int) {}

// Writes straight into a growing vector, so the buffer is reused per frame.
struct VectorDestination {
  jpeg_destination_mgr base;
  std::vector<uint8_t>* out;
};

void InitDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
  if (dest->out->size() < 65536) dest->out->resize(65536);
  dest->base.next_output_byte = dest->out->data();
  dest->base.free_in_buffer = dest->out->size();
}

boolean GrowDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
  const size_t used = dest->out->size();
  dest->out->resize(used * 2);
  dest->base.next_output_byte = dest->out->data() + used;
  dest->base.free_in_buffer = dest->out->size() - used;
  return TRUE;
}

void TermDestination(j_compress_ptr info) {
  auto* dest = reinterpret_cast<VectorDestination*>(info->dest);
  dest->out->resize(dest->out->size() - dest->base.free_in_buffer);
}

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
  }
  return false;
}

int QualityForBitRate(uint32_t bitsPerSecond) {
  if (bitsPerSecond == 0) return 75;
  // 56 kbit/s gives 50; every doubling adds 6.
  const double steps = std::log2(static_cast<double>(bitsPerSecond) / 56000.0);
  return std::clamp(50 + static_cast<int>(std::lround(steps * 6)), 50, 90);
}

struct MjpegEncoder::State {
  jpeg_compress_struct info{};
  ErrorManager error{};
  VectorDestination destination{};
};

MjpegEncoder::MjpegEncoder(const RawVideoFormat& format, int quality)
    : format_(format), quality_(std::clamp(quality, 1, 100)), state_(std::make_unique<State>()) {
  State& s = *state_;
  s.info.err = jpeg_std_error(&s.error.base);
  s.error.base.error_exit = OnJpegError;
  s.error.base.emit_message = OnJpegMessage;
  jpeg_create_compress(&s.info);
  s.destination.base.init_destination = InitDestination;
  s.destination.base.empty_output_buffer = GrowDestination;
  s.destination.base.term_destination = TermDestination;
  s.info.dest = &s.destination.base;
  if (format_.layout == RawVideoLayout::YUY2 || format_.layout == RawVideoLayout::I420)
    rowBuffer_.resize(static_cast<size_t>(format_.width) * 3);
}

MjpegEncoder::~MjpegEncoder() { jpeg_destroy_compress(&state_->info); }

bool MjpegEncoder::Encode(const uint8_t* frame, size_t size, std::vector<uint8_t>& jpeg) {
  if (!frame || size < format_.frameSize) return false;
  return EncodeRows(frame, jpeg);
}

// Kept free of objects with destructors: a libjpeg error jumps back here.
bool MjpegEncoder::EncodeRows(const uint8_t* frame, std::vector<uint8_t>& jpeg) {
  State& s = *state_;
  jpeg_compress_struct& info = s.info;
  if (setjmp(s.error.jump)) {
    jpeg_abort_compress(&info);
    return false;
  }
  s.destination.out = &jpeg;
  info.image_width = static_cast<JDIMENSION>(format_.width);
  info.image_height = static_cast<JDIMENSION>(format_.height);
  info.input_components = format_.layout == RawVideoLayout::RGB32 ? 4 : 3;
  switch (format_.layout) {
    case RawVideoLayout::RGB24: info.in_color_space = JCS_EXT_BGR; break;
    case RawVideoLayout::RGB32: info.in_color_space = JCS_EXT_BGRX; break;
    default: info.in_color_space = JCS_YCbCr; break;
  }
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality_, TRUE);
  info.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&info, TRUE);

  const size_t w = static_cast<size_t>(format_.width);
  const size_t h = static_cast<size_t>(format_.height);
  while (info.next_scanline < info.image_height) {
    const size_t y = info.next_scanline;
    JSAMPROW row = nullptr;
    switch (format_.layout) {
      case RawVideoLayout::RGB24:
      case RawVideoLayout::RGB32: {
        const size_t source = format_.bottomUp ? h - 1 - y : y;
        row = const_cast<JSAMPROW>(frame + source * format_.stride);
        break;
      }
      case RawVideoLayout::YUY2: {
        const uint8_t* in = frame + y * format_.stride;
        uint8_t* out = rowBuffer_.data();
        for (size_t x = 0; x < w; x += 2, in += 4, out += 6) {
          out[0] = in[0]; out[1] = in[1]; out[2] = in[3];
          out[3] = in[2]; out[4] = in[1]; out[5] = in[3];
        }
        row = rowBuffer_.data();
        break;
      }
      case RawVideoLayout::I420: {
        const uint8_t* luma = frame + y * w;
        const uint8_t* cb = frame + w * h + (y / 2) * (w / 2);
        const uint8_t* cr = cb + (w / 2) * (h / 2);
        uint8_t* out = rowBuffer_.data();
        for (size_t x = 0; x < w; ++x, out += 3) {
          out[0] = luma[x]; out[1] = cb[x / 2]; out[2] = cr[x / 2];
        }
        row = rowBuffer_.data();
        break;
      }
    }
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace platform
