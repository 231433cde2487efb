#pragma once
// The latest picture of the mixing renderer: each frame converted to
// top-down BGRX with the overlay blended in, kept for repainting, and
// painted with GDI, stretched or letter-boxed into the target area.
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/mixing_renderer/overlay_mixer.h"
#include "platform/mixing_renderer/video_format.h"

namespace platform {

class VideoPresenter {
public:
  OverlayMixer& Overlay() { return overlay_; }

  void SetFormat(const VideoFormat& format);
  void ClearFormat();
  std::optional<VideoFormat> Format() const;

  // Streaming thread: makes the frame the current picture and paints it
  // into `target`'s client area (when there is a target). False when the
  // buffer is shorter than a frame.
  bool Present(const BYTE* data, std::size_t size, HWND target);
  // Any thread: paints the current picture (black when there is none).
  void Paint(HDC dc, const RECT& clientArea);

  DWORD AspectRatioMode() const;
  void SetAspectRatioMode(DWORD mode);  // VMR9ARMode_None or VMR9ARMode_LetterBox
  COLORREF BorderColor() const;
  void SetBorderColor(COLORREF colour);
  void SetDrawBorder(bool draw);
  // Source in picture pixels, destination in target client coordinates;
  // an empty rectangle means the whole picture or the whole client area.
  void SetVideoPosition(const RECT& source, const RECT& destination);
  void VideoPosition(RECT& source, RECT& destination) const;

  // The current picture as a packed DIB (BITMAPINFOHEADER then pixels),
  // empty when no frame has arrived since the format was set.
  std::vector<BYTE> CurrentImage() const;

private:
  void PaintLocked(HDC dc, const RECT& clientArea);

  mutable std::mutex lock_;
  OverlayMixer overlay_;
  std::optional<VideoFormat> format_;
  std::vector<std::uint32_t> picture_;
  bool hasPicture_ = false;
  DWORD aspectRatioMode_ = 0;
  COLORREF borderColor_ = RGB(0, 0, 0);
  bool drawBorder_ = true;
  RECT source_{};
  RECT destination_{};
};

}  // namespace platform
