#pragma once
// IEnumPins over a snapshot of a filter's pins.
#include <windows.h>
#include <dshow.h>

#include "platform/dshow/snapshot_enumerator.h"

namespace dshow {

class PinEnumerator final
    : public SnapshotEnumerator<PinEnumerator, IEnumPins, ComPtr<IPin>, IPin> {
public:
  PinEnumerator(std::vector<ComPtr<IPin>> pins, size_t position)
      : SnapshotEnumerator(std::move(pins), position) {}
  static IPin* HandOut(const ComPtr<IPin>& pin) { return ComPtr<IPin>(pin).Detach(); }
};

}  // namespace dshow
