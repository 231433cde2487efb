#pragma once
// Media types as values: an owner for AM_MEDIA_TYPE and its format block,
// and the two uncompressed video formats the camera offers.
#include <windows.h>
#include <dshow.h>

namespace testcam {

class MediaType {
public:
  MediaType();
  explicit MediaType(const AM_MEDIA_TYPE& source);
  MediaType(const MediaType& other);
  MediaType& operator=(const MediaType& other);
  ~MediaType();

  const AM_MEDIA_TYPE& get() const { return type_; }
  // A task-allocated copy for callers that free it with DeleteMediaType
  // conventions (enumerators, GetFormat).
  AM_MEDIA_TYPE* CreateCopy() const;
  // Copies into a caller's structure whose fields the caller frees.
  HRESULT CopyTo(AM_MEDIA_TYPE* target) const;

private:
  void Free();
  AM_MEDIA_TYPE type_;
};

// Frees a structure filled by CopyTo (its format block and unknown).
void FreeMediaTypeFields(AM_MEDIA_TYPE& type);

// One uncompressed video format: RGB24 (bottom-up) or YUY2.
struct VideoFormat {
  GUID subtype = MEDIASUBTYPE_RGB24;
  LONG width = 0;
  LONG height = 0;
  REFERENCE_TIME frameDuration = 0;  // 100 ns units

  LONG Stride() const;  // bytes per row
  LONG ImageSize() const;
  bool operator==(const VideoFormat&) const = default;
};

inline constexpr LONG kMinSize = 16;
inline constexpr LONG kMaxSize = 4096;
inline constexpr REFERENCE_TIME kMinFrameDuration = 10000000 / 120;
inline constexpr REFERENCE_TIME kMaxFrameDuration = 10000000;

MediaType MakeVideoType(const VideoFormat& format);
// The format of a type the camera can produce, or false.
bool ParseVideoType(const AM_MEDIA_TYPE& type, VideoFormat* format);

}  // namespace testcam
