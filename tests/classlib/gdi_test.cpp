#include <doctest/doctest.h>

#include <stdexcept>

#include "classlib/gdi.h"
#include "classlib/graphics.h"

TEST_CASE("GDI owners leave device contexts as they found them") {
  SUBCASE("a selected object is put back, also when the scope ends by an exception") {
    const TMemoryDC dc(nullptr);
    const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_FONT);
    const TGdiObject<HFONT> font(
        CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    REQUIRE(font);
    CHECK_THROWS_AS(
        [&] {
          const TSelectedObject selected(dc.Get(), font.Get());
          CHECK(GetCurrentObject(dc.Get(), OBJ_FONT) == font.Get());
          CHECK(selected.Previous() == original);
          throw std::runtime_error("drawing failed");
        }(),
        std::runtime_error);
    CHECK(GetCurrentObject(dc.Get(), OBJ_FONT) == original);
  }

  SUBCASE("a bitmap drawn through its canvas can be selected elsewhere") {
    TBitmap bitmap;
    bitmap.SetSize(4, 4);
    bitmap.Canvas().Brush().SetColor(clRed);
    bitmap.Canvas().FillRect(RECT{0, 0, 4, 4});
    const TMemoryDC other(nullptr);
    const TSelectedObject selected(other.Get(), bitmap.Handle());
    REQUIRE(selected.Previous() != nullptr);
    CHECK(GetPixel(other.Get(), 1, 1) == RGB(255, 0, 0));
  }

  SUBCASE("a buffered paint reaches its target only when it ends") {
    TBitmap target;
    target.SetSize(8, 8);
    const HDC targetDC = target.Canvas().Handle();
    {
      const TBufferedPaint buffer(targetDC, 8, 8);
      FillSolidRect(buffer.Handle(), RECT{0, 0, 8, 8}, RGB(0, 0, 255));
      CHECK(GetPixel(targetDC, 2, 2) == RGB(0, 0, 0));
    }
    CHECK(GetPixel(targetDC, 2, 2) == RGB(0, 0, 255));
  }
}
