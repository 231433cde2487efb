#pragma once
// Helpers shared by the test executables.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Handles window messages until the condition holds or the deadline
// passes; returns the condition's last value.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));
// Handles window messages for a while (for things that must NOT happen).
void PumpFor(std::chrono::milliseconds duration);

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

// Reads a whole file as bytes (empty when missing).
std::string ReadFileBytes(const std::wstring& name);
void WriteFileBytes(const std::wstring& name, const std::string& bytes);
