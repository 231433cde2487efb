// A small Windows tool the end-to-end scripts use to see what a user sees:
// where a window is, its state, the text of a message box. Finds windows by
// caption, as a user would; prints UTF-8.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::wstring WindowText(HWND hwnd) {
  wchar_t buffer[1024];
  const int length = GetWindowTextW(hwnd, buffer, 1024);
  return std::wstring(buffer, length > 0 ? length : 0);
}

bool IsDialog(HWND hwnd) {
  wchar_t cls[64];
  GetClassNameW(hwnd, cls, 64);
  return lstrcmpW(cls, L"#32770") == 0;
}

// The visible top-level window with exactly this caption (only dialogs, such
// as message boxes, when asked: the application window shares their caption).
HWND FindVisible(const std::wstring& caption, bool dialog = false) {
  struct Search {
    std::wstring caption;
    bool dialog;
    HWND found;
  } search{caption, dialog, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (IsWindowVisible(hwnd) && WindowText(hwnd) == s->caption &&
            (!s->dialog || IsDialog(hwnd))) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitFor(const std::wstring& caption, bool dialog, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND hwnd = FindVisible(caption, dialog)) return hwnd;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(50);
  }
}

void PrintRect(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  POINT client{0, 0};
  ClientToScreen(hwnd, &client);
  RECT c;
  GetClientRect(hwnd, &c);
  std::printf("%ld %ld %ld %ld %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left,
              r.bottom - r.top, client.x, client.y, c.right, c.bottom);
}

// Every static text of a dialog (a message box's message).
std::wstring DialogText(HWND dialog) {
  std::wstring text;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        wchar_t cls[64];
        GetClassNameW(child, cls, 64);
        if (lstrcmpiW(cls, L"Static") == 0) {
          const std::wstring t = WindowText(child);
          if (!t.empty()) {
            auto* out = reinterpret_cast<std::wstring*>(data);
            if (!out->empty()) *out += L"\n";
            *out += t;
          }
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

// The open popup menu: a visible top-level window of the menu class.
HWND OpenMenu() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        wchar_t cls[16];
        GetClassNameW(hwnd, cls, 16);
        if (!IsWindowVisible(hwnd) || lstrcmpW(cls, L"#32768") != 0) return TRUE;
        *reinterpret_cast<HWND*>(data) = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

int Usage() {
  std::fprintf(stderr,
               "usage: probe rect CAPTION [TIMEOUT_MS]   window rect, client origin and size\n"
               "       probe state CAPTION               visible/iconic/zoomed/topmost/foreground\n"
               "       probe gone CAPTION TIMEOUT_MS     waits until no such window is visible\n"
               "       probe text CAPTION [TIMEOUT_MS]   the static texts of a dialog (message box)\n"
               "       probe press CAPTION BUTTON        clicks a dialog's button by its text\n"
               "       probe child CAPTION TEXT          screen rect of a child window by its text\n"
               "       probe minimize CAPTION            what the window's minimise box does\n"
               "       probe endsession CAPTION          a session end that another program cancels\n"
               "       probe tray                        screen rect of the taskbar's notification area\n"
               "       probe menu [TIMEOUT_MS]           screen rect of the open popup menu\n"
               "       probe version FILE                the version resource, a NAME=VALUE a line\n");
  return 2;
}

// What a file's properties page shows: the fixed version and the strings of
// the first translation.
int PrintVersion(const std::wstring& file) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  if (size == 0) return 1;
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return 1;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return 1;
  std::printf("FixedVersion=%lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &length) ||
      length < sizeof(Translation))
    return 1;
  std::printf("Translation=%04x%04x\n", translation->language, translation->codePage);
  for (const wchar_t* name : {L"ProductName", L"FileDescription", L"ProductVersion", L"FileVersion",
                              L"LegalCopyright"}) {
    wchar_t path[128];
    wsprintfW(path, L"\\StringFileInfo\\%04x%04x\\%s", translation->language, translation->codePage, name);
    wchar_t* value = nullptr;
    if (VerQueryValueW(data.data(), path, reinterpret_cast<void**>(&value), &length) && value)
      std::printf("%s=%s\n", Utf8(name).c_str(), Utf8(value).c_str());
  }
  return 0;
}

}  // namespace

int main() {
  SetProcessDPIAware();
  // The wide command line: captions are Chinese whatever the code page.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc == 2 && std::wstring(argv[1]) == L"tray") {
    // Wine's taskbar puts the notification icons at its right end.
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!taskbar) return 1;
    RECT r;
    GetWindowRect(taskbar, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (argc >= 2 && std::wstring(argv[1]) == L"menu") {
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)) : 0;
    const DWORD start = GetTickCount();
    HWND menu;
    while (!(menu = OpenMenu())) {
      if (GetTickCount() - start > timeout) return 1;
      Sleep(50);
    }
    RECT r;
    GetWindowRect(menu, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (argc == 3 && std::wstring(argv[1]) == L"version") return PrintVersion(argv[2]);
  if (argc < 3) return Usage();
  const std::wstring command = argv[1];
  const std::wstring caption = argv[2];
  const DWORD timeout = argc > 3 ? static_cast<DWORD>(wcstoul(argv[3], nullptr, 10)) : 0;

  if (command == L"gone") {
    const DWORD start = GetTickCount();
    while (FindVisible(caption)) {
      if (GetTickCount() - start > timeout) return 1;
      Sleep(50);
    }
    return 0;
  }
  const bool dialog = command == L"text" || command == L"press";
  const bool hasTimeout = command == L"rect" || command == L"state" || command == L"text";
  HWND hwnd = WaitFor(caption, dialog, hasTimeout ? timeout : 0);
  if (!hwnd) {
    std::fprintf(stderr, "probe: no visible window \"%s\"\n", Utf8(caption).c_str());
    return 1;
  }
  if (command == L"rect") {
    PrintRect(hwnd);
  } else if (command == L"state") {
    const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    std::printf("visible=%d iconic=%d zoomed=%d topmost=%d foreground=%d\n", IsWindowVisible(hwnd) ? 1 : 0,
                IsIconic(hwnd) ? 1 : 0, IsZoomed(hwnd) ? 1 : 0, (ex & WS_EX_TOPMOST) ? 1 : 0,
                GetForegroundWindow() == hwnd ? 1 : 0);
  } else if (command == L"text") {
    std::printf("%s\n", Utf8(DialogText(hwnd)).c_str());
  } else if (command == L"minimize") {
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (command == L"endsession") {
    // As the system does, to every top-level window of the program: the
    // query, then the news that the session goes on. Posted, so that a
    // message box raised by the query does not hold the probe.
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          DWORD owner = 0;
          GetWindowThreadProcessId(window, &owner);
          if (owner == static_cast<DWORD>(data)) {
            PostMessageW(window, WM_QUERYENDSESSION, 0, 0);
            PostMessageW(window, WM_ENDSESSION, FALSE, 0);
          }
          return TRUE;
        },
        static_cast<LPARAM>(process));
  } else if (command == L"child" && argc > 3) {
    struct Search {
      std::wstring text;
      HWND found;
    } search{argv[3], nullptr};
    EnumChildWindows(
        hwnd,
        [](HWND child, LPARAM data) -> BOOL {
          auto* s = reinterpret_cast<Search*>(data);
          if (IsWindowVisible(child) && WindowText(child) == s->text) {
            s->found = child;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found) return 1;
    RECT r;
    GetWindowRect(search.found, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  } else if (command == L"press" && argc > 3) {
    const std::wstring button = argv[3];
    HWND target = nullptr;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      std::wstring text = WindowText(child);
      std::erase(text, L'&');
      if (text == button) target = child;
    }
    if (!target) return 1;
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(target), BN_CLICKED),
                 reinterpret_cast<LPARAM>(target));
  } else {
    return Usage();
  }
  return 0;
}
