#pragma once
// TVMRBitmap: a still picture, with a colour key and an opacity, handed to
// the mixer of a video window's VMR-9. The mixer keeps its own copy, so the
// overlay may go as soon as it has been applied.
#include <windows.h>
#include <dshow.h>
#include <d3d9.h>
#include <vmr9.h>

#include <cstdint>

#include "classlib/graphics.h"

class TVideoWindow;

enum TOverlayOption { ooDisable, ooColorKey, ooSourceRect };
// A set of TOverlayOption in one byte: element n is bit 2^n.
using TOverlayOptions = std::uint8_t;
constexpr TOverlayOptions OverlayOption(TOverlayOption option) {
  return static_cast<TOverlayOptions>(1u << option);
}

class TVMRBitmap {
public:
  // Raises EAssertionFailed "No valid video Window." without a window.
  explicit TVMRBitmap(TVideoWindow* videoWindow);
  ~TVMRBitmap();
  TVMRBitmap(const TVMRBitmap&) = delete;
  TVMRBitmap& operator=(const TVMRBitmap&) = delete;

  // Takes over the bitmap's pixels, selected into a memory device context
  // compatible with the video window; the caller may then destroy its
  // bitmap object but not use it. Raises EAssertionFailed "Invalid Bitmap."
  // without a bitmap; other failures leave the overlay without a bitmap.
  void AttachBitmap(TBitmap* bitmap);
  // A bitmap of the size and format, filled with the colour, attached.
  void CreateBlankBitmap(int width, int height, TPixelFormat format, TColor color);
  // Deletes the attached bitmap and its device context; the mixer keeps
  // what it was given.
  void ReleaseBitmap();

  TOverlayOptions OverlayOptions() const { return options_; }
  void SetOverlayOptions(TOverlayOptions options);
  void SetKeyColor(TColor color) { description_.clrSrcKey = ColorToRGB(color); }
  void SetSourceRect(const RECT& rect) { description_.rSrc = rect; }
  // Draws into the attached bitmap; unbound without one.
  TCanvas& OverlayCanvas() { return canvas_; }
  // The record handed to the mixer.
  const VMR9AlphaBitmap& Description() const { return description_; }

  // Hands picture and parameters to the mixer (SetAlphaBitmap).
  void ApplyOverlay();
  // Changes only the parameters of the picture already handed over.
  void RefreshOverlay();
  // Destination normalised to the video (0..1) and opacity (1 opaque).
  void PlaceOverlay(float left, float top, float right, float bottom, float alpha,
                    bool refreshOnly);

private:
  TVideoWindow* videoWindow_;
  TCanvas canvas_;
  VMR9AlphaBitmap description_{};
  TOverlayOptions options_ = 0;
  HGDIOBJ previous_ = nullptr;
};
