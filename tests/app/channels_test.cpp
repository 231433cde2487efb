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
  RemoveTree(root);
}
