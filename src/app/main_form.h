#pragma once
// The main window: four live panes beside a column of buttons.
#include "classlib/form.h"
#include "classlib/timer.h"

class TmainForm : public TForm {
public:
  explicit TmainForm(TComponent* owner);

  TTimer* Timer1;
  TTimer* Timer3;

  void FormCreate(TComponent* sender);
  void Timer1Timer(TComponent* sender);
  void Timer3Timer(TComponent* sender);

  // The state of 总在最前; setting it applies the window order and writes
  // "ontop" (the box's click handler).
  bool StayOnTop() const { return stayOnTop_; }
  void SetStayOnTop(bool value);

private:
  bool stayOnTop_ = false;
};

extern TmainForm* mainForm;
