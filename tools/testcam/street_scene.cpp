#include "street_scene.h"

#include <algorithm>
#include <cstring>

namespace testcam {

namespace {

// A small generator of our own, so the picture is the same on every run.
struct Random {
  uint32_t state;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<uint32_t>(high - low + 1)); }
};

// A prime length, so the table's period never lines up with a row.
constexpr size_t kNoiseLength = 1000003;

struct Mover {
  int row;      // top of the shape, in 1/100 of the picture height
  int size;     // height, in 1/100 of the picture height
  int length;   // width, in 1/100 of the picture width
  int speed;    // pixels per frame at 640 wide, negative: to the left
  BYTE colour[3];
};

// Cars on the road and walkers on the pavement.
const Mover kMovers[] = {
    {72, 12, 22, 6, {40, 40, 170}},  {80, 13, 25, -9, {150, 110, 30}},
    {74, 10, 18, 3, {200, 200, 200}}, {60, 9, 3, 1, {60, 90, 120}},
    {58, 10, 3, -2, {130, 60, 90}},
};

}  // namespace

StreetScene::StreetScene(LONG width, LONG height, LONG stride)
    : width_(width), height_(height), stride_(stride),
      background_(static_cast<size_t>(stride) * height), noise_(kNoiseLength) {
  Random random{0x2545F491u};
  // Pattern periods, at least a pixel for the smallest pictures.
  const LONG windowStep = std::max<LONG>(width_ / 24, 1), floorStep = std::max<LONG>(height_ / 12, 1);
  const LONG slabWidth = std::max<LONG>(width_ / 16, 1), slabHeight = std::max<LONG>(height_ / 30, 1);
  const LONG dash = std::max<LONG>(width_ / 20, 1);
  // Rows counted from the top; the DIB stores them bottom-up.
  for (LONG y = 0; y < height_; ++y) {
    BYTE* row = background_.data() + static_cast<size_t>(height_ - 1 - y) * stride_;
    const int band = static_cast<int>(y * 100 / height_);
    for (LONG x = 0; x < width_; ++x) {
      int b, g, r;
      const int grain = random.Between(-6, 6);
      if (band < 20) {  // sky, lighter towards the horizon
        b = 200 + band;
        g = 150 + band * 2;
        r = 110 + band * 2;
      } else if (band < 56) {  // house fronts of alternating colour with windows
        const int house = static_cast<int>(x * 6 / width_);
        const bool window = (x % windowStep > width_ / 96) && (y % floorStep > height_ / 48) &&
                            band > 24 && band < 52;
        const int brick = ((y / 4 + (x / 12) % 2) % 2) * 10;
        if (window) {
          b = 90 + house * 15;
          g = 70 + house * 8;
          r = 50;
        } else {
          b = 60 + house * 20 + brick;
          g = 80 + (house % 3) * 25 + brick;
          r = 150 - house * 10 + brick;
        }
      } else if (band < 68) {  // pavement slabs
        const bool joint = x % slabWidth == 0 || y % slabHeight == 0;
        b = g = r = joint ? 110 : 165;
      } else {  // asphalt with a dashed centre line
        const bool line = band == 83 && (x / dash) % 2 == 0;
        b = g = r = line ? 230 : 75;
      }
      row[x * 3] = static_cast<BYTE>(std::clamp(b + grain, 0, 255));
      row[x * 3 + 1] = static_cast<BYTE>(std::clamp(g + grain, 0, 255));
      row[x * 3 + 2] = static_cast<BYTE>(std::clamp(r + grain, 0, 255));
    }
  }
  // Sensor noise: the sum of two small uniforms, mostly within ±3 levels.
  for (int8_t& n : noise_) n = static_cast<int8_t>(random.Between(-2, 2) + random.Between(-2, 2));
}

void StreetScene::Fill(LONG left, LONG top, LONG right, LONG bottom, const BYTE colour[3],
                       BYTE* bits) const {
  left = std::max<LONG>(left, 0);
  right = std::min(right, width_);
  top = std::max<LONG>(top, 0);
  bottom = std::min(bottom, height_);
  for (LONG y = top; y < bottom; ++y) {
    BYTE* row = bits + static_cast<size_t>(height_ - 1 - y) * stride_;
    for (LONG x = left; x < right; ++x) std::memcpy(row + x * 3, colour, 3);
  }
}

void StreetScene::Draw(LONGLONG frame, BYTE* bits) {
  std::memcpy(bits, background_.data(), background_.size());
  static const BYTE kGlass[3] = {70, 50, 40};
  static const BYTE kTyre[3] = {20, 20, 20};
  for (const Mover& mover : kMovers) {
    const LONG length = width_ * mover.length / 100;
    const LONG span = width_ + length;
    const LONGLONG travelled = frame * mover.speed * width_ / 640;
    LONG x = static_cast<LONG>(((travelled % span) + span) % span) - length;
    const LONG top = height_ * mover.row / 100;
    const LONG bottom = top + height_ * mover.size / 100;
    Fill(x, top, x + length, bottom, mover.colour, bits);
    if (mover.length > 10) {  // a car: windows and wheels
      const LONG h = bottom - top;
      Fill(x + length / 5, top + h / 8, x + length * 4 / 5, top + h / 2, kGlass, bits);
      Fill(x + length / 8, bottom - h / 5, x + length / 4, bottom, kTyre, bits);
      Fill(x + length * 3 / 4, bottom - h / 5, x + length * 7 / 8, bottom, kTyre, bits);
    }
  }
  AddNoise(frame, bits);
}

void StreetScene::AddNoise(LONGLONG frame, BYTE* bits) const {
  Random random{static_cast<uint32_t>(frame * 2654435761u) | 1u};
  size_t at = random.Next() % kNoiseLength;
  const size_t rowBytes = static_cast<size_t>(width_) * 3;
  for (LONG y = 0; y < height_; ++y) {
    BYTE* row = bits + static_cast<size_t>(y) * stride_;
    for (size_t i = 0; i < rowBytes; ++i) {
      row[i] = static_cast<BYTE>(std::clamp(row[i] + noise_[at], 0, 255));
      if (++at == kNoiseLength) at = 0;
    }
  }
}

}  // namespace testcam
