#include "video_type.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace {

// Subtypes made from a FOURCC share the last twelve bytes of this one.
constexpr GUID kFourccBase = {0x00000000, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

bool FromFourcc(const GUID& subtype) {
  return subtype.Data2 == kFourccBase.Data2 && subtype.Data3 == kFourccBase.Data3 &&
         std::equal(std::begin(subtype.Data4), std::end(subtype.Data4), std::begin(kFourccBase.Data4));
}

}  // namespace

VideoType::VideoType(const GUID& subtype, int width, int height, WORD bitCount, REFERENCE_TIME frameDuration) {
  BITMAPINFOHEADER& bitmap = format.bmiHeader;
  bitmap.biSize = sizeof(bitmap);
  bitmap.biWidth = width;
  bitmap.biHeight = height;
  bitmap.biPlanes = 1;
  bitmap.biBitCount = bitCount;
  bitmap.biCompression = FromFourcc(subtype) ? subtype.Data1 : BI_RGB;
  bitmap.biSizeImage = static_cast<DWORD>((width * bitCount + 31) / 32 * 4 * std::abs(height));
  format.AvgTimePerFrame = frameDuration;
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = bitmap.biSizeImage;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = sizeof(format);
  type.pbFormat = reinterpret_cast<BYTE*>(&format);
}
