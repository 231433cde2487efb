#pragma once
// The one place that creates platform objects. Where this machine's
// platform lacks a piece or is known to get it wrong, the program's own
// piece is created instead; callers keep calling what they always call.
#include <windows.h>
#include <unknwn.h>

namespace platform {

// True when the program runs under Wine (ntdll exports wine_get_version);
// detected once.
bool RunningUnderWine();

// When the program's own piece replaces the platform's.
enum class Replacement {
  WhenCreationFails,  // the platform's class is missing or cannot be created
  UnderWine,          // the platform's piece is known not to work under Wine
};

using BuiltInFactory = HRESULT (*)(REFIID iid, void** object);

struct BuiltInPiece {
  const CLSID* clsid;
  Replacement when;
  BuiltInFactory create;
};

// CoCreateInstance (in-process, no aggregation), or the built-in piece
// registered for the class when its rule says so.
HRESULT CreatePlatformObject(REFCLSID clsid, REFIID iid, void** object);

template <class T>
HRESULT CreatePlatformObject(REFCLSID clsid, T** object) {
  return CreatePlatformObject(clsid, __uuidof(T), reinterpret_cast<void**>(object));
}

}  // namespace platform
