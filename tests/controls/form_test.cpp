#include <doctest/doctest.h>

#include "classlib/application.h"
#include "classlib/form.h"
#include "classlib/std_controls.h"
#include "classlib/timer.h"
#include "test_support.h"

TEST_CASE("a modal form runs its own loop, timers keep ticking, and returns its result") {
  TForm* dialog = TForm::Create<TForm>(nullptr);
  dialog->SetBorderStyle(bsDialog);
  dialog->SetClientWidth(405);
  dialog->SetClientHeight(257);
  dialog->SetPosition(poMainFormCenter);
  auto* ok = new TBitBtn(dialog);
  ok->SetParent(dialog);
  ok->SetBounds(157, 225, 75, 25);
  ok->SetModalResult(mrOk);
  dialog->SetActiveControl(ok);
  TTimer outside(nullptr);  // a timer of another window, as the main window's are
  outside.SetInterval(20);
  int ticks = 0;
  bool focusedOk = false;
  outside.OnTimer = [&](TComponent*) {
    ++ticks;
    if (ticks == 1) focusedOk = GetFocus() == ok->Handle();
    CHECK(dialog->Modal());
    if (ticks == 5) {
      SendMessageW(ok->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      SendMessageW(ok->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }
  };
  SUBCASE("the button's result") {
    CHECK(dialog->ShowModal() == mrOk);
    CHECK(ticks == 5);
    CHECK(focusedOk);
  }
  SUBCASE("the close box gives cancel, unless the close query refuses") {
    ok->SetModalResult(mrNone);
    int asked = 0;
    dialog->OnCloseQuery = [&](TComponent*, bool& canClose) { canClose = ++asked > 1; };
    ok->OnClick = [&](TComponent*) {
      SendMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
      CHECK(dialog->ModalResult() == mrNone);  // refused the first time
      SendMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
    };
    CHECK(dialog->ShowModal() == mrCancel);
    CHECK(asked == 2);
  }
  CHECK_FALSE(dialog->Visible());
  CHECK_FALSE(dialog->Modal());
  dialog->Free();
}

TEST_CASE("form styles and window states") {
  TForm* form = TForm::Create<TForm>(nullptr);
  form->SetBounds(0, 0, 300, 200);
  form->SetPosition(poDesktopCenter);
  form->Show();
  SUBCASE("centred on the desktop") {
    RECT work, r;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(form->Handle(), &r);
    CHECK(abs((r.left + r.right) - (work.left + work.right)) <= 1);
    CHECK(abs((r.top + r.bottom) - (work.top + work.bottom)) <= 1);
  }
  SUBCASE("stay on top") {
    form->SetFormStyle(fsStayOnTop);
    CHECK((GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    form->SetFormStyle(fsNormal);
    CHECK(form->FormStyle() == fsNormal);
    CHECK((GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) == 0);
    CHECK(GetWindow(form->Handle(), GW_OWNER) == Application->Handle());  // still owned
  }
  SUBCASE("maximised and back") {
    form->SetWindowState(wsMaximized);
    CHECK(form->WindowState() == wsMaximized);
    CHECK(IsZoomed(form->Handle()));
    form->SetWindowState(wsNormal);
    CHECK(form->WindowState() == wsNormal);
    CHECK_FALSE(IsZoomed(form->Handle()));
  }
  form->Free();
}

TEST_CASE("minimising the main form minimises the application window as a whole") {
  TForm* form = TForm::Create<TForm>(nullptr);
  form->SetBounds(0, 0, 300, 200);
  {
    MainWindowFor asMain(form);
    form->Show();
    int minimised = 0;
    Temporarily onMinimize(Application->OnMinimize, [&](TComponent*) { ++minimised; });
    SendMessageW(form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    CHECK(PumpUntil([] { return IsIconic(Application->Handle()) != FALSE; }));
    CHECK(minimised == 1);
    CHECK_FALSE(IsWindowVisible(form->Handle()));  // owned windows go with their owner
    Application->Restore();
    CHECK(PumpUntil([&] { return IsWindowVisible(form->Handle()) != FALSE; }));
    CHECK_FALSE(IsIconic(Application->Handle()));
  }
  form->Free();
}
