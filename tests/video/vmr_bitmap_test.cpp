// The overlay's description, its bitmap and device-context handling, and
// what reaches the renderer's mixer.
#include <doctest/doctest.h>

#include "classlib/exceptions.h"
#include "media/vmr_bitmap.h"
#include "test_support.h"
#include "video_form.h"

namespace {
SIZE SelectedBitmapSize(HDC dc) {
  BITMAP info{};
  GetObjectW(GetCurrentObject(dc, OBJ_BITMAP), sizeof(info), &info);
  return SIZE{info.bmWidth, info.bmHeight};
}
}  // namespace

TEST_CASE("overlay description: flags follow the options") {
  TVideoWindow video(nullptr);
  TVMRBitmap overlay(&video);
  const VMR9AlphaBitmap& d = overlay.Description();
  CHECK(d.dwFlags == 0x2);
  CHECK(d.fAlpha == 1.0f);
  CHECK(d.hdc == nullptr);
  CHECK(d.rDest.right == 0.0f);

  overlay.SetOverlayOptions(OverlayOption(ooColorKey));
  CHECK(d.dwFlags == 0xA);
  overlay.SetOverlayOptions(OverlayOption(ooDisable) | OverlayOption(ooSourceRect));
  CHECK(d.dwFlags == 0x13);
  CHECK(overlay.OverlayOptions() == (OverlayOption(ooDisable) | OverlayOption(ooSourceRect)));

  overlay.SetKeyColor(clSilver);
  CHECK(d.clrSrcKey == RGB(0xC0, 0xC0, 0xC0));
  overlay.SetSourceRect(RECT{1, 2, 3, 4});
  CHECK(d.rSrc.bottom == 4);

  SUBCASE("placing without a renderer stores the place and opacity only") {
    overlay.PlaceOverlay(0.25f, 0.0f, 1.0f, 0.5f, 0.5f, false);
    CHECK(d.rDest.left == 0.25f);
    CHECK(d.rDest.bottom == 0.5f);
    CHECK(d.fAlpha == 0.5f);
  }
}

TEST_CASE("overlay: the assertions") {
  try {
    TVMRBitmap overlay(nullptr);
    FAIL("made without a window");
  } catch (const EAssertionFailed& e) {
    CHECK(e.Message() == L"No valid video Window.");
  }
  TVideoWindow video(nullptr);
  TVMRBitmap overlay(&video);
  try {
    overlay.AttachBitmap(nullptr);
    FAIL("attached nothing");
  } catch (const EAssertionFailed& e) {
    CHECK(e.Message() == L"Invalid Bitmap.");
  }
}

TEST_CASE("overlay bitmaps: blank, attached, replaced and released") {
  ShownVideoForm form;
  TVMRBitmap overlay(form->Video);

  overlay.CreateBlankBitmap(64, 48, pf24bit, clSilver);
  const HDC dc = overlay.Description().hdc;
  REQUIRE(dc != nullptr);
  CHECK(overlay.OverlayCanvas().Handle() == dc);
  CHECK(GetPixel(dc, 0, 0) == RGB(0xC0, 0xC0, 0xC0));
  CHECK(GetPixel(dc, 63, 47) == RGB(0xC0, 0xC0, 0xC0));
  CHECK(SelectedBitmapSize(dc).cx == 64);
  const RECT clip = overlay.OverlayCanvas().ClipRect();
  CHECK(clip == (RECT{0, 0, 64, 48}));
  const HGDIOBJ blank = GetCurrentObject(dc, OBJ_BITMAP);

  SUBCASE("a caller's bitmap is taken over and outlives its object") {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(10, 8);
    bitmap->Canvas().Brush().SetColor(clRed);
    bitmap->Canvas().FillRect(RECT{0, 0, 10, 8});
    overlay.AttachBitmap(bitmap.get());
    CHECK(GetObjectType(blank) == 0);  // the first bitmap was deleted
    CHECK(GetObjectType(dc) == 0);     // with its device context
    const HDC taken = overlay.Description().hdc;
    REQUIRE(taken != nullptr);
    bitmap.reset();
    CHECK(GetPixel(taken, 9, 7) == RGB(0xFF, 0, 0));
    CHECK(SelectedBitmapSize(taken).cx == 10);
  }

  SUBCASE("releasing twice does nothing the second time") {
    overlay.SetOverlayOptions(OverlayOption(ooColorKey));
    overlay.ReleaseBitmap();
    CHECK(overlay.Description().hdc == nullptr);
    CHECK(overlay.OverlayCanvas().Handle() == nullptr);
    CHECK(GetObjectType(dc) == 0);
    CHECK(GetObjectType(blank) == 0);
    CHECK(overlay.Description().dwFlags == 0xA);
    overlay.ReleaseBitmap();
    CHECK(overlay.Description().hdc == nullptr);
  }
}

TEST_CASE("a placed overlay reaches the mixer and stays after the overlay is gone") {
  ShownVideoForm form;
  TVideoWindow& video = *form->Video;
  form->Graph->SetActive(true);
  {
    TVMRBitmap overlay(&video);
    overlay.CreateBlankBitmap(video.Width(), video.Height(), pf24bit, clSilver);
    overlay.SetOverlayOptions(overlay.OverlayOptions() | OverlayOption(ooColorKey));
    overlay.SetKeyColor(clSilver);
    overlay.PlaceOverlay(0.1f, 0.2f, 0.9f, 0.8f, 0.75f, false);
  }
  ComPtr<IVMRMixerBitmap9> mixer;
  REQUIRE(video.QueryInterface(mixer.GetAddressOf()) == S_OK);
  VMR9AlphaBitmap held{};
  REQUIRE(mixer->GetAlphaBitmapParameters(&held) == S_OK);
  CHECK(held.fAlpha == 0.75f);
  CHECK(held.clrSrcKey == RGB(0xC0, 0xC0, 0xC0));
  CHECK((held.dwFlags & VMR9AlphaBitmap_SrcColorKey) != 0);
  CHECK(held.rDest.left == 0.1f);
  CHECK(held.rDest.top == 0.2f);
  CHECK(held.rDest.right == 0.9f);
  CHECK(held.rDest.bottom == 0.8f);

  SUBCASE("a refresh changes the parameters of the picture held") {
    TVMRBitmap overlay(&video);
    overlay.SetOverlayOptions(OverlayOption(ooColorKey));
    overlay.SetKeyColor(clSilver);
    overlay.PlaceOverlay(0.0f, 0.0f, 0.5f, 0.5f, 0.25f, true);
    REQUIRE(mixer->GetAlphaBitmapParameters(&held) == S_OK);
    CHECK(held.fAlpha == 0.25f);
    CHECK(held.rDest.right == 0.5f);
  }
}
