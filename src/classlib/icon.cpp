#include "classlib/icon.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "classlib/exceptions.h"

namespace {

// ".ico" layout: a 6-byte directory head (reserved 0, type 1, count), then
// one 16-byte entry per image (width, height, colours, reserved, planes,
// bit count, byte size, file offset), then the images. A width or height
// byte of 0 means 256.
constexpr size_t kHeadSize = 6;
constexpr size_t kEntrySize = 16;
// In a resource the group entry ends in a 16-bit image resource id instead
// of the 32-bit offset.
constexpr size_t kGroupEntrySize = 14;

std::uint16_t Read16(const std::string& d, size_t at) {
  std::uint16_t v;
  std::memcpy(&v, d.data() + at, sizeof v);
  return v;
}

std::uint32_t Read32(const std::string& d, size_t at) {
  std::uint32_t v;
  std::memcpy(&v, d.data() + at, sizeof v);
  return v;
}

void Write16(std::string& d, std::uint16_t v) { d.append(reinterpret_cast<const char*>(&v), 2); }
void Write32(std::string& d, std::uint32_t v) { d.append(reinterpret_cast<const char*>(&v), 4); }

int EntryCount(const std::string& d) { return d.size() >= kHeadSize ? Read16(d, 4) : 0; }

size_t EntryAt(int index) { return kHeadSize + static_cast<size_t>(index) * kEntrySize; }

int Dimension(std::uint8_t stored) { return stored == 0 ? 256 : stored; }

void CheckIconData(const std::string& d) {
  if (d.size() < kHeadSize || Read16(d, 0) != 0 || Read16(d, 2) != 1 || Read16(d, 4) == 0)
    throw EReadError(L"Invalid icon image");
  const int count = EntryCount(d);
  if (d.size() < EntryAt(count)) throw EReadError(L"Invalid icon image");
  for (int i = 0; i < count; ++i) {
    const std::uint64_t size = Read32(d, EntryAt(i) + 8), offset = Read32(d, EntryAt(i) + 12);
    if (size == 0 || offset < EntryAt(count) || offset + size > d.size())
      throw EReadError(L"Invalid icon image");
  }
}

const void* LockedResource(HINSTANCE instance, const wchar_t* name, const wchar_t* type,
                           DWORD& size) {
  HRSRC resource = FindResourceW(instance, name, type);
  if (!resource) RaiseLastOSError(L"FindResource");
  HGLOBAL loaded = LoadResource(instance, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) RaiseLastOSError(L"LoadResource");
  size = SizeofResource(instance, resource);
  return data;
}

}  // namespace

TIcon::~TIcon() { ReleaseHandle(); }

void TIcon::ReleaseHandle() {
  if (handle_ && ownsHandle_) DestroyIcon(handle_);
  handle_ = nullptr;
  ownsHandle_ = false;
}

void TIcon::Changed() {
  if (OnChange) OnChange();
}

void TIcon::Assign(const TIcon& source) {
  if (&source == this) return;
  ReleaseHandle();
  data_ = source.data_;
  // An icon known only by its handle is copied as a handle of our own.
  if (data_.empty() && source.handle_) {
    handle_ = CopyIcon(source.handle_);
    ownsHandle_ = true;
  }
  Changed();
}

void TIcon::LoadFromFile(const std::wstring& fileName) {
  std::ifstream in(std::filesystem::path(fileName), std::ios::binary);
  if (!in) throw EReadError(L"Cannot open icon file " + fileName);
  LoadFromBytes(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

void TIcon::LoadFromBytes(std::string bytes) {
  CheckIconData(bytes);
  ReleaseHandle();
  data_ = std::move(bytes);
  Changed();
}

void TIcon::LoadFromResourceName(HINSTANCE instance, const wchar_t* name) {
  DWORD groupSize = 0;
  const auto* groupBytes =
      static_cast<const char*>(LockedResource(instance, name, RT_GROUP_ICON, groupSize));
  const std::string group(groupBytes, groupSize);
  if (group.size() < kHeadSize) throw EReadError(L"Invalid icon resource");
  const int count = Read16(group, 4);
  if (group.size() < kHeadSize + count * kGroupEntrySize) throw EReadError(L"Invalid icon resource");

  std::string file, images;
  Write16(file, 0);
  Write16(file, 1);
  Write16(file, static_cast<std::uint16_t>(count));
  const size_t firstImage = EntryAt(count);
  for (int i = 0; i < count; ++i) {
    const size_t entry = kHeadSize + i * kGroupEntrySize;
    DWORD imageSize = 0;
    const auto* image = static_cast<const char*>(LockedResource(
        instance, MAKEINTRESOURCEW(Read16(group, entry + 12)), RT_ICON, imageSize));
    file.append(group, entry, 8);  // width .. bit count are the same in both forms
    Write32(file, imageSize);
    Write32(file, static_cast<std::uint32_t>(firstImage + images.size()));
    images.append(image, imageSize);
  }
  LoadFromBytes(file + images);
}

int TIcon::ImageCount() const {
  if (!data_.empty()) return EntryCount(data_);
  return handle_ ? 1 : 0;
}

SIZE TIcon::ImageSize(int index) const {
  if (index < 0 || index >= EntryCount(data_)) throw EListError(L"Icon image index out of bounds");
  const size_t entry = EntryAt(index);
  return SIZE{Dimension(static_cast<std::uint8_t>(data_[entry])),
              Dimension(static_cast<std::uint8_t>(data_[entry + 1]))};
}

void TIcon::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  // A handle made from the images is made again for the new size.
  if (!data_.empty() && handle_) {
    ReleaseHandle();
    Changed();
  }
}

int TIcon::ChooseImage() const {
  int best = -1, largest = 0;
  SIZE bestSize{}, largestSize{};
  for (int i = 0; i < EntryCount(data_); ++i) {
    const SIZE s = ImageSize(i);
    if (s.cx == width_ && s.cy == height_) return i;
    if (s.cx >= width_ && s.cy >= height_ && (best < 0 || s.cx < bestSize.cx)) {
      best = i;
      bestSize = s;
    }
    if (s.cx > largestSize.cx) {
      largest = i;
      largestSize = s;
    }
  }
  return best >= 0 ? best : largest;
}

HICON TIcon::Handle() {
  if (handle_ || data_.empty()) return handle_;
  const size_t entry = EntryAt(ChooseImage());
  auto* image = reinterpret_cast<BYTE*>(data_.data()) + Read32(data_, entry + 12);
  handle_ = CreateIconFromResourceEx(image, Read32(data_, entry + 8), TRUE, 0x00030000, width_,
                                     height_, LR_DEFAULTCOLOR);
  if (!handle_) throw EReadError(L"Invalid icon image");
  ownsHandle_ = true;
  return handle_;
}

void TIcon::SetHandle(HICON icon, bool owned) {
  ReleaseHandle();
  data_.clear();
  handle_ = icon;
  ownsHandle_ = icon && owned;
  Changed();
}

TCustomImageList::~TCustomImageList() = default;

int TCustomImageList::AddIcon(const TIcon& icon) {
  auto copy = std::make_unique<TIcon>();
  copy->Assign(icon);
  icons_.push_back(std::move(copy));
  return Count() - 1;
}

void TCustomImageList::GetIcon(int index, TIcon& icon) const {
  if (index < 0 || index >= Count()) throw EListError(L"Image list index out of bounds");
  icon.Assign(*icons_[index]);
}

void TCustomImageList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError(L"Image list index out of bounds");
  icons_.erase(icons_.begin() + index);
}
