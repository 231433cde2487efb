#pragma once
// The picture of one stream: scrolling colour bars and a bouncing box, or a
// street scene, under a caption with the device's name, the frame number
// and the time, drawn into a bottom-up RGB24 DIB and copied out in the
// connection's format.
#include <windows.h>

#include <memory>
#include <string>

#include "street_scene.h"
#include "video_format.h"

namespace testcam {

class TestPattern {
public:
  TestPattern(const std::wstring& deviceName, const VideoFormat& format, Scene scene);
  ~TestPattern();
  TestPattern(const TestPattern&) = delete;
  TestPattern& operator=(const TestPattern&) = delete;

  // Draws frame `frame` into `target` (format().ImageSize() bytes).
  void Render(LONGLONG frame, BYTE* target);

  const VideoFormat& format() const { return format_; }

private:
  void DrawBars(LONGLONG frame);
  void DrawBox(LONGLONG frame);
  void DrawCaption(LONGLONG frame);
  void CopyRgb24(BYTE* target) const;
  void CopyYuy2(BYTE* target) const;

  const std::wstring name_;
  const VideoFormat format_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  BYTE* bits_ = nullptr;
  LONG stride_ = 0;
  std::unique_ptr<StreetScene> street_;  // null: colour bars
};

}  // namespace testcam
