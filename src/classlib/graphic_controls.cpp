#include "classlib/graphic_controls.h"

#include <algorithm>

#include "classlib/gdi.h"
#include "classlib/graphics.h"
#include "classlib/skin_painter.h"

TShape::TShape(TComponent* owner) : TGraphicControl(owner) {
  width_ = 65;
  height_ = 65;
}

void TShape::SetShape(TShapeType shape) {
  shape_ = shape;
  Invalidate();
}

void TShape::PaintOn(TCanvas& canvas) {
  // The pen is drawn inside the bounds, like the frame of a window.
  const int inset = pen_.Width() / 2;
  RECT r{inset, inset, width_ - inset, height_ - inset};
  if (pen_.Width() > 0 && pen_.Width() % 2 == 0) {
    r.right -= 1;
    r.bottom -= 1;
  }
  if (shape_ == stSquare) {
    const int side = std::min(r.right - r.left, r.bottom - r.top);
    r.right = r.left + side;
    r.bottom = r.top + side;
  }
  HDC dc = canvas.Handle();
  const TSelectedObject selectedPen(dc, pen_.Handle());
  const TSelectedObject selectedBrush(dc, brush_.Handle());
  switch (shape_) {
    case stRectangle:
    case stSquare: ::Rectangle(dc, r.left, r.top, r.right, r.bottom); break;
    case stRoundRect: RoundRect(dc, r.left, r.top, r.right, r.bottom, 8, 8); break;
    case stEllipse: Ellipse(dc, r.left, r.top, r.right, r.bottom); break;
  }
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  width_ = 105;
  height_ = 105;
}

void TImage::LoadJPEGResource(int id) {
  TJPEGImage jpeg;
  jpeg.LoadFromResource(GetModuleHandleW(nullptr), id);
  picture_.SetPixelFormat(pf24bit);
  picture_.SetSize(jpeg.Width(), jpeg.Height());
  const size_t bytes = static_cast<size_t>(jpeg.Bitmap().Stride()) * jpeg.Height();
  std::copy_n(jpeg.Bitmap().Bits(), bytes, picture_.Bits());
  FitToPicture();
  Invalidate();
}

void TImage::SetAutoSize(bool value) {
  autoSize_ = value;
  FitToPicture();
}

void TImage::SetStretch(bool value) {
  stretch_ = value;
  Invalidate();
}

void TImage::FitToPicture() {
  if (autoSize_ && !picture_.Empty()) SetBounds(left_, top_, picture_.Width(), picture_.Height());
}

void TImage::PaintOn(TCanvas& canvas) {
  if (picture_.Empty()) return;
  if (stretch_) canvas.StretchDraw(RECT{0, 0, width_, height_}, picture_);
  else canvas.Draw(0, 0, picture_);
}

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  width_ = 65;
  height_ = 17;
}

void TLabel::SetTransparent(bool value) {
  transparent_ = value;
  Invalidate();
}

void TLabel::SetCaption(std::wstring caption) {
  TControl::SetCaption(std::move(caption));
  if (autoSize_ && parent_) {
    const TWindowDC screen(nullptr);
    TCanvas measure(screen.Get());
    measure.Font().Assign(font_);
    const SIZE s = measure.TextExtent(caption_);
    SetBounds(left_, top_, s.cx, s.cy);
  }
}

void TLabel::PaintOn(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  if (!transparent_) FillSolidRect(dc, RECT{0, 0, width_, height_}, ColorToRGB(color_));
  const TSelectedObject selected(dc, font_.Handle());
  SetBkMode(dc, TRANSPARENT);
  TColor color = enabled_ ? font_.Color() : clGray;
  // Under a skin the text takes the colour of the surface it stands on.
  if (TSkinPainter* skin = ActiveSkin(); skin && parent_ && !parent_->SkinSection().empty())
    color = skin->FontColor(parent_->SkinSection(), enabled_ ? 0 : dsDisabled, color);
  SetTextColor(dc, ColorToRGB(color));
  RECT r{0, 0, width_, height_};
  DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r,
            DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
}
