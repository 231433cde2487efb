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

std::wstring ChannelFolder(const std::wstring& root, int channel) {
  return root + Format(L"\\录像\\#%d\\", channel);
}

void CreateChannelFolders(const std::wstring& root) {
  for (int channel = 1; channel <= 4; ++channel) EnsureDirectory(ChannelFolder(root, channel));
}
