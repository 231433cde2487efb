#include "app/main_form.h"

#include "classlib/sysutils.h"
#include "options/settings.h"

TmainForm* mainForm = nullptr;

TmainForm::TmainForm(TComponent* owner) : TForm(owner) {
  SetName(L"mainForm");
  SetCaption(L"多路摄像头监控系统");
  SetPosition(poDesktopCenter);
  SetBounds(0, 0, 769, 546);

  Timer1 = new TTimer(this);
  Timer1->SetName(L"Timer1");
  Timer1->SetInterval(30000);
  Timer1->OnTimer = [this](TComponent* s) { Timer1Timer(s); };

  Timer3 = new TTimer(this);
  Timer3->SetName(L"Timer3");
  Timer3->SetEnabled(false);
  Timer3->SetInterval(1000);
  Timer3->OnTimer = [this](TComponent* s) { Timer3Timer(s); };

  OnCreate = [this](TComponent* s) { FormCreate(s); };
}

void TmainForm::FormCreate(TComponent*) {
  appPath = ExtractFilePath(ExeName());
  savePath = OpenSettings().ReadString(kSettingsSection, L"path", appPath);
  SetStayOnTop(OpenSettings().ReadBool(kSettingsSection, L"ontop", false));
  CreateStorageFolders(savePath);
  Timer3->SetEnabled(true);
}

void TmainForm::SetStayOnTop(bool value) {
  // Only a change reaches the handler, so a stored false writes nothing.
  if (value == stayOnTop_) return;
  stayOnTop_ = value;
  SetFormStyle(value ? fsStayOnTop : fsNormal);
  OpenSettings().WriteBool(kSettingsSection, L"ontop", value);
}

void TmainForm::Timer1Timer(TComponent*) {}

void TmainForm::Timer3Timer(TComponent*) {}
