#pragma once
// Icons: TIcon, one icon of possibly several images (the sizes of an ".ico"
// file), and TImageList, a numbered list of icons.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/component.h"

class TIcon {
public:
  TIcon() = default;
  ~TIcon();
  TIcon(const TIcon&) = delete;
  TIcon& operator=(const TIcon&) = delete;

  // Copies the source's images. The size this icon asks for stays its own.
  void Assign(const TIcon& source);

  bool Empty() const { return data_.empty() && !handle_; }

  // The images in ".ico" file form. Raise EReadError when they are not.
  void LoadFromFile(const std::wstring& fileName);
  void LoadFromBytes(std::string bytes);
  // An icon group resource, with all its images.
  void LoadFromResourceName(HINSTANCE instance, const wchar_t* name);
  void LoadFromResourceID(HINSTANCE instance, int id) {
    LoadFromResourceName(instance, MAKEINTRESOURCEW(id));
  }
  // The images as an ".ico" file; empty for an icon made from a bare handle.
  const std::string& Data() const { return data_; }

  int ImageCount() const;
  SIZE ImageSize(int index) const;

  // The size the handle is made for (default: the system's icon size). The
  // image chosen is the one of that size, else the next larger, else the
  // largest.
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);

  // The system icon, made on first use; null for an empty icon. Raises
  // EReadError when the chosen image cannot be made into an icon.
  HICON Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  // Replaces the images by a ready icon handle. An owned handle is
  // destroyed with this icon; a shared system icon is not.
  void SetHandle(HICON icon, bool owned = true);

  std::function<void()> OnChange;

private:
  void Changed();
  void ReleaseHandle();
  int ChooseImage() const;

  std::string data_;
  HICON handle_ = nullptr;
  bool ownsHandle_ = false;
  int width_ = GetSystemMetrics(SM_CXICON);
  int height_ = GetSystemMetrics(SM_CYICON);
};

// The list the tray icon cycles through: count, add, and a copy of the
// image at an index.
class TCustomImageList : public TComponent {
public:
  explicit TCustomImageList(TComponent* owner) : TComponent(owner) {}
  ~TCustomImageList() override;

  int Count() const { return static_cast<int>(icons_.size()); }
  // Adds a copy of the icon; returns its index.
  int AddIcon(const TIcon& icon);
  // Copies the image at `index` into `icon`; EListError outside the list.
  void GetIcon(int index, TIcon& icon) const;
  void Delete(int index);
  void Clear() { icons_.clear(); }

private:
  std::vector<std::unique_ptr<TIcon>> icons_;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
};
