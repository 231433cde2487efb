#pragma once
// Owners of GDI handles, one kind each: every one gives its handle back in
// its destructor, so a drawing step that returns early or raises leaks
// nothing and leaves the device context as it found it.
#include <windows.h>

#include <utility>

// A GDI object (brush, pen, font, bitmap) deleted with DeleteObject.
template <class Handle>
class TGdiObject {
public:
  TGdiObject() = default;
  explicit TGdiObject(Handle handle) : handle_(handle) {}
  ~TGdiObject() { Reset(); }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(Handle handle = nullptr) {
    if (handle_) DeleteObject(handle_);
    handle_ = handle;
  }

private:
  Handle handle_ = nullptr;
};

// A memory device context compatible with `compatible` (none: the screen),
// deleted with DeleteDC.
class TMemoryDC {
public:
  explicit TMemoryDC(HDC compatible) : dc_(CreateCompatibleDC(compatible)) {}
  ~TMemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }
  // Hands the context to a caller that deletes it itself.
  HDC Release() { return std::exchange(dc_, nullptr); }

private:
  HDC dc_;
};

// A window's device context (none: the screen's), given back with
// ReleaseDC. `wholeWindow` takes the frame too (GetWindowDC).
class TWindowDC {
public:
  explicit TWindowDC(HWND window, bool wholeWindow = false)
      : window_(window), dc_(wholeWindow ? GetWindowDC(window) : GetDC(window)) {}
  ~TWindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

private:
  HWND window_;
  HDC dc_;
};

// The device context of a WM_PAINT, ended with EndPaint.
class TPaintDC {
public:
  explicit TPaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
  ~TPaintDC() { EndPaint(window_, &paint_); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;

  HDC Get() const { return dc_; }
  const RECT& PaintRect() const { return paint_.rcPaint; }

private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// Selects an object into a device context and puts the previous one back;
// a null object selects nothing.
class TSelectedObject {
public:
  TSelectedObject(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~TSelectedObject() {
    if (previous_) SelectObject(dc_, previous_);
  }
  TSelectedObject(const TSelectedObject&) = delete;
  TSelectedObject& operator=(const TSelectedObject&) = delete;

  // The object that was selected before; none when the selection failed.
  HGDIOBJ Previous() const { return previous_; }

private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Paints into an off-screen bitmap and copies it to the target in one go
// when it ends, so a repaint never flickers.
class TBufferedPaint {
public:
  TBufferedPaint(HDC target, int width, int height);
  ~TBufferedPaint();
  TBufferedPaint(const TBufferedPaint&) = delete;
  TBufferedPaint& operator=(const TBufferedPaint&) = delete;

  HDC Handle() const { return memory_.Get(); }

private:
  HDC target_;
  int width_, height_;
  TMemoryDC memory_;
  TGdiObject<HBITMAP> bitmap_;
  TSelectedObject selected_;
};

// Fills a rectangle with one solid colour.
void FillSolidRect(HDC dc, const RECT& rect, COLORREF color);
