#pragma once
// The mixer's alpha bitmap: a private copy of the picture handed over in an
// HDC, with source rectangle, normalised destination, opacity, colour key
// and disable flag, blended over every frame until the renderer goes.
#include <windows.h>
#include <dshow.h>
#include <d3d9.h>
#include <vmr9.h>

#include <cstdint>
#include <mutex>
#include <vector>

namespace platform {

class OverlayMixer {
public:
  // Copies the bitmap selected into description.hdc; the caller may delete
  // its bitmap and device context right afterwards.
  HRESULT SetAlphaBitmap(const VMR9AlphaBitmap& description);
  // Changes rectangles, opacity, key and flags of the copy already held.
  HRESULT UpdateAlphaBitmapParameters(const VMR9AlphaBitmap& description);
  HRESULT GetAlphaBitmapParameters(VMR9AlphaBitmap* description) const;

  // Streaming thread: blends the overlay into width * height top-down BGRX pixels.
  void BlendInto(std::uint32_t* pixels, int width, int height);

private:
  // Overlay pixels that cover one row of the frame, from column `x` on.
  struct Span {
    int y;
    int x;
    int count;
    std::size_t first;  // index into Layer::colours
  };
  // The overlay mapped onto a frame of one size: only the pixels it covers.
  struct Layer {
    int width = 0;
    int height = 0;
    bool valid = false;
    std::vector<Span> spans;
    std::vector<std::uint32_t> colours;
  };

  HRESULT Check(const VMR9AlphaBitmap& description, int bitmapWidth, int bitmapHeight) const;
  void Build(int width, int height);

  mutable std::mutex lock_;
  VMR9AlphaBitmap parameters_{};
  bool hasBitmap_ = false;
  int bitmapWidth_ = 0;
  int bitmapHeight_ = 0;
  std::vector<std::uint32_t> bitmap_;  // top-down BGRX
  Layer layer_;
};

}  // namespace platform
