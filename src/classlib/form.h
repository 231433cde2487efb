#pragma once
// Top-level windows. A form is built from a description in code (its
// constructor creates and configures the components); the factory then runs
// every component's after-load step and finally the creation handler.
#include <functional>

#include "classlib/control.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum TPosition { poDesigned, poDesktopCenter, poScreenCenter, poMainFormCenter };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderIcon : std::uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = std::uint8_t;

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL;

using TCloseQueryEvent = std::function<void(TComponent* sender, bool& canClose)>;
using TCloseEvent = std::function<void(TComponent* sender, TCloseAction& action)>;

class TForm : public TWinControl {
public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // Creates a form of type T owned by `owner`: construction (the
  // description), after-load steps, then OnCreate under the exception handler.
  template <class T>
  static T* Create(TComponent* owner) {
    T* form = new T(owner);
    form->AfterConstruction();
    return form;
  }
  // The steps after construction; the factory calls it.
  void AfterConstruction();

  void SetClientWidth(int width);
  void SetClientHeight(int height);
  RECT ClientRect() const override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState state);
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);

  // The control that gets the focus when the form is shown.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);

  void Show();
  void Hide() { SetVisible(false); }
  void SetVisible(bool visible) override;
  // Asks OnCloseQuery, then runs OnClose and its action; closing the main
  // form ends the application.
  void Close();
  bool CloseQuery();

  TModalResult ShowModal();
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }
  bool Modal() const { return modal_; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnPaint;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;

  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void BeforeDestruction() override;
  void Paint(TCanvas& canvas) override;
  void PaintBackground(HDC dc) override;
  void Notification(TComponent* component, TOperation operation) override;

private:
  // The frame drawn by the skin, when it has one for the form's section.
  bool SkinFrame(TMessage& message);
  void PaintSkinFrame();
  void ApplyPosition();
  SIZE WindowSizeFor(int clientWidth, int clientHeight) const;
  DWORD StyleBits() const;
  DWORD ExStyleBits() const;

  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = poDesigned;
  TWindowState windowState_ = wsNormal;
  TFormStyle formStyle_ = fsNormal;
  int clientWidth_ = 0, clientHeight_ = 0;
  bool positioned_ = false;
  bool modal_ = false;
  bool destroyedEventSent_ = false;
  TModalResult modalResult_ = mrNone;
  TWinControl* activeControl_ = nullptr;
  bool frameActive_ = false;
};
