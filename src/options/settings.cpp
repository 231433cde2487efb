#include "options/settings.h"

#include "classlib/sysutils.h"

std::wstring appPath;
std::wstring savePath;

std::wstring SettingsFileName() {
  const std::wstring exe = ExeName();
  return ExtractFilePath(exe) + ChangeFileExt(ExtractFileName(exe), L".ini");
}

TIniFile OpenSettings() { return TIniFile(SettingsFileName()); }

void EnsureDirectory(const std::wstring& name) {
  if (!DirectoryExists(name)) (void)CreateDir(name);  // a failure shows later, at use
}

void CreateStorageFolders(const std::wstring& root) {
  EnsureDirectory(root);
  EnsureDirectory(root + L"\\录像\\");
  EnsureDirectory(root + L"\\截屏\\");
}

void CreateChannelFolders(const std::wstring& root) {
  for (const wchar_t* channel : {L"\\录像\\#1\\", L"\\录像\\#2\\", L"\\录像\\#3\\", L"\\录像\\#4\\"})
    EnsureDirectory(root + channel);
}
