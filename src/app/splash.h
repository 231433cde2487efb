#pragma once
// The splash window shown while the long-lived windows are built.
#include "classlib/form.h"
#include "classlib/graphic_controls.h"

class TsplashForm : public TForm {
public:
  explicit TsplashForm(TComponent* owner);

  TShape* Shape1;
  TImage* Image1;
  TLabel* Label1;
};

extern TsplashForm* splashForm;
