#include "app/main_form.h"
#include "app/camera_watch.h"
#include "app/event_log.h"
#include "app/recording_name.h"

#include <shellapi.h>

#include "classlib/application.h"
#include "classlib/sysutils.h"
#include "media/media_errors.h"
#include "media/media_util.h"
#include "media/vmr_bitmap.h"
#include "options/option_form.h"
#include "options/settings.h"
#include "resource_ids.h"

TmainForm* mainForm = nullptr;

namespace {
const wchar_t kStartRecording[] = L"开始录像";
const wchar_t kStopRecording[] = L"停止录像";

// The interface of a member's filter; a member without one raises.
template <class T>
platform::ComPtr<T> Query(TComponent* component) {
  platform::ComPtr<T> result;
  CheckMediaResult(component->QueryInterface(result.GetAddressOf()));
  return result;
}

TBitBtn* MakeButton(TComponent* owner, TWinControl* parent, const wchar_t* name, int left, int top,
                    int width, int height, const wchar_t* caption) {
  auto* button = new TBitBtn(owner);
  button->SetName(name);
  button->SetParent(parent);
  button->SetBounds(left, top, width, height);
  button->SetCaption(caption);
  button->SetSkinSection(L"BUTTON");
  return button;
}

// The side panel's tall toggle buttons, shown pressed at first.
TSpeedButton* MakeSpeedButton(TComponent* owner, TWinControl* parent, const wchar_t* name, int top,
                              const wchar_t* caption) {
  auto* button = new TSpeedButton(owner);
  button->SetName(name);
  button->SetParent(parent);
  button->SetBounds(8, top, 75, 41);
  button->SetCaption(caption);
  button->SetSkinSection(L"SPEEDBUTTON");
  button->SetDown(true);
  return button;
}
}  // namespace

TmainForm::TmainForm(TComponent* owner) : TForm(owner) {
  SetName(L"mainForm");
  SetCaption(L"多路摄像头监控系统");
  SetPosition(poDesktopCenter);
  SetBounds(0, 0, 769, 546);

  SkinManager1 = new TSkinManager(this);
  SkinManager1->SetName(L"SkinManager1");
  SkinProvider1 = new TSkinProvider(this);
  SkinProvider1->SetName(L"SkinProvider1");

  BuildButtonPanel();
  BuildClientPanel();
  BuildPopupMenu();
  BuildChannels();
  BuildTimersAndTray();

  OnCreate = [this](TComponent* s) { FormCreate(s); };
  OnResize = [this](TComponent* s) { FormResize(s); };
  OnCloseQuery = [this](TComponent* s, bool& canClose) { FormCloseQuery(s, canClose); };
}

void TmainForm::BuildButtonPanel() {
  sPanel1 = new TPanel(this);
  sPanel1->SetName(L"sPanel1");
  sPanel1->SetParent(this);
  sPanel1->SetWidth(90);
  sPanel1->SetAlign(alRight);
  sPanel1->SetBevelOuter(bvNone);
  sPanel1->SetShowCaption(false);
  sPanel1->SetSkinSection(L"PANEL");

  playBtn = MakeSpeedButton(this, sPanel1, L"playBtn", 17, L"监控");
  playBtn->OnClick = [this](TComponent* s) { playBtnClick(s); };
  recBtn = MakeSpeedButton(this, sPanel1, L"recBtn", 65, kStartRecording);
  recBtn->OnClick = [this](TComponent* s) { recBtnClick(s); };

  sBitBtn2 = MakeButton(this, sPanel1, L"sBitBtn2", 8, 369, 75, 34, L"录像文件");
  sBitBtn2->SetAnchors(akLeft | akBottom);
  sBitBtn2->OnClick = [this](TComponent* s) { sBitBtn2Click(s); };
  sBitBtn3 = MakeButton(this, sPanel1, L"sBitBtn3", 8, 412, 75, 34, L"系统设置");
  sBitBtn3->SetAnchors(akLeft | akBottom);
  sBitBtn3->OnClick = [this](TComponent* s) { sBitBtn3Click(s); };

  topcbx = new TCheckBox(this);
  topcbx->SetName(L"topcbx");
  topcbx->SetParent(sPanel1);
  topcbx->SetBounds(7, 453, 79, 19);
  topcbx->SetAnchors(akLeft | akBottom);
  topcbx->SetCaption(L"总在最前");
  topcbx->SetSkinSection(L"CHECKBOX");
  topcbx->OnClick = [this](TComponent* s) { topcbxClick(s); };
}

void TmainForm::BuildPopupMenu() {
  PopupMenu = new TPopupMenu(this);
  PopupMenu->SetName(L"PopupMenu");
  PopupMenu->OnPopup = [this](TComponent* s) { PopupMenuPopup(s); };
  N1 = new TMenuItem(this);
  N1->SetName(L"N1");
  N1->SetCaption(L"停止");
  N1->OnClick = [this](TComponent* s) { N1Click(s); };
  PopupMenu->Add(N1);
  spshuxing = new TMenuItem(this);
  spshuxing->SetName(L"spshuxing");
  spshuxing->SetCaption(L"视频属性");
  spshuxing->OnClick = [this](TComponent* s) { spshuxingClick(s); };
  PopupMenu->Add(spshuxing);
}

// The panel the video panes sit on.
void TmainForm::BuildClientPanel() {
  sPanel2 = new TPanel(this);
  sPanel2->SetName(L"sPanel2");
  sPanel2->SetParent(this);
  sPanel2->SetAlign(alClient);
  sPanel2->SetShowCaption(false);
  sPanel2->SetSkinSection(L"PANEL");
}

// The numbered fields name what each channel holds.
void TmainForm::BuildChannels() {
  vPanel1 = new TPanel(this);
  vPanel2 = new TPanel(this);
  vPanel3 = new TPanel(this);
  vPanel4 = new TPanel(this);
  BuildChannel(1, vPanel1, 5, 5, akLeft | akTop);
  BuildChannel(2, vPanel2, 337, 5, akTop | akRight);
  BuildChannel(3, vPanel3, 5, 256, akLeft | akBottom);
  BuildChannel(4, vPanel4, 337, 256, akRight | akBottom);
  VideoWindow1 = channels_[0].VideoWindow;
  VideoWindow2 = channels_[1].VideoWindow;
  VideoWindow3 = channels_[2].VideoWindow;
  VideoWindow4 = channels_[3].VideoWindow;
  FilterGraph1 = channels_[0].FilterGraph;
  FilterGraph2 = channels_[1].FilterGraph;
  FilterGraph3 = channels_[2].FilterGraph;
  FilterGraph4 = channels_[3].FilterGraph;
  Filter1 = channels_[0].Filter;
  Filter2 = channels_[1].Filter;
  Filter3 = channels_[2].Filter;
  Filter4 = channels_[3].Filter;
  SampleGrabber1 = channels_[0].SampleGrabber;
  SampleGrabber2 = channels_[1].SampleGrabber;
  SampleGrabber3 = channels_[2].SampleGrabber;
  SampleGrabber4 = channels_[3].SampleGrabber;
  ASFWriter1 = channels_[0].ASFWriter;
  ASFWriter2 = channels_[1].ASFWriter;
  ASFWriter3 = channels_[2].ASFWriter;
  ASFWriter4 = channels_[3].ASFWriter;
}

void TmainForm::BuildTimersAndTray() {
  Timer1 = new TTimer(this);
  Timer1->SetName(L"Timer1");
  Timer1->SetInterval(30000);
  Timer1->OnTimer = [this](TComponent* s) { Timer1Timer(s); };

  Timer3 = new TTimer(this);
  Timer3->SetName(L"Timer3");
  Timer3->SetEnabled(false);
  Timer3->SetInterval(1000);
  Timer3->OnTimer = [this](TComponent* s) { Timer3Timer(s); };

  TrayIcon1 = new TTrayIcon(this);
  TrayIcon1->SetName(L"TrayIcon1");
  TrayIcon1->Icon().LoadFromResourceID(GetModuleHandleW(nullptr), IDI_APP);
  TrayIcon1->SetMinimizeToTray(true);
  TrayIcon1->SetIconVisible(true);
  TrayIcon1->OnClick = [this](TComponent* s) { TrayIcon1Click(s); };

  CameraWatch = new TCameraWatch(this, channels_,
                                 [this](const TChannel& c, TChannelMode mode) { RebuildChannel(c, mode); });
  // A segment that cannot start has already been reported on its pane and in
  // the log; nobody may be there to close a box.
  unattended_.OnSegmentDue = [this](int number) {
    try {
      SwitchSegment(channels_[number - 1]);
    } catch (...) {
    }
  };
  CameraWatch->OnRecordingLost = [this](int number) {
    unattended_.DeviceLost(number);
    TrayIcon1->SetHint(unattended_.AlertSummary());
  };
  CameraWatch->PaneAlert = [this](int number) { return unattended_.Alert(number); };
  unattended_.OnInterrupted = [this](int number, const std::wstring& alert) {
    RecordingInterrupted(number, alert);
  };
}

void TmainForm::BuildChannel(int number, TPanel* panel, int left, int top, TAnchors anchors) {
  TChannel& channel = channels_[number - 1];
  channel.Number = number;
  channel.Panel = panel;
  panel->SetName(Format(L"vPanel%d", number));
  panel->SetParent(sPanel2);
  panel->SetBounds(left, top, 328, 248);
  panel->SetAnchors(anchors);
  panel->SetBevelOuter(bvLowered);
  panel->SetBevelWidth(4);
  panel->SetShowCaption(false);
  panel->SetSkinSection(L"PANEL_LOW");

  channel.FilterGraph = new TFilterGraph(this);
  channel.FilterGraph->SetName(Format(L"FilterGraph%d", number));
  channel.FilterGraph->SetMode(gmCapture);
  channel.FilterGraph->SetGraphEdit(true);
  // The graph's own event handler must not rebuild it: the channel ends at the next tick.
  channel.FilterGraph->OnGraphErrorAbort = [this, number](TComponent*, HRESULT result) {
    unattended_.Interrupt(number, result == HRESULT_FROM_WIN32(ERROR_WRITE_FAULT)
                                      ? std::wstring(L"写入错误")
                                      : Format(L"错误 0x%08X", static_cast<unsigned>(result)));
  };

  channel.VideoWindow = new TVideoWindow(this);
  TVideoWindow* video = channel.VideoWindow;
  video->SetName(Format(L"VideoWindow%d", number));
  video->SetParent(panel);
  video->SetAlign(alClient);
  video->SetMode(vmVMR);
  video->VMROptions().SetMode(vmrWindowed);
  video->SetColor(clBlack);
  video->SetFilterGraph(channel.FilterGraph);
  video->SetPopupMenu(PopupMenu);
  video->OnClick = [this, number](TComponent*) { VideoWindowClick(number); };
  video->OnDblClick = [this, number](TComponent*) { VideoWindowDblClick(number); };

  channel.Filter = new TFilter(this);
  channel.Filter->SetName(Format(L"Filter%d", number));
  channel.Filter->SetFilterGraph(channel.FilterGraph);

  channel.SampleGrabber = new TSampleGrabber(this);
  channel.SampleGrabber->SetName(Format(L"SampleGrabber%d", number));
  channel.SampleGrabber->SetFilterGraph(channel.FilterGraph);
  channel.SampleGrabber->MediaType().SetSubType(MEDIASUBTYPE_RGB24);

  channel.ASFWriter = new TASFWriter(this);
  channel.ASFWriter->SetName(Format(L"ASFWriter%d", number));
  channel.ASFWriter->SetProfile(wmp_V80_56VideoOnly);
  channel.ASFWriter->SetPort(3333 + number - 1);  // each channel streams on its own port
  channel.ASFWriter->SetMaxUsers(8);
}

void TmainForm::FormCreate(TComponent*) {
  appPath = ExtractFilePath(ExeName());
  TIniFile settings = OpenSettings();
  savePath = settings.ReadString(kSettingsSection, L"path", appPath);
  topcbx->SetChecked(settings.ReadBool(kSettingsSection, L"ontop", false));
  AssertTopmost();
  CreateStorageFolders(savePath);
  EventLog::Open(EventLog::FileNameIn(savePath));
  EventLog::Write(0, L"程序启动");
  Timer3->SetEnabled(true);
}

void TmainForm::AssertTopmost() {
  SetWindowPos(Handle(), topcbx->Checked() ? HWND_TOPMOST : HWND_NOTOPMOST, Left(), Top(), Width(),
               Height(), 0);
}

void TmainForm::CreateWnd() {
  TForm::CreateWnd();
  FormResize(this);
}

void TmainForm::FormResize(TComponent*) {
  const int w = sPanel2->Width(), h = sPanel2->Height();
  const int paneWidth = (w - 14) / 2, paneHeight = (h - 14) / 2;
  vPanel1->SetBounds(vPanel1->Left(), vPanel1->Top(), paneWidth, paneHeight);
  vPanel2->SetBounds(w / 2 + 3, vPanel2->Top(), paneWidth, paneHeight);
  vPanel3->SetBounds(vPanel3->Left(), vPanel1->Height() + 9, paneWidth, paneHeight);
  vPanel4->SetBounds((w + 6) / 2, (h + 4) / 2, paneWidth, paneHeight);
}

void TmainForm::VideoWindowClick(int channel) {
  for (const TChannel& c : channels_)
    c.Panel->SetSkinSection(c.Number == channel ? L"PROGRESSV" : L"PANEL_LOW");
}

void TmainForm::VideoWindowDblClick(int channel) {
  TVideoWindow* video = channels_[channel - 1].VideoWindow;
  video->SetFullScreen(!video->FullScreen());
}

const TChannel* TmainForm::PopupChannel() const {
  TComponent* pane = PopupMenu->PopupComponent();
  if (!pane) return nullptr;
  for (const TChannel& c : channels_)
    if (pane->Name() == c.VideoWindow->Name()) return &c;
  return nullptr;
}

void TmainForm::PopupMenuPopup(TComponent*) {
  if (const TChannel* channel = PopupChannel())
    spshuxing->SetEnabled(channel->FilterGraph->Active());
}

void TmainForm::N1Click(TComponent*) {
  const TChannel* channel = PopupChannel();
  if (!channel) return;
  TFilterGraph* graph = channel->VideoWindow->FilterGraph();
  if (!graph) return;
  CameraWatch->Forget(channel->Number);
  graph->Stop();
  graph->SetActive(false);
}

void TmainForm::spshuxingClick(TComponent*) {
  const TChannel* channel = PopupChannel();
  if (!channel) return;
  platform::ComPtr<IBaseFilter> device = Query<IBaseFilter>(channel->Filter);
  (void)OpenFilterPropertyPages(Handle(), device.Get(), pkFilterPages);  // the frame reports itself
}

void TmainForm::MonitorChannel(const TChannel& c) {
  const int device = optionForm->DeviceBox(c.Number)->ItemIndex();
  if (device == -1) return;
  c.FilterGraph->ResetGraph();
  c.ASFWriter->SetFilterGraph(nullptr);
  c.FilterGraph->SetActive(false);
  // After a close query released the device list (a session end that
  // was cancelled), each channel keeps the camera its filter holds.
  platform::ComPtr<IMoniker> moniker;
  if (optionForm->devEnum) {
    moniker = optionForm->devEnum->FilterMoniker(device);
    c.Filter->BaseFilter().AssignMoniker(moniker.Get());
  }
  BuildLive(c);
  if (moniker) CameraWatch->Bound(c.Number, moniker.Get(), TChannelMode::Live);
}

void TmainForm::playBtnClick(TComponent*) {
  for (const TChannel& c : channels_) FileEnded(c);
  if (unattended_.AnyRecording()) unattended_.End(L"停止录像（监控）");
  unattended_.ClearAlerts();
  TrayIcon1->SetHint(unattended_.AlertSummary());
  try {
    for (const TChannel& c : channels_) {
      if (optionForm->DeviceBox(c.Number)->ItemIndex() == -1) continue;
      MonitorChannel(c);
      recBtn->SetCaption(kStartRecording);
    }
  } catch (...) {
    Application->ShowMessageBox(L"开启摄像头时发生错误，请检查摄像头是否已被其他程序开启。", L"",
                                MB_OK);
  }
}

void TmainForm::BuildLive(const TChannel& c) {
  c.FilterGraph->SetActive(true);
  auto builder = Query<ICaptureGraphBuilder2>(c.FilterGraph);
  auto source = Query<IBaseFilter>(c.Filter);
  // Channel 2 shows whatever format the camera and renderer agree on.
  platform::ComPtr<IBaseFilter> grabber;
  if (c.Number != 2) grabber = Query<IBaseFilter>(c.SampleGrabber);
  auto sink = Query<IBaseFilter>(c.VideoWindow);
  CheckMediaResult(
      builder->RenderStream(&PIN_CATEGORY_PREVIEW, nullptr, source.Get(), grabber.Get(), sink.Get()));
  c.FilterGraph->Play();
}

void TmainForm::recBtnClick(TComponent*) {
  if (recBtn->Caption() == kStopRecording) {
    StopAllChannels();
    unattended_.End(L"停止录像");
    recBtn->SetCaption(kStartRecording);
    return;
  }
  CreateChannelFolders(savePath);
  unattended_.Begin(savePath);
  TrayIcon1->SetHint(unattended_.AlertSummary());
  for (const TChannel& c : channels_) {
    // A lost channel records once its camera is back.
    CameraWatch->SetMode(c.Number, TChannelMode::Recording);
    if (!c.FilterGraph->Active()) continue;
    // A channel that cannot record says why in the standard error box; the
    // others still record.
    try {
      RecordChannel(c);
    } catch (...) {
      Application->HandleException(this);
    }
  }
}

void TmainForm::RecordChannel(const TChannel& c) {
  std::wstring fileName;
  FileEnded(c);
  try {
    c.FilterGraph->ResetGraph();
    c.FilterGraph->SetActive(false);
    SYSTEMTIME now;
    GetLocalTime(&now);
    fileName = NewRecordingName(ChannelFolder(savePath, c.Number), now);
    unattended_.ChannelStarted(c.Number, fileName, true);
    BuildRecording(c, fileName);
  } catch (...) {
    // A read-only or vanished storage folder leaves no file; the channel
    // goes back to live monitoring with the alert.
    unattended_.StartFailed(c.Number, !fileName.empty() && !FileExists(fileName)
                                          ? L"无法写入存储文件夹"
                                          : L"无法开始录像");
    throw;
  }
  if (c.Number == 1) {
    ShowRecordingMark(L"●");
    recBtn->SetCaption(kStopRecording);
  }
  TrayIcon1->SetHint(unattended_.AlertSummary());
}

void TmainForm::SwitchSegment(const TChannel& c) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::wstring fileName = NewRecordingName(ChannelFolder(savePath, c.Number), now);
  FileEnded(c);
  // A writer that cannot switch, or refuses to (a storage folder that will
  // not take the file), is rebuilt into it as 开始录像 does; a storage
  // failure then ends the recording with its alert.
  if (SUCCEEDED(c.ASFWriter->SwitchFileName(fileName))) {
    unattended_.ChannelStarted(c.Number, fileName, false);
    return;
  }
  RecordChannel(c);
}

void TmainForm::FileEnded(const TChannel& c) {
  if (unattended_.Recording(c.Number)) unattended_.FileEnded(c.Number, c.ASFWriter->DroppedFrames());
}

void TmainForm::RecordingInterrupted(int number, const std::wstring& alert) {
  const TChannel& c = channels_[number - 1];
  FileEnded(c);
  try {
    MonitorChannel(c);
    ShowPaneText(number, alert);
  } catch (...) {
    // A camera that will not start again leaves the pane dark; the tray
    // hint and the log still say what happened.
  }
  TrayIcon1->SetHint(unattended_.AlertSummary());
  if (!unattended_.AnyRecording()) recBtn->SetCaption(kStartRecording);
}

void TmainForm::BuildRecording(const TChannel& c, const std::wstring& fileName) {
  c.ASFWriter->SetFileName(fileName);
  c.ASFWriter->SetFilterGraph(c.FilterGraph);
  c.FilterGraph->SetActive(true);
  auto builder = Query<ICaptureGraphBuilder2>(c.FilterGraph);
  auto source = Query<IBaseFilter>(c.Filter);
  auto writer = Query<IBaseFilter>(c.ASFWriter);
  auto video = Query<IBaseFilter>(c.VideoWindow);
  CheckMediaResult(
      builder->RenderStream(&PIN_CATEGORY_CAPTURE, nullptr, source.Get(), nullptr, writer.Get()));
  CheckMediaResult(
      builder->RenderStream(&PIN_CATEGORY_PREVIEW, nullptr, source.Get(), nullptr, video.Get()));
  if (!c.FilterGraph->Play()) throw EMediaGraphException(L"录像无法开始");
}

void TmainForm::RebuildChannel(const TChannel& c, TChannelMode mode) {
  if (mode == TChannelMode::Live) {
    BuildLive(c);
    return;
  }
  RecordChannel(c);
}

void TmainForm::StopAllChannels() {
  CameraWatch->ForgetAll();
  for (const TChannel& c : channels_) {
    if (!c.FilterGraph->Active()) continue;
    c.FilterGraph->Stop();
    FileEnded(c);
    c.FilterGraph->SetActive(false);
    c.ASFWriter->SetFilterGraph(nullptr);
  }
}

void TmainForm::ShowRecordingMark(const std::wstring& text) { ShowPaneText(1, text); }

void TmainForm::ShowPaneText(int channel, const std::wstring& text) {
  if (text.empty()) return;
  TVideoWindow* video = channels_[channel - 1].VideoWindow;
  TVMRBitmap mark(video);
  mark.CreateBlankBitmap(video->Width(), video->Height(), pf24bit, 0xC0C0C0);
  mark.SetSourceRect(mark.OverlayCanvas().ClipRect());
  mark.SetOverlayOptions(mark.OverlayOptions() | OverlayOption(ooColorKey));
  mark.SetKeyColor(0xC0C0C0);
  TCanvas& canvas = mark.OverlayCanvas();
  canvas.Brush().SetColor(0xC0C0C0);
  canvas.Font().SetColor(clRed);
  canvas.Font().SetStyle(fsBold);
  canvas.Font().SetSize(18);
  canvas.Font().SetName(L"宋体");
  canvas.TextOut(0, 0, text);
  // The mixer keeps its own copy: the mark stays after `mark` is gone.
  mark.PlaceOverlay(0.0f, 0.0f, 1.0f, 1.0f, 0.5f, false);
}

void TmainForm::sBitBtn2Click(TComponent*) { OpenFolder(savePath + L"\\录像\\"); }

void TmainForm::OpenFolder(const std::wstring& folder) {
  // The shell's answer is not examined: a folder that will not open says so itself.
  (void)ShellExecuteW(Handle(), L"open", folder.c_str(), nullptr, L"_blank", SW_SHOWMAXIMIZED);
}

void TmainForm::sBitBtn3Click(TComponent*) { (void)optionForm->ShowModal(); }

void TmainForm::topcbxClick(TComponent*) {
  SetFormStyle(topcbx->Checked() ? fsStayOnTop : fsNormal);
  AssertTopmost();
  OpenSettings().WriteBool(kSettingsSection, L"ontop", topcbx->Checked());
}

void TmainForm::TrayIcon1Click(TComponent*) { TrayIcon1->RestoreMainWindow(); }

void TmainForm::FormCloseQuery(TComponent*, bool& canClose) {
  CameraWatch->ForgetAll();
  for (const TChannel& c : channels_) FileEnded(c);
  unattended_.End(L"停止录像（程序退出）");
  EventLog::Write(0, L"程序退出");
  optionForm->devEnum.reset();
  // A channel that fails to shut down (a camera that failed to start
  // refuses to stop) is reported, but must not keep the program open or
  // the other channels' recordings unfinished.
  const auto reported = [this](const auto& step) {
    try {
      step();
    } catch (...) {
      Application->HandleException(this);
    }
  };
  for (const TChannel& c : channels_) {
    if (optionForm->DeviceBox(c.Number)->ItemIndex() == -1) continue;
    reported([&c] { c.FilterGraph->ResetGraph(); });
    reported([&c] { c.FilterGraph->SetActive(false); });
  }
  canClose = true;
}

void TmainForm::Timer1Timer(TComponent*) { TrimWorkingSet(); }

void TmainForm::Timer3Timer(TComponent*) {
  if (!autoStarted_) {
    autoStarted_ = true;  // set first: the timer starts monitoring once, whatever happens
    playBtnClick(nullptr);
  }
  if (!optionForm->autoCbx->Checked()) return;
  try {
    // The last input first: read the other way round, input arriving in
    // between would make the idle time wrap to days.
    const std::uint32_t lastInput = IdleClock.LastInputTick();
    const std::uint32_t idle = IdleSeconds(IdleClock.TickCount(), lastInput);
    if (idle > kIdleThresholdSeconds && !idleShown_) {
      SetWindowState(wsMaximized);
      TrayIcon1->RestoreMainWindow();
      idleShown_ = true;
    } else if (idle <= kIdleThresholdSeconds && idleShown_) {
      SetWindowState(wsNormal);
      idleShown_ = false;
    }
  } catch (...) {
    // The watch tries again at the next tick; nobody is there to read a message.
  }
}
