#include "app/housekeeping.h"

#include <windows.h>

#include "classlib/application.h"
#include "classlib/exceptions.h"

void TrimWorkingSet() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExW(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) return;
  // All ones for both limits empties the working set; pages return on demand.
  (void)SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1),
                                 static_cast<SIZE_T>(-1));
  Application->ProcessMessages();
}

TIdleClock SystemIdleClock() {
  return TIdleClock{
      [] { return static_cast<std::uint32_t>(GetTickCount()); },
      [] {
        LASTINPUTINFO info{};
        info.cbSize = 8;  // the size field and the 32-bit tick of the last input
        if (!GetLastInputInfo(&info)) RaiseLastOSError(L"GetLastInputInfo");
        return static_cast<std::uint32_t>(info.dwTime);
      }};
}
