#pragma once
// Standard controls of the program's windows: panel, speed button, bitmap
// button, check box, group box, combo box, edit and directory edit. Each
// draws from its skin section when a skin is active (classlib/skin_painter.h)
// and has a plain look of its own otherwise.
#include <functional>
#include <string>
#include <vector>

#include "classlib/control.h"
#include "classlib/skin_painter.h"

// A list of texts; the holder of the list follows every change.
class TStrings {
public:
  enum TChange { chAdded, chDeleted, chCleared };

  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError outside 0..Count-1.
  const std::wstring& Strings(int index) const;
  const std::wstring& operator[](int index) const { return Strings(index); }
  int IndexOf(const std::wstring& text) const;
  int Add(std::wstring text);
  void Insert(int index, std::wstring text);
  void Delete(int index);
  void Clear();

  std::function<void(TChange change, int index)> OnChanged;

private:
  void CheckIndex(int index, int limit) const;
  std::vector<std::wstring> items_;
};

// A control of our own window class that draws everything itself and keeps
// track of the pointer being over it.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* owner);
  void WndProc(TMessage& message) override;
  bool MouseInControl() const { return hot_; }

protected:
  void PaintBackground(HDC) override {}
  // Draws the section's face, or fills Color when the skin has none.
  void DrawFace(TCanvas& canvas, const RECT& r, TDrawStates states);
  // The text colour for the control's section in the given state.
  TColor TextColor(TDrawStates states);
  TDrawStates BaseStates() const;

private:
  bool hot_ = false;
};

enum TBevelCut { bvNone, bvLowered, bvRaised };

class TPanel : public TCustomControl {
public:
  explicit TPanel(TComponent* owner);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut cut);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut cut);
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int width);
  bool ShowCaption() const { return showCaption_; }
  void SetShowCaption(bool value);
  void SetCaption(std::wstring caption) override;
  // The bevels' width on each side, which aligned children stay inside.
  int FrameWidth() const;
  void AdjustClientRect(RECT& r) override;

protected:
  void Paint(TCanvas& canvas) override;

private:
  void BevelsChanged();
  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  bool showCaption_ = true;
};

// A button's left press: held, and shown pressed while the pointer stays
// on the button. Move and Release answer whether the look changed.
struct TButtonPress {
  void Press() { held = inside = true; }
  bool Move(int x, int y, int width, int height);
  bool Release();
  bool Shown() const { return held && inside; }
  bool held = false;
  bool inside = false;
};

// A button drawn on its parent, without focus; Down keeps it pressed.
class TSpeedButton : public TGraphicControl {
public:
  explicit TSpeedButton(TComponent* owner);
  bool Down() const { return down_; }
  void SetDown(bool value);
  void PaintOn(TCanvas& canvas) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  bool down_ = false;
  TButtonPress press_;
};

// A push button with an optional picture left of its caption. A modal
// result other than mrNone closes a modal form with that result.
class TBitBtn : public TCustomControl {
public:
  explicit TBitBtn(TComponent* owner);
  TBitmap& Glyph() { return glyph_; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  void Click() override;
  void WndProc(TMessage& message) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint(TCanvas& canvas) override;

private:
  TBitmap glyph_;
  int modalResult_ = 0;
  TButtonPress press_;
};

// A check box. OnClick runs on every change of Checked, whether the user or
// the code changed it.
class TCheckBox : public TCustomControl {
public:
  explicit TCheckBox(TComponent* owner);
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  // A click toggles the box (and so runs OnClick once).
  void Click() override;
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint(TCanvas& canvas) override;

private:
  bool checked_ = false;
};

class TGroupBox : public TCustomControl {
public:
  explicit TGroupBox(TComponent* owner);
  void AdjustClientRect(RECT& r) override;

protected:
  void Paint(TCanvas& canvas) override;
};

// A drop-down list. ItemIndex -1 means no item is chosen; other values must
// name an item. Removing items keeps the choice on the same text, or clears
// it when that item goes.
class TComboBox : public TWinControl {
public:
  explicit TComboBox(TComponent* owner);
  TStrings& Items() { return items_; }
  int ItemIndex() const { return itemIndex_; }
  // Raises EListError for values below -1 or beyond the last item.
  void SetItemIndex(int index);
  // The chosen item's text, or empty.
  std::wstring Text() const;
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count) { dropDownCount_ = count; }
  void WndProc(TMessage& message) override;
  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void BoundsChanged() override;
  void CommandNotify(WORD code) override;

private:
  void ItemsChanged(TStrings::TChange change, int index);
  void PaintSkinned(HDC dc);
  TStrings items_;
  int itemIndex_ = -1;
  int dropDownCount_ = 8;
};

class TEdit : public TWinControl {
public:
  explicit TEdit(TComponent* owner);
  // MaxLength (0: no limit) bounds what the user types or pastes; text set
  // by code is kept whole, so a longer stored value is never rewritten.
  std::wstring Text() const;
  void SetText(std::wstring text);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int length);
  bool BorderVisible() const { return border_; }
  void SetBorderVisible(bool value) { border_ = value; }
  TNotifyEvent OnChange;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void CommandNotify(WORD code) override;
  LRESULT ColorNotify(HDC dc) override;

private:
  int maxLength_ = 0;
  bool border_ = true;
  TBrush background_;
};

// Where the folder browser starts.
enum TRootFolder { rfDesktop, rfMyComputer };

// A path edit with a browse button that opens the platform's folder browser.
class TDirectoryEdit : public TCustomControl {
public:
  explicit TDirectoryEdit(TComponent* owner);
  std::wstring Text() const { return edit_->Text(); }
  void SetText(std::wstring text) { edit_->SetText(std::move(text)); }
  int MaxLength() const { return edit_->MaxLength(); }
  void SetMaxLength(int length) { edit_->SetMaxLength(length); }
  TRootFolder Root() const { return root_; }
  void SetRoot(TRootFolder root) { root_ = root; }
  TEdit& Edit() { return *edit_; }
  RECT ButtonRect() const;
  // Opens the folder browser; a chosen folder becomes the text.
  void Browse();
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  TNotifyEvent OnChange;

protected:
  void Paint(TCanvas& canvas) override;
  void BoundsChanged() override;

private:
  void PlaceEdit();
  TEdit* edit_;
  TRootFolder root_ = rfDesktop;
  bool buttonPressed_ = false;
};
