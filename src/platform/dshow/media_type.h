#pragma once
// The one owner of an AM_MEDIA_TYPE. The rule for pUnk everywhere: a record
// holds its own reference, a copy adds one, freeing releases it.
#include <windows.h>
#include <dshow.h>

namespace dshow {

class MediaType {
public:
  MediaType() = default;
  // A deep copy of `type`; without memory for the format block it has none.
  explicit MediaType(const AM_MEDIA_TYPE& type);
  MediaType(const MediaType& other);
  MediaType(MediaType&& other) noexcept;
  MediaType& operator=(MediaType other) noexcept;
  ~MediaType();

  const AM_MEDIA_TYPE& Get() const { return type_; }
  // Fills a caller's record with a copy the caller frees with FreeContents.
  HRESULT CopyTo(AM_MEDIA_TYPE* target) const;
  // A task-allocated copy the caller frees as DeleteMediaType does
  // (enumerators, IAMStreamConfig::GetFormat); null without memory.
  AM_MEDIA_TYPE* CreateCopy() const;

  // Copies `source` into a record holding nothing: the format block from
  // the task allocator, a reference of its own on pUnk.
  static HRESULT Copy(const AM_MEDIA_TYPE& source, AM_MEDIA_TYPE* target);
  // Frees the format block and releases pUnk; the rest stays as it is.
  static void FreeContents(AM_MEDIA_TYPE& type);
  // Frees a task-allocated record and what it holds.
  static void Delete(AM_MEDIA_TYPE* type);

private:
  AM_MEDIA_TYPE type_{};
};

}  // namespace dshow
