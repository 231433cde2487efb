#pragma once
// The settings file beside the executable and the storage folder tree.
#include <string>

#include "classlib/ini_file.h"

// The executable's folder with its trailing separator, and the storage
// folder read at start-up; both set once by the main window's creation.
extern std::wstring appPath;
extern std::wstring savePath;

inline constexpr wchar_t kSettingsSection[] = L"comm";

// The running executable's full name with its extension replaced by ".ini".
std::wstring SettingsFileName();
// Opens the settings file afresh for one operation.
TIniFile OpenSettings();

// The storage root, "\录像\" and "\截屏\" below it, each when missing;
// failures are ignored.
void CreateStorageFolders(const std::wstring& root);
// The four channel folders "\录像\#1\" to "\录像\#4\", each when missing.
void CreateChannelFolders(const std::wstring& root);
// The folder of channel 1 to 4 below `root`, with its trailing separator.
std::wstring ChannelFolder(const std::wstring& root, int channel);
// Creates one folder level unless a directory of that name exists.
void EnsureDirectory(const std::wstring& name);
