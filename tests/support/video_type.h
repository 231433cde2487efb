#pragma once
// A video media type as a capture pin offers it: VIDEOINFOHEADER, fixed-size
// samples, the compression the subtype names (BI_RGB for the RGB subtypes).
// The format block is the object's own, so it is neither copied nor moved.
#include <windows.h>
#include <dshow.h>

struct VideoType {
  VideoType(const GUID& subtype, int width, int height, WORD bitCount, REFERENCE_TIME frameDuration = 400000);
  VideoType(const VideoType&) = delete;
  VideoType& operator=(const VideoType&) = delete;
  AM_MEDIA_TYPE* Get() { return &type; }

  VIDEOINFOHEADER format{};
  AM_MEDIA_TYPE type{};
};
