#include "app/startup.h"

#include <objbase.h>

#include "app/main_form.h"
#include "app/splash.h"
#include "classlib/application.h"
#include "options/option_form.h"

int RunProgram() {
  // COM for this thread only, before any media object exists.
  const HRESULT com = CoInitialize(nullptr);
  int exitCode = 0;
  try {
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
  } catch (...) {
    // Nothing to carry on with (no window could be made, say): the error is
    // told in a box like the standard one and the program ends, instead of
    // the runtime aborting it without a word. The windows are gone by now.
    splashForm = nullptr;
    mainForm = nullptr;
    optionForm = nullptr;
    MessageBoxW(nullptr, ErrorBoxText(CurrentExceptionMessage()).c_str(), L"摄像头监控",
                MB_OK | MB_ICONERROR);
    exitCode = 1;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
