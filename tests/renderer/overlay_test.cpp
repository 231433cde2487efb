#include <doctest/doctest.h>

#include <vector>

#include "platform/mixing_renderer/overlay_mixer.h"
#include "renderer_support.h"

using namespace renderer_test;

namespace {
constexpr COLORREF kKey = RGB(0xC0, 0xC0, 0xC0);
constexpr std::uint32_t kBlue = 0x0000FF;  // BGRX pixel values
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;

struct Frame {
  int width, height;
  std::vector<std::uint32_t> pixels;
  Frame(int w, int h, std::uint32_t fill) : width(w), height(h), pixels(std::size_t(w) * h, fill) {}
  std::uint32_t At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

Frame Blended(platform::OverlayMixer& mixer, std::uint32_t fill = kBlue) {
  Frame frame(40, 30, fill);
  mixer.BlendInto(frame.pixels.data(), frame.width, frame.height);
  return frame;
}
}  // namespace

TEST_CASE("the mixer blends its own copy of the alpha bitmap by the description's flags") {
  platform::OverlayMixer mixer;
  // Grey (the key) everywhere but a red left half.
  OverlayPicture picture(20, 10, kKey);
  picture.FillRect(RECT{0, 0, 10, 10}, RGB(255, 0, 0));

  SUBCASE("opaque, without key: the whole picture covers the frame") {
    REQUIRE(mixer.SetAlphaBitmap(Description(picture.Dc(), 1.0f)) == S_OK);
    const Frame frame = Blended(mixer);
    CHECK(frame.At(0, 0) == kRed);
    CHECK(frame.At(39, 29) == 0xC0C0C0);
  }
  SUBCASE("colour key: key pixels leave the video alone") {
    VMR9AlphaBitmap description = Description(picture.Dc(), 1.0f, VMR9AlphaBitmap_SrcColorKey);
    description.clrSrcKey = kKey;
    REQUIRE(mixer.SetAlphaBitmap(description) == S_OK);
    const Frame frame = Blended(mixer);
    CHECK(frame.At(5, 15) == kRed);
    CHECK(frame.At(30, 15) == kBlue);
  }
  SUBCASE("opacity 0.5 mixes picture and video half and half") {
    VMR9AlphaBitmap description = Description(picture.Dc(), 0.5f, VMR9AlphaBitmap_SrcColorKey);
    description.clrSrcKey = kKey;
    REQUIRE(mixer.SetAlphaBitmap(description) == S_OK);
    const std::uint32_t mixed = Blended(mixer).At(5, 15);
    CHECK(((mixed >> 16) & 0xFF) == doctest::Approx(128).epsilon(0.02));
    CHECK(((mixed >> 8) & 0xFF) == 0);
    CHECK((mixed & 0xFF) == doctest::Approx(127).epsilon(0.02));
  }
  SUBCASE("the destination rectangle is normalised to the video") {
    VMR9AlphaBitmap description = Description(picture.Dc(), 1.0f);
    description.rDest = {0.5f, 0.5f, 1.0f, 1.0f};
    REQUIRE(mixer.SetAlphaBitmap(description) == S_OK);
    const Frame frame = Blended(mixer);
    CHECK(frame.At(10, 10) == kBlue);
    CHECK(frame.At(21, 16) == kRed);
    CHECK(frame.At(39, 29) == 0xC0C0C0);
  }
  SUBCASE("source rectangle: only that part of the bitmap is used") {
    picture.FillRect(RECT{10, 0, 20, 10}, RGB(0, 255, 0));
    VMR9AlphaBitmap description = Description(picture.Dc(), 1.0f, VMR9AlphaBitmap_SrcRect);
    description.rSrc = RECT{10, 0, 20, 10};
    REQUIRE(mixer.SetAlphaBitmap(description) == S_OK);
    const Frame frame = Blended(mixer);
    CHECK(frame.At(0, 0) == kGreen);
    CHECK(frame.At(39, 29) == kGreen);
    description.rSrc = RECT{10, 0, 21, 10};
    CHECK(mixer.UpdateAlphaBitmapParameters(description) == E_INVALIDARG);
  }
  SUBCASE("disable hides the overlay, an update brings it back") {
    VMR9AlphaBitmap description = Description(picture.Dc(), 1.0f, VMR9AlphaBitmap_Disable);
    REQUIRE(mixer.SetAlphaBitmap(description) == S_OK);
    CHECK(Blended(mixer).At(0, 0) == kBlue);
    description.dwFlags = VMR9AlphaBitmap_hDC;
    REQUIRE(mixer.UpdateAlphaBitmapParameters(description) == S_OK);
    CHECK(Blended(mixer).At(0, 0) == kRed);
  }
  SUBCASE("the copy outlives the caller's bitmap and DC; updates change only parameters") {
    REQUIRE(mixer.SetAlphaBitmap(Description(picture.Dc(), 1.0f)) == S_OK);
    picture.Destroy();
    CHECK(Blended(mixer).At(0, 0) == kRed);
    VMR9AlphaBitmap moved = Description(nullptr, 1.0f);
    moved.rDest = {0.5f, 0.0f, 1.0f, 1.0f};
    REQUIRE(mixer.UpdateAlphaBitmapParameters(moved) == S_OK);
    const Frame frame = Blended(mixer);
    CHECK(frame.At(0, 0) == kBlue);
    CHECK(frame.At(20, 0) == kRed);
    VMR9AlphaBitmap read{};
    CHECK(mixer.GetAlphaBitmapParameters(&read) == S_OK);
    CHECK(read.rDest.left == 0.5f);
  }
  SUBCASE("bad descriptions are refused and change nothing") {
    CHECK(mixer.UpdateAlphaBitmapParameters(Description(picture.Dc(), 1.0f)) == VFW_E_WRONG_STATE);
    CHECK(mixer.SetAlphaBitmap(Description(nullptr, 1.0f)) == E_INVALIDARG);
    CHECK(mixer.SetAlphaBitmap(Description(picture.Dc(), 1.5f)) == E_INVALIDARG);
    VMR9AlphaBitmap empty = Description(picture.Dc(), 1.0f);
    empty.rDest = {0.5f, 0.0f, 0.5f, 1.0f};
    CHECK(mixer.SetAlphaBitmap(empty) == E_INVALIDARG);
    CHECK(mixer.SetAlphaBitmap(Description(picture.Dc(), 1.0f, VMR9AlphaBitmap_EntireDDS)) == E_INVALIDARG);
    CHECK(Blended(mixer).At(0, 0) == kBlue);
  }
}
