#pragma once
// What the built-in ASF writer filter knows of the Windows Media Format 8
// system profiles: which streams each one has and its video bit rate.
#include <windows.h>

#include <cstdint>

namespace platform {

struct AsfSystemProfile {
  GUID id;
  bool video;
  bool audio;
  uint32_t videoBitRate;  // bits per second
};

// The profile with this GUID, or null.
const AsfSystemProfile* FindAsfSystemProfile(REFGUID id);
// The profile a new filter starts with (video only).
const AsfSystemProfile& DefaultAsfSystemProfile();

}  // namespace platform
