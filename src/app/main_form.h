#pragma once
// The main window: four live panes (the channels) beside a column of
// buttons, the housekeeping timers and the tray icon.
#include <array>
#include <string>

#include "app/housekeeping.h"
#include "app/unattended_recording.h"
#include "classlib/form.h"
#include "classlib/menus.h"
#include "classlib/std_controls.h"
#include "classlib/timer.h"
#include "media/asf_writer.h"
#include "media/filter.h"
#include "media/filter_graph.h"
#include "media/sample_grabber.h"
#include "media/video_window.h"
#include "skin/skin_manager.h"
#include "tray/tray_icon.h"

// The components of one monitoring slot, which share its number.
class TCameraWatch;
enum class TChannelMode;

struct TChannel {
  int Number;
  TPanel* Panel;
  TVideoWindow* VideoWindow;
  TFilterGraph* FilterGraph;
  TFilter* Filter;
  TSampleGrabber* SampleGrabber;
  TASFWriter* ASFWriter;
};

class TmainForm : public TForm {
public:
  explicit TmainForm(TComponent* owner);

  TSkinManager* SkinManager1;
  TSkinProvider* SkinProvider1;
  TPanel* sPanel1;
  TSpeedButton* playBtn;
  TSpeedButton* recBtn;
  TBitBtn* sBitBtn2;
  TBitBtn* sBitBtn3;
  TCheckBox* topcbx;
  TPanel* sPanel2;
  TPanel* vPanel1;
  TPanel* vPanel2;
  TPanel* vPanel3;
  TPanel* vPanel4;
  TVideoWindow* VideoWindow1;
  TVideoWindow* VideoWindow2;
  TVideoWindow* VideoWindow3;
  TVideoWindow* VideoWindow4;
  TFilterGraph* FilterGraph1;
  TFilterGraph* FilterGraph2;
  TFilterGraph* FilterGraph3;
  TFilterGraph* FilterGraph4;
  TFilter* Filter1;
  TFilter* Filter2;
  TFilter* Filter3;
  TFilter* Filter4;
  TSampleGrabber* SampleGrabber1;
  TSampleGrabber* SampleGrabber2;
  TSampleGrabber* SampleGrabber3;
  TSampleGrabber* SampleGrabber4;
  TASFWriter* ASFWriter1;
  TASFWriter* ASFWriter2;
  TASFWriter* ASFWriter3;
  TASFWriter* ASFWriter4;
  TPopupMenu* PopupMenu;
  TMenuItem* N1;
  TMenuItem* spshuxing;
  TTimer* Timer1;
  TTimer* Timer3;
  TTrayIcon* TrayIcon1;
  TCameraWatch* CameraWatch;

  const TChannel& Channel(int number) const { return channels_.at(number - 1); }

  // Window.
  void FormCreate(TComponent* sender);
  void FormResize(TComponent* sender);
  void FormCloseQuery(TComponent* sender, bool& canClose);
  // Panes.
  void VideoWindowClick(int channel);
  void VideoWindowDblClick(int channel);
  void PopupMenuPopup(TComponent* sender);
  void N1Click(TComponent* sender);
  void spshuxingClick(TComponent* sender);
  // Buttons.
  void playBtnClick(TComponent* sender);
  void recBtnClick(TComponent* sender);
  void sBitBtn2Click(TComponent* sender);
  void sBitBtn3Click(TComponent* sender);
  void topcbxClick(TComponent* sender);
  void TrayIcon1Click(TComponent* sender);
  // Timers.
  void Timer1Timer(TComponent* sender);
  void Timer3Timer(TComponent* sender);

  void StopAllChannels();
  void ShowRecordingMark(const std::wstring& text);
  // Red text over the picture of channel 1 to 4 until the pane is rebuilt.
  void ShowPaneText(int channel, const std::wstring& text);
  void OpenFolder(const std::wstring& folder);

  bool AutoStarted() const { return autoStarted_; }
  bool IdleShown() const { return idleShown_; }
  TUnattendedRecording& Unattended() { return unattended_; }
  // Where the idle watch reads the time.
  TIdleClock IdleClock = SystemIdleClock();

protected:
  // The window's first size is a resize too: the panes are laid out for the
  // client area the window gets, not left at their configured places.
  void CreateWnd() override;

private:
  void BuildButtonPanel();
  void BuildClientPanel();
  void BuildPopupMenu();
  void BuildChannels();
  void BuildTimersAndTray();
  void BuildChannel(int number, TPanel* panel, int left, int top, TAnchors anchors);
  // Build an inactive channel's graph on the device its capture filter
  // holds and run it; raise on failure.
  void BuildLive(const TChannel& c);
  void BuildRecording(const TChannel& c, const std::wstring& fileName);
  // A lost channel back on its device, in the mode it had.
  void RebuildChannel(const TChannel& c, TChannelMode mode);
  // The channel whose pane opened the popup menu, or null.
  const TChannel* PopupChannel() const;
  // Applies the stay-on-top state to the window's position in the z-order.
  void AssertTopmost();
  // Rebuilds a channel with a device for live monitoring; raises on failure.
  void MonitorChannel(const TChannel& channel);
  // Rebuilds an active channel to record into a new file; a failure ends
  // that channel's recording with an alert.
  void RecordChannel(const TChannel& channel);
  // A segment's end: the writer goes on in a new file while the graph runs,
  // or, with a writer that cannot, the channel is rebuilt into one.
  void SwitchSegment(const TChannel& channel);
  // A recording channel's file ends: the frames its writer dropped are logged.
  void FileEnded(const TChannel& channel);
  // A recording that ended without the user asking: back to monitoring,
  // with the alert on the pane and in the tray hint.
  void RecordingInterrupted(int channel, const std::wstring& alert);

  std::array<TChannel, 4> channels_{};
  bool autoStarted_ = false;
  bool idleShown_ = false;
  TUnattendedRecording unattended_{this};
};

extern TmainForm* mainForm;
