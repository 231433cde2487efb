#include "platform/asf_writer/picture_converter.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace platform {

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  bool warned = false;
};

// libjpeg's default handler exits the process; return to the decoder instead.
void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// A warning means libjpeg filled in damaged data; such a frame is skipped.
void OnJpegMessage(j_common_ptr info, int level) {
  if (level < 0) reinterpret_cast<ErrorManager*>(info->err)->warned = true;
}

// BT.601 with video levels, in 8.8 fixed point.
inline uint8_t Luma(int r, int g, int b) {
  return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}
inline uint8_t BlueDifference(int r, int g, int b) {
  return static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}
inline uint8_t RedDifference(int r, int g, int b) {
  return static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

// JPEG's full-range YCbCr to video levels.
inline uint8_t LumaLevel(int y) { return static_cast<uint8_t>(16 + (y * 219 + 127) / 255); }
inline uint8_t ChromaLevel(int c) { return static_cast<uint8_t>(128 + ((c - 128) * 224) / 255); }

}  // namespace

struct PictureConverter::Decoder {
  jpeg_decompress_struct info{};
  ErrorManager error{};
  std::vector<uint8_t> rows;  // the decoded frame, 3 bytes a pixel
};

PictureConverter::PictureConverter(const RawVideoFormat& format) : format_(format) {
  if (format_.layout != RawVideoLayout::MJPEG) return;
  decoder_ = std::make_unique<Decoder>();
  decoder_->info.err = jpeg_std_error(&decoder_->error.base);
  decoder_->error.base.error_exit = OnJpegError;
  decoder_->error.base.emit_message = OnJpegMessage;
  jpeg_create_decompress(&decoder_->info);
  decoder_->rows.resize(static_cast<size_t>(format_.width) * format_.height * 3);
}

PictureConverter::~PictureConverter() {
  if (decoder_) jpeg_destroy_decompress(&decoder_->info);
}

bool PictureConverter::Convert(const uint8_t* frame, size_t size, std::vector<uint8_t>& i420) {
  const size_t w = static_cast<size_t>(format_.width);
  const size_t h = static_cast<size_t>(format_.height);
  i420.resize(w * h * 3 / 2);
  if (!frame || size < format_.frameSize) return false;
  switch (format_.layout) {
    case RawVideoLayout::RGB24: FromRgb(frame, 3, i420.data()); return true;
    case RawVideoLayout::RGB32: FromRgb(frame, 4, i420.data()); return true;
    case RawVideoLayout::YUY2: FromYuy2(frame, i420.data()); return true;
    case RawVideoLayout::I420: std::memcpy(i420.data(), frame, i420.size()); return true;
    case RawVideoLayout::MJPEG: return FromJpeg(frame, size, i420.data());
  }
  return false;
}

void PictureConverter::FromRgb(const uint8_t* frame, size_t pixelBytes, uint8_t* out) const {
  const size_t w = static_cast<size_t>(format_.width);
  const size_t h = static_cast<size_t>(format_.height);
  uint8_t* cb = out + w * h;
  uint8_t* cr = cb + (w / 2) * (h / 2);
  for (size_t y = 0; y < h; y += 2) {
    const size_t top = format_.bottomUp ? h - 1 - y : y;
    const size_t bottom = format_.bottomUp ? top - 1 : top + 1;
    const uint8_t* rows[2] = {frame + top * format_.stride, frame + bottom * format_.stride};
    for (size_t x = 0; x < w; x += 2) {
      int r = 0, g = 0, b = 0;
      for (int dy = 0; dy < 2; ++dy) {
        for (size_t dx = 0; dx < 2; ++dx) {
          const uint8_t* p = rows[dy] + (x + dx) * pixelBytes;  // DIB order: blue, green, red
          out[(y + dy) * w + x + dx] = Luma(p[2], p[1], p[0]);
          r += p[2];
          g += p[1];
          b += p[0];
        }
      }
      r = (r + 2) / 4;
      g = (g + 2) / 4;
      b = (b + 2) / 4;
      cb[(y / 2) * (w / 2) + x / 2] = BlueDifference(r, g, b);
      cr[(y / 2) * (w / 2) + x / 2] = RedDifference(r, g, b);
    }
  }
}

void PictureConverter::FromYuy2(const uint8_t* frame, uint8_t* out) const {
  const size_t w = static_cast<size_t>(format_.width);
  const size_t h = static_cast<size_t>(format_.height);
  uint8_t* cb = out + w * h;
  uint8_t* cr = cb + (w / 2) * (h / 2);
  for (size_t y = 0; y < h; y += 2) {
    const uint8_t* top = frame + y * format_.stride;
    const uint8_t* bottom = top + format_.stride;
    for (size_t x = 0; x < w; x += 2) {
      const uint8_t* a = top + x * 2;
      const uint8_t* b = bottom + x * 2;
      out[y * w + x] = a[0];
      out[y * w + x + 1] = a[2];
      out[(y + 1) * w + x] = b[0];
      out[(y + 1) * w + x + 1] = b[2];
      cb[(y / 2) * (w / 2) + x / 2] = static_cast<uint8_t>((a[1] + b[1] + 1) / 2);
      cr[(y / 2) * (w / 2) + x / 2] = static_cast<uint8_t>((a[3] + b[3] + 1) / 2);
    }
  }
}

// Kept free of objects with destructors: a libjpeg error jumps back here.
bool PictureConverter::FromJpeg(const uint8_t* frame, size_t size, uint8_t* out) {
  Decoder& d = *decoder_;
  jpeg_decompress_struct& info = d.info;
  d.error.warned = false;
  if (setjmp(d.error.jump)) {
    jpeg_abort_decompress(&info);
    return false;
  }
  jpeg_mem_src(&info, frame, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
      info.image_width != static_cast<JDIMENSION>(format_.width) ||
      info.image_height != static_cast<JDIMENSION>(format_.height)) {
    jpeg_abort_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_YCbCr;
  info.dct_method = JDCT_IFAST;
  jpeg_start_decompress(&info);
  const size_t w = static_cast<size_t>(format_.width);
  const size_t h = static_cast<size_t>(format_.height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = d.rows.data() + static_cast<size_t>(info.output_scanline) * w * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  if (d.error.warned) return false;

  uint8_t* cb = out + w * h;
  uint8_t* cr = cb + (w / 2) * (h / 2);
  for (size_t y = 0; y < h; y += 2) {
    const uint8_t* top = d.rows.data() + y * w * 3;
    const uint8_t* bottom = top + w * 3;
    for (size_t x = 0; x < w; x += 2) {
      const uint8_t* p[4] = {top + x * 3, top + x * 3 + 3, bottom + x * 3, bottom + x * 3 + 3};
      out[y * w + x] = LumaLevel(p[0][0]);
      out[y * w + x + 1] = LumaLevel(p[1][0]);
      out[(y + 1) * w + x] = LumaLevel(p[2][0]);
      out[(y + 1) * w + x + 1] = LumaLevel(p[3][0]);
      cb[(y / 2) * (w / 2) + x / 2] = ChromaLevel((p[0][1] + p[1][1] + p[2][1] + p[3][1] + 2) / 4);
      cr[(y / 2) * (w / 2) + x / 2] = ChromaLevel((p[0][2] + p[1][2] + p[2][2] + p[3][2] + 2) / 4);
    }
  }
  return true;
}

}  // namespace platform
