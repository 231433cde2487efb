#pragma once
// IEnumMediaTypes over a snapshot of media types (none for a pin that
// proposes no type and leaves the choice to the upstream pin).
#include <windows.h>
#include <dshow.h>

#include "platform/dshow/media_type.h"
#include "platform/dshow/snapshot_enumerator.h"

namespace dshow {

class MediaTypeEnumerator final
    : public SnapshotEnumerator<MediaTypeEnumerator, IEnumMediaTypes, MediaType, AM_MEDIA_TYPE> {
public:
  MediaTypeEnumerator(std::vector<MediaType> types, size_t position)
      : SnapshotEnumerator(std::move(types), position) {}
  // A task-allocated copy the caller deletes; null without memory.
  static AM_MEDIA_TYPE* HandOut(const MediaType& type) { return type.CreateCopy(); }
};

}  // namespace dshow
