#include <doctest/doctest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "classlib/application.h"
#include "classlib/form.h"
#include "test_support.h"
#include "tray/tray_icon.h"
#include "tray_test_support.h"

using namespace std::chrono;

namespace {

constexpr COLORREF kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// A form carrying one tray icon; `Configure` runs while the form is being
// described, before the after-load step, as stored attributes would.
class TTrayForm : public TForm {
public:
  static inline std::function<void(TTrayForm&)> Configure;

  explicit TTrayForm(TComponent* owner) : TForm(owner) {
    SetCaption(L"托盘测试");
    SetBounds(200, 150, 360, 240);
    Tray = new TTrayIcon(this);
    if (Configure) Configure(*this);
  }
  TTrayIcon* Tray;
};

// Makes the form and frees it at the end of the scope.
struct FormScope {
  explicit FormScope(std::function<void(TTrayForm&)> configure = nullptr) {
    TTrayForm::Configure = std::move(configure);
    Form = TForm::Create<TTrayForm>(Application);
    TTrayForm::Configure = nullptr;
  }
  ~FormScope() { Form->Free(); }
  TTrayForm* Form;
};

struct EventLog {
  std::vector<std::string> events;
  std::string Text() const {
    std::string text;
    for (const auto& e : events) text += (text.empty() ? "" : " ") + e;
    return text;
  }
  static const char* Button(TMouseButton b) { return b == mbLeft ? "L" : b == mbRight ? "R" : "M"; }
  void Attach(TTrayIcon& t) {
    t.OnClick = [this](TComponent*) { events.push_back("click"); };
    t.OnMouseDown = [this](TComponent*, TMouseButton b, TShiftState, int, int) {
      events.push_back(std::string("down:") + Button(b));
    };
    t.OnMouseUp = [this](TComponent*, TMouseButton b, TShiftState, int, int) {
      events.push_back(std::string("up:") + Button(b));
    };
    t.OnMouseMove = [this](TComponent*, TShiftState, int, int) { events.push_back("move"); };
    t.OnMouseEnter = [this](TComponent*) { events.push_back("enter"); };
    t.OnMouseExit = [this](TComponent*) { events.push_back("exit"); };
    t.OnBalloonHintShow = [this](TComponent*) { events.push_back("bshow"); };
    t.OnBalloonHintHide = [this](TComponent*) { events.push_back("bhide"); };
    t.OnBalloonHintTimeout = [this](TComponent*) { events.push_back("btimeout"); };
    t.OnBalloonHintClick = [this](TComponent*) { events.push_back("bclick"); };
  }
  void AttachDblClick(TTrayIcon& t) {
    t.OnDblClick = [this](TComponent*) { events.push_back("dbl"); };
  }
};

// What the shell would send about the icon.
void Notify(const TTrayIcon& icon, UINT notification) {
  SendMessageW(TrayIconHandler()->WindowHandle(), TrayCallbackMessage, icon.IconId(), notification);
}

// Whether the notification area knows the icon (it accepts a modification
// only for an icon it holds).
bool InTray(const TTrayIcon& icon) {
  NOTIFYICONDATAW probe = icon.NotifyData();
  probe.uFlags = 0;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

void RemoveBehindItsBack(const TTrayIcon& icon) {
  NOTIFYICONDATAW data = icon.NotifyData();
  REQUIRE(Shell_NotifyIconW(NIM_DELETE, &data));
}

// Visible buttons of the taskbar (Wine's taskbar: the start button and one
// per top-level window that has a taskbar entry).
int TaskbarButtons() {
  HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr);
  if (!bar) return -1;
  int count = 0;
  EnumChildWindows(
      bar,
      [](HWND child, LPARAM param) -> BOOL {
        wchar_t cls[32];
        GetClassNameW(child, cls, 32);
        if (IsWindowVisible(child) && lstrcmpiW(cls, L"Button") == 0) ++*reinterpret_cast<int*>(param);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

// With CAMMON_SHOT_DIR set (tests/tray/screenshots.sh), a named point where
// the test waits until the desktop has been photographed.
void ScreenshotPoint(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  if (!GetEnvironmentVariableW(L"CAMMON_SHOT_DIR", dir, MAX_PATH)) return;
  const std::wstring base = std::wstring(dir) + L"\\" + name;
  WriteFileBytes(base + L".ready", "");
  CHECK(PumpUntil([&] { return GetFileAttributesW((base + L".done").c_str()) != INVALID_FILE_ATTRIBUTES; },
                  seconds(30)));
}

std::unique_ptr<TIcon> MakeIcon(COLORREF colour) {
  auto icon = std::make_unique<TIcon>();
  icon->LoadFromBytes(MakeIconFile({16, 32}, {colour, colour}));
  return icon;
}

}  // namespace

TEST_CASE("tray notifications raise mouse events in order") {
  FormScope scope;
  TTrayIcon& tray = *scope.Form->Tray;
  EventLog log;
  log.Attach(tray);
  const int dblTime = static_cast<int>(GetDoubleClickTime());

  SUBCASE("without a double-click handler: single click") {
    Notify(tray, WM_LBUTTONDOWN);
    Notify(tray, WM_LBUTTONUP);
    CHECK(log.Text() == "down:L click up:L");
  }
  SUBCASE("without a double-click handler: double click") {
    Notify(tray, WM_LBUTTONDOWN);
    Notify(tray, WM_LBUTTONUP);
    Notify(tray, WM_LBUTTONDBLCLK);
    Notify(tray, WM_LBUTTONUP);
    CHECK(log.Text() == "down:L click up:L up:L");
  }
  SUBCASE("with a double-click handler: the click waits for the double-click time") {
    log.AttachDblClick(tray);
    Notify(tray, WM_LBUTTONDOWN);
    Notify(tray, WM_LBUTTONUP);
    CHECK(log.Text() == "down:L up:L");
    CHECK(PumpUntil([&] { return log.events.size() == 3; }));
    CHECK(log.Text() == "down:L up:L click");
  }
  SUBCASE("with a double-click handler: a double click raises no click") {
    log.AttachDblClick(tray);
    Notify(tray, WM_LBUTTONDOWN);
    Notify(tray, WM_LBUTTONUP);
    Notify(tray, WM_LBUTTONDBLCLK);
    Notify(tray, WM_LBUTTONUP);
    PumpFor(milliseconds(dblTime + 300));
    CHECK(log.Text() == "down:L up:L dbl up:L");
    // The next single click is a click again.
    log.events.clear();
    Notify(tray, WM_LBUTTONDOWN);
    Notify(tray, WM_LBUTTONUP);
    CHECK(PumpUntil([&] { return log.events.size() == 3; }));
    CHECK(log.Text() == "down:L up:L click");
  }
  SUBCASE("with a double-click handler: a press held past the double-click time clicks on release") {
    log.AttachDblClick(tray);
    Notify(tray, WM_LBUTTONDOWN);
    PumpFor(milliseconds(dblTime + 200));
    Notify(tray, WM_LBUTTONUP);
    CHECK(log.Text() == "down:L click up:L");
  }
  SUBCASE("right and middle buttons; their double clicks raise nothing") {
    log.AttachDblClick(tray);
    for (UINT n : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_MBUTTONUP,
                   WM_MBUTTONDBLCLK})
      Notify(tray, n);
    CHECK(log.Text() == "down:R up:R down:M up:M");
  }
  SUBCASE("disabled: no mouse events, balloon events still") {
    log.AttachDblClick(tray);
    tray.SetEnabled(false);
    for (UINT n : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN,
                   WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP})
      Notify(tray, n);
    for (UINT n : {NIN_BALLOONSHOW, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT, NIN_BALLOONUSERCLICK})
      Notify(tray, n);
    PumpFor(milliseconds(dblTime + 200));
    CHECK(log.Text() == "bshow bhide btimeout bclick");
  }
  SUBCASE("button state and the cursor position come with the event") {
    REQUIRE(SetCursorPos(301, 302));
    POINT cursor{};
    GetCursorPos(&cursor);
    TShiftState shift = 0;
    int x = 0, y = 0;
    tray.OnMouseDown = [&](TComponent* sender, TMouseButton, TShiftState s, int px, int py) {
      CHECK(sender == &tray);
      shift = s;
      x = px;
      y = py;
    };
    Notify(tray, WM_MBUTTONDOWN);
    CHECK((shift & ssMiddle) != 0);
    CHECK((shift & ssLeft) == 0);
    CHECK(x == cursor.x);
    CHECK(y == cursor.y);
  }
  SUBCASE("version-3 notifications end a right click by the context-menu message") {
    tray.ApplyNotifyStyle(1);
    CHECK(tray.NotifyData().uVersion == NOTIFYICON_VERSION);
    Notify(tray, WM_RBUTTONUP);
    Notify(tray, WM_CONTEXTMENU);
    CHECK(log.Text() == "up:R");
    tray.ApplyNotifyStyle(0);
    CHECK(tray.NotifyData().uVersion == 0);
  }
  SUBCASE("an unknown identifier reaches no icon") {
    SendMessageW(TrayIconHandler()->WindowHandle(), TrayCallbackMessage, tray.IconId() + 1000,
                 WM_LBUTTONDOWN);
    CHECK(log.events.empty());
  }
}

TEST_CASE("popup menu on the button press and the default item on a double click") {
  FormScope scope;
  TTrayIcon& tray = *scope.Form->Tray;
  EventLog log;
  log.Attach(tray);
  auto* menu = new TPopupMenu(scope.Form);
  for (const char* name : {"a", "b", "c"}) {
    auto* item = new TMenuItem(scope.Form);
    item->SetCaption(std::wstring(name, name + 1));
    item->OnClick = [&log, name](TComponent*) { log.events.push_back(std::string("item:") + name); };
    menu->Add(item);
  }
  menu->Items(1)->SetDefault(true);
  menu->Items(2)->SetDefault(true);
  tray.SetPopupMenu(menu);
  Temporarily track(TPopupMenu::TrackOverride, [&](HMENU) {
    log.events.push_back("popup");
    return -1;
  });

  SUBCASE("right press opens the menu after the mouse-down event") {
    Notify(tray, WM_RBUTTONDOWN);
    CHECK(log.Text() == "down:R popup");
    CHECK(menu->PopupComponent() == &tray);
  }
  SUBCASE("left press opens it only with LeftPopup") {
    Notify(tray, WM_LBUTTONDOWN);
    CHECK(log.Text() == "down:L");
    tray.SetLeftPopup(true);
    Notify(tray, WM_LBUTTONDOWN);
    CHECK(log.Text() == "down:L down:L popup");
  }
  SUBCASE("a double click clicks the first default item") {
    log.AttachDblClick(tray);
    Notify(tray, WM_LBUTTONDBLCLK);
    CHECK(log.Text() == "dbl item:b");
  }
  SUBCASE("no default item with LeftPopup, without AutoPopup, or without defaults") {
    tray.SetLeftPopup(true);
    Notify(tray, WM_LBUTTONDBLCLK);
    tray.SetLeftPopup(false);
    menu->SetAutoPopup(false);
    Notify(tray, WM_LBUTTONDBLCLK);
    Notify(tray, WM_RBUTTONDOWN);
    menu->SetAutoPopup(true);
    menu->Items(1)->SetDefault(false);
    menu->Items(2)->SetDefault(false);
    Notify(tray, WM_LBUTTONDBLCLK);
    CHECK(log.Text() == "down:R");
  }
  SUBCASE("disabled: no menu") {
    tray.SetEnabled(false);
    Notify(tray, WM_RBUTTONDOWN);
    Notify(tray, WM_LBUTTONDBLCLK);
    CHECK(log.events.empty());
  }
  SUBCASE("a destroyed menu is forgotten") {
    menu->Free();
    CHECK(tray.PopupMenu() == nullptr);
    Notify(tray, WM_RBUTTONDOWN);
    CHECK(log.Text() == "down:R");
  }
}

TEST_CASE("the notify record: wide shell-5 layout, hint cut to 127 characters") {
  TTrayIcon tray(nullptr);
  const NOTIFYICONDATAW& data = tray.NotifyData();
  CHECK(data.cbSize == 952);
  CHECK(data.uFlags == (NIF_MESSAGE | NIF_ICON | NIF_TIP));
  CHECK(data.uCallbackMessage == 2048);
  CHECK(data.hWnd == TrayIconHandler()->WindowHandle());
  CHECK(data.uID == tray.IconId());

  SUBCASE("a long hint") {
    std::wstring hint;
    for (int i = 0; i < 200; ++i) hint += static_cast<wchar_t>(L'A' + i % 26);
    tray.SetHint(hint);
    CHECK(std::wstring(data.szTip) == hint.substr(0, 127));
  }
  SUBCASE("a cut through a surrogate pair drops its first half") {
    tray.SetHint(std::wstring(126, L'x') + L"\U00020000" + L"yz");
    CHECK(std::wstring(data.szTip) == std::wstring(126, L'x'));
  }
  SUBCASE("no tooltip when the hint is empty or not to be shown") {
    tray.SetHint(L"监控");
    CHECK(std::wstring(data.szTip) == L"监控");
    tray.SetShowHint(false);
    CHECK(data.szTip[0] == 0);
    CHECK(data.uFlags == (NIF_MESSAGE | NIF_ICON | NIF_TIP));
  }
}

TEST_CASE("IconIndex selects an image of the list") {
  TImageList list(nullptr);
  for (COLORREF c : {kRed, kGreen, kBlue}) list.AddIcon(*MakeIcon(c));
  TTrayIcon tray(nullptr);
  CHECK(tray.IconIndex() == 0);

  SUBCASE("without a list it stays 0") {
    tray.SetIconIndex(2);
    CHECK(tray.IconIndex() == 0);
  }
  SUBCASE("setting the list selects image 0") {
    tray.SetIconList(&list);
    CHECK(IconPixel(tray.Icon().Handle()) == kRed);
  }
  SUBCASE("at or beyond the count: the last image") {
    tray.SetIconList(&list);
    tray.SetIconIndex(1);
    CHECK(IconPixel(tray.Icon().Handle()) == kGreen);
    tray.SetIconIndex(7);
    CHECK(tray.IconIndex() == 2);
    CHECK(IconPixel(tray.Icon().Handle()) == kBlue);
  }
  SUBCASE("a negative index stays as written") {
    tray.SetIconList(&list);
    tray.SetIconIndex(-3);
    CHECK(tray.IconIndex() == -3);
  }
  SUBCASE("an empty list gives -1") {
    TImageList empty(nullptr);
    tray.SetIconList(&empty);
    CHECK(tray.IconIndex() == -1);
    tray.SetIconList(nullptr);
  }
  SUBCASE("the list going away resets the index") {
    auto* owned = new TImageList(nullptr);
    owned->AddIcon(*MakeIcon(kRed));
    owned->AddIcon(*MakeIcon(kGreen));
    tray.SetIconList(owned);
    tray.SetIconIndex(1);
    owned->Free();
    CHECK(tray.IconList() == nullptr);
    CHECK(tray.IconIndex() == 0);
  }
}

TEST_CASE("icon cycling") {
  TImageList list(nullptr);
  for (COLORREF c : {kRed, kGreen, kBlue}) list.AddIcon(*MakeIcon(c));
  TTrayIcon tray(nullptr);
  tray.SetIconList(&list);
  struct Step {
    int index, next;
    COLORREF shown;
  };
  std::vector<Step> steps;
  tray.OnCycle = [&](TComponent*, int next) {
    steps.push_back({tray.IconIndex(), next, IconPixel(tray.Icon().Handle())});
  };

  SUBCASE("wraps around after the last image, announcing 0") {
    tray.SetCycleInterval(10);
    tray.SetCycleIcons(true);
    REQUIRE(PumpUntil([&] { return steps.size() >= 4; }));
    tray.SetCycleIcons(false);
    const int expected[4][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 1}};
    const COLORREF shown[4] = {kRed, kGreen, kBlue, kRed};
    for (int i = 0; i < 4; ++i) {
      CAPTURE(i);
      CHECK(steps[i].index == expected[i][0]);
      CHECK(steps[i].next == expected[i][1]);
      CHECK(steps[i].shown == shown[i]);
    }
  }
  SUBCASE("interval 0 does not cycle") {
    tray.SetCycleIcons(true);
    PumpFor(milliseconds(150));
    CHECK(steps.empty());
  }
  SUBCASE("a new interval restarts at image 0") {
    tray.SetCycleInterval(10);
    tray.SetCycleIcons(true);
    REQUIRE(PumpUntil([&] { return tray.IconIndex() == 2; }));
    tray.SetCycleInterval(20);
    CHECK(tray.IconIndex() == 0);
    steps.clear();
    REQUIRE(PumpUntil([&] { return !steps.empty(); }));
    CHECK(steps[0].index == 0);
  }
}

TEST_CASE("tray icons share one hidden window that goes with the last icon") {
  REQUIRE(TrayIconHandler() == nullptr);
  auto* first = new TTrayIcon(nullptr);
  auto* second = new TTrayIcon(nullptr);
  TTrayIconHandler* handler = TrayIconHandler();
  REQUIRE(handler);
  const HWND window = handler->WindowHandle();
  CHECK(handler->UserCount() == 2);
  CHECK(first->IconId() != second->IconId());
  CHECK(first->NotifyData().hWnd == window);
  CHECK(second->NotifyData().hWnd == window);
  CHECK(handler->Find(second->IconId()) == second);

  // The window is not closed from outside.
  SendMessageW(window, WM_CLOSE, 0, 0);
  CHECK(IsWindow(window));

  first->Free();
  CHECK(IsWindow(window));
  CHECK(handler->UserCount() == 1);
  second->Free();
  CHECK(TrayIconHandler() == nullptr);
  CHECK_FALSE(IsWindow(window));
}

TEST_CASE("pointer enter and exit") {
  TTrayIcon tray(nullptr);
  EventLog log;
  log.Attach(tray);

  SUBCASE("without WantEnterExitEvents only moves") {
    Notify(tray, WM_MOUSEMOVE);
    CHECK(log.Text() == "move");
  }
  SUBCASE("enter on the first move, exit once the pointer is elsewhere") {
    tray.SetWantEnterExitEvents(true);
    // Under Wine a warp of the pointer can be undone by pointer motion the X
    // server reported before it; settle the pointer first.
    REQUIRE(PumpUntil([] {
      SetCursorPos(400, 400);
      PumpFor(milliseconds(50));
      POINT p{};
      GetCursorPos(&p);
      return p.x == 400 && p.y == 400;
    }));
    Notify(tray, WM_MOUSEMOVE);
    Notify(tray, WM_MOUSEMOVE);
    CHECK(log.Text() == "enter move move");
    PumpFor(milliseconds(100));
    CHECK(log.events.size() == 3);
    REQUIRE(SetCursorPos(420, 430));
    CHECK(PumpUntil([&] { return log.events.size() == 4; }));
    Notify(tray, WM_MOUSEMOVE);
    CHECK(log.Text() == "enter move move exit enter move");
  }
}

TEST_CASE("the icon in the notification area") {
  REQUIRE(FindWindowW(L"Shell_TrayWnd", nullptr));
  FormScope scope([](TTrayForm& form) {
    form.Tray->SetIcon(*MakeIcon(kGreen));
    form.Tray->SetIconVisible(true);
  });
  TTrayIcon& tray = *scope.Form->Tray;
  CHECK(tray.IconVisible());
  CHECK(InTray(tray));
  CHECK(tray.UpdateTrayIcon());

  SUBCASE("TaskbarCreated puts a visible icon back") {
    REQUIRE(TaskbarCreatedMessage() != 0);
    RemoveBehindItsBack(tray);
    CHECK_FALSE(InTray(tray));
    SendMessageW(Application->Handle(), TaskbarCreatedMessage(), 0, 0);
    CHECK(InTray(tray));
  }
  SUBCASE("TaskbarCreated adds nothing while the icon is not visible") {
    tray.SetIconVisible(false);
    CHECK_FALSE(InTray(tray));
    SendMessageW(Application->Handle(), TaskbarCreatedMessage(), 0, 0);
    CHECK_FALSE(InTray(tray));
  }
  SUBCASE("destroying the component removes its icon") {
    TTrayIcon* second = new TTrayIcon(scope.Form);
    second->SetIconVisible(true);
    REQUIRE(InTray(*second));
    const NOTIFYICONDATAW copy = second->NotifyData();
    second->Free();
    NOTIFYICONDATAW probe = copy;
    probe.uFlags = 0;
    CHECK_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe));
    CHECK(InTray(tray));
  }
}

TEST_CASE("minimise to tray and restore") {
  FormScope scope([](TTrayForm& form) {
    form.Tray->SetIcon(*MakeIcon(kBlue));
    form.Tray->SetIconVisible(true);
    form.Tray->SetMinimizeToTray(true);
  });
  TTrayForm& form = *scope.Form;
  TTrayIcon& tray = *form.Tray;
  MainWindowFor asMain(&form);
  const HWND app = Application->Handle();
  // Another window, so that coming back in front is something to do.
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120,
                               400, 300, nullptr, nullptr, nullptr, nullptr);
  form.Show();
  REQUIRE(PumpUntil([&] { return IsWindowVisible(form.Handle()) && IsWindowVisible(app); }));
  const int buttonsShown = TaskbarButtons();
  int minimizeEvents = 0;

  SUBCASE("minimising hides the window and its taskbar button; the icon stays") {
    CHECK(PumpUntil([&] { return TaskbarButtons() == buttonsShown; }));
    ScreenshotPoint(L"1-shown");
    SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    CHECK(PumpUntil([&] { return !IsWindowVisible(form.Handle()) && !IsWindowVisible(app); }));
    CHECK_FALSE(form.Visible());
    CHECK(InTray(tray));
    CHECK(PumpUntil([&] { return TaskbarButtons() == buttonsShown - 1; }));
    ScreenshotPoint(L"2-in-tray");

    SetForegroundWindow(other);
    tray.RestoreMainWindow();
    CHECK(PumpUntil([&] { return IsWindowVisible(form.Handle()) && !IsIconic(app); }));
    CHECK(form.WindowState() == wsNormal);
    CHECK(PumpUntil([&] { return GetForegroundWindow() == form.Handle(); }));
    CHECK(PumpUntil([&] { return TaskbarButtons() == buttonsShown; }));
    ScreenshotPoint(L"3-restored");
  }
  SUBCASE("a click on the icon restores through the click handler") {
    tray.OnClick = [&](TComponent*) { tray.RestoreMainWindow(); };
    form.SetWindowState(wsMinimized);
    REQUIRE(PumpUntil([&] { return !IsWindowVisible(app); }));
    Notify(tray, WM_LBUTTONDOWN);
    Notify(tray, WM_LBUTTONUP);
    CHECK(PumpUntil([&] { return IsWindowVisible(form.Handle()) && IsWindowVisible(app); }));
  }
  SUBCASE("restored from outside by the application's restore command") {
    SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    REQUIRE(PumpUntil([&] { return !IsWindowVisible(app); }));
    SendMessageW(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    CHECK(PumpUntil([&] { return IsWindowVisible(form.Handle()) && IsWindowVisible(app); }));
    CHECK(form.Visible());
  }
  SUBCASE("with a minimise handler the owner's command is taken over") {
    tray.OnMinimizeToTray = [&](TComponent*) { ++minimizeEvents; };
    CHECK(SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0) == 1);
    CHECK(minimizeEvents == 1);
    CHECK_FALSE(IsWindowVisible(form.Handle()));
    CHECK_FALSE(IsWindowVisible(app));
    CHECK_FALSE(IsIconic(app));
    CHECK(InTray(tray));
    tray.RestoreMainWindow();
    CHECK(PumpUntil([&] { return IsWindowVisible(form.Handle()); }));
  }
  SUBCASE("without MinimizeToTray an ordinary minimise") {
    tray.SetMinimizeToTray(false);
    SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    CHECK(PumpUntil([&] { return IsIconic(app); }));
    CHECK(IsWindowVisible(app));
    CHECK(InTray(tray));
    CHECK(form.Visible());
  }
  DestroyWindow(other);
}

TEST_CASE("start-up: a False answer keeps the main window hidden") {
  int startups = 0;
  FormScope scope([&](TTrayForm& form) {
    form.Tray->SetIconVisible(true);
    form.Tray->OnStartup = [&](TComponent*, bool& show) {
      ++startups;
      show = false;
    };
  });
  TTrayForm& form = *scope.Form;
  MainWindowFor asMain(&form);
  CHECK(startups == 1);
  CHECK_FALSE(Application->ShowMainForm());
  CHECK_FALSE(IsWindowVisible(form.Handle()));
  CHECK(InTray(*form.Tray));

  SUBCASE("an MDI main window is asked once more, at the application window's first move") {
    form.SetFormStyle(fsMDIForm);
    ShowWindow(Application->Handle(), SW_SHOWNA);
    SetWindowPos(Application->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    CHECK(startups == 2);
    CHECK_FALSE(IsWindowVisible(Application->Handle()));
    SetWindowPos(Application->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    CHECK(startups == 2);
  }
}

TEST_CASE("the owner window's procedure is replaced and put back exactly") {
  FormScope scope;
  TTrayForm& form = *scope.Form;
  const LONG_PTR withOne = GetWindowLongPtrW(form.Handle(), GWLP_WNDPROC);
  auto* second = new TTrayIcon(&form);
  const LONG_PTR withTwo = GetWindowLongPtrW(form.Handle(), GWLP_WNDPROC);
  CHECK(withTwo != withOne);
  // Messages still reach the form through both replacements.
  SendMessageW(form.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"改名"));
  wchar_t text[16];
  GetWindowTextW(form.Handle(), text, 16);
  CHECK(std::wstring(text) == L"改名");
  second->Free();
  CHECK(GetWindowLongPtrW(form.Handle(), GWLP_WNDPROC) == withOne);
}
