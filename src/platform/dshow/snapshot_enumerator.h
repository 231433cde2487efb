#pragma once
// The IEnumXxx protocol over a snapshot taken when the enumerator is made.
// A concrete enumerator says how one item is handed out (HandOut).
#include <windows.h>

#include <vector>

#include "platform/dshow/com_object.h"

namespace dshow {

template <class Derived, class Interface, class Item, class Out>
class SnapshotEnumerator : public ComObject<Derived, Interface> {
public:
  SnapshotEnumerator(std::vector<Item> items, size_t position)
      : items_(std::move(items)), position_(position) {}

  // Hands out a new enumerator over `items`.
  static HRESULT Create(std::vector<Item> items, Interface** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = Derived::Make(std::move(items), 0).Detach();
    return *enumerator ? S_OK : E_OUTOFMEMORY;
  }

  STDMETHODIMP Next(ULONG count, Out** items, ULONG* fetched) override {
    if (!items || (count > 1 && !fetched)) return E_POINTER;
    ULONG done = 0;
    while (done < count && position_ < items_.size()) {
      Out* item = Derived::HandOut(items_[position_]);
      if (!item) break;
      ++position_;
      items[done++] = item;
    }
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    if (count > items_.size() - position_) {
      position_ = items_.size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Interface** copy) override {
    if (!copy) return E_POINTER;
    *copy = Derived::Make(items_, position_).Detach();
    return *copy ? S_OK : E_OUTOFMEMORY;
  }

private:
  const std::vector<Item> items_;
  size_t position_;
};

}  // namespace dshow
