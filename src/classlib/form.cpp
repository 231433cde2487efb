#include "classlib/form.h"

#include <windowsx.h>

#include "classlib/application.h"
#include "classlib/exceptions.h"
#include "classlib/gdi.h"
#include "classlib/skin_painter.h"

TForm::TForm(TComponent* owner) : TWinControl(owner) {
  visible_ = false;
  parentFont_ = false;
  // The window font of every form: 宋体, GB2312, 13 pixels.
  auto handler = std::move(font_.OnChange);
  font_.SetName(L"宋体");
  font_.SetCharset(GB2312_CHARSET);
  font_.SetHeight(-13);
  font_.OnChange = std::move(handler);
  BeginLoading();
}

TForm::~TForm() { DestroyComponents(); }

void TForm::AfterConstruction() {
  EndLoading();
  if (!OnCreate) return;
  try {
    OnCreate(this);
  } catch (...) {
    // The window stays; the rest of the creation handler is skipped.
    Application->HandleException(this);
  }
}

void TForm::BeforeDestruction() {
  if (!destroyedEventSent_) {
    destroyedEventSent_ = true;
    if (OnDestroy) {
      try {
        OnDestroy(this);
      } catch (...) {
        Application->HandleException(this);
      }
    }
  }
  TWinControl::BeforeDestruction();
}

DWORD TForm::StyleBits() const {
  DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  switch (borderStyle_) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog: style |= WS_POPUP | WS_CAPTION | WS_SYSMENU; break;
  }
  if (borderStyle_ != bsNone && borderStyle_ != bsDialog) {
    if (borderIcons_ & biSystemMenu) style |= WS_SYSMENU;
    if (borderIcons_ & biMinimize) style |= WS_MINIMIZEBOX;
    if (borderIcons_ & biMaximize) style |= WS_MAXIMIZEBOX;
  }
  return style;
}

DWORD TForm::ExStyleBits() const {
  DWORD ex = 0;
  if (borderStyle_ == bsDialog) ex |= WS_EX_DLGMODALFRAME;
  if (formStyle_ == fsStayOnTop) ex |= WS_EX_TOPMOST;
  return ex;
}

SIZE TForm::WindowSizeFor(int clientWidth, int clientHeight) const {
  RECT r{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&r, StyleBits(), FALSE, ExStyleBits());
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void TForm::SetClientWidth(int width) {
  clientWidth_ = width;
  const SIZE s = WindowSizeFor(width, clientHeight_);
  SetBounds(left_, top_, s.cx, height_ ? height_ : s.cy);
}

void TForm::SetClientHeight(int height) {
  clientHeight_ = height;
  const SIZE s = WindowSizeFor(clientWidth_, height);
  SetBounds(left_, top_, width_ ? width_ : s.cx, s.cy);
}

RECT TForm::ClientRect() const {
  if (handle_) return TWinControl::ClientRect();
  const SIZE frame = WindowSizeFor(0, 0);
  return RECT{0, 0, width_ - frame.cx, height_ - frame.cy};
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
  const RECT client = ClientRect();
  borderStyle_ = style;
  if (handle_) {
    SetWindowLongPtrW(handle_, GWL_STYLE, StyleBits() | (IsWindowVisible(handle_) ? WS_VISIBLE : 0));
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The client area keeps its size; the frame around it changes.
  const SIZE s = WindowSizeFor(client.right, client.bottom);
  SetBounds(left_, top_, s.cx, s.cy);
}

void TForm::SetBorderIcons(TBorderIcons icons) {
  borderIcons_ = icons;
  if (handle_) SetWindowLongPtrW(handle_, GWL_STYLE, StyleBits() | (IsWindowVisible(handle_) ? WS_VISIBLE : 0));
}

void TForm::SetFormStyle(TFormStyle style) {
  if (style == formStyle_) return;
  formStyle_ = style;
  if (!handle_ || (style != fsStayOnTop && style != fsNormal)) return;
  const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(handle_, style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags);
  if (style == fsNormal && (GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
    // Wine 8 keeps an owned window that is in front topmost through
    // HWND_NOTOPMOST; it lets go while the window has no owner.
    const LONG_PTR owner = GetWindowLongPtrW(handle_, GWLP_HWNDPARENT);
    SetWindowLongPtrW(handle_, GWLP_HWNDPARENT, 0);
    SetWindowPos(handle_, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
    SetWindowLongPtrW(handle_, GWLP_HWNDPARENT, owner);
  }
}

void TForm::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style = StyleBits();
  params.ExStyle = ExStyleBits();
  // Top-level forms are owned by the application window, which carries the
  // taskbar button for all of them.
  params.WndParent = Application ? Application->Handle() : nullptr;
}

void TForm::CreateWnd() {
  TWinControl::CreateWnd();
  if (Application && Application->Icon())
    SendMessageW(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Application->Icon()));
}

void TForm::ApplyPosition() {
  // A form centred on the main window follows it at every showing; the other
  // positions are taken at the first.
  if (positioned_ && (position_ != poMainFormCenter || (handle_ && IsWindowVisible(handle_))))
    return;
  positioned_ = true;
  RECT area{};
  if (position_ == poDesigned) return;
  TForm* main = Application ? Application->MainForm() : nullptr;
  if (position_ == poMainFormCenter && main && main != this && main->HandleAllocated()) {
    GetWindowRect(main->Handle(), &area);
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  const int x = area.left + (area.right - area.left - width_) / 2;
  const int y = area.top + (area.bottom - area.top - height_) / 2;
  SetBounds(x < 0 ? 0 : x, y < 0 ? 0 : y, width_, height_);
}

TWindowState TForm::WindowState() const {
  if (handle_ && IsWindowVisible(handle_)) {
    if (IsIconic(handle_)) return wsMinimized;
    if (IsZoomed(handle_)) return wsMaximized;
    return wsNormal;
  }
  return windowState_;
}

void TForm::SetWindowState(TWindowState state) {
  windowState_ = state;
  if (!handle_ || !IsWindowVisible(handle_)) return;
  switch (state) {
    case wsMinimized:
      if (Application && Application->MainForm() == this) Application->Minimize();
      else ShowWindow(handle_, SW_MINIMIZE);
      break;
    case wsMaximized: ShowWindow(handle_, SW_MAXIMIZE); break;
    case wsNormal: ShowWindow(handle_, SW_RESTORE); break;
  }
}

void TForm::SetActiveControl(TWinControl* control) {
  activeControl_ = control;
  if (control) {
    FreeNotification(control);
    if (handle_ && IsWindowVisible(handle_)) control->SetFocus();
  }
}

void TForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == activeControl_) activeControl_ = nullptr;
}

void TForm::Show() {
  SetVisible(true);
  if (handle_) {
    SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(handle_);
    if (activeControl_ && activeControl_->Visible() && activeControl_->Enabled())
      activeControl_->SetFocus();
  }
}

void TForm::SetVisible(bool visible) {
  if (visible) {
    ApplyPosition();
    HandleNeeded();
    if (Application && Application->MainForm() == this && Application->Handle())
      ShowWindow(Application->Handle(), SW_SHOWNOACTIVATE);
    visible_ = true;
    const int command = windowState_ == wsMaximized   ? SW_SHOWMAXIMIZED
                        : windowState_ == wsMinimized ? SW_SHOWMINIMIZED
                                                      : SW_SHOWNORMAL;
    if (!IsWindowVisible(handle_)) {
      ShowWindow(handle_, command);
      if (OnShow) OnShow(this);
    }
  } else {
    if (!visible_) return;
    visible_ = false;
    if (handle_ && IsWindowVisible(handle_)) {
      ShowWindow(handle_, SW_HIDE);
      if (OnHide) OnHide(this);
    }
  }
}

bool TForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TForm::Close() {
  if (modal_) {
    if (CloseQuery()) modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Hide(); break;  // the form lives until its owner goes
    default: break;
  }
}

TModalResult TForm::ShowModal() {
  if (modal_ || Visible()) throw EInvalidOperation(L"Cannot make a visible window modal");
  // Every other window of the thread is disabled while the form is modal.
  std::vector<HWND> disabled;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM data) -> BOOL {
        if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
          reinterpret_cast<std::vector<HWND>*>(data)->push_back(hwnd);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&disabled));
  HandleNeeded();
  std::erase(disabled, handle_);
  for (HWND w : disabled) EnableWindow(w, FALSE);
  modal_ = true;
  modalResult_ = mrNone;
  Application->PushModal(this);
  Show();
  try {
    while (modalResult_ == mrNone && !Application->Terminated()) {
      if (!Application->HandleMessage()) break;
    }
  } catch (...) {
    Application->PopModal();
    modal_ = false;
    for (HWND w : disabled) EnableWindow(w, TRUE);
    Hide();
    throw;
  }
  Application->PopModal();
  modal_ = false;
  // Re-enable before hiding, so the activation goes back to the owner.
  for (HWND w : disabled) EnableWindow(w, TRUE);
  Hide();
  const TModalResult result = modalResult_ ? modalResult_ : mrCancel;
  return result;
}

void TForm::Paint(TCanvas&) {
  if (OnPaint) OnPaint(this);
}

void TForm::PaintBackground(HDC dc) {
  TSkinPainter* skin = ActiveSkin();
  if (!skin || skinSection_.empty()) {
    TWinControl::PaintBackground(dc);
    return;
  }
  RECT r;
  GetClientRect(handle_, &r);
  FillSolidRect(dc, r, ColorToRGB(skin->SectionColor(skinSection_, color_)));
}

void TForm::PaintSkinFrame() {
  if (TSkinPainter* skin = ActiveSkin())
    skin->DrawFrame(skinSection_, handle_, frameActive_ ? dsActive : 0);
}

bool TForm::SkinFrame(TMessage& m) {
  TSkinPainter* skin = ActiveSkin();
  if (!skin || skinSection_.empty() || borderStyle_ == bsNone) return false;
  switch (m.Msg) {
    case WM_NCPAINT:
      if (!skin->DrawFrame(skinSection_, handle_, frameActive_ ? dsActive : 0)) return false;
      m.Result = 0;
      return true;
    case WM_NCACTIVATE:
      frameActive_ = m.WParam != 0;
      if (!skin->DrawFrame(skinSection_, handle_, frameActive_ ? dsActive : 0)) return false;
      m.Result = TRUE;
      return true;
    case WM_SETTEXT:
    case WM_SETICON:
      // The platform draws its own caption for these; ours goes over it.
      DefaultHandler(m);
      PaintSkinFrame();
      return true;
    case WM_NCHITTEST: {
      DefaultHandler(m);
      if (m.Result == HTCLOSE || m.Result == HTMINBUTTON || m.Result == HTMAXBUTTON ||
          m.Result == HTSYSMENU || m.Result == HTCAPTION) {
        RECT window;
        GetWindowRect(handle_, &window);
        const POINT p{GET_X_LPARAM(m.LParam) - window.left, GET_Y_LPARAM(m.LParam) - window.top};
        const int button = skin->FrameButtonAt(skinSection_, handle_, p);
        m.Result = button != HTNOWHERE ? button : HTCAPTION;
      }
      return true;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
      // The skin's caption buttons act on the press.
      WPARAM command = 0;
      switch (m.WParam) {
        case HTCLOSE: command = SC_CLOSE; break;
        case HTMINBUTTON: command = SC_MINIMIZE; break;
        case HTMAXBUTTON: command = IsZoomed(handle_) ? SC_RESTORE : SC_MAXIMIZE; break;
        default: return false;
      }
      PostMessageW(handle_, WM_SYSCOMMAND, command, 0);
      m.Result = 0;
      return true;
    }
  }
  return false;
}

void TForm::WndProc(TMessage& m) {
  if (SkinFrame(m)) return;
  switch (m.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case WM_ACTIVATE:
      if (LOWORD(m.WParam) != WA_INACTIVE && OnActivate) OnActivate(this);
      break;
    case WM_SYSCOMMAND:
      if ((m.WParam & 0xFFF0) == SC_MINIMIZE && Application && Application->MainForm() == this) {
        // The application window goes down as a whole, with its taskbar button.
        Application->Minimize();
        return;
      }
      break;
  }
  TWinControl::WndProc(m);
}
