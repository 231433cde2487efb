#include "app/startup.h"

#include <objbase.h>

#include "app/main_form.h"
#include "app/splash.h"
#include "classlib/application.h"
#include "options/option_form.h"

int RunProgram() {
  // COM for this thread only, before any media object exists.
  const HRESULT com = CoInitialize(nullptr);
  {
    TApplication application;

    splashForm = TForm::Create<TsplashForm>(&application);
    splashForm->Show();
    splashForm->Update();  // the picture is on screen before the slow steps

    application.SetTitle(L"摄像头监控");
    application.CreateForm(mainForm);
    application.CreateForm(optionForm);

    splashForm->Free();
    splashForm = nullptr;

    application.Run();
    mainForm = nullptr;
    optionForm = nullptr;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}
