#pragma once
// TPersistentMemory, a storable byte block, and TBaseFilter, which keeps a
// device moniker in one and binds it to a new filter object on demand.
#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "classlib/component.h"
#include "platform/media_platform.h"

class TPersistentMemory : public TPersistent {
public:
  TPersistentMemory() = default;
  ~TPersistentMemory() override { SetDataLength(0); }
  TPersistentMemory(const TPersistentMemory&) = delete;
  TPersistentMemory& operator=(const TPersistentMemory&) = delete;
  std::wstring ClassName() const override { return L"TPersistentMemory"; }

  // None exactly when DataLength is 0.
  std::uint8_t* Data() const { return data_; }
  std::uint32_t DataLength() const { return length_; }
  // Discards the bytes, then holds n zero bytes.
  void SetDataLength(std::uint32_t n);

  // Copies another block's bytes; other sources raise EConvertError
  // "Cannot assign a X to a Y".
  void Assign(const TPersistent& source);
  // Equal bytes: same non-zero length, both present, same content. Two
  // empty blocks are not equal, so an empty block is always stored.
  bool SameData(const TPersistentMemory& other) const;

  // The stored "data" property: a 32-bit little-endian count, then the bytes.
  std::string WriteData() const;
  // Raises EReadError when the count promises more bytes than there are.
  void ReadData(std::string_view stored);

private:
  std::uint8_t* data_ = nullptr;
  std::uint32_t length_ = 0;
};

class TBaseFilter : public TPersistentMemory {
public:
  std::wstring ClassName() const override { return L"TBaseFilter"; }
  // Keeps the moniker's saved form; none empties the block.
  void AssignMoniker(IMoniker* moniker);
  // Loads the moniker and binds a new filter object; none for an empty
  // block, a block that does not load or a device that does not bind.
  platform::ComPtr<IBaseFilter> CreateFilter() const;
};
