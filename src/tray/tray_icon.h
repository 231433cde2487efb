#pragma once
// TTrayIcon: one icon in the notification area. Turns the shell's
// notifications into events, cycles through an image list, and hides the
// application's main window into the tray and brings it back. It hooks the
// application window and subclasses its owner window for minimising,
// restoring and the re-created taskbar.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "classlib/control.h"
#include "classlib/icon.h"
#include "classlib/menus.h"
#include "tray/hidden_window.h"
#include "tray/simple_timer.h"
#include "tray/window_thunk.h"

using TCycleEvent = std::function<void(TComponent* sender, int nextIndex)>;
using TStartupEvent = std::function<void(TComponent* sender, bool& showMainForm)>;

// The shell's callback message for every tray icon of the process.
constexpr UINT TrayCallbackMessage = WM_USER + 1024;

class TTrayIcon : public TComponent {
public:
  explicit TTrayIcon(TComponent* owner);
  ~TTrayIcon() override;
  std::wstring ClassName() const override { return L"TTrayIcon"; }

  // Stored attributes.
  // Only meaningful inside a form designer, which this library has not.
  bool DesignPreview() const { return designPreview_; }
  void SetDesignPreview(bool value) { designPreview_ = value; }
  TCustomImageList* IconList() const { return iconList_; }
  void SetIconList(TCustomImageList* list);
  bool CycleIcons() const { return cycleIcons_; }
  void SetCycleIcons(bool value);
  unsigned CycleInterval() const { return cycleInterval_; }
  void SetCycleInterval(unsigned value);
  // While false, mouse notifications raise no events and open no menu.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { enabled_ = value; }
  const std::wstring& Hint() const { return hint_; }
  void SetHint(std::wstring hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool value);
  TIcon& Icon() { return icon_; }
  void SetIcon(const TIcon& icon);
  bool IconVisible() const { return iconVisible_; }
  void SetIconVisible(bool value);
  int IconIndex() const { return iconIndex_; }
  void SetIconIndex(int value);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);
  // The left button's press opens the menu too; a double click then no
  // longer clicks the menu's default item.
  bool LeftPopup() const { return leftPopup_; }
  void SetLeftPopup(bool value) { leftPopup_ = value; }
  bool WantEnterExitEvents() const { return wantEnterExitEvents_; }
  void SetWantEnterExitEvents(bool value);
  bool MinimizeToTray() const { return minimizeToTray_; }
  void SetMinimizeToTray(bool value) { minimizeToTray_ = value; }

  // Events; X and Y are the cursor's screen position when the
  // notification is handled.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TCycleEvent OnCycle;
  TStartupEvent OnStartup;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseExit;
  TNotifyEvent OnMinimizeToTray;
  TNotifyEvent OnBalloonHintShow;
  TNotifyEvent OnBalloonHintHide;
  TNotifyEvent OnBalloonHintTimeout;
  TNotifyEvent OnBalloonHintClick;

  // The main window (when the owner is a windowed control and the
  // application has one).
  void RestoreMainWindow();
  void HideMainWindow();
  void HideApplicationButton();

  // Shell registration; true when the shell reported success. Adding and
  // removing also set IconVisible.
  virtual bool AddTrayIcon();
  virtual bool RemoveTrayIcon();
  virtual bool UpdateTrayIcon();
  // 0: classic notifications, 1: version-3 notifications.
  std::uint8_t NotifyStyle() const { return notifyStyle_; }
  void ApplyNotifyStyle(std::uint8_t style);

  void ShowPopupAt(int x, int y);
  void ShowPopupAtCursor();

  // The icon's identifier towards the shell.
  UINT IconId() const { return iconId_; }
  const NOTIFYICONDATAW& NotifyData() const { return notifyData_; }

protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  virtual void FireClick();
  virtual void FireDblClick();
  virtual void FireCycle();
  virtual void FireMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void FireMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void FireMouseMove(TShiftState shift, int x, int y);
  virtual void FireMouseEnter();
  virtual void FireMouseExit();
  // Hides the main window and puts the icon into the tray.
  virtual void SendToTray();

private:
  friend class TTrayIconHandler;

  // One notification of the shell about this icon (lParam of the callback).
  void HandleNotify(UINT notification);
  // The steps of HandleNotify; the balloon step answers whether it was one.
  bool HandleBalloonNotify(UINT notification);
  void PointerMoved(int x, int y);
  void LeftButtonDown(int x, int y);
  void LeftButtonUp(int x, int y);
  void LeftDoubleClick();
  void PopUpFromTray();
  void PrepareIconData();
  int NextCycleIndex() const;
  void CopyListImage(int index);
  void ClickDelayElapsed();
  void CycleElapsed();
  void PointerWatchElapsed();
  void ClickDefaultMenuItem();
  TWinControl* OwnerControl() const;

  // The application window's hook and the owner window's procedure.
  bool HandleApplicationMessage(TMessage& message);
  void HandleOwnerMessage(TMessage& message);
  bool InterceptMinimize(TMessage& message);
  static LRESULT CALLBACK OwnerProcEntry(void* self, UINT msg, WPARAM wParam, LPARAM lParam);
  void SubclassOwner();
  void UnsubclassOwner();

  bool enabled_ = true;
  TIcon icon_;
  UINT iconId_ = 0;
  bool iconVisible_ = false;
  std::wstring hint_;
  bool showHint_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  bool leftPopup_ = false;
  bool minimizeToTray_ = false;
  bool leftButtonDown_ = false;
  bool clickPending_ = false;
  std::unique_ptr<TSimpleTimer> iconCycleTimer_;
  std::unique_ptr<TSimpleTimer> clickDelayTimer_;
  std::unique_ptr<TSimpleTimer> pointerWatchTimer_;
  int lastPointerX_ = 0, lastPointerY_ = 0;
  bool pointerOutside_ = true;
  bool wantEnterExitEvents_ = false;
  std::uint8_t notifyStyle_ = 0;
  bool doubleClicked_ = false;
  int iconIndex_ = 0;
  bool designPreview_ = false;
  bool mdiCheckPending_ = true;
  TCustomImageList* iconList_ = nullptr;
  bool cycleIcons_ = false;
  unsigned cycleInterval_ = 0;
  HWND ownerWindow_ = nullptr;
  WNDPROC savedOwnerProc_ = nullptr;
  std::unique_ptr<TWindowThunk> ownerProcThunk_;
  NOTIFYICONDATAW notifyData_;
};

// The hidden window shared by every tray icon of the process; exists while
// any tray icon does. The shell's identifier of an icon is a small number
// from this table: on x64 a component's address does not fit the 32-bit
// identifier.
class TTrayIconHandler {
public:
  TTrayIconHandler();

  unsigned UserCount() const { return static_cast<unsigned>(icons_.size()); }
  HWND WindowHandle() const { return window_.Handle(); }
  TTrayIcon* Find(UINT iconId) const;

private:
  friend class TTrayIcon;
  static TTrayIconHandler& Acquire(TTrayIcon* icon);
  static void Release(TTrayIcon* icon);
  void HandleTrayMessage(TMessage& message);

  std::map<UINT, TTrayIcon*> icons_;
  UINT nextId_ = 1;
  THiddenWindow window_;
};

// The shared handler, or null while no tray icon exists.
TTrayIconHandler* TrayIconHandler();
// The number of the "TaskbarCreated" message, or 0 when comctl32 is older
// than 4.71 (the shell then does not announce a new taskbar).
UINT TaskbarCreatedMessage();
