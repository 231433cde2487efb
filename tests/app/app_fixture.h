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

inline bool Running(TFilterGraph* graph) {
  platform::ComPtr<IMediaControl> control;
  if (FAILED(graph->QueryInterface(control.GetAddressOf()))) return false;
  OAFilterState state = State_Stopped;
  (void)control->GetState(100, &state);
  return state == State_Running;
}
