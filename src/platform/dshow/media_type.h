#pragma once
// Media type ownership and the media type enumerator of the built-in ASF
// writer filter.
#include <windows.h>
#include <dshow.h>

#include <wrl/client.h>

#include <atomic>
#include <vector>

namespace platform {

// An AM_MEDIA_TYPE that owns its format block and holds its pUnk.
class MediaTypeCopy {
public:
  MediaTypeCopy();
  explicit MediaTypeCopy(const AM_MEDIA_TYPE& type);
  MediaTypeCopy(const MediaTypeCopy& other);
  MediaTypeCopy& operator=(const MediaTypeCopy& other);
  ~MediaTypeCopy();

  const AM_MEDIA_TYPE& Get() const { return type_; }
  // Fills a caller's structure with a fresh copy (format block from the
  // task allocator, as callers free it).
  HRESULT CopyTo(AM_MEDIA_TYPE* target) const;
  // Frees what a caller-owned structure holds.
  static void FreeContents(AM_MEDIA_TYPE& type);

private:
  static HRESULT Copy(const AM_MEDIA_TYPE& source, AM_MEDIA_TYPE* target);
  AM_MEDIA_TYPE type_;
};

class MediaTypeEnumerator final : public IEnumMediaTypes {
public:
  static Microsoft::WRL::ComPtr<IEnumMediaTypes> Create(std::vector<MediaTypeCopy> types,
                                                        size_t position = 0);
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override;

private:
  MediaTypeEnumerator(std::vector<MediaTypeCopy> types, size_t position)
      : types_(std::move(types)), position_(position) {}
  std::atomic<ULONG> refs_{1};
  std::vector<MediaTypeCopy> types_;
  size_t position_;
};

}  // namespace platform
