#include "classlib/std_controls.h"

#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>

#include "classlib/exceptions.h"
#include "classlib/form.h"
#include "classlib/gdi.h"
#include "classlib/sysutils.h"

namespace {
// Plain text drawing in the control's font, centred unless told otherwise.
void DrawCaption(HDC dc, TFont& font, TColor color, const std::wstring& text, RECT r,
                 UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE) {
  const TSelectedObject selected(dc, font.Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(color));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
}

SIZE TextSize(HDC dc, TFont& font, const std::wstring& text) {
  const TSelectedObject selected(dc, font.Handle());
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

void FillColor(HDC dc, const RECT& r, TColor color) { FillSolidRect(dc, r, ColorToRGB(color)); }

bool SkinDraws(const std::wstring& section, TSkinPart part, HDC dc, const RECT& r,
               TDrawStates states) {
  TSkinPainter* skin = ActiveSkin();
  return skin && !section.empty() && skin->DrawPart(section, part, dc, r, states);
}

}  // namespace

// ----------------------------------------------------------------- TStrings

void TStrings::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit)
    throw EListError(Format(L"List index out of bounds (%d)", index));
}

const std::wstring& TStrings::Strings(int index) const {
  CheckIndex(index, Count());
  return items_[index];
}

int TStrings::IndexOf(const std::wstring& text) const {
  auto found = std::find(items_.begin(), items_.end(), text);
  return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

int TStrings::Add(std::wstring text) {
  items_.push_back(std::move(text));
  if (OnChanged) OnChanged(chAdded, Count() - 1);
  return Count() - 1;
}

void TStrings::Insert(int index, std::wstring text) {
  CheckIndex(index, Count() + 1);
  items_.insert(items_.begin() + index, std::move(text));
  if (OnChanged) OnChanged(chAdded, index);
}

void TStrings::Delete(int index) {
  CheckIndex(index, Count());
  items_.erase(items_.begin() + index);
  if (OnChanged) OnChanged(chDeleted, index);
}

void TStrings::Clear() {
  items_.clear();
  if (OnChanged) OnChanged(chCleared, -1);
}

// ----------------------------------------------------------- TCustomControl

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

void TCustomControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, handle_, 0};
        TrackMouseEvent(&track);
        Invalidate();
      }
      break;
    case WM_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      Invalidate();
      break;
  }
  TWinControl::WndProc(m);
}

TDrawStates TCustomControl::BaseStates() const {
  TDrawStates states = 0;
  if (hot_) states |= dsHot;
  if (!enabled_) states |= dsDisabled;
  if (handle_ && GetFocus() == handle_) states |= dsFocused;
  return states;
}

void TCustomControl::DrawFace(TCanvas& canvas, const RECT& r, TDrawStates states) {
  if (SkinDraws(skinSection_, spFace, canvas.Handle(), r, states)) return;
  FillColor(canvas.Handle(), r, color_);
}

TColor TCustomControl::TextColor(TDrawStates states) {
  const TColor plain = (states & dsDisabled) ? clGray : font_.Color();
  TSkinPainter* skin = ActiveSkin();
  if (!skin || skinSection_.empty()) return plain;
  return skin->FontColor(skinSection_, states, plain);
}

// ------------------------------------------------------------------- TPanel

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
  width_ = 185;
  height_ = 41;
}

void TPanel::SetBevelInner(TBevelCut cut) {
  bevelInner_ = cut;
  BevelsChanged();
}

void TPanel::SetBevelOuter(TBevelCut cut) {
  bevelOuter_ = cut;
  BevelsChanged();
}

void TPanel::SetBevelWidth(int width) {
  bevelWidth_ = std::max(1, width);
  BevelsChanged();
}

void TPanel::BevelsChanged() {
  AlignControls();
  Invalidate();
}

void TPanel::SetShowCaption(bool value) {
  showCaption_ = value;
  Invalidate();
}

void TPanel::SetCaption(std::wstring caption) {
  TWinControl::SetCaption(std::move(caption));
  Invalidate();
}

int TPanel::FrameWidth() const {
  return (bevelOuter_ != bvNone ? bevelWidth_ : 0) + (bevelInner_ != bvNone ? bevelWidth_ : 0);
}

void TPanel::AdjustClientRect(RECT& r) {
  const int w = FrameWidth();
  InflateRect(&r, -w, -w);
}

void TPanel::Paint(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  RECT r = ClientRect();
  if (!SkinDraws(skinSection_, spFace, dc, r, BaseStates())) {
    FillColor(dc, r, color_);
    for (TBevelCut cut : {bevelOuter_, bevelInner_}) {
      if (cut == bvNone) continue;
      for (int i = 0; i < bevelWidth_; ++i) {
        DrawEdge(dc, &r, cut == bvLowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        InflateRect(&r, -1, -1);
      }
    }
  }
  if (showCaption_ && !caption_.empty())
    DrawCaption(dc, font_, TextColor(BaseStates()), caption_, ClientRect());
}

// ------------------------------------------------------------- TSpeedButton

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner) {
  width_ = 23;
  height_ = 22;
}

void TSpeedButton::SetDown(bool value) {
  if (value == down_) return;
  down_ = value;
  Invalidate();
}

void TSpeedButton::PaintOn(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  const RECT r{0, 0, width_, height_};
  TDrawStates states = 0;
  if (down_ || press_.Shown()) states |= dsPressed;
  if (!enabled_) states |= dsDisabled;
  if (!SkinDraws(skinSection_, spFace, dc, r, states)) {
    FillColor(dc, r, color_);
    RECT edge = r;
    DrawEdge(dc, &edge, (states & dsPressed) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  }
  TColor color = (states & dsDisabled) ? clGray : font_.Color();
  if (TSkinPainter* skin = ActiveSkin(); skin && !skinSection_.empty())
    color = skin->FontColor(skinSection_, states, color);
  RECT text = r;
  if (states & dsPressed) OffsetRect(&text, 1, 1);
  DrawCaption(dc, font_, color, caption_, text);
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    press_.Press();
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  if (press_.Move(x, y, width_, height_)) Invalidate();
  TGraphicControl::MouseMove(shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && press_.Release()) Invalidate();
  TGraphicControl::MouseUp(button, shift, x, y);
}

bool TButtonPress::Move(int x, int y, int width, int height) {
  const bool now = x >= 0 && y >= 0 && x < width && y < height;
  if (!held || now == inside) return false;
  inside = now;
  return true;
}

bool TButtonPress::Release() {
  if (!held) return false;
  held = false;
  return true;
}

// ------------------------------------------------------------------ TBitBtn

TBitBtn::TBitBtn(TComponent* owner) : TCustomControl(owner) {
  width_ = 75;
  height_ = 25;
}

void TBitBtn::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style |= WS_TABSTOP;
}

void TBitBtn::Click() {
  // The handler runs first; a modal result then ends the modal showing.
  TCustomControl::Click();
  if (modalResult_ == 0) return;
  for (TWinControl* p = parent_; p; p = p->Parent()) {
    if (auto* form = dynamic_cast<TForm*>(p)) {
      form->SetModalResult(modalResult_);
      break;
    }
  }
}

void TBitBtn::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      m.Result = DLGC_BUTTON;
      return;
    case WM_KEYDOWN:
      if (m.WParam == VK_SPACE || m.WParam == VK_RETURN) {
        Click();
        return;
      }
      break;
  }
  TCustomControl::WndProc(m);
}

void TBitBtn::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    if (GetFocus() != handle_) ::SetFocus(handle_);
    press_.Press();
    Invalidate();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TBitBtn::MouseMove(TShiftState shift, int x, int y) {
  if (press_.Move(x, y, width_, height_)) Invalidate();
  TCustomControl::MouseMove(shift, x, y);
}

void TBitBtn::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && press_.Release()) Invalidate();
  TCustomControl::MouseUp(button, shift, x, y);
}

void TBitBtn::Paint(TCanvas& canvas) {
  const RECT r = ClientRect();
  TBufferedPaint buffer(canvas.Handle(), r.right, r.bottom);
  HDC dc = buffer.Handle();
  TDrawStates states = BaseStates();
  if (press_.Shown()) states |= dsPressed;
  if (!SkinDraws(skinSection_, spFace, dc, r, states)) {
    FillColor(dc, r, color_);
    RECT edge = r;
    DrawEdge(dc, &edge, (states & dsPressed) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  }
  RECT text = r;
  if (states & dsPressed) OffsetRect(&text, 1, 1);
  if (!glyph_.Empty()) {
    // The picture and the caption share the middle of the button.
    TCanvas measure(dc);
    measure.Font().Assign(font_);
    const int total = glyph_.Width() + 4 + measure.TextExtent(caption_).cx;
    const int x = text.left + (text.right - text.left - total) / 2;
    const int y = text.top + (text.bottom - text.top - glyph_.Height()) / 2;
    BitBlt(dc, x, y, glyph_.Width(), glyph_.Height(), glyph_.Canvas().Handle(), 0, 0, SRCCOPY);
    text.left = x + glyph_.Width() + 4;
    DrawCaption(dc, font_, TextColor(states), caption_, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  } else {
    DrawCaption(dc, font_, TextColor(states), caption_, text);
  }
  if (states & dsFocused) {
    RECT focus = r;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

// ---------------------------------------------------------------- TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TCustomControl(owner) {
  width_ = 97;
  height_ = 17;
}

void TCheckBox::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style |= WS_TABSTOP;
}

void TCheckBox::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  Invalidate();
  TCustomControl::Click();
}

void TCheckBox::Click() { SetChecked(!checked_); }

void TCheckBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
      if (handle_ && GetFocus() != handle_) ::SetFocus(handle_);
      break;
    case WM_KEYDOWN:
      if (m.WParam == VK_SPACE) {
        Click();
        return;
      }
      break;
  }
  TCustomControl::WndProc(m);
}

void TCheckBox::Paint(TCanvas& canvas) {
  const RECT r = ClientRect();
  TBufferedPaint buffer(canvas.Handle(), r.right, r.bottom);
  HDC dc = buffer.Handle();
  TDrawStates states = BaseStates();
  if (checked_) states |= dsChecked;
  // The box takes the parent's background; its own section has no face.
  TColor back = parent_ ? parent_->Color() : color_;
  if (TSkinPainter* skin = ActiveSkin(); skin && parent_ && !parent_->SkinSection().empty())
    back = skin->SectionColor(parent_->SkinSection(), back);
  if (!SkinDraws(skinSection_, spFace, dc, r, states)) FillColor(dc, r, back);
  const int box = 13;
  RECT glyph{0, (r.bottom - box) / 2, box, (r.bottom - box) / 2 + box};
  if (!SkinDraws(skinSection_, spGlyph, dc, glyph, states)) {
    UINT flags = DFCS_BUTTONCHECK | DFCS_FLAT;
    if (checked_) flags |= DFCS_CHECKED;
    if (!enabled_) flags |= DFCS_INACTIVE;
    DrawFrameControl(dc, &glyph, DFC_BUTTON, flags);
  }
  RECT text{box + 4, 0, r.right, r.bottom};
  DrawCaption(dc, font_, TextColor(states), caption_, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (states & dsFocused) {
    const SIZE size = TextSize(dc, font_, caption_);
    RECT focus{text.left - 1, (r.bottom - size.cy) / 2 - 1,
               std::min<LONG>(text.left + size.cx + 1, r.right), (r.bottom + size.cy) / 2 + 1};
    DrawFocusRect(dc, &focus);
  }
}

// ---------------------------------------------------------------- TGroupBox

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  width_ = 185;
  height_ = 105;
}

void TGroupBox::AdjustClientRect(RECT& r) {
  r.top += -font_.Height() + 2;
  InflateRect(&r, -2, -2);
}

void TGroupBox::Paint(TCanvas& canvas) {
  HDC dc = canvas.Handle();
  const RECT r = ClientRect();
  TColor back = parent_ ? parent_->Color() : color_;
  if (TSkinPainter* skin = ActiveSkin(); skin && parent_ && !parent_->SkinSection().empty())
    back = skin->SectionColor(parent_->SkinSection(), back);
  FillColor(dc, r, back);
  const SIZE text = TextSize(dc, font_, caption_);
  // The frame starts at the middle of the caption line.
  RECT frame{0, text.cy / 2, r.right, r.bottom};
  const TDrawStates states = BaseStates();
  if (!SkinDraws(skinSection_, spFace, dc, frame, states)) {
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  }
  if (caption_.empty()) return;
  RECT label{8, 0, 8 + text.cx + 4, text.cy};
  FillColor(dc, label, back);
  DrawCaption(dc, font_, TextColor(states), caption_, label, DT_CENTER | DT_TOP | DT_SINGLELINE);
}

// ---------------------------------------------------------------- TComboBox

TComboBox::TComboBox(TComponent* owner) : TWinControl(owner) {
  width_ = 145;
  height_ = 21;
  color_ = clWindow;
  items_.OnChanged = [this](TStrings::TChange change, int index) { ItemsChanged(change, index); };
}

void TComboBox::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = L"CammonComboBox";
  params.BaseClassName = L"COMBOBOX";
  params.Style |= CBS_DROPDOWNLIST | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
  params.Style &= ~WS_CLIPCHILDREN;
  // The window's height includes the dropped list.
  params.Height = height_ + dropDownCount_ * 16 + 2;
}

void TComboBox::CreateWnd() {
  TWinControl::CreateWnd();
  for (int i = 0; i < items_.Count(); ++i)
    SendMessageW(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_[i].c_str()));
  SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
  // The closed box keeps its configured height whatever the font.
  SendMessageW(handle_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), std::max(height_ - 6, 8));
}

void TComboBox::BoundsChanged() {
  if (handle_)
    SetWindowPos(handle_, nullptr, left_, top_, width_, height_ + dropDownCount_ * 16 + 2,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= items_.Count())
    throw EListError(Format(L"List index out of bounds (%d)", index));
  itemIndex_ = index;
  if (handle_) SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::wstring TComboBox::Text() const {
  return itemIndex_ >= 0 ? items_[itemIndex_] : std::wstring();
}

void TComboBox::ItemsChanged(TStrings::TChange change, int index) {
  switch (change) {
    case TStrings::chAdded:
      if (itemIndex_ >= index) ++itemIndex_;
      if (handle_)
        SendMessageW(handle_, CB_INSERTSTRING, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(items_[index].c_str()));
      break;
    case TStrings::chDeleted:
      if (itemIndex_ == index) itemIndex_ = -1;
      else if (itemIndex_ > index) --itemIndex_;
      if (handle_) SendMessageW(handle_, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
      break;
    case TStrings::chCleared:
      itemIndex_ = -1;
      if (handle_) SendMessageW(handle_, CB_RESETCONTENT, 0, 0);
      break;
  }
  if (handle_) SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(itemIndex_), 0);
  Invalidate();
}

void TComboBox::CommandNotify(WORD code) {
  if (code != CBN_SELCHANGE) return;
  itemIndex_ = static_cast<int>(SendMessageW(handle_, CB_GETCURSEL, 0, 0));
  if (OnChange) OnChange(this);
}

void TComboBox::WndProc(TMessage& m) {
  if (m.Msg == WM_PAINT && ActiveSkin() && !skinSection_.empty()) {
    const TPaintDC paint(handle_);
    PaintSkinned(paint.Get());
    return;
  }
  if (m.Msg == WM_ERASEBKGND && ActiveSkin() && !skinSection_.empty()) {
    m.Result = 1;
    return;
  }
  TWinControl::WndProc(m);
}

void TComboBox::PaintSkinned(HDC target) {
  RECT r;
  GetClientRect(handle_, &r);
  TBufferedPaint buffer(target, r.right, r.bottom);
  HDC dc = buffer.Handle();
  TDrawStates states = 0;
  if (!enabled_) states |= dsDisabled;
  if (GetFocus() == handle_) states |= dsFocused;
  if (SendMessageW(handle_, CB_GETDROPPEDSTATE, 0, 0)) states |= dsPressed;
  if (!SkinDraws(skinSection_, spFace, dc, r, states)) FillColor(dc, r, color_);
  const int buttonWidth = GetSystemMetrics(SM_CXVSCROLL);
  RECT button{r.right - buttonWidth, r.top, r.right, r.bottom};
  if (!SkinDraws(skinSection_, spButton, dc, button, states))
    DrawFrameControl(dc, &button, DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
  RECT text{r.left + 4, r.top, button.left - 2, r.bottom};
  TColor color = (states & dsDisabled) ? clGray : font_.Color();
  color = ActiveSkin()->FontColor(skinSection_, states, color);
  DrawCaption(dc, font_, color, Text(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

// -------------------------------------------------------------------- TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  width_ = 121;
  height_ = 21;
  color_ = clWindow;
}

void TEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.ClassName = L"CammonEdit";
  params.BaseClassName = L"EDIT";
  params.Style |= ES_AUTOHSCROLL | WS_TABSTOP;
  params.Style &= ~WS_CLIPCHILDREN;
  if (border_) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageW(handle_, EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

std::wstring TEdit::Text() const {
  if (!handle_) return caption_;
  const int length = GetWindowTextLengthW(handle_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(handle_, text.data(), length + 1)));
  return text;
}

void TEdit::SetText(std::wstring text) {
  caption_ = std::move(text);
  if (handle_) SetWindowTextW(handle_, caption_.c_str());
}

void TEdit::SetMaxLength(int length) {
  maxLength_ = std::max(0, length);
  if (handle_) SendMessageW(handle_, EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TEdit::CommandNotify(WORD code) {
  if (code != EN_CHANGE) return;
  caption_ = Text();
  if (OnChange) OnChange(this);
}

LRESULT TEdit::ColorNotify(HDC dc) {
  const std::wstring& section = !skinSection_.empty() || !parent_ ? skinSection_ : parent_->SkinSection();
  TColor back = color_, text = enabled_ ? font_.Color() : clGray;
  if (TSkinPainter* skin = ActiveSkin(); skin && !section.empty()) {
    back = skin->SectionColor(section, back);
    text = skin->FontColor(section, enabled_ ? 0 : dsDisabled, text);
  }
  SetTextColor(dc, ColorToRGB(text));
  SetBkColor(dc, ColorToRGB(back));
  background_.SetColor(back);
  return reinterpret_cast<LRESULT>(background_.Handle());
}

// ----------------------------------------------------------- TDirectoryEdit

TDirectoryEdit::TDirectoryEdit(TComponent* owner) : TCustomControl(owner) {
  width_ = 121;
  height_ = 21;
  color_ = clWindow;
  edit_ = new TEdit(this);
  edit_->SetBorderVisible(false);
  edit_->SetParent(this);
  edit_->SetMaxLength(255);
  edit_->OnChange = [this](TComponent*) {
    if (OnChange) OnChange(this);
  };
  PlaceEdit();
}

RECT TDirectoryEdit::ButtonRect() const {
  const int side = std::max(height_ - 4, 8);
  return RECT{width_ - 2 - side, 2, width_ - 2, 2 + side};
}

void TDirectoryEdit::PlaceEdit() {
  const RECT button = ButtonRect();
  const int textHeight = -font_.Height() + 2;
  edit_->SetBounds(4, std::max(2, (height_ - textHeight) / 2), button.left - 6, textHeight);
}

void TDirectoryEdit::BoundsChanged() {
  TCustomControl::BoundsChanged();
  PlaceEdit();
}

void TDirectoryEdit::Paint(TCanvas& canvas) {
  const RECT r = ClientRect();
  TBufferedPaint buffer(canvas.Handle(), r.right, r.bottom);
  HDC dc = buffer.Handle();
  TDrawStates states = BaseStates();
  if (edit_->HandleAllocated() && GetFocus() == edit_->Handle()) states |= dsFocused;
  if (!SkinDraws(skinSection_, spFace, dc, r, states)) {
    FillColor(dc, r, color_);
    RECT edge = r;
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
  }
  const RECT button = ButtonRect();
  const TDrawStates buttonStates = states | (buttonPressed_ ? dsPressed : 0);
  if (!SkinDraws(skinSection_, spButton, dc, button, buttonStates)) {
    RECT edge = button;
    FillColor(dc, button, clBtnFace);
    DrawEdge(dc, &edge, buttonPressed_ ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    DrawCaption(dc, font_, clBlack, L"...", button);
  }
}

void TDirectoryEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  const RECT r = ButtonRect();
  if (button == mbLeft && PtInRect(&r, POINT{x, y})) {
    buttonPressed_ = true;
    Invalidate();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TDirectoryEdit::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const bool wasPressed = buttonPressed_;
  buttonPressed_ = false;
  if (wasPressed) Invalidate();
  TCustomControl::MouseUp(button, shift, x, y);
  const RECT r = ButtonRect();
  if (button == mbLeft && wasPressed && PtInRect(&r, POINT{x, y})) Browse();
}

namespace {
int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM data) {
  // The browser opens on the current folder when there is one.
  if (msg == BFFM_INITIALIZED && data)
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}
}  // namespace

void TDirectoryEdit::Browse() {
  PIDLIST_ABSOLUTE root = nullptr;
  if (root_ == rfMyComputer)
    (void)SHGetSpecialFolderLocation(handle_, CSIDL_DRIVES, &root);  // null root: the desktop
  const std::wstring current = Text();
  const bool startThere = !current.empty() && DirectoryExists(current);
  BROWSEINFOW info{};
  info.hwndOwner = HandleAllocated() ? GetAncestor(handle_, GA_ROOT) : nullptr;
  info.pidlRoot = root;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = BrowseCallback;
  info.lParam = startThere ? reinterpret_cast<LPARAM>(current.c_str()) : 0;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (root) CoTaskMemFree(root);
  if (!chosen) return;
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  if (ok) SetText(path);
}
