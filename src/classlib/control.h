#pragma once
// Controls: TControl (bounds, parent, events), TGraphicControl (drawn on its
// parent's surface) and TWinControl (backed by a window, with the one
// window procedure that dispatches to the control object).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/component.h"
#include "classlib/graphics.h"

class TWinControl;
class TPopupMenu;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : std::uint8_t {
  ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64
};
using TShiftState = std::uint8_t;
TShiftState KeysToShiftState(WPARAM keys);

using TMouseEvent =
    std::function<void(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : std::uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = std::uint8_t;

// A window message as handlers and hooks see it.
struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual RECT ClientRect() const { return RECT{0, 0, width_, height_}; }
  int ClientWidth() const;
  int ClientHeight() const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors);

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  const std::wstring& Caption() const { return caption_; }
  virtual void SetCaption(std::wstring caption);
  TColor Color() const { return color_; }
  virtual void SetColor(TColor color);
  TFont& Font() { return font_; }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool value);

  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);

  // The skin section the control is drawn from; empty draws the plain look.
  const std::wstring& SkinSection() const { return skinSection_; }
  void SetSkinSection(std::wstring section);

  // Repaints the control (its area of the parent for a graphic control).
  virtual void Invalidate();
  // Paints on the parent's surface; only graphic controls draw here.
  virtual void PaintOn(TCanvas&) {}
  bool IsGraphic() const { return graphic_; }

  // Client coordinates of this control to screen coordinates and back.
  POINT ClientToScreen(POINT p) const;
  POINT ScreenToClient(POINT p) const;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnResize;

  virtual void Click();
  virtual void DblClick();
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);

protected:
  void Notification(TComponent* component, TOperation operation) override;
  // Runs after the bounds change; window controls move their window here.
  virtual void BoundsChanged() {}
  virtual void FontChanged() {}
  // Asks the parent to lay out its aligned and anchored children again.
  void RequestAlign();
  // Keeps the distances to the parent's right and bottom edges, which
  // right- and bottom-anchored controls hold when the parent resizes.
  void UpdateAnchorRules();
  // Shows the popup menu at a screen point; true when there was one.
  bool DoContextPopup(POINT screen);

  bool graphic_ = false;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::wstring caption_;
  TColor color_ = clBtnFace;
  TFont font_;
  bool parentFont_ = true;
  TAlign align_ = alNone;
  TAnchors anchors_ = akLeft | akTop;
  TPopupMenu* popupMenu_ = nullptr;
  std::wstring skinSection_;
  int anchorRight_ = -1, anchorBottom_ = -1;

  friend class TWinControl;
};

class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* owner);
};

// Window creation parameters a control fills in before its window is made.
struct TCreateParams {
  std::wstring ClassName;      // our window class, or a superclass name
  std::wstring BaseClassName;  // a standard class to superclass ("BUTTON"), or empty
  DWORD Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  DWORD ExStyle = 0;
  UINT ClassStyle = CS_DBLCLKS;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  std::wstring Caption;
};

class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window, made on first use (the parent's first).
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { (void)Handle(); }
  void DestroyHandle();

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(index); }

  void SetBounds(int left, int top, int width, int height) override;
  RECT ClientRect() const override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetCaption(std::wstring caption) override;
  void SetColor(TColor color) override;
  void Invalidate() override;
  void Update();
  void SetFocus();

  // Lays out aligned and anchored children in the client area.
  void AlignControls();
  // The part of the client area aligned children share (inside borders).
  virtual void AdjustClientRect(RECT&) {}

  // Dispatches one message; the default calls the class's own procedure.
  virtual void WndProc(TMessage& message);
  void DefaultHandler(TMessage& message);
  // Sends the message to the control's window procedure directly.
  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  // Fills the background; the default paints Color.
  virtual void PaintBackground(HDC dc);
  // Paints the control's own surface, then its graphic children draw on it.
  virtual void Paint(TCanvas& canvas);
  // Notifications a standard control sends its parent, handed back to it.
  virtual void CommandNotify(WORD) {}
  virtual LRESULT ColorNotify(HDC dc);
  void BoundsChanged() override;
  void FontChanged() override;
  // Gives the window the control's font.
  void ApplyFont();
  // True for windows of our own class; standard controls handle the mouse
  // (and its capture) themselves.
  bool OwnWindowClass() const { return defWndProc_ == DefWindowProcW; }

  HWND handle_ = nullptr;
  WNDPROC defWndProc_ = nullptr;
  bool mouseCaptured_ = false;

private:
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  void PaintHandler();
  void MouseMessage(TMessage& message);
  // Steps of WndProc.
  void Resized();
  bool NotifyChild(TMessage& message);
  bool ContextPopup(LPARAM position);

  std::vector<TControl*> controls_;
  // The child (or this control) that took the mouse at a button press.
  TControl* mouseTarget_ = nullptr;
  TCanvas canvas_;

  friend class TControl;
};

// The TWinControl behind a window of ours, or null.
TWinControl* FindControl(HWND hwnd);
