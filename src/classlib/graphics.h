#pragma once
// Drawing objects: colours, font, brush, pen, canvas, bitmap, JPEG picture.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/gdi.h"

// A colour: an RGB value (0x00BBGGRR), or a system colour index with the
// top bit set.
using TColor = std::int32_t;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clRed = 0x0000FF, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clNone = 0x1FFFFFFF;
constexpr TColor clBtnFace = static_cast<TColor>(0x80000000u | COLOR_BTNFACE);
constexpr TColor clWindow = static_cast<TColor>(0x80000000u | COLOR_WINDOW);
constexpr TColor clWindowText = static_cast<TColor>(0x80000000u | COLOR_WINDOWTEXT);
COLORREF ColorToRGB(TColor color);

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;

// A font description with a lazily made GDI handle. Height is in pixels
// (negative: character height), Size in points; they are two views of one value.
class TFont {
public:
  TFont();
  ~TFont();
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;
  void Assign(const TFont& other);

  const std::wstring& Name() const { return name_; }
  void SetName(std::wstring name);
  int Height() const { return height_; }
  void SetHeight(int height);
  int Size() const;
  void SetSize(int points);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  BYTE Charset() const { return charset_; }
  void SetCharset(BYTE charset);

  HFONT Handle();
  std::function<void()> OnChange;

private:
  void Changed();
  std::wstring name_ = L"宋体";
  int height_ = -12;
  TFontStyles style_ = 0;
  TColor color_ = clWindowText;
  BYTE charset_ = GB2312_CHARSET;
  TGdiObject<HFONT> handle_;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush {
public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style) { style_ = style; }
  HBRUSH Handle();

private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  TGdiObject<HBRUSH> handle_;
};

class TPen {
public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int Width() const { return width_; }
  void SetWidth(int width);
  HPEN Handle();

private:
  TColor color_ = clBlack;
  int width_ = 1;
  TGdiObject<HPEN> handle_;
};

// Drawing on a device context it does not own (a paint DC, a bitmap's DC).
class TCanvas {
public:
  TCanvas() = default;
  explicit TCanvas(HDC dc) : dc_(dc) {}
  HDC Handle() const { return dc_; }
  void SetHandle(HDC dc) { dc_ = dc; }

  TFont& Font() { return font_; }
  TBrush& Brush() { return brush_; }
  TPen& Pen() { return pen_; }
  RECT ClipRect() const;

  void FillRect(const RECT& rect);
  void FrameRect(const RECT& rect);
  void Rectangle(const RECT& rect);
  // Text with the brush as background, or transparent when the brush is clear.
  void TextOut(int x, int y, const std::wstring& text);
  SIZE TextExtent(const std::wstring& text);
  void Draw(int x, int y, class TBitmap& bitmap);
  void StretchDraw(const RECT& rect, class TBitmap& bitmap);

private:
  HDC dc_ = nullptr;
  TFont font_;
  TBrush brush_;
  TPen pen_;
};

enum TPixelFormat { pf24bit, pf32bit };

// A device-independent bitmap with a memory device context for its canvas.
class TBitmap {
public:
  TBitmap() = default;
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, height_); }
  void SetHeight(int height) { SetSize(width_, height); }
  TPixelFormat PixelFormat() const { return format_; }
  void SetPixelFormat(TPixelFormat format);
  bool Empty() const { return !bitmap_; }

  // The canvas selects the bitmap into a memory DC made on first use.
  TCanvas& Canvas();
  // The bitmap handle; the canvas gives up its device context first so the
  // handle can be selected elsewhere.
  HBITMAP Handle();
  // Top-down rows, 3 or 4 bytes a pixel, each row padded to 4 bytes.
  std::uint8_t* Bits() { return bits_; }
  int Stride() const;

private:
  void Recreate();
  void ReleaseCanvas();
  int width_ = 0, height_ = 0;
  TPixelFormat format_ = pf24bit;
  // The memory DC of the canvas, with the bitmap selected into it.
  struct MemoryCanvas {
    explicit MemoryCanvas(HBITMAP bitmap) : selected(dc.Get(), bitmap) {}
    TMemoryDC dc{nullptr};
    TSelectedObject selected;
  };
  TGdiObject<HBITMAP> bitmap_;
  std::uint8_t* bits_ = nullptr;
  std::unique_ptr<MemoryCanvas> memory_;
  std::unique_ptr<TCanvas> canvas_;
};

// Decodes a JPEG picture (from memory or a resource) into a 24-bit bitmap.
class TJPEGImage {
public:
  // Raises Exception when the data is not a decodable JPEG.
  void LoadFromMemory(const void* data, size_t size);
  void LoadFromResource(HINSTANCE instance, int id);
  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }
  TBitmap& Bitmap() { return bitmap_; }

private:
  TBitmap bitmap_;
};
