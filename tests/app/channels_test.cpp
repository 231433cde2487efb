#include <doctest/doctest.h>

#include "app_fixture.h"

namespace {
std::vector<int> Chosen() {
  std::vector<int> chosen;
  for (int channel = 1; channel <= 4; ++channel)
    chosen.push_back(optionForm->DeviceBox(channel)->ItemIndex());
  return chosen;
}

std::vector<int> Listed() {
  std::vector<int> counts;
  for (int channel = 1; channel <= 4; ++channel)
    counts.push_back(optionForm->DeviceBox(channel)->Items().Count());
  return counts;
}

// Plainly red pixels on screen in the top-left 24 × 24 of a pane.
int RedPixelsAtTopLeft(TVideoWindow* pane) {
  RECT r;
  GetWindowRect(pane->Handle(), &r);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP copy = CreateCompatibleBitmap(screen, 24, 24);
  HGDIOBJ old = SelectObject(memory, copy);
  BitBlt(memory, 0, 0, 24, 24, screen, r.left, r.top, SRCCOPY);
  int red = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      const COLORREF c = GetPixel(memory, x, y);
      if (GetRValue(c) > GetGValue(c) + 60 && GetRValue(c) > GetBValue(c) + 60) ++red;
    }
  SelectObject(memory, old);
  DeleteObject(copy);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return red;
}
}  // namespace

TEST_CASE("devices are assigned to channels by their count") {
  const std::wstring root = MakeTempFolder(L"assign");
  SettingsFile settings("[comm]\r\npath=" + Ansi(root) + "\r\n");
  SUBCASE("none") {
    Cameras cameras(0);
    ProgramWindows windows;
    CHECK(Chosen() == std::vector<int>{-1, -1, -1, -1});
    CHECK(Listed() == std::vector<int>{0, 0, 0, 0});
  }
  SUBCASE("one") {
    Cameras cameras(1);
    ProgramWindows windows;
    CHECK(Chosen() == std::vector<int>{0, -1, -1, -1});
    CHECK(Listed() == std::vector<int>{1, 0, 0, 0});
    CHECK(optionForm->videoCap1->Text() == L"Test Camera 1");
  }
  SUBCASE("three") {
    Cameras cameras(3);
    ProgramWindows windows;
    CHECK(Chosen() == std::vector<int>{0, 1, 2, -1});
    CHECK(Listed() == std::vector<int>{3, 3, 3, 0});
  }
  SUBCASE("four") {
    Cameras cameras(4);
    ProgramWindows windows;
    CHECK(Chosen() == std::vector<int>{0, 1, 2, 3});
  }
  SUBCASE("five: every list holds all, none is chosen") {
    Cameras cameras(5);
    ProgramWindows windows;
    CHECK(Chosen() == std::vector<int>{-1, -1, -1, -1});
    CHECK(Listed() == std::vector<int>{5, 5, 5, 5});
  }
  RemoveTree(root);
}

TEST_CASE("one camera: only channel 1 goes live; the property item follows the graph") {
  const std::wstring root = MakeTempFolder(L"one");
  SettingsFile settings("[comm]\r\npath=" + Ansi(root) + "\r\n");
  Cameras cameras(1);
  ProgramWindows windows;
  TmainForm* form = windows.main();
  form->Show();
  form->Timer3Timer(nullptr);  // the first tick starts monitoring
  CHECK(form->AutoStarted());
  CHECK(RecordedBoxes().empty());
  CHECK(Running(form->FilterGraph1));
  for (int channel = 2; channel <= 4; ++channel) CHECK_FALSE(form->Channel(channel).FilterGraph->Active());

  for (int channel = 1; channel <= 4; ++channel) {
    form->PopupMenu->SetPopupComponent(form->Channel(channel).VideoWindow);
    form->PopupMenuPopup(form->PopupMenu);
    CHECK(form->spshuxing->Enabled() == (channel == 1));
  }

  SUBCASE("停止 stops the channel; later ticks never start monitoring again") {
    form->PopupMenu->SetPopupComponent(form->VideoWindow1);
    form->N1Click(form->N1);
    CHECK_FALSE(form->FilterGraph1->Active());
    form->Timer3Timer(nullptr);
    form->Timer3Timer(nullptr);
    CHECK_FALSE(form->FilterGraph1->Active());
    form->playBtnClick(form->playBtn);
    CHECK(Running(form->FilterGraph1));
  }
  SUBCASE("开始录像 marks pane 1 with a red dot, half transparent over the picture") {
    CHECK(RedPixelsAtTopLeft(form->VideoWindow1) < 20);  // the test picture alone is not red there
    form->recBtnClick(form->recBtn);
    REQUIRE(Running(form->FilterGraph1));
    platform::ComPtr<IVMRMixerBitmap9> mixer;
    REQUIRE(form->VideoWindow1->QueryInterface(mixer.GetAddressOf()) == S_OK);
    VMR9AlphaBitmap held{};
    REQUIRE(mixer->GetAlphaBitmapParameters(&held) == S_OK);
    CHECK(held.fAlpha == 0.5f);
    CHECK((held.dwFlags & VMR9AlphaBitmap_SrcColorKey) != 0);
    CHECK(held.clrSrcKey == RGB(0xC0, 0xC0, 0xC0));
    CHECK(held.rDest.left == 0.0f);
    CHECK(held.rDest.top == 0.0f);
    CHECK(held.rDest.right == 1.0f);
    CHECK(held.rDest.bottom == 1.0f);
    CHECK(PumpUntil([&] { return RedPixelsAtTopLeft(form->VideoWindow1) >= 20; }));
    form->recBtnClick(form->recBtn);
  }
  RemoveTree(root);
}
