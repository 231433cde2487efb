#pragma once
// Helpers shared by the test executables.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "classlib/application.h"
#include "classlib/form.h"

// Handles window messages until the condition holds or the deadline
// passes; returns the condition's last value.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));
// Handles window messages for a while (for things that must NOT happen).
void PumpFor(std::chrono::milliseconds duration);

// Runs `action` on a worker thread while this thread handles messages; false
// when it has not finished by the deadline (a deadlock). The process then
// ends with a message, since the hung action still uses the test's objects.
bool FinishesWithin(const std::function<void()>& action, std::chrono::milliseconds deadline);

// Message boxes raised through the application are recorded here instead
// of blocking the test; the answer given is IDOK.
struct RecordedBox {
  std::wstring text;
  std::wstring caption;
  UINT flags;
};
std::vector<RecordedBox>& RecordedBoxes();

// A fresh, empty folder below the system's temporary folder.
std::wstring MakeTempFolder(const std::wstring& prefix);
// Deletes a folder tree made by a test.
void RemoveTree(const std::wstring& folder);
// A fresh folder for one scope; its tree goes at the end.
struct TempFolder {
  explicit TempFolder(const std::wstring& prefix) : path(MakeTempFolder(prefix)) {}
  ~TempFolder() { RemoveTree(path); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring path;
};

// Reads a whole file as bytes (empty when missing).
std::string ReadFileBytes(const std::wstring& name);
void WriteFileBytes(const std::wstring& name, const std::string& bytes);

// Gives a global a value for one scope and puts the old one back on every
// exit, a failed assertion's too.
template <class T>
class Temporarily {
public:
  Temporarily(T& place, std::type_identity_t<T> value) : place_(place), old_(std::exchange(place, std::move(value))) {}
  ~Temporarily() { place_ = std::move(old_); }
  Temporarily(const Temporarily&) = delete;
  Temporarily& operator=(const Temporarily&) = delete;

private:
  T& place_;
  T old_;
};

// Makes a form the application's main window for one scope, as the
// program's start-up does. Afterwards the application window is restored
// from the taskbar and hidden again when it was hidden, the old main window
// is back, and the main window shows at start again (a tray icon made with
// the form may have turned that off).
class MainWindowFor {
public:
  explicit MainWindowFor(TForm* form)
      : oldMain_(Application->MainForm()), wasVisible_(IsWindowVisible(Application->Handle()) != FALSE) {
    Application->SetMainForm(form);
  }
  ~MainWindowFor() {
    Application->Restore();
    Application->SetMainForm(oldMain_);
    Application->SetShowMainForm(true);
    if (!wasVisible_) ShowWindow(Application->Handle(), SW_HIDE);
  }
  MainWindowFor(const MainWindowFor&) = delete;
  MainWindowFor& operator=(const MainWindowFor&) = delete;

private:
  TForm* oldMain_;
  bool wasVisible_;
};
