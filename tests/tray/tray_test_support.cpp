#include "tray_test_support.h"

#include <cstdint>

namespace {

void Put16(std::string& d, std::uint16_t v) { d.append(reinterpret_cast<const char*>(&v), 2); }
void Put32(std::string& d, std::uint32_t v) { d.append(reinterpret_cast<const char*>(&v), 4); }

std::string BitmapImage(int size, COLORREF colour) {
  std::string image;
  const std::uint32_t maskRow = ((size + 31) / 32) * 4;
  Put32(image, 40);
  Put32(image, size);
  Put32(image, size * 2);  // colour rows, then mask rows
  Put16(image, 1);
  Put16(image, 32);
  Put32(image, BI_RGB);
  Put32(image, size * size * 4 + maskRow * size);
  for (int i = 0; i < 4; ++i) Put32(image, 0);
  for (int i = 0; i < size * size; ++i) Put32(image, 0xFF000000u | colour);
  image.append(maskRow * size, '\0');
  return image;
}

}  // namespace

std::string MakeIconFile(const std::vector<int>& sizes, const std::vector<COLORREF>& colours) {
  std::string head, images;
  Put16(head, 0);
  Put16(head, 1);
  Put16(head, static_cast<std::uint16_t>(sizes.size()));
  const size_t firstImage = 6 + 16 * sizes.size();
  for (size_t i = 0; i < sizes.size(); ++i) {
    const std::string image = BitmapImage(sizes[i], colours[i]);
    head.push_back(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
    head.push_back(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
    head.push_back(0);
    head.push_back(0);
    Put16(head, 1);
    Put16(head, 32);
    Put32(head, static_cast<std::uint32_t>(image.size()));
    Put32(head, static_cast<std::uint32_t>(firstImage + images.size()));
    images += image;
  }
  return head + images;
}

COLORREF IconPixel(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return CLR_INVALID;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = 1;
  bi.bmiHeader.biHeight = -1;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  BITMAP bm{};
  GetObjectW(info.hbmColor, sizeof bm, &bm);
  bi.bmiHeader.biWidth = bm.bmWidth;
  bi.bmiHeader.biHeight = -bm.bmHeight;
  std::vector<std::uint32_t> pixels(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, info.hbmColor, 0, bm.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels.empty() ? CLR_INVALID : (pixels[0] & 0xFFFFFF);
}

int IconWidth(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return 0;
  BITMAP bm{};
  GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bm.bmWidth;
}
