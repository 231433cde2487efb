#include "classlib/graphics.h"

#include <cstdio>
#include <cstring>
#include <csetjmp>

extern "C" {
#include <jpeglib.h>
}

#include "classlib/exceptions.h"
#include "classlib/gdi.h"

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color) & 0xFFFFFF;
}

TFont::TFont() = default;
TFont::~TFont() = default;

void TFont::Assign(const TFont& other) {
  name_ = other.name_;
  height_ = other.height_;
  style_ = other.style_;
  color_ = other.color_;
  charset_ = other.charset_;
  Changed();
}

void TFont::SetName(std::wstring name) {
  if (name == name_) return;
  name_ = std::move(name);
  Changed();
}

void TFont::SetHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

static int ScreenPixelsPerInch() {
  const TWindowDC screen(nullptr);
  const int ppi = GetDeviceCaps(screen.Get(), LOGPIXELSY);
  return ppi ? ppi : 96;
}

int TFont::Size() const { return -MulDiv(height_, 72, ScreenPixelsPerInch()); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  if (OnChange) OnChange();
}

void TFont::SetCharset(BYTE charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONTW lf{};
    lf.lfHeight = height_;
    lf.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style_ & fsItalic) != 0;
    lf.lfUnderline = (style_ & fsUnderline) != 0;
    lf.lfStrikeOut = (style_ & fsStrikeOut) != 0;
    lf.lfCharSet = charset_;
    lf.lfQuality = DEFAULT_QUALITY;
    wcsncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
    handle_.Reset(CreateFontIndirectW(&lf));
  }
  return handle_.Get();
}

void TFont::Changed() {
  handle_.Reset();
  if (OnChange) OnChange();
}

void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ == bsSolid) return;
  color_ = color;
  style_ = bsSolid;
  handle_.Reset();
}

HBRUSH TBrush::Handle() {
  if (style_ == bsClear) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  if (!handle_) handle_.Reset(CreateSolidBrush(ColorToRGB(color_)));
  return handle_.Get();
}

void TPen::SetColor(TColor color) {
  color_ = color;
  handle_.Reset();
}

void TPen::SetWidth(int width) {
  width_ = width;
  handle_.Reset();
}

HPEN TPen::Handle() {
  if (!handle_) handle_.Reset(CreatePen(PS_SOLID, width_, ColorToRGB(color_)));
  return handle_.Get();
}

RECT TCanvas::ClipRect() const {
  RECT r{};
  GetClipBox(dc_, &r);
  return r;
}

void TCanvas::FillRect(const RECT& rect) {
  if (brush_.Style() == bsClear) return;
  ::FillRect(dc_, &rect, brush_.Handle());
}

void TCanvas::FrameRect(const RECT& rect) { ::FrameRect(dc_, &rect, brush_.Handle()); }

void TCanvas::Rectangle(const RECT& rect) {
  const TSelectedObject selectedPen(dc_, pen_.Handle());
  const TSelectedObject selectedBrush(dc_, brush_.Handle());
  ::Rectangle(dc_, rect.left, rect.top, rect.right, rect.bottom);
}

void TCanvas::TextOut(int x, int y, const std::wstring& text) {
  const TSelectedObject selected(dc_, font_.Handle());
  SetTextColor(dc_, ColorToRGB(font_.Color()));
  if (brush_.Style() == bsClear) {
    SetBkMode(dc_, TRANSPARENT);
  } else {
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, ColorToRGB(brush_.Color()));
  }
  ExtTextOutW(dc_, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

SIZE TCanvas::TextExtent(const std::wstring& text) {
  const TSelectedObject selected(dc_, font_.Handle());
  SIZE size{};
  GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
  StretchDraw(RECT{x, y, x + bitmap.Width(), y + bitmap.Height()}, bitmap);
}

void TCanvas::StretchDraw(const RECT& rect, TBitmap& bitmap) {
  if (bitmap.Empty()) return;
  HDC source = bitmap.Canvas().Handle();
  SetStretchBltMode(dc_, HALFTONE);
  StretchBlt(dc_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, 0, 0,
             bitmap.Width(), bitmap.Height(), SRCCOPY);
}

TBitmap::~TBitmap() { ReleaseCanvas(); }

void TBitmap::SetSize(int width, int height) {
  if (width == width_ && height == height_ && !Empty()) return;
  width_ = width;
  height_ = height;
  Recreate();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  format_ = format;
  if (!Empty()) Recreate();
}

int TBitmap::Stride() const {
  const int bytes = format_ == pf32bit ? 4 : 3;
  return (width_ * bytes + 3) & ~3;
}

void TBitmap::Recreate() {
  ReleaseCanvas();
  bitmap_.Reset();
  bits_ = nullptr;
  if (width_ <= 0 || height_ <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = format_ == pf32bit ? 32 : 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_) RaiseLastOSError(L"CreateDIBSection");
  bits_ = static_cast<std::uint8_t*>(bits);
  std::memset(bits_, 0, static_cast<size_t>(Stride()) * height_);
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>();
  if (!memory_) {
    memory_ = std::make_unique<MemoryCanvas>(bitmap_.Get());
    canvas_->SetHandle(memory_->dc.Get());
  }
  return *canvas_;
}

HBITMAP TBitmap::Handle() {
  ReleaseCanvas();
  return bitmap_.Get();
}

void TBitmap::ReleaseCanvas() {
  if (!memory_) return;
  GdiFlush();
  memory_.reset();
  if (canvas_) canvas_->SetHandle(nullptr);
}

namespace {
struct JpegErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  longjmp(manager->jump, 1);
}
}  // namespace

void TJPEGImage::LoadFromMemory(const void* data, size_t size) {
  jpeg_decompress_struct info{};
  JpegErrorManager error{};
  info.err = jpeg_std_error(&error.base);
  error.base.error_exit = JpegErrorExit;
  // Only plain C objects live between setjmp and a possible longjmp.
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    throw Exception(L"JPEG error: " + std::wstring(error.message, error.message + strlen(error.message)));
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, static_cast<const unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  bitmap_.SetPixelFormat(pf24bit);
  bitmap_.SetSize(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
  std::uint8_t* bits = bitmap_.Bits();
  const int stride = bitmap_.Stride();
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = bits + static_cast<size_t>(info.output_scanline) * stride;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
}

void TJPEGImage::LoadFromResource(HINSTANCE instance, int id) {
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
  if (!resource) RaiseLastOSError(L"FindResource");
  HGLOBAL loaded = LoadResource(instance, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) RaiseLastOSError(L"LoadResource");
  LoadFromMemory(data, SizeofResource(instance, resource));
}
