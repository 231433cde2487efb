#include <doctest/doctest.h>

#include <filesystem>

#include "../media/fake_members.h"
#include "app_fixture.h"
#include "test_cameras.h"

namespace {
// Registers n test cameras for one test and clears them afterwards.
struct Cameras {
  explicit Cameras(int n) { REQUIRE(RunTestcam(L"register " + std::to_wstring(n)) == 0); }
  ~Cameras() { RunTestcam(L"clear"); }
};

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

// The recordings in a channel folder, each with whether no one holds it open.
std::vector<bool> RecordingsClosed(const std::wstring& folder) {
  std::vector<bool> closed;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(folder), error)) {
    HANDLE file = CreateFileW(entry.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    closed.push_back(file != INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  return closed;
}

bool Running(TFilterGraph* graph) {
  platform::ComPtr<IMediaControl> control;
  if (FAILED(graph->QueryInterface(control.GetAddressOf()))) return false;
  OAFilterState state = State_Stopped;
  (void)control->GetState(100, &state);
  return state == State_Running;
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

TEST_CASE("a close query shuts every channel down whatever one raised; monitoring goes on after it") {
  const std::wstring root = MakeTempFolder(L"close");
  SettingsFile settings("[comm]\r\npath=" + Ansi(root) + "\r\n");
  Cameras cameras(3);
  ProgramWindows windows;
  TmainForm* form = windows.main();
  form->Show();
  // A member of channel 1 before its writer that raises while it leaves, as
  // a renderer that cannot stop does.
  CallLog log;
  TFakeMember stuck(nullptr, L"Stuck", log);
  stuck.SetFilterGraph(form->FilterGraph1);
  form->playBtnClick(form->playBtn);
  form->recBtnClick(form->recBtn);
  REQUIRE(form->recBtn->Caption() == L"停止录像");
  stuck.raiseAt = moRemoving;

  RecordedBoxes().clear();
  bool canClose = false;
  form->FormCloseQuery(form, canClose);
  CHECK(canClose);
  CHECK(RecordedBoxes().size() == 1);
  for (int channel = 1; channel <= 3; ++channel) {
    CHECK_FALSE(form->Channel(channel).FilterGraph->Active());
    const std::wstring folder = root + L"\\录像\\#" + std::to_wstring(channel);
    CHECK(RecordingsClosed(folder) == std::vector<bool>{true});
  }

  SUBCASE("the close went no further (a session end was cancelled): 监控 brings the channels back") {
    stuck.raiseAt.reset();
    RecordedBoxes().clear();
    form->playBtnClick(form->playBtn);
    CHECK(RecordedBoxes().empty());
    for (int channel = 1; channel <= 3; ++channel) CHECK(Running(form->Channel(channel).FilterGraph));
    canClose = false;
    form->FormCloseQuery(form, canClose);
    CHECK(canClose);
    CHECK(RecordedBoxes().empty());
  }
  stuck.raiseAt.reset();
  stuck.SetFilterGraph(nullptr);
  RemoveTree(root);
}
