#pragma once
// A street as a camera sees it, so encoder figures are not made on flat
// colour: a textured background (sky, house fronts with windows, pavement,
// asphalt), cars and walkers moving at their own speeds, and per-frame
// sensor noise of a few levels. Drawn into a bottom-up BGR DIB.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace testcam {

enum class Scene : DWORD { Bars = 0, Street = 1 };

class StreetScene {
public:
  StreetScene(LONG width, LONG height, LONG stride);

  // Draws frame `frame` over the whole DIB at `bits`.
  void Draw(LONGLONG frame, BYTE* bits);

private:
  void Fill(LONG left, LONG top, LONG right, LONG bottom, const BYTE colour[3], BYTE* bits) const;
  void AddNoise(LONGLONG frame, BYTE* bits) const;

  LONG width_;
  LONG height_;
  LONG stride_;
  std::vector<BYTE> background_;  // bottom-up like the DIB
  std::vector<int8_t> noise_;     // a long table read from a new place each frame
};

}  // namespace testcam
