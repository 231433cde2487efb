#include "classlib/control.h"

#include <windowsx.h>

#include <algorithm>
#include <map>

#include "classlib/application.h"
#include "classlib/exceptions.h"
#include "classlib/gdi.h"
#include "classlib/menus.h"

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState shift = 0;
  if (keys & MK_SHIFT) shift |= ssShift;
  if (keys & MK_CONTROL) shift |= ssCtrl;
  if (keys & MK_LBUTTON) shift |= ssLeft;
  if (keys & MK_RBUTTON) shift |= ssRight;
  if (keys & MK_MBUTTON) shift |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) shift |= ssAlt;
  return shift;
}

// ---------------------------------------------------------------- TControl

TControl::TControl(TComponent* owner) : TComponent(owner) {
  font_.SetHeight(-13);
  font_.OnChange = [this] {
    parentFont_ = false;
    FontChanged();
  };
}

TControl::~TControl() {
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  if (graphic_ && parent_ && parent_->HandleAllocated() && visible_) {
    RECT old = BoundsRect();
    InvalidateRect(parent_->Handle(), &old, TRUE);
  }
  left_ = left;
  top_ = top;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  UpdateAnchorRules();
  BoundsChanged();
  if (graphic_) Invalidate();
  if (resized && OnResize && !Loading()) OnResize(this);
}

int TControl::ClientWidth() const {
  const RECT r = ClientRect();
  return r.right - r.left;
}

int TControl::ClientHeight() const {
  const RECT r = ClientRect();
  return r.bottom - r.top;
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::SetAnchors(TAnchors anchors) {
  anchors_ = anchors;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (!parent_) {
    anchorRight_ = anchorBottom_ = -1;
    return;
  }
  const RECT area = parent_->ClientRect();
  anchorRight_ = area.right - (left_ + width_);
  anchorBottom_ = area.bottom - (top_ + height_);
}

void TControl::RequestAlign() {
  if (parent_) parent_->AlignControls();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  if (graphic_ && parent_ && parent_->HandleAllocated()) {
    RECT r = BoundsRect();
    InvalidateRect(parent_->Handle(), &r, TRUE);
  }
  if (align_ != alNone) RequestAlign();
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Invalidate();
}

void TControl::SetCaption(std::wstring caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Invalidate();
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Invalidate();
}

void TControl::SetParentFont(bool value) {
  parentFont_ = value;
  if (value && parent_) {
    auto handler = std::move(font_.OnChange);
    font_.Assign(parent_->Font());
    font_.OnChange = std::move(handler);
    FontChanged();
  }
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  popupMenu_ = menu;
  if (menu) FreeNotification(menu);
}

void TControl::SetSkinSection(std::wstring section) {
  if (section == skinSection_) return;
  skinSection_ = std::move(section);
  Invalidate();
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && popupMenu_ && component == popupMenu_)
    popupMenu_ = nullptr;
}

void TControl::Invalidate() {
  if (!graphic_ || !parent_ || !parent_->HandleAllocated()) return;
  RECT r = BoundsRect();
  InvalidateRect(parent_->Handle(), &r, TRUE);
}

POINT TControl::ClientToScreen(POINT p) const {
  if (!graphic_) {
    auto* self = static_cast<TWinControl*>(const_cast<TControl*>(this));
    ::ClientToScreen(self->Handle(), &p);
    return p;
  }
  if (!parent_) return p;
  return parent_->ClientToScreen(POINT{p.x + left_, p.y + top_});
}

POINT TControl::ScreenToClient(POINT p) const {
  if (!graphic_) {
    auto* self = static_cast<TWinControl*>(const_cast<TControl*>(this));
    ::ScreenToClient(self->Handle(), &p);
    return p;
  }
  if (!parent_) return p;
  POINT q = parent_->ScreenToClient(p);
  return POINT{q.x - left_, q.y - top_};
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

bool TControl::DoContextPopup(POINT screen) {
  if (!popupMenu_ || !popupMenu_->AutoPopup()) return false;
  popupMenu_->SetPopupComponent(this);
  popupMenu_->Popup(screen.x, screen.y);
  return true;
}

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) { graphic_ = true; }

// ------------------------------------------------------------- TWinControl

namespace {
const wchar_t kWindowClass[] = L"CammonWindow";

// Our class, or a superclass of a standard class with our procedure, whose
// original procedure is kept for DefaultHandler.
WNDPROC RegisterClassFor(const TCreateParams& params, WNDPROC ourProc) {
  static std::map<std::wstring, WNDPROC> registered;
  auto found = registered.find(params.ClassName);
  if (found != registered.end()) return found->second;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  WNDPROC base = DefWindowProcW;
  if (!params.BaseClassName.empty()) {
    if (!GetClassInfoExW(nullptr, params.BaseClassName.c_str(), &wc))
      RaiseLastOSError(L"GetClassInfoEx");
    base = wc.lpfnWndProc;
    wc.cbSize = sizeof(wc);
  } else {
    wc.style = params.ClassStyle;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = Application ? Application->Icon() : nullptr;
  }
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpfnWndProc = ourProc;
  wc.lpszClassName = params.ClassName.c_str();
  if (!RegisterClassExW(&wc)) RaiseLastOSError(L"RegisterClassEx");
  registered[params.ClassName] = base;
  return base;
}
}  // namespace

TWinControl* FindControl(HWND hwnd) {
  if (!hwnd) return nullptr;
  return reinterpret_cast<TWinControl*>(GetPropW(hwnd, L"CammonControl"));
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  DestroyComponents();
  // Children not owned by this control lose their parent, not their life.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  DestroyHandle();
}

HWND TWinControl::Handle() {
  if (!handle_) CreateWnd();
  return handle_;
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.ClassName = kWindowClass;
  params.Caption = caption_;
  params.X = left_;
  params.Y = top_;
  params.Width = width_;
  params.Height = height_;
  if (visible_) params.Style |= WS_VISIBLE;
  if (!enabled_) params.Style |= WS_DISABLED;
  if (parent_) params.WndParent = parent_->Handle();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  // Making the parent's window made this one too, with the parent's children.
  if (handle_) return;
  defWndProc_ = RegisterClassFor(params, StaticWndProc);
  HWND hwnd = CreateWindowExW(params.ExStyle, params.ClassName.c_str(), params.Caption.c_str(),
                              params.Style, params.X, params.Y, params.Width, params.Height,
                              params.WndParent, nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd) RaiseLastOSError(L"CreateWindowEx");
  handle_ = hwnd;
  ApplyFont();
  for (TControl* child : std::vector<TControl*>(controls_))
    if (!child->graphic_) static_cast<TWinControl*>(child)->HandleNeeded();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  HWND hwnd = handle_;
  for (TControl* child : controls_)
    if (!child->graphic_) static_cast<TWinControl*>(child)->DestroyHandle();
  RemovePropW(hwnd, L"CammonControl");
  handle_ = nullptr;
  DestroyWindow(hwnd);
}

LRESULT CALLBACK TWinControl::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* control = reinterpret_cast<TWinControl*>(GetPropW(hwnd, L"CammonControl"));
  if (!control && msg == WM_NCCREATE) {
    // The object pointer comes with the creation and stays in a window property.
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    control = static_cast<TWinControl*>(create->lpCreateParams);
    SetPropW(hwnd, L"CammonControl", control);
    control->handle_ = hwnd;
  }
  if (!control) return DefWindowProcW(hwnd, msg, wParam, lParam);
  TMessage message{msg, wParam, lParam, 0};
  try {
    control->WndProc(message);
  } catch (...) {
    // Errors never unwind through the system's frames.
    if (Application) Application->HandleException(control);
  }
  return message.Result;
}

LRESULT TWinControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage message{msg, wParam, lParam, 0};
  WndProc(message);
  return message.Result;
}

void TWinControl::DefaultHandler(TMessage& m) {
  m.Result = CallWindowProcW(defWndProc_ ? defWndProc_ : DefWindowProcW, handle_, m.Msg, m.WParam,
                             m.LParam);
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(m.WParam));
      m.Result = 1;
      return;
    case WM_PAINT:
      if (defWndProc_ == DefWindowProcW) {
        PaintHandler();
        return;
      }
      break;
    case WM_SIZE:
      if (m.WParam != SIZE_MINIMIZED) Resized();
      break;
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      if (NotifyChild(m)) return;
      break;
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
    case WM_MOUSEMOVE:
      MouseMessage(m);
      // The default handling of a right button release asks for the
      // context menu (WM_CONTEXTMENU), also for input forwarded to us.
      if (defWndProc_ == DefWindowProcW && m.Msg != WM_RBUTTONUP) return;
      break;
    case WM_CAPTURECHANGED:
      mouseCaptured_ = false;
      mouseTarget_ = nullptr;
      break;
    case WM_CONTEXTMENU:
      if (ContextPopup(m.LParam)) return;
      break;
    case WM_SETFOCUS:
      if (OnEnter) OnEnter(this);
      break;
    case WM_KILLFOCUS:
      if (OnExit) OnExit(this);
      break;
  }
  DefaultHandler(m);
}

void TWinControl::Resized() {
  RECT r;
  GetWindowRect(handle_, &r);
  if (HWND p = GetParent(handle_); p && (GetWindowLongW(handle_, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(nullptr, p, reinterpret_cast<POINT*>(&r), 2);
  const bool resized = r.right - r.left != width_ || r.bottom - r.top != height_;
  left_ = r.left;
  top_ = r.top;
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
  AlignControls();
  if (resized && OnResize && !Loading()) OnResize(this);
}

// A child window's command or colour request goes to its control.
bool TWinControl::NotifyChild(TMessage& m) {
  if (m.Msg == WM_COMMAND && !m.LParam) return false;  // a menu or accelerator
  TWinControl* child = FindControl(reinterpret_cast<HWND>(m.LParam));
  if (!child) return false;
  if (m.Msg == WM_COMMAND) child->CommandNotify(HIWORD(m.WParam));
  else m.Result = child->ColorNotify(reinterpret_cast<HDC>(m.WParam));
  return true;
}

// The graphic child under the pointer gets its own menu first; a menu key
// (position -1, -1) opens at the control's corner.
bool TWinControl::ContextPopup(LPARAM position) {
  POINT screen{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  if (screen.x == -1 && screen.y == -1) {
    screen = POINT{0, 0};
    ::ClientToScreen(handle_, &screen);
  }
  POINT local = screen;
  ::ScreenToClient(handle_, &local);
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    RECT r = c->BoundsRect();
    if (c->graphic_ && c->visible_ && PtInRect(&r, local) && c->DoContextPopup(screen)) return true;
  }
  return DoContextPopup(screen);
}

void TWinControl::MouseMessage(TMessage& m) {
  const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  TShiftState shift = KeysToShiftState(m.WParam);
  // While a button is held the control that took the press keeps the mouse;
  // otherwise a graphic child under the pointer receives it.
  TControl* target = mouseCaptured_ && mouseTarget_ ? mouseTarget_ : this;
  if (!mouseCaptured_) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
      TControl* c = *it;
      RECT r = c->BoundsRect();
      if (c->graphic_ && c->visible_ && c->enabled_ && PtInRect(&r, POINT{x, y})) {
        target = c;
        break;
      }
    }
  }
  const int tx = target == this ? x : x - target->left_;
  const int ty = target == this ? y : y - target->top_;
  auto down = [&](TMouseButton button, bool dbl) {
    if (!mouseCaptured_ && OwnWindowClass()) {
      SetCapture(handle_);
      mouseCaptured_ = true;
      mouseTarget_ = target;
    }
    if (dbl) {
      target->DblClick();
      shift |= ssDouble;
    }
    target->MouseDown(button, shift, tx, ty);
  };
  auto up = [&](TMouseButton button) {
    const bool wasCaptured = mouseCaptured_;
    if (mouseCaptured_ && GetCapture() == handle_) ReleaseCapture();
    mouseCaptured_ = false;
    mouseTarget_ = nullptr;
    RECT client = target == this ? ClientRect() : RECT{0, 0, target->width_, target->height_};
    if (button == mbLeft && (wasCaptured || !OwnWindowClass()) && PtInRect(&client, POINT{tx, ty}))
      target->Click();
    target->MouseUp(button, shift, tx, ty);
  };
  switch (m.Msg) {
    case WM_LBUTTONDOWN: down(mbLeft, false); break;
    case WM_LBUTTONDBLCLK: down(mbLeft, true); break;
    case WM_RBUTTONDOWN: down(mbRight, false); break;
    case WM_RBUTTONDBLCLK: down(mbRight, true); break;
    case WM_MBUTTONDOWN: down(mbMiddle, false); break;
    case WM_MBUTTONDBLCLK: down(mbMiddle, true); break;
    case WM_LBUTTONUP: up(mbLeft); break;
    case WM_RBUTTONUP: up(mbRight); break;
    case WM_MBUTTONUP: up(mbMiddle); break;
    case WM_MOUSEMOVE: target->MouseMove(shift, tx, ty); break;
  }
}

void TWinControl::PaintHandler() {
  const TPaintDC paint(handle_);
  const HDC dc = paint.Get();
  canvas_.SetHandle(dc);
  Paint(canvas_);
  for (TControl* c : controls_) {
    if (!c->graphic_ || !c->visible_) continue;
    RECT r = c->BoundsRect(), overlap;
    if (!IntersectRect(&overlap, &r, &paint.PaintRect())) continue;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    SetViewportOrgEx(dc, r.left, r.top, nullptr);
    TCanvas childCanvas(dc);
    c->PaintOn(childCanvas);
    RestoreDC(dc, saved);
  }
  canvas_.SetHandle(nullptr);
}

void TWinControl::Paint(TCanvas&) {}

void TWinControl::PaintBackground(HDC dc) {
  RECT r;
  GetClientRect(handle_, &r);
  FillSolidRect(dc, r, ColorToRGB(color_));
}

LRESULT TWinControl::ColorNotify(HDC dc) {
  SetTextColor(dc, ColorToRGB(font_.Color()));
  SetBkColor(dc, ColorToRGB(color_));
  static TGdiObject<HBRUSH> brush;
  brush.Reset(CreateSolidBrush(ColorToRGB(color_)));
  return reinterpret_cast<LRESULT>(brush.Get());
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  TControl::SetBounds(left, top, width, height);
}

void TWinControl::BoundsChanged() {
  if (handle_) {
    SetWindowPos(handle_, nullptr, left_, top_, width_, height_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  AlignControls();
}

RECT TWinControl::ClientRect() const {
  if (handle_) {
    RECT r;
    GetClientRect(handle_, &r);
    return r;
  }
  return RECT{0, 0, width_, height_};
}

void TWinControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  TControl::SetVisible(visible);
  if (handle_) ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (handle_) EnableWindow(handle_, enabled);
  Invalidate();
}

void TWinControl::SetCaption(std::wstring caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  if (handle_) SetWindowTextW(handle_, caption_.c_str());
}

void TWinControl::SetColor(TColor color) {
  color_ = color;
  Invalidate();
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

void TWinControl::FontChanged() {
  ApplyFont();
  for (TControl* c : controls_) {
    if (c->parentFont_) {
      auto handler = std::move(c->font_.OnChange);
      c->font_.Assign(font_);
      c->font_.OnChange = std::move(handler);
      c->FontChanged();
      c->Invalidate();
    }
  }
}

void TWinControl::ApplyFont() {
  if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), TRUE);
}

void TWinControl::InsertControl(TControl* control) {
  controls_.push_back(control);
  control->parent_ = this;
  control->UpdateAnchorRules();
  if (control->parentFont_) {
    auto handler = std::move(control->font_.OnChange);
    control->font_.Assign(font_);
    control->font_.OnChange = std::move(handler);
    control->FontChanged();
  }
  if (handle_ && !control->graphic_) static_cast<TWinControl*>(control)->HandleNeeded();
  if (control->align_ != alNone) AlignControls();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  control->Invalidate();
  if (!control->graphic_) static_cast<TWinControl*>(control)->DestroyHandle();
  std::erase(controls_, control);
  if (mouseTarget_ == control) mouseTarget_ = nullptr;
  control->parent_ = nullptr;
}

void TWinControl::AlignControls() {
  RECT area = ClientRect();
  const int clientW = area.right - area.left, clientH = area.bottom - area.top;
  AdjustClientRect(area);
  auto place = [](TControl* c, int l, int t, int w, int h) {
    const int keepRight = c->anchorRight_, keepBottom = c->anchorBottom_;
    c->SetBounds(l, t, w, h);
    c->anchorRight_ = keepRight;
    c->anchorBottom_ = keepBottom;
  };
  // Aligned children take their edge of what is left, in the order
  // top, bottom, left, right, client.
  for (TAlign kind : {alTop, alBottom, alLeft, alRight, alClient}) {
    for (TControl* c : controls_) {
      if (c->align_ != kind || !c->visible_) continue;
      const int w = area.right - area.left, h = area.bottom - area.top;
      switch (kind) {
        case alTop: place(c, area.left, area.top, w, c->height_); area.top += c->height_; break;
        case alBottom: place(c, area.left, area.bottom - c->height_, w, c->height_); area.bottom -= c->height_; break;
        case alLeft: place(c, area.left, area.top, c->width_, h); area.left += c->width_; break;
        case alRight: place(c, area.right - c->width_, area.top, c->width_, h); area.right -= c->width_; break;
        case alClient: place(c, area.left, area.top, w, h); break;
        default: break;
      }
    }
  }
  // Anchored children keep their distances to the anchored edges.
  for (TControl* c : controls_) {
    if (c->align_ != alNone) continue;
    if ((c->anchors_ & (akRight | akBottom)) == 0) continue;
    int l = c->left_, t = c->top_, w = c->width_, h = c->height_;
    if (c->anchors_ & akRight) {
      if (c->anchors_ & akLeft) w = clientW - c->anchorRight_ - l;
      else l = clientW - c->anchorRight_ - w;
    }
    if (c->anchors_ & akBottom) {
      if (c->anchors_ & akTop) h = clientH - c->anchorBottom_ - t;
      else t = clientH - c->anchorBottom_ - h;
    }
    if (l != c->left_ || t != c->top_ || w != c->width_ || h != c->height_) place(c, l, t, w, h);
  }
}
