#include "platform/mixing_renderer/video_presenter.h"

#include <dshow.h>
#include <d3d9.h>
#include <vmr9.h>

#include <cstring>

#include "classlib/gdi.h"

namespace platform {

namespace {
bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// The largest rectangle of the picture's shape centred in `area`.
RECT LetterBox(const RECT& area, long pictureWidth, long pictureHeight) {
  const long width = area.right - area.left, height = area.bottom - area.top;
  if (pictureWidth <= 0 || pictureHeight <= 0 || width <= 0 || height <= 0) return area;
  long fitWidth = width, fitHeight = height;
  if (static_cast<long long>(width) * pictureHeight > static_cast<long long>(height) * pictureWidth)
    fitWidth = static_cast<long>(static_cast<long long>(height) * pictureWidth / pictureHeight);
  else
    fitHeight = static_cast<long>(static_cast<long long>(width) * pictureHeight / pictureWidth);
  const long left = area.left + (width - fitWidth) / 2, top = area.top + (height - fitHeight) / 2;
  return RECT{left, top, left + fitWidth, top + fitHeight};
}

void Fill(HDC dc, const RECT& r, HBRUSH brush) {
  if (!IsEmpty(r)) FillRect(dc, &r, brush);
}
}  // namespace

void VideoPresenter::SetFormat(const VideoFormat& format) {
  std::lock_guard lock(lock_);
  format_ = format;
  picture_.assign(std::size_t(format.width) * format.height, 0);
  hasPicture_ = false;
}

void VideoPresenter::ClearFormat() {
  std::lock_guard lock(lock_);
  format_.reset();
  hasPicture_ = false;
}

std::optional<VideoFormat> VideoPresenter::Format() const {
  std::lock_guard lock(lock_);
  return format_;
}

bool VideoPresenter::Present(const BYTE* data, std::size_t size, HWND target) {
  std::lock_guard lock(lock_);
  if (!format_ || !data || size < format_->FrameBytes()) return false;
  ConvertToRgb32(*format_, data, picture_.data());
  overlay_.BlendInto(picture_.data(), format_->width, format_->height);
  hasPicture_ = true;
  if (target) {
    // Drawing straight into the window from this thread: GetDC sends no
    // message, so a busy user-interface thread never holds up the stream.
    if (const TWindowDC dc(target); dc) {
      RECT client;
      GetClientRect(target, &client);
      PaintLocked(dc.Get(), client);
    }
  }
  return true;
}

void VideoPresenter::Paint(HDC dc, const RECT& clientArea) {
  std::lock_guard lock(lock_);
  PaintLocked(dc, clientArea);
}

void VideoPresenter::PaintLocked(HDC dc, const RECT& clientArea) {
  const RECT area = IsEmpty(destination_) ? clientArea : destination_;
  if (!format_ || !hasPicture_) {
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return;
  }
  const RECT source = IsEmpty(source_) ? RECT{0, 0, format_->width, format_->height} : source_;
  const RECT picture = aspectRatioMode_ == VMR9ARMode_LetterBox
                           ? LetterBox(area, source.right - source.left, source.bottom - source.top)
                           : area;
  if (drawBorder_ && !EqualRect(&picture, &area)) {
    const TGdiObject<HBRUSH> border(CreateSolidBrush(borderColor_));
    Fill(dc, RECT{area.left, area.top, area.right, picture.top}, border.Get());
    Fill(dc, RECT{area.left, picture.bottom, area.right, area.bottom}, border.Get());
    Fill(dc, RECT{area.left, picture.top, picture.left, picture.bottom}, border.Get());
    Fill(dc, RECT{picture.right, picture.top, area.right, picture.bottom}, border.Get());
  }

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = format_->width;
  info.bmiHeader.biHeight = -format_->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc, COLORONCOLOR);
  // A top-down DIB's source rectangle is counted from its top row.
  StretchDIBits(dc, picture.left, picture.top, picture.right - picture.left,
                picture.bottom - picture.top, source.left, source.top, source.right - source.left,
                source.bottom - source.top, picture_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

DWORD VideoPresenter::AspectRatioMode() const {
  std::lock_guard lock(lock_);
  return aspectRatioMode_;
}

void VideoPresenter::SetAspectRatioMode(DWORD mode) {
  std::lock_guard lock(lock_);
  aspectRatioMode_ = mode;
}

COLORREF VideoPresenter::BorderColor() const {
  std::lock_guard lock(lock_);
  return borderColor_;
}

void VideoPresenter::SetBorderColor(COLORREF colour) {
  std::lock_guard lock(lock_);
  borderColor_ = colour;
}

void VideoPresenter::SetDrawBorder(bool draw) {
  std::lock_guard lock(lock_);
  drawBorder_ = draw;
}

void VideoPresenter::SetVideoPosition(const RECT& source, const RECT& destination) {
  std::lock_guard lock(lock_);
  source_ = source;
  destination_ = destination;
}

void VideoPresenter::VideoPosition(RECT& source, RECT& destination) const {
  std::lock_guard lock(lock_);
  source = IsEmpty(source_) && format_ ? RECT{0, 0, format_->width, format_->height} : source_;
  destination = destination_;
}

std::vector<BYTE> VideoPresenter::CurrentImage() const {
  std::lock_guard lock(lock_);
  if (!format_ || !hasPicture_) return {};
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = format_->width;
  header.biHeight = format_->height;  // bottom-up, as DIBs usually are
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  const std::size_t rowBytes = std::size_t(format_->width) * 4;
  header.biSizeImage = static_cast<DWORD>(rowBytes * format_->height);
  std::vector<BYTE> image(sizeof header + header.biSizeImage);
  std::memcpy(image.data(), &header, sizeof header);
  for (int row = 0; row < format_->height; ++row)
    std::memcpy(image.data() + sizeof header + rowBytes * (format_->height - 1 - row),
                picture_.data() + std::size_t(row) * format_->width, rowBytes);
  return image;
}

}  // namespace platform
