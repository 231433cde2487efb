#pragma once
// The options dialog: device lists, storage path and idle watch.
#include "classlib/form.h"

class ToptionForm : public TForm {
public:
  explicit ToptionForm(TComponent* owner);

  void FormCreate(TComponent* sender);
};

extern ToptionForm* optionForm;
