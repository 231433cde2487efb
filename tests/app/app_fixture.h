#pragma once
// The program's two windows made as start-up makes them, over a settings
// file written for the test.
#include <doctest/doctest.h>

#include <string>

#include "app/main_form.h"
#include "classlib/application.h"
#include "classlib/sysutils.h"
#include "options/option_form.h"
#include "options/settings.h"
#include "test_cameras.h"
#include "test_support.h"

// Replaces this test executable's settings file for one test.
struct SettingsFile {
  explicit SettingsFile(const std::string& content) {
    Clear();
    if (!content.empty()) WriteFileBytes(SettingsFileName(), content);
  }
  ~SettingsFile() { Clear(); }
  static void Clear() {
    SetFileAttributesW(SettingsFileName().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(SettingsFileName().c_str());
  }
  static std::string Content() { return ReadFileBytes(SettingsFileName()); }
};

// Another program holding the settings file open for reading only, until
// Release or the end of the scope: the file can be read but not written (a
// read-only attribute would not stop root).
class SettingsFileHeld {
public:
  SettingsFileHeld()
      : handle_(CreateFileW(SettingsFileName().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr)) {
    REQUIRE(handle_ != INVALID_HANDLE_VALUE);
  }
  ~SettingsFileHeld() { Release(); }
  SettingsFileHeld(const SettingsFileHeld&) = delete;
  SettingsFileHeld& operator=(const SettingsFileHeld&) = delete;
  void Release() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

private:
  HANDLE handle_;
};

// The text in the settings file's code page.
inline std::string Ansi(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(size - 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
  return result;
}

// mainForm then optionForm, destroyed in the opposite order.
struct ProgramWindows {
  ProgramWindows() {
    RecordedBoxes().clear();
    mainForm = TForm::Create<TmainForm>(Application);
    optionForm = TForm::Create<ToptionForm>(Application);
  }
  ~ProgramWindows() {
    optionForm->Free();
    optionForm = nullptr;
    mainForm->Free();
    mainForm = nullptr;
  }
  TmainForm* main() const { return mainForm; }
};

// Registers n test cameras for one test and clears them afterwards.
struct Cameras {
  explicit Cameras(int n) { REQUIRE(RunTestcam(L"register " + std::to_wstring(n)) == 0); }
  ~Cameras() { RunTestcam(L"clear"); }
};

// The program as a user starts it: its storage in a fresh folder, test
// cameras, both windows made and the main one shown. Taken down in reverse,
// so the folder goes once nothing holds a recording open.
struct ShownProgram {
  ShownProgram(const wchar_t* prefix, int cameraCount, const std::string& moreSettings = "")
      : root(prefix), settings("[comm]\r\npath=" + Ansi(root.path) + "\r\n" + moreSettings),
        cameras(cameraCount), form(windows.main()) {
    form->Show();
  }
  TempFolder root;
  SettingsFile settings;
  Cameras cameras;
  ProgramWindows windows;
  TmainForm* const form;
};

inline bool Running(TFilterGraph* graph) {
  platform::ComPtr<IMediaControl> control;
  if (FAILED(graph->QueryInterface(control.GetAddressOf()))) return false;
  OAFilterState state = State_Stopped;
  (void)control->GetState(100, &state);
  return state == State_Running;
}
