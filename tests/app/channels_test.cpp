#include <doctest/doctest.h>

#include "app/event_log.h"
#include "app/loop_recording.h"
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

TEST_CASE("unattended recording on one camera: segments, and endings nobody asked for") {
  const std::wstring root = MakeTempFolder(L"seg");
  Cameras cameras(1);
  SettingsFile settings("[comm]\r\npath=" + Ansi(root) + "\r\nsegment=2s\r\n");
  ProgramWindows windows;
  TmainForm* form = windows.main();
  form->Show();
  form->Timer3Timer(nullptr);  // monitoring starts, and the timer will not start it again
  REQUIRE(Running(form->FilterGraph1));
  const std::wstring log = EventLog::FileNameIn(root);
  auto files = [&] { return ListRecordings(root).size(); };

  SUBCASE("the recording goes on in a new file at every segment length") {
    form->recBtnClick(nullptr);
    CHECK(form->recBtn->Caption() == L"停止录像");
    CHECK(PumpUntil([&] { return files() >= 3; }, std::chrono::seconds(20)));
    CHECK(Running(form->FilterGraph1));
    form->recBtnClick(nullptr);
    CHECK(form->recBtn->Caption() == L"开始录像");
    const std::wstring text = Utf8ToWide(ReadFileBytes(log));
    CHECK(text.find(L"#1  分段 ") != std::wstring::npos);
    CHECK(text.find(L"#1  停止录像 ") != std::wstring::npos);
  }
  SUBCASE("the writer's error event ends it with an alert and no box") {
    form->recBtnClick(nullptr);
    form->FilterGraph1->HandleGraphEvent(EC_ERRORABORT, HRESULT_FROM_WIN32(ERROR_WRITE_FAULT), 0);
    CHECK(PumpUntil([&] { return !form->Unattended().Recording(1); }));
    CHECK(form->Unattended().Alert(1) == L"录像中断：写入错误");
    CHECK(form->TrayIcon1->Hint() == L"#1 录像中断：写入错误");
    CHECK(form->recBtn->Caption() == L"开始录像");
    CHECK(Running(form->FilterGraph1));
    CHECK(RecordedBoxes().empty());
    form->playBtnClick(nullptr);
    CHECK(form->Unattended().Alert(1).empty());
    CHECK(form->TrayIcon1->Hint().empty());
  }
  SUBCASE("a storage folder that cannot hold files ends it with an alert and no box") {
    RemoveTree(root + L"\\录像");
    WriteFileBytes(root + L"\\录像", "a file where the folder belongs");
    form->recBtnClick(nullptr);
    CHECK(form->Unattended().Alert(1) == L"录像中断：无法写入存储文件夹");
    CHECK(form->recBtn->Caption() == L"开始录像");
    CHECK(Running(form->FilterGraph1));
    CHECK(RecordedBoxes().empty());
  }
  form->Hide();
  RemoveTree(root);
}
