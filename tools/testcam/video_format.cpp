#include "video_format.h"

namespace testcam {

namespace {
const GUID kYuy2 = MEDIASUBTYPE_YUY2;

WORD BitCount(const GUID& subtype) { return IsEqualGUID(subtype, kYuy2) ? 16 : 24; }

}  // namespace

LONG VideoFormat::Stride() const {
  const LONG bytes = width * BitCount(subtype) / 8;
  return (bytes + 3) & ~3;
}

LONG VideoFormat::ImageSize() const { return Stride() * height; }

dshow::MediaType MakeVideoType(const VideoFormat& format) {
  VIDEOINFOHEADER info{};
  info.AvgTimePerFrame = format.frameDuration;
  info.dwBitRate = static_cast<DWORD>(
      static_cast<LONGLONG>(format.ImageSize()) * 8 * 10000000 / format.frameDuration);
  BITMAPINFOHEADER& header = info.bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = format.width;
  header.biHeight = format.height;
  header.biPlanes = 1;
  header.biBitCount = BitCount(format.subtype);
  header.biCompression = IsEqualGUID(format.subtype, kYuy2) ? format.subtype.Data1 : BI_RGB;
  header.biSizeImage = format.ImageSize();

  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = format.subtype;
  type.bFixedSizeSamples = TRUE;
  type.bTemporalCompression = FALSE;
  type.lSampleSize = format.ImageSize();
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = sizeof(info);
  type.pbFormat = reinterpret_cast<BYTE*>(&info);
  return dshow::MediaType(type);
}

bool ParseVideoType(const AM_MEDIA_TYPE& type, VideoFormat* format) {
  if (!IsEqualGUID(type.majortype, MEDIATYPE_Video)) return false;
  const bool rgb = IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24);
  const bool yuy2 = IsEqualGUID(type.subtype, kYuy2);
  if (!rgb && !yuy2) return false;
  if (!IsEqualGUID(type.formattype, FORMAT_VideoInfo) || !type.pbFormat ||
      type.cbFormat < sizeof(VIDEOINFOHEADER))
    return false;
  const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
  const BITMAPINFOHEADER& header = info.bmiHeader;
  // Bottom-up rows only: a top-down RGB request (negative height) is refused
  // rather than drawn upside down.
  if (header.biWidth < kMinSize || header.biWidth > kMaxSize || header.biHeight < kMinSize ||
      header.biHeight > kMaxSize)
    return false;
  if (yuy2 && (header.biWidth % 2 != 0 || header.biCompression != kYuy2.Data1)) return false;
  if (rgb && header.biCompression != BI_RGB) return false;
  if (header.biBitCount != BitCount(type.subtype)) return false;
  VideoFormat parsed;
  parsed.subtype = type.subtype;
  parsed.width = header.biWidth;
  parsed.height = header.biHeight;
  parsed.frameDuration = info.AvgTimePerFrame;
  if (parsed.frameDuration < kMinFrameDuration || parsed.frameDuration > kMaxFrameDuration)
    return false;
  if (format) *format = parsed;
  return true;
}

}  // namespace testcam
