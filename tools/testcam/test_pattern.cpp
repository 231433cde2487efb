#include "test_pattern.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace testcam {

namespace {
// 75 % bars, blue-green-red byte order as the DIB stores them.
const BYTE kBars[8][3] = {{191, 191, 191}, {0, 191, 191}, {191, 191, 0}, {0, 191, 0},
                          {191, 0, 191},   {0, 0, 191},   {191, 0, 0},   {16, 16, 16}};

BYTE Clamp(int value) { return static_cast<BYTE>(std::clamp(value, 0, 255)); }
}  // namespace

TestPattern::TestPattern(const std::wstring& deviceName, const VideoFormat& format, Scene scene)
    : name_(deviceName), format_(format) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = format.width;
  info.bmiHeader.biHeight = format.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<BYTE*>(bits);
  stride_ = (format.width * 3 + 3) & ~3;
  if (dc_ && bitmap_) oldBitmap_ = SelectObject(dc_, bitmap_);
  font_ = CreateFontW(-std::max<LONG>(format.height / 16, 10), 0, 0, 0, FW_BOLD, FALSE, FALSE,
                      FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      ANTIALIASED_QUALITY, DEFAULT_PITCH, L"Tahoma");
  if (dc_ && font_) oldFont_ = SelectObject(dc_, font_);
  if (scene == Scene::Street) street_ = std::make_unique<StreetScene>(format.width, format.height, stride_);
}

TestPattern::~TestPattern() {
  if (dc_) {
    if (oldFont_) SelectObject(dc_, oldFont_);
    if (oldBitmap_) SelectObject(dc_, oldBitmap_);
    DeleteDC(dc_);
  }
  if (font_) DeleteObject(font_);
  if (bitmap_) DeleteObject(bitmap_);
}

void TestPattern::Render(LONGLONG frame, BYTE* target) {
  if (!bits_) {
    std::memset(target, 0, format_.ImageSize());
    return;
  }
  if (street_) {
    street_->Draw(frame, bits_);
  } else {
    DrawBars(frame);
    DrawBox(frame);
  }
  DrawCaption(frame);
  GdiFlush();  // GDI may batch; the bits must be complete before copying
  if (IsEqualGUID(format_.subtype, MEDIASUBTYPE_YUY2))
    CopyYuy2(target);
  else
    CopyRgb24(target);
}

void TestPattern::DrawBars(LONGLONG frame) {
  const LONG width = format_.width;
  std::vector<BYTE> row(stride_, 0);
  const LONG shift = static_cast<LONG>(frame * 4 % width);
  for (LONG x = 0; x < width; ++x) {
    const BYTE* colour = kBars[(x + shift) % width * 8 / width];
    std::memcpy(&row[x * 3], colour, 3);
  }
  for (LONG y = 0; y < format_.height; ++y) std::memcpy(bits_ + y * stride_, row.data(), stride_);
}

void TestPattern::DrawBox(LONGLONG frame) {
  const LONG side = std::max<LONG>(format_.height / 8, 4);
  const LONG rangeX = std::max<LONG>(format_.width - side, 1);
  const LONG rangeY = std::max<LONG>(format_.height - side, 1);
  // Triangle waves: the box bounces between the edges.
  const LONG px = static_cast<LONG>(frame * 7 % (2 * rangeX));
  const LONG py = static_cast<LONG>(frame * 5 % (2 * rangeY));
  const LONG x = px < rangeX ? px : 2 * rangeX - px;
  const LONG y = py < rangeY ? py : 2 * rangeY - py;
  RECT box{x, y, x + side, y + side};
  FillRect(dc_, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void TestPattern::DrawCaption(LONGLONG frame) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t counter[64];
  std::swprintf(counter, 64, L"Frame %lld", frame);
  wchar_t clock[64];
  std::swprintf(clock, 64, L"%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  const std::wstring text = name_ + L"\n" + counter + L"\n" + clock;

  RECT band{0, 0, format_.width, 0};
  DrawTextW(dc_, text.c_str(), -1, &band, DT_CALCRECT | DT_NOPREFIX);
  band.right = format_.width;
  const LONG margin = std::max<LONG>(format_.height / 60, 2);
  band.bottom += 2 * margin;
  FillRect(dc_, &band, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  RECT inner{margin, margin, format_.width - margin, band.bottom - margin};
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, RGB(255, 255, 255));
  DrawTextW(dc_, text.c_str(), -1, &inner, DT_NOPREFIX | DT_END_ELLIPSIS);
}

void TestPattern::CopyRgb24(BYTE* target) const {
  const LONG rowBytes = format_.Stride();
  for (LONG y = 0; y < format_.height; ++y)
    std::memcpy(target + y * rowBytes, bits_ + y * stride_, rowBytes);
}

void TestPattern::CopyYuy2(BYTE* target) const {
  // YUY2 rows run top-down; the DIB's first row is the bottom one.
  const LONG rowBytes = format_.Stride();
  for (LONG y = 0; y < format_.height; ++y) {
    const BYTE* source = bits_ + (format_.height - 1 - y) * stride_;
    BYTE* out = target + y * rowBytes;
    for (LONG x = 0; x + 1 < format_.width; x += 2, source += 6, out += 4) {
      const int b0 = source[0], g0 = source[1], r0 = source[2];
      const int b1 = source[3], g1 = source[4], r1 = source[5];
      const int r = (r0 + r1) / 2, g = (g0 + g1) / 2, b = (b0 + b1) / 2;
      // BT.601 studio range, fixed point.
      out[0] = Clamp(((66 * r0 + 129 * g0 + 25 * b0 + 128) >> 8) + 16);
      out[1] = Clamp(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
      out[2] = Clamp(((66 * r1 + 129 * g1 + 25 * b1 + 128) >> 8) + 16);
      out[3] = Clamp(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
    }
  }
}

}  // namespace testcam
