#include <doctest/doctest.h>

#include "app_fixture.h"
#include "classlib/application.h"

namespace {
// Gives the pane area (sPanel2) exactly w × h.
void ResizePaneArea(TmainForm* form, int w, int h) {
  form->SetClientWidth(w + 90);
  form->SetClientHeight(h);
  REQUIRE(form->sPanel2->Width() == w);
  REQUIRE(form->sPanel2->Height() == h);
}

COLORREF ScreenPixel(POINT at) {
  HDC screen = GetDC(nullptr);
  const COLORREF color = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return color;
}

// Whether a control's pixel on screen is of the skin's blue accent.
bool Bluish(TControl& control, int x, int y) {
  const COLORREF c = ScreenPixel(control.ClientToScreen(POINT{x, y}));
  return GetBValue(c) > GetRValue(c) + 60;
}

bool Topmost(TForm* form) {
  return (GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

// A clock the test sets: now and the last input, in milliseconds.
struct FakeClock {
  std::uint32_t now = 0, lastInput = 0;
  bool fail = false;
  TIdleClock Clock() {
    return TIdleClock{[this] { return now; },
                      [this]() -> std::uint32_t {
                        if (fail) throw Exception(L"no input time");
                        return lastInput;
                      }};
  }
};
}  // namespace

TEST_CASE("pane layout follows the window size") {
  SettingsFile settings("");
  ProgramWindows windows;
  TmainForm* form = windows.main();
  form->Show();

  // The first size the window gets lays the panes out already: four equal
  // panes side by side and one above the other, filling the area to a
  // margin of a few pixels.
  const int w0 = form->sPanel2->Width(), h0 = form->sPanel2->Height();
  for (TPanel* pane : {form->vPanel2, form->vPanel3, form->vPanel4}) {
    CHECK(pane->Width() == form->vPanel1->Width());
    CHECK(pane->Height() == form->vPanel1->Height());
  }
  CHECK(form->vPanel2->Left() > form->vPanel1->Left() + form->vPanel1->Width());
  CHECK(form->vPanel3->Top() > form->vPanel1->Top() + form->vPanel1->Height());
  CHECK(form->vPanel4->Left() == form->vPanel2->Left());
  CHECK(form->vPanel4->Top() == form->vPanel3->Top());
  CHECK(w0 - (form->vPanel4->Left() + form->vPanel4->Width()) == doctest::Approx(5).epsilon(0.5));
  CHECK(h0 - (form->vPanel4->Top() + form->vPanel4->Height()) == doctest::Approx(5).epsilon(0.5));

  ResizePaneArea(form, 671, 508);
  CHECK(form->vPanel1->Left() == 5);
  CHECK(form->vPanel1->Top() == 5);
  CHECK(form->vPanel1->Width() == 328);
  CHECK(form->vPanel1->Height() == 247);
  CHECK(form->vPanel2->Left() == 338);
  CHECK(form->vPanel2->Top() == 5);
  CHECK(form->vPanel3->Left() == 5);
  CHECK(form->vPanel3->Top() == 256);
  CHECK(form->vPanel4->Left() == 338);
  CHECK(form->vPanel4->Top() == 256);
  for (TPanel* pane : {form->vPanel2, form->vPanel3, form->vPanel4}) {
    CHECK(pane->Width() == 328);
    CHECK(pane->Height() == 247);
  }

  ResizePaneArea(form, 600, 400);
  for (TPanel* pane : {form->vPanel1, form->vPanel2, form->vPanel3, form->vPanel4}) {
    CHECK(pane->Width() == 293);
    CHECK(pane->Height() == 193);
  }
  CHECK(form->vPanel2->Left() == 303);
  CHECK(form->vPanel4->Left() == 303);
  CHECK(form->vPanel3->Top() == 202);
  CHECK(form->vPanel4->Top() == 202);

  // The buttons below keep their distance from the bottom edge.
  const int gap = form->sPanel1->Height() - form->topcbx->Top();
  ResizePaneArea(form, 671, 560);
  CHECK(form->sPanel1->Height() - form->topcbx->Top() == gap);
  CHECK(form->playBtn->Top() == 17);
}

TEST_CASE("the skin draws the main window: a dark caption bar, the selected pane alone, pressed buttons") {
  SettingsFile settings("");
  ProgramWindows windows;
  TmainForm* form = windows.main();
  form->Show();
  REQUIRE(PumpUntil([&] { return IsWindowVisible(form->Handle()) != FALSE; }));
  RECT window;
  GetWindowRect(form->Handle(), &window);
  const POINT caption{window.left + 200, window.top + 10};
  CHECK(PumpUntil([&] {
    const COLORREF c = ScreenPixel(caption);
    return GetRValue(c) < 80 && GetGValue(c) < 80;
  }));

  // Wine puts the new pixels on the display a moment after the paint.
  form->VideoWindowClick(3);
  CHECK(form->vPanel3->SkinSection() == L"PROGRESSV");
  CHECK(PumpUntil([&] { return Bluish(*form->vPanel3, 2, 100) && !Bluish(*form->vPanel1, 2, 100); }));
  form->VideoWindowClick(1);
  CHECK(form->vPanel1->SkinSection() == L"PROGRESSV");
  for (TPanel* pane : {form->vPanel2, form->vPanel3, form->vPanel4})
    CHECK(pane->SkinSection() == L"PANEL_LOW");
  CHECK(PumpUntil([&] { return Bluish(*form->vPanel1, 2, 100) && !Bluish(*form->vPanel3, 2, 100); }));

  // A button that is down is filled with the accent colour.
  CHECK(PumpUntil([&] { return Bluish(*form->playBtn, 37, 5) && Bluish(*form->recBtn, 37, 5); }));
  form->playBtn->SetDown(false);
  CHECK(PumpUntil([&] { return !Bluish(*form->playBtn, 37, 5); }));
}

TEST_CASE("stay on top: the box, the window order and the setting") {
  const std::wstring root = MakeTempFolder(L"top");
  SettingsFile settings("[comm]\r\npath=" + Ansi(root) + "\r\n");
  ProgramWindows windows;
  TmainForm* form = windows.main();
  form->Show();
  CHECK_FALSE(Topmost(form));
  CHECK(SettingsFile::Content().find("ontop") == std::string::npos);

  form->topcbx->SetChecked(true);
  CHECK(Topmost(form));
  CHECK(SettingsFile::Content().find("ontop=1") != std::string::npos);
  form->topcbx->SetChecked(false);
  CHECK_FALSE(Topmost(form));
  CHECK(SettingsFile::Content().find("ontop=0") != std::string::npos);

  SUBCASE("a failed write is reported and the new state stays") {
    SettingsFileHeld held;
    RecordedBoxes().clear();
    // A click as the user makes it, through the box's window procedure.
    SendMessageW(form->topcbx->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(form->topcbx->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    held.Release();
    CHECK(form->topcbx->Checked());
    CHECK(Topmost(form));
    REQUIRE(RecordedBoxes().size() == 1);
    CHECK(RecordedBoxes()[0].text == L"Unable to write to " + SettingsFileName() + L".");
  }
  RemoveTree(root);
}

TEST_CASE("idle watch") {
  const std::wstring root = MakeTempFolder(L"idle");
  SettingsFile settings("[comm]\r\npath=" + Ansi(root) + "\r\n");
  ProgramWindows windows;
  TmainForm* form = windows.main();
  form->Show();
  FakeClock clock;
  form->IdleClock = clock.Clock();
  optionForm->autoCbx->SetChecked(true);

  SUBCASE("150.9 seconds is attended, 151 is not; input brings the normal size back") {
    clock.now = 150900;
    form->Timer3Timer(nullptr);
    CHECK_FALSE(form->IdleShown());
    CHECK(form->WindowState() == wsNormal);
    clock.now = 151000;
    form->Timer3Timer(nullptr);
    CHECK(form->IdleShown());
    CHECK(form->WindowState() == wsMaximized);
    CHECK(IsWindowVisible(form->Handle()));
    clock.now = 152000;
    form->Timer3Timer(nullptr);
    CHECK(form->WindowState() == wsMaximized);  // stays while nobody is there
    clock.lastInput = 151500;
    form->Timer3Timer(nullptr);
    CHECK_FALSE(form->IdleShown());
    CHECK(form->WindowState() == wsNormal);
    CHECK(IsWindowVisible(form->Handle()));
  }
  SUBCASE("the tick count's wrap keeps the idle time right") {
    clock.lastInput = 0xFFFFFFFFu - 1000;
    clock.now = 149000;  // 150.001 s later, across the wrap
    form->Timer3Timer(nullptr);
    CHECK_FALSE(form->IdleShown());
    clock.now = 150001;
    form->Timer3Timer(nullptr);
    CHECK(form->IdleShown());
  }
  SUBCASE("a last input stamped after the tick count is no idle time") {
    clock.now = 500000;
    clock.lastInput = 500001;
    form->Timer3Timer(nullptr);
    CHECK_FALSE(form->IdleShown());
    CHECK(form->WindowState() == wsNormal);
  }
  SUBCASE("input arriving while the watch looks is never unattended") {
    // Every reading of either clock finds the time a millisecond on, and
    // the last input at that very moment.
    std::uint32_t time = 1000000;
    form->IdleClock = TIdleClock{[&] { return ++time; }, [&] { return ++time; }};
    form->Timer3Timer(nullptr);
    CHECK_FALSE(form->IdleShown());
    CHECK(form->WindowState() == wsNormal);
  }
  SUBCASE("a minimised window comes back maximised and in front") {
    form->SetWindowState(wsMinimized);
    clock.now = 200000;
    form->Timer3Timer(nullptr);
    CHECK(form->WindowState() == wsMaximized);
    CHECK(IsWindowVisible(form->Handle()));
    CHECK_FALSE(IsIconic(Application->Handle()));
  }
  SUBCASE("a window hidden in the notification area comes back maximised and in front") {
    MainWindowFor asMain(form);  // as the program runs it
    form->SetWindowState(wsMinimized);
    REQUIRE(PumpUntil([&] { return !IsWindowVisible(form->Handle()); }));
    clock.now = 200000;
    form->Timer3Timer(nullptr);
    CHECK(form->IdleShown());
    CHECK(IsWindowVisible(form->Handle()));
    CHECK(IsZoomed(form->Handle()));
    CHECK_FALSE(IsIconic(Application->Handle()));
    clock.lastInput = 199500;  // somebody is back
    form->Timer3Timer(nullptr);
    CHECK(form->WindowState() == wsNormal);
    CHECK(IsWindowVisible(form->Handle()));
  }
  SUBCASE("with the box clear nothing changes; errors are swallowed") {
    optionForm->autoCbx->SetChecked(false);
    clock.now = 500000;
    form->Timer3Timer(nullptr);
    CHECK_FALSE(form->IdleShown());
    CHECK(form->WindowState() == wsNormal);
    optionForm->autoCbx->SetChecked(true);
    clock.fail = true;
    RecordedBoxes().clear();
    form->Timer3Timer(nullptr);
    CHECK(RecordedBoxes().empty());
    CHECK_FALSE(form->IdleShown());
  }
  CHECK(form->AutoStarted());
  RemoveTree(root);
}

TEST_CASE("monitoring with no device does nothing and says nothing") {
  const std::wstring root = MakeTempFolder(L"none");
  SettingsFile settings("[comm]\r\npath=" + Ansi(root) + "\r\n");
  ProgramWindows windows;
  TmainForm* form = windows.main();
  for (int channel = 1; channel <= 4; ++channel) {
    optionForm->DeviceBox(channel)->Items().Clear();
    CHECK(optionForm->DeviceBox(channel)->ItemIndex() == -1);
  }
  form->playBtnClick(nullptr);
  CHECK(RecordedBoxes().empty());
  for (int channel = 1; channel <= 4; ++channel) CHECK_FALSE(form->Channel(channel).FilterGraph->Active());

  SUBCASE("recording with no channel live only makes the folders") {
    form->recBtnClick(nullptr);
    CHECK(form->recBtn->Caption() == L"开始录像");
    for (const wchar_t* folder : {L"\\录像\\#1\\", L"\\录像\\#2\\", L"\\录像\\#3\\", L"\\录像\\#4\\"})
      CHECK(DirectoryExists(root + folder));
  }
  RemoveTree(root);
}
