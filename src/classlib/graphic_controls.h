#pragma once
// Controls drawn on their parent's surface: shape, image, label.
#include <memory>

#include "classlib/control.h"

enum TShapeType { stRectangle, stSquare, stRoundRect, stEllipse };

class TShape : public TGraphicControl {
public:
  explicit TShape(TComponent* owner);
  TShapeType Shape() const { return shape_; }
  void SetShape(TShapeType shape);
  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  void PaintOn(TCanvas& canvas) override;

private:
  TShapeType shape_ = stRectangle;
  TPen pen_;
  TBrush brush_;
};

// Shows a bitmap; with AutoSize it takes the picture's size.
class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent* owner);
  TBitmap& Picture() { return picture_; }
  // Decodes a JPEG picture from the module's RCDATA resource.
  void LoadJPEGResource(int id);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  void PaintOn(TCanvas& canvas) override;

private:
  void FitToPicture();
  TBitmap picture_;
  bool autoSize_ = false;
  bool stretch_ = false;
};

class TLabel : public TGraphicControl {
public:
  explicit TLabel(TComponent* owner);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value) { autoSize_ = value; }
  void SetCaption(std::wstring caption) override;
  void PaintOn(TCanvas& canvas) override;

private:
  bool transparent_ = false;
  bool autoSize_ = false;
};
