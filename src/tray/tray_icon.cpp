#include "tray/tray_icon.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

#include "classlib/application.h"
#include "classlib/exceptions.h"
#include "classlib/form.h"

// The notify record in its shell-5 layout: NOTIFYICONDATAW up to, not
// including, guidItem. The ANSI record of 32-bit Windows is 488 bytes: six
// 4-byte fields, a 128-byte tip, state and mask, a 256-byte info text,
// timeout/version, a 64-byte title and the info flags. The wide record
// doubles the three texts (936 bytes on 32-bit), and on x64 hWnd and hIcon
// take 8 bytes each, both after 4 bytes of alignment padding: 952.
static_assert(NOTIFYICONDATAW_V2_SIZE == (sizeof(void*) == 8 ? 952 : 936));

namespace {

std::unique_ptr<TTrayIconHandler> sharedHandler;

TShiftState CurrentShiftState() {
  TShiftState shift = 0;
  if (GetAsyncKeyState(VK_SHIFT) & 0x8000) shift |= ssShift;
  if (GetAsyncKeyState(VK_CONTROL) & 0x8000) shift |= ssCtrl;
  if (GetAsyncKeyState(VK_MENU) & 0x8000) shift |= ssAlt;
  return shift;
}

// comctl32's file version, major in the high word and minor in the low
// one; -1 when it cannot be read.
long long ComctlVersion() {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(L"comctl32.dll", &ignored);
  if (size == 0) return -1;
  std::vector<std::byte> info(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!GetFileVersionInfoW(L"comctl32.dll", 0, size, info.data()) ||
      !VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
      fixedSize < sizeof(VS_FIXEDFILEINFO))
    return -1;
  return fixed->dwFileVersionMS;
}

TForm* MainForm() { return Application ? Application->MainForm() : nullptr; }

}  // namespace

UINT TaskbarCreatedMessage() {
  static const UINT message =
      ComctlVersion() >= 0x00040047 ? RegisterWindowMessageW(L"TaskbarCreated") : 0;
  return message;
}

// ------------------------------------------------------------ TTrayIconHandler

TTrayIconHandler* TrayIconHandler() { return sharedHandler.get(); }

TTrayIconHandler::TTrayIconHandler()
    : window_([this](TMessage& message) { HandleTrayMessage(message); }) {}

TTrayIconHandler& TTrayIconHandler::Acquire(TTrayIcon* icon) {
  if (!sharedHandler) sharedHandler = std::make_unique<TTrayIconHandler>();
  TTrayIconHandler& handler = *sharedHandler;
  while (handler.nextId_ == 0 || handler.icons_.contains(handler.nextId_)) ++handler.nextId_;
  icon->iconId_ = handler.nextId_++;
  handler.icons_[icon->iconId_] = icon;
  return handler;
}

void TTrayIconHandler::Release(TTrayIcon* icon) {
  if (!sharedHandler) return;
  sharedHandler->icons_.erase(icon->iconId_);
  if (sharedHandler->icons_.empty()) sharedHandler.reset();
}

TTrayIcon* TTrayIconHandler::Find(UINT iconId) const {
  const auto it = icons_.find(iconId);
  return it == icons_.end() ? nullptr : it->second;
}

void TTrayIconHandler::HandleTrayMessage(TMessage& m) {
  if (m.Msg == TrayCallbackMessage) {
    // The shell gives the icon's identifier as wParam (classic and
    // version-3 notifications alike) and the notification as lParam.
    if (TTrayIcon* icon = Find(static_cast<UINT>(m.WParam)))
      icon->HandleNotify(static_cast<UINT>(m.LParam));
    return;
  }
  switch (m.Msg) {
    // The window lives exactly as long as the last tray icon: it is neither
    // closed nor ended with the session from outside.
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_QUIT:
    case WM_ENDSESSION:
    case WM_NCDESTROY:
      m.Result = 1;
      return;
  }
  m.Result = window_.Default(m);
}

// ------------------------------------------------------------------ TTrayIcon

TTrayIcon::TTrayIcon(TComponent* owner) : TComponent(owner) {
  const TTrayIconHandler& handler = TTrayIconHandler::Acquire(this);
  try {
    // The notification area shows small icons; a multi-image icon gives
    // its small image.
    icon_.SetSize(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    icon_.OnChange = [this] { UpdateTrayIcon(); };

    notifyData_ = NOTIFYICONDATAW{};
    notifyData_.cbSize = NOTIFYICONDATAW_V2_SIZE;
    notifyData_.hWnd = handler.WindowHandle();
    notifyData_.uID = iconId_;
    notifyData_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    notifyData_.uCallbackMessage = TrayCallbackMessage;

    iconCycleTimer_ = std::make_unique<TSimpleTimer>();
    iconCycleTimer_->SetOnTimer([this](TSimpleTimer*) { CycleElapsed(); });
    clickDelayTimer_ = std::make_unique<TSimpleTimer>();
    clickDelayTimer_->SetOnTimer([this](TSimpleTimer*) { ClickDelayElapsed(); });
    pointerWatchTimer_ =
        std::make_unique<TSimpleTimer>(20, [this](TSimpleTimer*) { PointerWatchElapsed(); });

    if (Application)
      Application->HookMainWindow(this, [this](TMessage& m) { return HandleApplicationMessage(m); });
    if (OwnerControl()) SubclassOwner();
  } catch (...) {
    if (Application) Application->UnhookMainWindow(this);
    TTrayIconHandler::Release(this);
    throw;
  }
}

TTrayIcon::~TTrayIcon() {
  SetIconVisible(false);
  designPreview_ = false;
  iconCycleTimer_.reset();
  clickDelayTimer_.reset();
  pointerWatchTimer_.reset();
  icon_.OnChange = nullptr;
  if (Application) Application->UnhookMainWindow(this);
  UnsubclassOwner();
  TTrayIconHandler::Release(this);
}

TWinControl* TTrayIcon::OwnerControl() const { return dynamic_cast<TWinControl*>(Owner()); }

void TTrayIcon::Loaded() {
  TComponent::Loaded();
  if (OwnerControl()) {
    bool showMainForm = true;
    if (OnStartup) OnStartup(this, showMainForm);
    if (!showMainForm) {
      if (Application) Application->SetShowMainForm(false);
      HideMainWindow();
    }
  }
  UpdateTrayIcon();
  SetIconVisible(iconVisible_);
  SetCycleIcons(cycleIcons_);
  SetWantEnterExitEvents(wantEnterExitEvents_);
  ApplyNotifyStyle(notifyStyle_);
}

void TTrayIcon::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == iconList_) SetIconList(nullptr);
  if (component == popupMenu_) popupMenu_ = nullptr;
}

// ------------------------------------------------------------ attributes

void TTrayIcon::SetIconList(TCustomImageList* list) {
  if (iconList_ && iconList_ != list) RemoveFreeNotification(iconList_);
  iconList_ = list;
  if (list) FreeNotification(list);
  SetIconIndex(0);
}

void TTrayIcon::SetCycleIcons(bool value) {
  cycleIcons_ = value;
  if (value) {
    SetIconIndex(0);
    iconCycleTimer_->SetInterval(cycleInterval_);
    iconCycleTimer_->SetEnabled(true);
  } else {
    iconCycleTimer_->SetEnabled(false);
  }
}

void TTrayIcon::SetCycleInterval(unsigned value) {
  if (value == cycleInterval_) return;
  cycleInterval_ = value;
  SetCycleIcons(cycleIcons_);
}

void TTrayIcon::SetHint(std::wstring hint) {
  hint_ = std::move(hint);
  UpdateTrayIcon();
}

void TTrayIcon::SetShowHint(bool value) {
  showHint_ = value;
  UpdateTrayIcon();
}

void TTrayIcon::SetIcon(const TIcon& icon) {
  auto notify = std::move(icon_.OnChange);
  icon_.OnChange = nullptr;
  icon_.Assign(icon);
  icon_.OnChange = std::move(notify);
  UpdateTrayIcon();
}

void TTrayIcon::SetIconVisible(bool value) {
  if (value) AddTrayIcon();
  else RemoveTrayIcon();
}

void TTrayIcon::SetIconIndex(int value) {
  if (iconList_) {
    iconIndex_ = value;
    if (value >= iconList_->Count()) iconIndex_ = iconList_->Count() - 1;
    CopyListImage(iconIndex_);
  } else {
    iconIndex_ = 0;
  }
  UpdateTrayIcon();
}

void TTrayIcon::SetPopupMenu(TPopupMenu* menu) {
  if (popupMenu_ && popupMenu_ != menu) RemoveFreeNotification(popupMenu_);
  popupMenu_ = menu;
  if (menu) FreeNotification(menu);
}

void TTrayIcon::SetWantEnterExitEvents(bool value) {
  wantEnterExitEvents_ = value;
  pointerWatchTimer_->SetEnabled(value);
}

// ------------------------------------------------------ shell registration

void TTrayIcon::PrepareIconData() {
  try {
    notifyData_.hIcon = icon_.Handle();
  } catch (const EReadError&) {
    notifyData_.hIcon = nullptr;
  }
  const size_t tipSize = std::size(notifyData_.szTip);
  std::fill_n(notifyData_.szTip, tipSize, L'\0');
  if (!hint_.empty() && showHint_) {
    size_t length = std::min(hint_.size(), tipSize - 1);
    // Never leave the first half of a surrogate pair at the end.
    if (length < hint_.size() && IS_HIGH_SURROGATE(hint_[length - 1])) --length;
    hint_.copy(notifyData_.szTip, length);
  }
}

bool TTrayIcon::AddTrayIcon() {
  iconVisible_ = true;
  PrepareIconData();
  return Shell_NotifyIconW(NIM_ADD, &notifyData_) != FALSE;
}

bool TTrayIcon::RemoveTrayIcon() {
  iconVisible_ = false;
  PrepareIconData();
  return Shell_NotifyIconW(NIM_DELETE, &notifyData_) != FALSE;
}

bool TTrayIcon::UpdateTrayIcon() {
  PrepareIconData();
  return Shell_NotifyIconW(NIM_MODIFY, &notifyData_) != FALSE;
}

void TTrayIcon::ApplyNotifyStyle(std::uint8_t style) {
  notifyStyle_ = style;
  if (style == 0) notifyData_.uVersion = 0;
  else if (style == 1) notifyData_.uVersion = NOTIFYICON_VERSION;
  // An icon not (yet) in the tray refuses; the style applies when it is added.
  (void)Shell_NotifyIconW(NIM_SETVERSION, &notifyData_);
}

// ------------------------------------------------------------ notifications

void TTrayIcon::HandleNotify(UINT notification) {
  if (HandleBalloonNotify(notification) || !enabled_) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  const int x = cursor.x, y = cursor.y;
  switch (notification) {
    case WM_MOUSEMOVE: PointerMoved(x, y); return;
    case WM_LBUTTONDOWN: LeftButtonDown(x, y); return;
    case WM_LBUTTONUP: LeftButtonUp(x, y); return;
    case WM_LBUTTONDBLCLK: LeftDoubleClick(); return;
    case WM_RBUTTONDOWN:
      FireMouseDown(mbRight, CurrentShiftState() | ssRight, x, y);
      if (popupMenu_ && popupMenu_->AutoPopup()) PopUpFromTray();
      return;
    case WM_RBUTTONUP:
      if (notifyStyle_ == 0) FireMouseUp(mbRight, CurrentShiftState() | ssRight, x, y);
      return;
    // Version-3 notifications report the end of a right click (or the
    // keyboard's selection) by these instead of WM_RBUTTONUP.
    case WM_CONTEXTMENU:
    case NIN_SELECT:
    case NIN_KEYSELECT:
      if (notifyStyle_ == 1) FireMouseUp(mbRight, CurrentShiftState() | ssRight, x, y);
      return;
    case WM_MBUTTONDOWN: FireMouseDown(mbMiddle, CurrentShiftState() | ssMiddle, x, y); return;
    case WM_MBUTTONUP: FireMouseUp(mbMiddle, CurrentShiftState() | ssMiddle, x, y); return;
  }
}

// Balloon notices come whether or not the icon is enabled.
bool TTrayIcon::HandleBalloonNotify(UINT notification) {
  const TNotifyEvent* handler = nullptr;
  switch (notification) {
    case NIN_BALLOONSHOW: handler = &OnBalloonHintShow; break;
    case NIN_BALLOONHIDE: handler = &OnBalloonHintHide; break;
    case NIN_BALLOONTIMEOUT: handler = &OnBalloonHintTimeout; break;
    case NIN_BALLOONUSERCLICK: handler = &OnBalloonHintClick; break;
    default: return false;
  }
  if (*handler) (*handler)(this);
  return true;
}

void TTrayIcon::PointerMoved(int x, int y) {
  if (wantEnterExitEvents_ && pointerOutside_) {
    FireMouseEnter();
    pointerOutside_ = false;
  }
  FireMouseMove(CurrentShiftState(), x, y);
  lastPointerX_ = x;
  lastPointerY_ = y;
}

void TTrayIcon::LeftButtonDown(int x, int y) {
  if (OnDblClick) {
    clickDelayTimer_->SetInterval(GetDoubleClickTime());
    clickDelayTimer_->SetEnabled(true);
  }
  FireMouseDown(mbLeft, CurrentShiftState() | ssLeft, x, y);
  leftButtonDown_ = true;
  if (leftPopup_ && popupMenu_ && popupMenu_->AutoPopup()) PopUpFromTray();
}

// The click fires here unless a double click may still follow.
void TTrayIcon::LeftButtonUp(int x, int y) {
  if (leftButtonDown_) {
    clickPending_ = true;
    if (!clickDelayTimer_->Enabled()) {
      leftButtonDown_ = false;
      clickPending_ = false;
      FireClick();
    }
  }
  leftButtonDown_ = false;
  FireMouseUp(mbLeft, CurrentShiftState() | ssLeft, x, y);
}

void TTrayIcon::LeftDoubleClick() {
  clickPending_ = false;
  doubleClicked_ = true;
  FireDblClick();
  if (popupMenu_ && popupMenu_->AutoPopup() && !leftPopup_) ClickDefaultMenuItem();
}

// The menu's window must be in front, or the menu does not close when the
// user clicks elsewhere.
void TTrayIcon::PopUpFromTray() {
  SetForegroundWindow(notifyData_.hWnd);
  ShowPopupAtCursor();
}

void TTrayIcon::ClickDefaultMenuItem() {
  for (int i = 0; i < popupMenu_->Count(); ++i) {
    if (popupMenu_->Items(i)->Default()) {
      popupMenu_->Items(i)->Click();
      return;
    }
  }
}

void TTrayIcon::ClickDelayElapsed() {
  clickDelayTimer_->SetEnabled(false);
  const bool click = !doubleClicked_ && clickPending_;
  doubleClicked_ = false;
  if (click) {
    clickPending_ = false;
    FireClick();
  }
}

void TTrayIcon::PointerWatchElapsed() {
  if (pointerOutside_) return;
  POINT cursor{};
  if (!GetCursorPos(&cursor)) return;
  if (cursor.x != lastPointerX_ || cursor.y != lastPointerY_) {
    pointerOutside_ = true;
    FireMouseExit();
  }
}

// ----------------------------------------------------------------- cycling

int TTrayIcon::NextCycleIndex() const {
  const int count = iconList_ ? iconList_->Count() : 0;
  return iconIndex_ < count - 1 ? iconIndex_ + 1 : 0;
}

void TTrayIcon::CopyListImage(int index) {
  // An empty list leaves the index at -1: there is no image to copy.
  if (iconList_ && index >= 0 && index < iconList_->Count()) iconList_->GetIcon(index, icon_);
}

void TTrayIcon::CycleElapsed() {
  if (!iconList_) return;
  CopyListImage(iconIndex_);
  FireCycle();
  SetIconIndex(NextCycleIndex());
}

// ------------------------------------------------------------------ events

void TTrayIcon::FireClick() {
  if (OnClick) OnClick(this);
}

void TTrayIcon::FireDblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TTrayIcon::FireCycle() {
  if (OnCycle) OnCycle(this, NextCycleIndex());
}

void TTrayIcon::FireMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TTrayIcon::FireMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TTrayIcon::FireMouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TTrayIcon::FireMouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TTrayIcon::FireMouseExit() {
  if (OnMouseExit) OnMouseExit(this);
}

void TTrayIcon::SendToTray() {
  HideMainWindow();
  SetIconVisible(true);
}

// ------------------------------------------------------------ popup menu

void TTrayIcon::ShowPopupAt(int x, int y) {
  if (!popupMenu_) return;
  SetForegroundWindow(notifyData_.hWnd);
  if (Application) Application->ProcessMessages();
  // The pending messages may have taken the menu away.
  if (!popupMenu_) return;
  popupMenu_->SetPopupComponent(this);
  popupMenu_->Popup(x, y);
  // Lets the owner's thread notice the menu has closed (a known need of
  // menus opened from the notification area).
  if (ownerWindow_) PostMessageW(ownerWindow_, WM_NULL, 0, 0);
}

void TTrayIcon::ShowPopupAtCursor() {
  POINT cursor{};
  if (GetCursorPos(&cursor)) ShowPopupAt(cursor.x, cursor.y);
}

// ------------------------------------------------- hiding and restoring

void TTrayIcon::HideApplicationButton() {
  if (!Application) return;
  HWND app = Application->Handle();
  if (IsWindowVisible(app)) ShowWindow(app, SW_HIDE);
}

void TTrayIcon::HideMainWindow() {
  TForm* main = MainForm();
  if (!OwnerControl() || !main) return;
  main->SetVisible(false);
  HideApplicationButton();
}

void TTrayIcon::RestoreMainWindow() {
  TForm* main = MainForm();
  if (!OwnerControl() || !main) return;
  Application->Restore();
  if (main->WindowState() == wsMinimized) main->SetWindowState(wsNormal);
  main->SetVisible(true);
  // The application and then the main window, as the owner-window hook does
  // for a show call. That call does not come when restoring the
  // application window has already re-shown its owned main window, and an
  // application window that is active already does not hand activation on.
  SetForegroundWindow(Application->Handle());
  SetForegroundWindow(main->Handle());
}

// ------------------------------------------------------------ window hooks

bool TTrayIcon::HandleApplicationMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_SIZE:
      if (m.WParam == SIZE_MINIMIZED && minimizeToTray_) SendToTray();
      break;
    case WM_WINDOWPOSCHANGED:
      if (mdiCheckPending_ && MainForm()) {
        // Cleared first: hiding the button below moves this window again.
        mdiCheckPending_ = false;
        if (MainForm()->FormStyle() == fsMDIForm) {
          bool showMainForm = true;
          if (OnStartup) OnStartup(this, showMainForm);
          if (!showMainForm) HideApplicationButton();
        }
      }
      break;
    case WM_SYSCOMMAND:
      // The application restored from outside, e.g. by its taskbar button.
      if (m.WParam == SC_RESTORE && MainForm()) {
        TForm* main = MainForm();
        if (main->WindowState() == wsMinimized) main->SetWindowState(wsNormal);
        main->SetVisible(true);
      }
      break;
  }
  const UINT taskbarCreated = TaskbarCreatedMessage();
  if (taskbarCreated != 0 && m.Msg == taskbarCreated && iconVisible_) AddTrayIcon();
  return false;
}

void TTrayIcon::SubclassOwner() {
  ownerWindow_ = OwnerControl()->Handle();
  savedOwnerProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(ownerWindow_, GWLP_WNDPROC));
  ownerProcThunk_ = std::make_unique<TWindowThunk>(this, OwnerProcEntry);
  SetWindowLongPtrW(ownerWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ownerProcThunk_->Proc()));
}

void TTrayIcon::UnsubclassOwner() {
  if (savedOwnerProc_ && IsWindow(ownerWindow_))
    SetWindowLongPtrW(ownerWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedOwnerProc_));
  ownerProcThunk_.reset();
  savedOwnerProc_ = nullptr;
  ownerWindow_ = nullptr;
}

LRESULT CALLBACK TTrayIcon::OwnerProcEntry(void* self, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* icon = static_cast<TTrayIcon*>(self);
  TMessage message{msg, wParam, lParam, 0};
  try {
    icon->HandleOwnerMessage(message);
  } catch (...) {
    if (Application) Application->HandleException(icon);
  }
  return message.Result;
}

void TTrayIcon::HandleOwnerMessage(TMessage& m) {
  switch (m.Msg) {
    case WM_SHOWWINDOW:
      if (m.WParam == 1 && m.LParam == 0) {
        // Shown by a show call: bring the application, then this window, to
        // the front.
        if (Application) SetForegroundWindow(Application->Handle());
        SetForegroundWindow(ownerWindow_);
      } else if (m.WParam == 0 && m.LParam == SW_PARENTCLOSING &&
                 !(Application && Application->Terminated())) {
        if (InterceptMinimize(m)) return;
      }
      break;
    case WM_SYSCOMMAND:
      if (m.WParam == SC_MINIMIZE && InterceptMinimize(m)) return;
      break;
  }
  m.Result = CallWindowProcW(savedOwnerProc_, ownerWindow_, m.Msg, m.WParam, m.LParam);
}

bool TTrayIcon::InterceptMinimize(TMessage& m) {
  if (!minimizeToTray_ || !OnMinimizeToTray) return false;
  OnMinimizeToTray(this);
  SendToTray();
  m.Result = 1;
  return true;
}
