#include <doctest/doctest.h>

#include <string>

#include "classlib/exceptions.h"
#include "classlib/form.h"
#include "classlib/menus.h"
#include "classlib/sysutils.h"
#include "classlib/std_controls.h"
#include "classlib/timer.h"
#include "test_support.h"

namespace {
LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

struct Host {
  TForm* form = TForm::Create<TForm>(nullptr);
  Host() {
    form->SetBounds(100, 100, 420, 300);
    form->Show();
  }
  ~Host() { form->Free(); }
};
}  // namespace

TEST_CASE("check box OnClick runs on every change of state") {
  Host host;
  auto* box = new TCheckBox(host.form);
  box->SetParent(host.form);
  box->SetBounds(10, 10, 200, 19);
  box->SetCaption(L"总在最前");
  int clicks = 0;
  box->OnClick = [&](TComponent* sender) {
    CHECK(sender == box);
    ++clicks;
  };
  SUBCASE("set by code") {
    box->SetChecked(true);
    CHECK(clicks == 1);
    box->SetChecked(true);
    CHECK(clicks == 1);  // no change, no click
    box->SetChecked(false);
    CHECK(clicks == 2);
    CHECK_FALSE(box->Checked());
  }
  SUBCASE("clicked with the mouse, once per click") {
    SendMessageW(box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    CHECK(GetCapture() == box->Handle());  // held while the button is down
    SendMessageW(box->Handle(), WM_LBUTTONUP, 0, At(5, 5));
    CHECK(GetCapture() != box->Handle());
    CHECK(box->Checked());
    CHECK(clicks == 1);
    SendMessageW(box->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    SendMessageW(box->Handle(), WM_LBUTTONUP, 0, At(500, 5));  // released outside
    CHECK(box->Checked());
    CHECK(clicks == 1);
  }
  SUBCASE("toggled with the space bar") {
    SendMessageW(box->Handle(), WM_KEYDOWN, VK_SPACE, 0);
    CHECK(box->Checked());
    CHECK(clicks == 1);
  }
}

TEST_CASE("combo box index rules") {
  Host host;
  auto* combo = new TComboBox(host.form);
  combo->SetParent(host.form);
  combo->SetBounds(96, 18, 177, 21);
  auto windowIndex = [&] { return static_cast<int>(SendMessageW(combo->Handle(), CB_GETCURSEL, 0, 0)); };
  auto windowCount = [&] { return static_cast<int>(SendMessageW(combo->Handle(), CB_GETCOUNT, 0, 0)); };
  CHECK(combo->ItemIndex() == -1);
  CHECK(combo->Text().empty());
  combo->Items().Add(L"Test Camera 1");
  combo->Items().Add(L"Test Camera 2");
  combo->Items().Add(L"摄像头 3");
  CHECK(windowCount() == 3);
  CHECK(combo->ItemIndex() == -1);
  CHECK(windowIndex() == -1);

  combo->SetItemIndex(1);
  CHECK(combo->ItemIndex() == 1);
  CHECK(windowIndex() == 1);
  CHECK(combo->Text() == L"Test Camera 2");

  SUBCASE("out of range is refused and changes nothing") {
    CHECK_THROWS_AS(combo->SetItemIndex(3), EListError);
    CHECK_THROWS_AS(combo->SetItemIndex(-2), EListError);
    CHECK(combo->ItemIndex() == 1);
    CHECK_THROWS_AS(combo->Items().Strings(3), EListError);
  }
  SUBCASE("-1 chooses nothing") {
    combo->SetItemIndex(-1);
    CHECK(windowIndex() == -1);
    CHECK(combo->Text().empty());
  }
  SUBCASE("removing items keeps the chosen text or clears the choice") {
    combo->Items().Delete(0);
    CHECK(combo->ItemIndex() == 0);
    CHECK(combo->Text() == L"Test Camera 2");
    CHECK(windowIndex() == 0);
    combo->Items().Insert(0, L"new");
    CHECK(combo->ItemIndex() == 1);
    combo->Items().Delete(1);
    CHECK(combo->ItemIndex() == -1);
    CHECK(windowIndex() == -1);
  }
  SUBCASE("clearing empties the box") {
    combo->Items().Clear();
    CHECK(combo->ItemIndex() == -1);
    CHECK(windowCount() == 0);
    CHECK_THROWS_AS(combo->SetItemIndex(0), EListError);
  }
  SUBCASE("items and choice given before the window exists show in it") {
    auto* late = new TComboBox(host.form);
    late->Items().Add(L"a");
    late->Items().Add(L"b");
    late->SetItemIndex(1);
    late->SetEnabled(false);
    late->SetParent(host.form);
    CHECK(SendMessageW(late->Handle(), CB_GETCOUNT, 0, 0) == 2);
    CHECK(SendMessageW(late->Handle(), CB_GETCURSEL, 0, 0) == 1);
    CHECK_FALSE(IsWindowEnabled(late->Handle()));
  }
}

TEST_CASE("directory edit takes at most 255 typed characters") {
  Host host;
  auto* edit = new TDirectoryEdit(host.form);
  edit->SetParent(host.form);
  edit->SetBounds(8, 19, 377, 21);
  edit->SetRoot(rfMyComputer);
  CHECK(edit->MaxLength() == 255);
  HWND inner = edit->Edit().Handle();
  // What the window shows, not what the control remembers.
  auto shown = [&] {
    std::wstring text(GetWindowTextLengthW(inner) + 1, L'\0');
    text.resize(GetWindowTextW(inner, text.data(), static_cast<int>(text.size())));
    return text;
  };
  SUBCASE("text set by code is kept whole, an empty path kept empty") {
    edit->SetText(std::wstring(300, L'a'));
    CHECK(shown() == std::wstring(300, L'a'));
    SendMessageW(inner, WM_CHAR, L'b', 0);  // the limit still holds for typing
    CHECK(shown() == std::wstring(300, L'a'));
    edit->SetText(L"C:\\录像\\");
    CHECK(shown() == L"C:\\录像\\");
    edit->SetText(L"");
    CHECK(shown().empty());
    CHECK(edit->Text().empty());
  }
  SUBCASE("typed") {
    for (int i = 0; i < 300; ++i) SendMessageW(inner, WM_CHAR, L'b', 0);
    CHECK(edit->Text() == std::wstring(255, L'b'));
  }
  SUBCASE("pasted") {
    const std::wstring text(400, L'c');
    SendMessageW(inner, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    CHECK(edit->Text().size() == 255);
  }
}

TEST_CASE("directory edit's browse button opens the folder browser") {
  Host host;
  auto* edit = new TDirectoryEdit(host.form);
  edit->SetParent(host.form);
  edit->SetBounds(8, 19, 377, 21);
  edit->SetRoot(rfMyComputer);
  // Below the drive root: Wine's browser does not expand into hidden
  // folders such as the user's temporary folder.
  const std::wstring folder = L"C:\\cammon_browse_" + std::to_wstring(GetCurrentProcessId());
  REQUIRE(CreateDir(folder));
  edit->SetText(folder);
  // Answers the browser once it is up; OK keeps the folder it opened on.
  HWND browser = nullptr;
  TTimer answer(nullptr);
  answer.SetInterval(50);
  answer.OnTimer = [&](TComponent*) {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM data) -> BOOL {
          wchar_t name[16] = {};
          GetClassNameW(hwnd, name, 16);
          if (IsWindowVisible(hwnd) && std::wstring(name) == L"#32770") {
            *reinterpret_cast<HWND*>(data) = hwnd;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&browser));
    if (browser) PostMessageW(browser, WM_COMMAND, IDOK, 0);
  };
  const RECT button = edit->ButtonRect();
  const LPARAM at = At((button.left + button.right) / 2, (button.top + button.bottom) / 2);
  SendMessageW(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(edit->Handle(), WM_LBUTTONUP, 0, at);  // returns when the browser has closed
  answer.SetEnabled(false);
  CHECK(browser != nullptr);
  CAPTURE(WideToUtf8(edit->Text()));
  CAPTURE(WideToUtf8(folder));
  CHECK(_wcsicmp(edit->Text().c_str(), folder.c_str()) == 0);
  RemoveTree(folder);
}

TEST_CASE("buttons click on release inside, holding the mouse meanwhile") {
  Host host;
  auto* button = new TBitBtn(host.form);
  button->SetParent(host.form);
  button->SetBounds(157, 225, 75, 25);
  button->SetCaption(L"确定");
  auto* speed = new TSpeedButton(host.form);
  speed->SetParent(host.form);
  speed->SetBounds(8, 17, 75, 41);
  int clicks = 0, speedClicks = 0, downs = 0, ups = 0, moves = 0;
  button->OnClick = [&](TComponent*) { ++clicks; };
  button->OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int, int) { ++downs; };
  button->OnMouseUp = [&](TComponent*, TMouseButton, TShiftState, int, int) { ++ups; };
  button->OnMouseMove = [&](TComponent*, TShiftState, int, int) { ++moves; };
  speed->OnClick = [&](TComponent*) { ++speedClicks; };

  SendMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  CHECK(GetCapture() == button->Handle());
  SendMessageW(button->Handle(), WM_MOUSEMOVE, MK_LBUTTON, At(12, 12));
  SendMessageW(button->Handle(), WM_LBUTTONUP, 0, At(12, 12));
  CHECK(clicks == 1);
  CHECK(downs == 1);
  CHECK(ups == 1);
  CHECK(moves >= 1);
  CHECK(GetCapture() != button->Handle());
  SendMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(10, 10));
  SendMessageW(button->Handle(), WM_LBUTTONUP, 0, At(-30, 10));
  CHECK(clicks == 1);

  HWND surface = host.form->Handle();
  SendMessageW(surface, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 30));
  CHECK(GetCapture() == surface);  // the parent holds the mouse for its graphic child
  SendMessageW(surface, WM_LBUTTONUP, 0, At(200, 200));
  CHECK(speedClicks == 0);
  SendMessageW(surface, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 30));
  SendMessageW(surface, WM_LBUTTONUP, 0, At(21, 31));
  CHECK(speedClicks == 1);
  speed->SetDown(true);
  CHECK(speed->Down());
}

TEST_CASE("a right click opens the control's popup menu and records the control") {
  Host host;
  auto* panel = new TPanel(host.form);
  panel->SetParent(host.form);
  panel->SetBounds(5, 5, 200, 150);
  auto* menu = new TPopupMenu(host.form);
  auto* item = new TMenuItem(host.form);
  item->SetCaption(L"停止");
  menu->Add(item);
  panel->SetPopupMenu(menu);
  int popups = 0, chosen = 0;
  menu->OnPopup = [&](TComponent*) { ++popups; };
  item->OnClick = [&](TComponent*) { ++chosen; };
  Temporarily track(TPopupMenu::TrackOverride, [](HMENU) { return 0; });
  POINT screen{20, 20};
  ClientToScreen(panel->Handle(), &screen);
  SendMessageW(panel->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(panel->Handle()),
               MAKELPARAM(screen.x, screen.y));
  CHECK(popups == 1);
  CHECK(chosen == 1);
  CHECK(menu->PopupComponent() == panel);
  // The release itself, as a renderer's message drain forwards it, asks for the menu.
  SendMessageW(panel->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
  SendMessageW(panel->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
  CHECK(popups == 2);
  CHECK(chosen == 2);
}
