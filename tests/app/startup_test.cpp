#include <doctest/doctest.h>

#include "app_fixture.h"
#include "app/splash.h"
#include "classlib/application.h"
#include "classlib/exceptions.h"
#include "classlib/sysutils.h"
#include "options/settings.h"
#include "test_support.h"


TEST_CASE("standard error box text") {
  CHECK(ErrorBoxText(L"Unable to write to C:\\a.ini") == L"Unable to write to C:\\a.ini.");
  CHECK(ErrorBoxText(L"done.") == L"done.");
  CHECK(ErrorBoxText(L"ends with space ") == L"ends with space ");
  CHECK(ErrorBoxText(L"dash-") == L"dash-");        // '-' sorts below '.'
  CHECK(ErrorBoxText(L"slash/") == L"slash/.");     // '/' sorts above '.'
  CHECK(ErrorBoxText(L"中文") == L"中文.");
  CHECK(ErrorBoxText(L"") == L"");

  RecordedBoxes().clear();
  try {
    throw EListError(L"List index out of bounds (5)");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  try {
    throw EOSError(L"Access denied", 5);
  } catch (...) {
    Application->HandleException(nullptr);
  }
  REQUIRE(RecordedBoxes().size() == 2);
  CHECK(RecordedBoxes()[0].text == L"List index out of bounds (5)");  // ')' sorts below '.'
  CHECK(RecordedBoxes()[1].text == L"Access denied.");
  CHECK(RecordedBoxes()[0].caption == L"摄像头监控");
  CHECK(RecordedBoxes()[0].flags == (MB_OK | MB_ICONERROR));
}

TEST_CASE("main window creation reads the settings and makes the storage tree") {
  const std::wstring root = MakeTempFolder(L"store");

  SUBCASE("no settings file: defaults, the tree beside the executable, no write") {
    SettingsFile settings("");
    ProgramWindows window;
    CHECK(appPath == ExtractFilePath(ExeName()));
    CHECK(appPath.back() == L'\\');
    CHECK(savePath == appPath);
    CHECK(DirectoryExists(appPath + L"\\录像\\"));
    CHECK(DirectoryExists(appPath + L"\\截屏\\"));
    CHECK_FALSE(window.main()->topcbx->Checked());
    CHECK(window.main()->Timer3->Enabled());
    CHECK(RecordedBoxes().empty());
    CHECK(SettingsFile::Content().empty());
  }

  SUBCASE("a stored path is used as it stands, its folders made") {
    const std::wstring store = root + L"\\存储";
    SettingsFile settings("[comm]\r\npath=" + Ansi(store) + "\r\n");
    ProgramWindows window;
    CHECK(savePath == store);
    CHECK(DirectoryExists(store));
    CHECK(DirectoryExists(store + L"\\录像\\"));
    CHECK(DirectoryExists(store + L"\\截屏\\"));
    CHECK_FALSE(DirectoryExists(store + L"\\录像\\#1\\"));  // made when recording starts
  }

  SUBCASE("a path whose parent is missing: nothing made, no message") {
    const std::wstring store = root + L"\\missing\\store";
    SettingsFile settings("[comm]\r\npath=" + Ansi(store) + "\r\n");
    ProgramWindows window;
    CHECK(savePath == store);
    CHECK_FALSE(DirectoryExists(root + L"\\missing"));
    CHECK(RecordedBoxes().empty());
    CHECK(window.main()->Timer3->Enabled());
  }

  SUBCASE("an empty path puts the folders below the root of the current drive") {
    // The current drive is the Wine prefix's C:, inside the build tree.
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    REQUIRE(SetCurrentDirectoryW(root.c_str()));
    wchar_t drive[MAX_PATH];
    GetFullPathNameW(L"\\", MAX_PATH, drive, nullptr);
    const std::wstring driveRoot = drive;
    const bool hadRecordings = DirectoryExists(driveRoot + L"录像");
    {
      SettingsFile settings("[comm]\r\npath=\r\n");
      ProgramWindows window;
      CHECK(savePath.empty());
      CHECK(DirectoryExists(L"\\录像\\"));
      CHECK(DirectoryExists(L"\\截屏\\"));
      CHECK(DirectoryExists(driveRoot + L"录像"));
    }
    if (!hadRecordings) {
      RemoveDirectoryW((driveRoot + L"录像").c_str());
      RemoveDirectoryW((driveRoot + L"截屏").c_str());
    }
    SetCurrentDirectoryW(previous);
  }

  SUBCASE("a stored true ontop is written again; false or absent is not") {
    {
      SettingsFile settings("[comm]\r\nontop=$1\r\npath=" + Ansi(root) + "\r\n");
      ProgramWindows window;
      CHECK(window.main()->topcbx->Checked());
      CHECK(window.main()->FormStyle() == fsStayOnTop);
      CHECK((GetWindowLongPtrW(window.main()->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
      CHECK(SettingsFile::Content().find("ontop=1") != std::string::npos);
    }
    {
      SettingsFile settings("[comm]\r\nontop=0\r\npath=" + Ansi(root) + "\r\n");
      const std::string before = SettingsFile::Content();
      ProgramWindows window;
      CHECK_FALSE(window.main()->topcbx->Checked());
      CHECK(SettingsFile::Content() == before);
    }
  }

  SUBCASE("an unwritable settings file stops the creation handler at its first write") {
    const std::wstring store = root + L"\\never";
    SettingsFile settings("[comm]\r\nontop=1\r\npath=" + Ansi(store) + "\r\n");
    SettingsFileHeld held;
    ProgramWindows window;
    held.Release();
    REQUIRE(RecordedBoxes().size() == 1);
    CHECK(RecordedBoxes()[0].text == L"Unable to write to " + SettingsFileName() + L".");
    CHECK(RecordedBoxes()[0].caption == L"摄像头监控");
    CHECK(window.main()->topcbx->Checked());            // the box keeps its new state
    CHECK_FALSE(DirectoryExists(store));               // folder creation skipped
    CHECK_FALSE(window.main()->Timer3->Enabled());       // monitoring will not start by itself
  }
  RemoveTree(root);
}

TEST_CASE("the splash window is painted at once") {
  TsplashForm* splash = TForm::Create<TsplashForm>(Application);
  splash->Show();
  splash->Update();
  HWND hwnd = splash->Handle();
  RECT client;
  GetClientRect(hwnd, &client);
  CHECK(client.right == 358);
  CHECK(client.bottom == 225);
  CHECK((GetWindowLongW(hwnd, GWL_STYLE) & WS_CAPTION) == 0);

  // Read the window's own pixels right after the update, without pumping.
  HDC window = GetDC(hwnd);
  const COLORREF frame = GetPixel(window, 0, 0);
  const COLORREF bottomRight = GetPixel(window, 357, 224);
  const COLORREF picture = GetPixel(window, 178, 70);  // the camera's dark lens
  int whiteInLabel = 0;
  for (int x = 149; x < 209; ++x)
    for (int y = 199; y < 214; ++y)
      if (GetPixel(window, x, y) == RGB(255, 255, 255)) ++whiteInLabel;
  ReleaseDC(hwnd, window);

  CHECK(frame == RGB(128, 128, 128));
  CHECK(bottomRight != RGB(255, 255, 255));  // the picture reaches the right and bottom edges
  CHECK(GetRValue(picture) < 80);
  CHECK(whiteInLabel > 20);                  // "Veltrano" drawn in white over the picture
  splash->Free();
}
