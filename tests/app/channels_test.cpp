#include <doctest/doctest.h>

#include <filesystem>

#include "../media/fake_members.h"
#include "app/event_log.h"
#include "app/loop_recording.h"
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
  ShownProgram program(L"one", 1);
  TmainForm* form = program.form;
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
}

TEST_CASE("a close query shuts every channel down whatever one raised; monitoring goes on after it") {
  ShownProgram program(L"close", 3);
  TmainForm* form = program.form;
  const std::wstring& root = program.root.path;
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
}

TEST_CASE("unattended recording on one camera: segments, and endings nobody asked for") {
  ShownProgram program(L"seg", 1, "segment=2s\r\n");
  TmainForm* form = program.form;
  const std::wstring& root = program.root.path;
  form->Timer3Timer(nullptr);  // monitoring starts, and the timer will not start it again
  REQUIRE(Running(form->FilterGraph1));
  const std::wstring log = EventLog::FileNameIn(root);
  auto files = [&] { return ListRecordings(root).size(); };

  SUBCASE("the recording goes on in a new file at every segment length") {
    form->recBtnClick(nullptr);
    CHECK(form->recBtn->Caption() == L"停止录像");
    platform::ComPtr<IBaseFilter> writer;
    REQUIRE(SUCCEEDED(form->ASFWriter1->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(writer.GetAddressOf()))));
    CHECK(PumpUntil([&] { return files() >= 3; }, std::chrono::seconds(20)));
    CHECK(Running(form->FilterGraph1));
    // The writer switched files itself: the channel was never rebuilt.
    platform::ComPtr<IBaseFilter> still;
    REQUIRE(SUCCEEDED(form->ASFWriter1->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(still.GetAddressOf()))));
    CHECK(still.Get() == writer.Get());
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
  SUBCASE("a storage folder that cannot hold files: the alert, and one error box for the click") {
    RemoveTree(root + L"\\录像");
    WriteFileBytes(root + L"\\录像", "a file where the folder belongs");
    form->recBtnClick(nullptr);
    CHECK(form->Unattended().Alert(1) == L"录像中断：无法写入存储文件夹");
    CHECK(form->recBtn->Caption() == L"开始录像");
    CHECK(Running(form->FilterGraph1));
    CHECK(RecordedBoxes().size() == 1);
  }
  form->Hide();
}
