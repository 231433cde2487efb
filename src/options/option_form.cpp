#include "options/option_form.h"

ToptionForm* optionForm = nullptr;

ToptionForm::ToptionForm(TComponent* owner) : TForm(owner) {
  SetName(L"optionForm");
  SetCaption(L"设置");
  SetBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetClientWidth(405);
  SetClientHeight(257);
  OnCreate = [this](TComponent* sender) { FormCreate(sender); };
}

void ToptionForm::FormCreate(TComponent*) {}
