#pragma once
// TSysDevEnum: the devices the system device enumerator knows for one
// category, with their friendly names, and their monikers by position.
#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

#include "platform/media_platform.h"

struct TDeviceEntry {
  // At most 255 bytes in the system code page, never cut inside a character.
  std::wstring FriendlyName;
  // The null GUID when the device has no "CLSID" property.
  GUID CLSID;
};

class TSysDevEnum {
public:
  explicit TSysDevEnum(const GUID& category);

  // Rebuilds the list; a malformed "CLSID" text raises EOSError.
  void SelectCategory(const GUID& category);
  int CountFilters() const { return static_cast<int>(entries_.size()); }
  // Raises EListError "List index out of bounds (%d)" outside the list.
  TDeviceEntry FilterName(int index) const;
  // The moniker of device `index` from a fresh enumeration; none outside
  // the list (without asking the platform) or when the device is gone.
  platform::ComPtr<IMoniker> FilterMoniker(int index) const;
  // The moniker of the device of `category` with this display name from a
  // fresh enumeration, wherever it is listed now; none when it is not there.
  // One pass that stops at the device: under Wine every enumeration leaves
  // registry keys open, and a lost camera is looked for every 2 s.
  static platform::ComPtr<IMoniker> FindMoniker(const GUID& category, const std::wstring& displayName);

private:
  static platform::ComPtr<IEnumMoniker> Enumerate(const GUID& category);

  GUID category_{};
  std::vector<TDeviceEntry> entries_;
};

// The moniker's display name, which stays the same while the device is
// unplugged and plugged again; empty for none.
std::wstring MonikerDisplayName(IMoniker* moniker);

// The friendly name as the device list keeps it: through the system code
// page, cut to 255 bytes at a character boundary.
std::wstring ShortDeviceName(const std::wstring& name);
