// Channels that lose their camera: noticed by the device-lost event or by
// silence, shown and logged, and rebuilt in their old mode when the same
// device is back, without touching the other channels.
#include <doctest/doctest.h>

#include <chrono>
#include <string>

#include "../../tools/testcam/camera_info.h"
#include "app/camera_watch.h"
#include "app/event_log.h"
#include "app_fixture.h"

using namespace std::chrono_literals;

namespace {
// Loss within 3 s of silence plus a check; return within a 2 s retry plus the rebuild.
constexpr auto kNoticed = 4500ms;
constexpr auto kBack = 6s;

bool Logged(const std::wstring& text) {
  return ReadFileBytes(EventLog::FileNameIn(savePath)).find(WideToUtf8(text)) != std::string::npos;
}

// The test camera's name, then its picture size and rate, for a channel's
// capture filter.
std::wstring CameraDescription(const TChannel& channel) {
  platform::ComPtr<ITestCameraInfo> camera;
  wchar_t text[256] = L"";
  if (SUCCEEDED(channel.Filter->QueryInterface(IID_ITestCameraInfo,
                                               reinterpret_cast<void**>(camera.GetAddressOf()))))
    (void)camera->GetDescription(text, 256);  // empty on failure
  return text;
}

std::wstring CameraName(const TChannel& channel) {
  const std::wstring description = CameraDescription(channel);
  return description.substr(0, description.find(L"\r\n"));
}

bool Back(TmainForm* form, int channel) {
  return !form->CameraWatch->Lost(channel) && Running(form->Channel(channel).FilterGraph);
}

size_t Recordings(const std::wstring& root, int channel) {
  size_t count = 0;
  WIN32_FIND_DATAW found;
  const HANDLE search =
      FindFirstFileW((root + L"\\录像\\#" + std::to_wstring(channel) + L"\\*.asf").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do ++count;
  while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}
}  // namespace

TEST_CASE("an unplugged camera: 无信号 and a log line, the other channel untouched, live again when plugged") {
  ShownProgram program(L"lost", 2);
  TmainForm* form = program.form;
  form->Timer3Timer(nullptr);
  REQUIRE(Running(form->FilterGraph2));

  REQUIRE(RunTestcam(L"unplug 2") == 0);
  REQUIRE(PumpUntil([&] { return form->CameraWatch->Lost(2); }, kNoticed));
  CHECK_FALSE(form->FilterGraph2->Active());
  CHECK(Running(form->FilterGraph1));
  CHECK(RecordedBoxes().empty());
  CHECK(Logged(L"#2  无信号：摄像头已断开"));

  SUBCASE("plugged back: live on its own device") {
    REQUIRE(RunTestcam(L"plug 2") == 0);
    CHECK(PumpUntil([&] { return Back(form, 2); }, kBack));
    CHECK(CameraName(form->Channel(2)) == L"Test Camera 2");
    CHECK(Logged(L"#2  信号恢复"));
  }
  SUBCASE("停止 on the lost pane ends the attempts") {
    form->PopupMenu->SetPopupComponent(form->VideoWindow2);
    form->N1Click(form->N1);
    CHECK_FALSE(form->CameraWatch->Lost(2));
    REQUIRE(RunTestcam(L"plug 2") == 0);
    PumpFor(2500ms);
    CHECK_FALSE(form->FilterGraph2->Active());
    form->playBtnClick(form->playBtn);
    CHECK(Running(form->FilterGraph2));
  }
  SUBCASE("back but held by another program: stays lost, no box, and is tried again") {
    REQUIRE(RunTestcam(L"plug 2") == 0);
    REQUIRE(RunTestcam(L"busy 2") == 0);
    // Plugged, refused, and the graph given back each time.
    REQUIRE(PumpUntil([&] { return Logged(L"#2  摄像头已接回，但无法开启"); }, kBack));
    CHECK(form->CameraWatch->Lost(2));
    CHECK_FALSE(form->FilterGraph2->Active());
    CHECK(RecordedBoxes().empty());
    REQUIRE(RunTestcam(L"busy 0") == 0);
    CHECK(PumpUntil([&] { return Back(form, 2); }, kBack));
  }
  SUBCASE("cameras back in another order each find their own channel") {
    REQUIRE(RunTestcam(L"unplug 1") == 0);
    REQUIRE(PumpUntil([&] { return form->CameraWatch->Lost(1); }, kNoticed));
    // Camera 2 is now first in the list.
    REQUIRE(RunTestcam(L"plug 2") == 0);
    REQUIRE(PumpUntil([&] { return Back(form, 2); }, kBack));
    CHECK(CameraName(form->Channel(2)) == L"Test Camera 2");
    CHECK(form->CameraWatch->Lost(1));
    REQUIRE(RunTestcam(L"plug 1") == 0);
    REQUIRE(PumpUntil([&] { return Back(form, 1); }, kBack));
    CHECK(CameraName(form->Channel(1)) == L"Test Camera 1");
  }
  SUBCASE("back with another picture size: accepted") {
    REQUIRE(RunTestcam(L"register 2 --size 320x240") == 0);
    CHECK(PumpUntil([&] { return Back(form, 2); }, kBack));
    CHECK(CameraDescription(form->Channel(2)).find(L"320 \u00d7 240") != std::wstring::npos);
    CHECK(Running(form->FilterGraph1));
  }
  SUBCASE("a camera that flaps comes back once it stays, on its own device only") {
    for (int flap = 0; flap < 8; ++flap) {
      REQUIRE(RunTestcam(L"plug 2") == 0);
      PumpFor(200ms);
      REQUIRE(RunTestcam(L"unplug 2") == 0);
      PumpFor(200ms);
    }
    REQUIRE(RunTestcam(L"plug 2") == 0);
    CHECK(PumpUntil([&] { return Back(form, 2); }, kBack));
    CHECK(CameraName(form->Channel(2)) == L"Test Camera 2");
    CHECK(CameraName(form->Channel(1)) == L"Test Camera 1");
    CHECK(Running(form->FilterGraph1));
    CHECK(RecordedBoxes().empty());
  }
}

TEST_CASE("a camera that goes silent counts as lost; a recording channel records again into a new file") {
  ShownProgram program(L"silent", 1);
  TmainForm* form = program.form;
  const std::wstring& root = program.root.path;
  form->Timer3Timer(nullptr);
  form->recBtnClick(form->recBtn);
  REQUIRE(Running(form->FilterGraph1));
  REQUIRE(Recordings(root, 1) == 1);
  PumpFor(500ms);

  // The camera stops delivering while its graph still counts as running.
  platform::ComPtr<IBaseFilter> camera;
  REQUIRE(SUCCEEDED(form->Filter1->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(camera.GetAddressOf()))));
  REQUIRE(camera->Stop() == S_OK);
  camera.Reset();
  REQUIRE(PumpUntil([&] { return form->CameraWatch->Lost(1); }, kNoticed));
  CHECK(Logged(L"#1  无信号：3 秒没有画面"));
  CHECK(form->recBtn->Caption() == L"停止录像");
  // Said on the pane and in the tray hint, and no segment switch rebuilds
  // the lost channel meanwhile.
  CHECK(form->Unattended().Alert(1) == L"录像中断：设备丢失");
  CHECK(form->TrayIcon1->Hint() == L"#1 录像中断：设备丢失");
  CHECK_FALSE(form->Unattended().Recording(1));

  // The device never left, so the next attempt brings the channel back recording.
  REQUIRE(PumpUntil([&] { return Back(form, 1); }, kBack));
  CHECK(Recordings(root, 1) == 2);
  CHECK(form->ASFWriter1->FilterGraph() == form->FilterGraph1);
  CHECK(Logged(L"#1  信号恢复，继续录像"));
  CHECK(form->Unattended().Recording(1));
  CHECK(form->TrayIcon1->Hint().empty());

  form->recBtnClick(form->recBtn);  // 停止录像
  PumpFor(2500ms);
  CHECK_FALSE(form->FilterGraph1->Active());
  CHECK_FALSE(form->CameraWatch->Lost(1));
}
