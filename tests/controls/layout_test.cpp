#include <doctest/doctest.h>

#include "classlib/form.h"
#include "classlib/std_controls.h"
#include "test_support.h"

namespace {
// The child's window rectangle in its parent's client coordinates.
RECT WindowBounds(TWinControl& control) {
  RECT r;
  GetWindowRect(control.Handle(), &r);
  MapWindowPoints(nullptr, GetParent(control.Handle()), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void CheckPlaced(TWinControl& control, int left, int top, int width, int height) {
  CHECK(control.Left() == left);
  CHECK(control.Top() == top);
  CHECK(control.Width() == width);
  CHECK(control.Height() == height);
  const RECT r = WindowBounds(control);
  CHECK(r.left == left);
  CHECK(r.top == top);
  CHECK(r.right - r.left == width);
  CHECK(r.bottom - r.top == height);
}
}  // namespace

TEST_CASE("aligned and anchored children follow their parent on real windows") {
  TForm* form = TForm::Create<TForm>(nullptr);
  form->SetBorderStyle(bsSizeable);
  form->SetClientWidth(761);
  form->SetClientHeight(508);
  auto* right = new TPanel(form);
  right->SetParent(form);
  right->SetBounds(0, 0, 90, 100);
  right->SetAlign(alRight);
  auto* bottomButton = new TBitBtn(form);
  bottomButton->SetParent(right);
  bottomButton->SetBounds(8, 369, 75, 34);
  bottomButton->SetAnchors(akLeft | akBottom);
  auto* rest = new TPanel(form);
  rest->SetParent(form);
  rest->SetAlign(alClient);
  auto* pane = new TPanel(form);
  pane->SetParent(rest);
  pane->SetBounds(337, 256, 328, 248);
  pane->SetAnchors(akRight | akBottom);
  auto* stretched = new TPanel(form);
  stretched->SetParent(rest);
  stretched->SetBounds(10, 10, 100, 200);
  stretched->SetAnchors(akLeft | akTop | akRight | akBottom);
  form->Show();
  REQUIRE(PumpUntil([&] { return IsWindowVisible(form->Handle()) != FALSE; }));

  CheckPlaced(*right, 671, 0, 90, 508);
  CheckPlaced(*rest, 0, 0, 671, 508);
  const int paneRight = 671 - (337 + 328), paneBottom = 508 - (256 + 248);
  const int buttonBottom = 508 - (369 + 34);

  SUBCASE("smaller") {
    form->SetClientWidth(690);
    form->SetClientHeight(400);
    CheckPlaced(*right, 600, 0, 90, 400);
    CheckPlaced(*rest, 0, 0, 600, 400);
    CheckPlaced(*pane, 600 - paneRight - 328, 400 - paneBottom - 248, 328, 248);
    CheckPlaced(*stretched, 10, 10, 29, 92);
    CheckPlaced(*bottomButton, 8, 400 - buttonBottom - 34, 75, 34);
  }
  SUBCASE("larger, through the window itself") {
    RECT r;
    GetWindowRect(form->Handle(), &r);
    SetWindowPos(form->Handle(), nullptr, 0, 0, r.right - r.left + 100, r.bottom - r.top + 50,
                 SWP_NOMOVE | SWP_NOZORDER);
    CheckPlaced(*rest, 0, 0, 771, 558);
    CheckPlaced(*right, 771, 0, 90, 558);
    CheckPlaced(*pane, 771 - paneRight - 328, 558 - paneBottom - 248, 328, 248);
    CheckPlaced(*stretched, 10, 10, 200, 250);
  }
  SUBCASE("a panel's bevels keep client-aligned children inside") {
    pane->SetBevelOuter(bvLowered);
    pane->SetBevelWidth(4);
    auto* inner = new TPanel(form);
    inner->SetParent(pane);
    inner->SetAlign(alClient);
    CheckPlaced(*inner, 4, 4, 320, 240);
    pane->SetBevelInner(bvRaised);
    CheckPlaced(*inner, 8, 8, 312, 232);
  }
  form->Free();
}

TEST_CASE("resizing a form runs OnResize with the new size") {
  TForm* form = TForm::Create<TForm>(nullptr);
  form->SetBounds(0, 0, 400, 300);
  int calls = 0, width = 0;
  form->OnResize = [&](TComponent*) {
    ++calls;
    width = form->Width();
  };
  form->Show();
  const int before = calls;
  form->SetBounds(0, 0, 500, 300);
  CHECK(calls > before);
  CHECK(width == 500);
  form->Free();
}
