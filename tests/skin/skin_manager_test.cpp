#include <doctest/doctest.h>

#include "classlib/graphics.h"
#include "skin/skin_archive.h"
#include "skin/skin_manager.h"
#include "skin_bytes.h"
#include "test_support.h"

namespace {
// A 2 x 1 bottom-up 24-bit bitmap file: a red pixel, then a blue one.
std::string TinyBitmap() {
  std::string pixels = std::string("\x00\x00\xFF\xFF\x00\x00", 6) + std::string(2, '\0');
  std::string info = Le32(40) + Le32(2) + Le32(1) + std::string("\x01\x00\x18\x00", 4) + Le32(0) +
                     Le32(8) + Le32(0) + Le32(0) + Le32(0) + Le32(0);
  return "BM" + Le32(54 + 8) + Le32(0) + Le32(54) + info + pixels;
}

COLORREF PixelAfter(TSkinManager& skin, const std::wstring& section, TSkinPart part,
                    TDrawStates states, int x, int y) {
  TBitmap target;
  target.SetSize(40, 30);
  HDC dc = target.Canvas().Handle();
  REQUIRE(skin.DrawPart(section, part, dc, RECT{0, 0, 40, 30}, states));
  return GetPixel(dc, x, y);
}
}  // namespace

TEST_CASE("the internal skin has every section the windows use") {
  TSkinManager skin(nullptr);
  CHECK(skin.Active());
  for (const wchar_t* section : {L"FORM", L"PANEL", L"PANEL_LOW", L"PROGRESSV", L"BUTTON",
                                 L"SPEEDBUTTON", L"CHECKBOX", L"GROUPBOX", L"COMBOBOX", L"EDIT"}) {
    CAPTURE(std::wstring(section));
    CHECK(skin.HasSection(section));
  }
  SUBCASE("the selected pane differs plainly from a plain one") {
    const COLORREF low = PixelAfter(skin, L"PANEL_LOW", spFace, 0, 1, 15);
    const COLORREF selected = PixelAfter(skin, L"PROGRESSV", spFace, 0, 1, 15);
    const int difference = abs(GetRValue(low) - GetRValue(selected)) +
                           abs(GetGValue(low) - GetGValue(selected)) +
                           abs(GetBValue(low) - GetBValue(selected));
    CHECK(difference > 150);
  }
  SUBCASE("a pressed speed button looks different from a raised one") {
    CHECK(PixelAfter(skin, L"SPEEDBUTTON", spFace, 0, 20, 15) !=
          PixelAfter(skin, L"SPEEDBUTTON", spFace, dsPressed, 20, 15));
  }
  SUBCASE("a ticked box looks different from a clear one") {
    CHECK(PixelAfter(skin, L"CHECKBOX", spGlyph, 0, 20, 15) !=
          PixelAfter(skin, L"CHECKBOX", spGlyph, dsChecked, 20, 15));
  }
  SUBCASE("unknown sections fall back to the caller") {
    TBitmap target;
    target.SetSize(4, 4);
    CHECK_FALSE(skin.DrawPart(L"NOSUCH", spFace, target.Canvas().Handle(), RECT{0, 0, 4, 4}, 0));
    CHECK(skin.SectionColor(L"NOSUCH", clRed) == clRed);
    CHECK(skin.FontColor(L"CHECKBOX", dsPressed, clRed) != clRed);  // falls back to its normal colour
  }
  SUBCASE("switching skins off and on") {
    skin.SetActive(false);
    CHECK(ActiveSkin() == nullptr);
    skin.SetActive(true);
    CHECK(ActiveSkin() == &skin);
  }
}

TEST_CASE("a loaded skin replaces the sections; a bad one keeps the old skin") {
  TSkinManager skin(nullptr);
  const std::string options = "[PANEL]\nBitmap=tiny.bmp\nFace=0,0,1,1\nFaceFrames=2\nFaceMargins=0,0,0,0\nColor=102030\n";
  skin.LoadFromMemory(Archive({{"Options.dat", options}, {"tiny.bmp", TinyBitmap()}}).data(),
                      Archive({{"Options.dat", options}, {"tiny.bmp", TinyBitmap()}}).size());
  CHECK_FALSE(skin.HasSection(L"BUTTON"));
  CHECK(skin.SectionColor(L"PANEL", clNone) == static_cast<TColor>(RGB(0x10, 0x20, 0x30)));
  CHECK(PixelAfter(skin, L"PANEL", spFace, 0, 5, 5) == RGB(255, 0, 0));
  CHECK(PixelAfter(skin, L"PANEL", spFace, dsHot, 5, 5) == RGB(0, 0, 255));

  auto rejected = [&](const std::string& opts, const std::string& bitmap) {
    const std::string bytes = Archive({{"Options.dat", opts}, {"tiny.bmp", bitmap}});
    CHECK_THROWS_AS(skin.LoadFromMemory(bytes.data(), bytes.size()), ESkinArchiveError);
    CHECK(skin.SectionColor(L"PANEL", clNone) == static_cast<TColor>(RGB(0x10, 0x20, 0x30)));
  };
  SUBCASE("a cell outside its bitmap") { rejected("[PANEL]\nBitmap=tiny.bmp\nFace=0,0,2,1\nFaceFrames=2\n", TinyBitmap()); }
  SUBCASE("a missing bitmap") { rejected("[PANEL]\nBitmap=other.bmp\nFace=0,0,1,1\n", TinyBitmap()); }
  SUBCASE("a bitmap cut short") { rejected(options, TinyBitmap().substr(0, 58)); }
  SUBCASE("a bitmap of another kind") {
    std::string eightBit = TinyBitmap();
    eightBit[28] = 8;
    rejected(options, eightBit);
  }
  SUBCASE("a bad colour") { rejected("[PANEL]\nColor=red\n", TinyBitmap()); }
}
