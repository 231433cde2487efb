#include <doctest/doctest.h>

#include <cstdlib>
#include <vector>

#include "app_fixture.h"
#include "classlib/application.h"
#include "classlib/timer.h"

TEST_CASE("options dialog: layout, settings and 确定") {
  const std::wstring root = MakeTempFolder(L"opt");
  SettingsFile settings("[comm]\r\npath=" + Ansi(root) + "\r\nauto=0\r\nloop=0\r\nsegment=abc\r\n");
  ProgramWindows windows;
  ToptionForm* dialog = optionForm;

  CHECK(dialog->Caption() == L"设置");
  CHECK(dialog->ClientWidth() == 405);
  CHECK(dialog->ClientHeight() == 257);
  CHECK(dialog->DirectoryEdit->Text() == root);
  CHECK_FALSE(dialog->autoCbx->Checked());
  CHECK(dialog->autoCbx->Caption() == L"根据鼠标键盘动作自动隐藏窗口");
  for (int channel = 1; channel <= 4; ++channel) CHECK_FALSE(dialog->DeviceBox(channel)->Enabled());
  CHECK_FALSE(dialog->loopCbx->Checked());
  CHECK(dialog->segmentEdit->Text() == L"30");  // a bad value shows as the default it gives
  // The added controls sit in free space, clear of the ones that were there.
  auto apart = [](const TControl* a, const TControl* b) {
    return a->Left() >= b->Left() + b->Width() || b->Left() >= a->Left() + a->Width() ||
           a->Top() >= b->Top() + b->Height() || b->Top() >= a->Top() + a->Height();
  };
  const std::vector<const TControl*> added{dialog->loopCbx, dialog->sLabel6, dialog->segmentEdit};
  for (const TControl* control : added) {
    CHECK(control->Left() + control->Width() <= dialog->ClientWidth());
    CHECK(apart(control, dialog->autoCbx));
    CHECK(apart(control, dialog->sBitBtn2));
    CHECK(apart(control, dialog->sGroupBox3));
  }

  SUBCASE("确定 writes the path as it stands and the flag, then closes") {
    dialog->DirectoryEdit->SetText(L"");
    dialog->autoCbx->SetChecked(true);
    dialog->loopCbx->SetChecked(true);
    dialog->segmentEdit->SetText(L"15");
    TTimer confirm(nullptr);
    confirm.SetInterval(50);
    int tick = 0;
    confirm.OnTimer = [&](TComponent*) {
      if (++tick == 1) return dialog->sBitBtn2->Click();
      // Still open after 确定: closed as a cancel, which the result shows.
      confirm.SetEnabled(false);
      dialog->Close();
    };
    CHECK(dialog->ShowModal() == mrOk);
    const std::string content = SettingsFile::Content();
    CHECK(content.find("path=\r\n") != std::string::npos);
    CHECK(content.find("auto=1") != std::string::npos);
    CHECK(content.find("loop=1") != std::string::npos);
    CHECK(content.find("segment=15") != std::string::npos);
    CHECK(savePath == root);  // the new path waits for the next start
  }
  SUBCASE("every showing is centred on the main window where it is then") {
    MainWindowFor asMain(windows.main());
    TmainForm* form = windows.main();
    form->Show();
    // Where the dialog's centre is while it shows, for the main window at (x, y).
    auto centreWhenShownOver = [&](int x, int y) {
      form->SetBounds(x, y, form->Width(), form->Height());
      POINT centre{};
      TTimer close(nullptr);
      close.SetInterval(50);
      close.OnTimer = [&](TComponent*) {
        close.SetEnabled(false);
        RECT r;
        GetWindowRect(dialog->Handle(), &r);
        centre = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        dialog->Close();
      };
      dialog->ShowModal();
      return centre;
    };
    for (const POINT at : {POINT{20, 30}, POINT{400, 300}}) {
      const POINT centre = centreWhenShownOver(at.x, at.y);
      CHECK(std::abs(centre.x - (at.x + form->Width() / 2)) <= 1);
      CHECK(std::abs(centre.y - (at.y + form->Height() / 2)) <= 1);
    }
    form->Hide();
  }
  SUBCASE("a failed write keeps the dialog open and skips the flag") {
    SettingsFileHeld held;
    dialog->autoCbx->SetChecked(true);
    bool stillOpen = false;
    TTimer confirm(nullptr);
    confirm.SetInterval(50);
    confirm.OnTimer = [&](TComponent*) {
      confirm.SetEnabled(false);
      RecordedBoxes().clear();
      try {
        dialog->sBitBtn2->Click();
      } catch (...) {
        Application->HandleException(dialog);  // as the button's window procedure does
      }
      stillOpen = dialog->Visible();
      held.Release();
      dialog->Close();
    };
    dialog->ShowModal();
    CHECK(stillOpen);
    REQUIRE(RecordedBoxes().size() == 1);
    CHECK(RecordedBoxes()[0].text == L"Unable to write to " + SettingsFileName() + L".");
    CHECK(SettingsFile::Content().find("auto=0") != std::string::npos);
  }
  RemoveTree(root);
}

TEST_CASE("a stored path longer than the edit takes survives 确定 whole") {
  const std::wstring root = MakeTempFolder(L"long");
  std::wstring path = root;
  while (path.size() < 300) path += L"\\a-long-folder-name";
  SettingsFile settings("[comm]\r\npath=" + Ansi(path) + "\r\nauto=1\r\n");
  ProgramWindows windows;
  CHECK(optionForm->DirectoryEdit->Text() == path);
  optionForm->autoCbx->SetChecked(false);  // the user changes only the flag
  optionForm->sBitBtn2Click(optionForm->sBitBtn2);
  const std::string content = SettingsFile::Content();
  CHECK(content.find("path=" + Ansi(path) + "\r\n") != std::string::npos);
  CHECK(content.find("auto=0") != std::string::npos);
  RemoveTree(root);
}
