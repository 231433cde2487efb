#include <doctest/doctest.h>

#include "classlib/exceptions.h"
#include "classlib/icon.h"
#include "test_support.h"
#include "tray_test_support.h"

namespace {
constexpr COLORREF kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;
}

TEST_CASE("a multi-image icon makes its handle from the image that fits the size") {
  TIcon icon;
  CHECK(icon.Empty());
  CHECK(icon.Handle() == nullptr);
  int changes = 0;
  icon.OnChange = [&] { ++changes; };
  icon.LoadFromBytes(MakeIconFile({16, 32, 48}, {kRed, kGreen, kBlue}));
  CHECK(changes == 1);
  REQUIRE(icon.ImageCount() == 3);
  CHECK(icon.ImageSize(2).cx == 48);
  CHECK_THROWS_AS(icon.ImageSize(3), EListError);

  SUBCASE("exact size") {
    icon.SetSize(16, 16);
    CHECK(IconWidth(icon.Handle()) == 16);
    CHECK(IconPixel(icon.Handle()) == kRed);
    icon.SetSize(32, 32);
    CHECK(IconPixel(icon.Handle()) == kGreen);
  }
  SUBCASE("between sizes: the next larger image") {
    icon.SetSize(20, 20);
    CHECK(IconPixel(icon.Handle()) == kGreen);
  }
  SUBCASE("beyond every size: the largest image") {
    icon.SetSize(64, 64);
    CHECK(IconPixel(icon.Handle()) == kBlue);
  }
  SUBCASE("a copy has the same images and its own size") {
    TIcon copy;
    copy.SetSize(48, 48);
    copy.Assign(icon);
    CHECK(copy.Data() == icon.Data());
    CHECK(IconPixel(copy.Handle()) == kBlue);
  }
  SUBCASE("from a file") {
    const std::wstring folder = MakeTempFolder(L"icon");
    WriteFileBytes(folder + L"\\a.ico", icon.Data());
    TIcon loaded;
    loaded.LoadFromFile(folder + L"\\a.ico");
    CHECK(loaded.Data() == icon.Data());
    CHECK_THROWS_AS(loaded.LoadFromFile(folder + L"\\missing.ico"), EReadError);
    RemoveTree(folder);
  }
}

TEST_CASE("icon data that is not an icon raises a read error") {
  TIcon icon;
  std::string good = MakeIconFile({16}, {kRed});
  CHECK_THROWS_AS(icon.LoadFromBytes("not an icon"), EReadError);

  std::string truncated = good.substr(0, good.size() - 10);
  CHECK_THROWS_AS(icon.LoadFromBytes(truncated), EReadError);
  CHECK(icon.Empty());

  // A sound directory over an image that is no bitmap: the error comes
  // when the handle is made.
  std::string garbage = good;
  for (size_t i = 6 + 16; i < garbage.size(); ++i) garbage[i] = '\x7f';
  icon.LoadFromBytes(garbage);
  CHECK_THROWS_AS(icon.Handle(), EReadError);
}

TEST_CASE("an icon group resource loads with all its images") {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  LPWSTR first = nullptr;
  EnumResourceNamesW(
      user32, RT_GROUP_ICON,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
        *reinterpret_cast<LPWSTR*>(param) = name;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&first));
  REQUIRE(first != nullptr);
  REQUIRE(IS_INTRESOURCE(first));
  TIcon icon;
  icon.LoadFromResourceName(user32, first);
  CHECK(icon.ImageCount() >= 1);
  icon.SetSize(32, 32);
  CHECK(IconWidth(icon.Handle()) == 32);
  CHECK_THROWS_AS(icon.LoadFromResourceID(user32, 4321), EOSError);
}

TEST_CASE("an icon made from a handle is copied as a handle") {
  TIcon icon;
  icon.SetHandle(LoadIconW(nullptr, IDI_WARNING), false);
  CHECK(icon.ImageCount() == 1);
  TIcon copy;
  copy.Assign(icon);
  REQUIRE(copy.HandleAllocated());
  CHECK(copy.Handle() != icon.Handle());
  CHECK(IconWidth(copy.Handle()) == IconWidth(icon.Handle()));
}

TEST_CASE("image list: count, add, copy out, delete") {
  TImageList list(nullptr);
  TIcon red, green;
  red.LoadFromBytes(MakeIconFile({16}, {kRed}));
  green.LoadFromBytes(MakeIconFile({16}, {kGreen}));
  CHECK(list.AddIcon(red) == 0);
  CHECK(list.AddIcon(green) == 1);
  CHECK(list.Count() == 2);

  TIcon out;
  list.GetIcon(1, out);
  CHECK(out.Data() == green.Data());
  CHECK_THROWS_AS(list.GetIcon(2, out), EListError);
  CHECK_THROWS_AS(list.GetIcon(-1, out), EListError);

  // The list holds copies: the source may change afterwards.
  red.LoadFromBytes(MakeIconFile({16}, {kBlue}));
  list.Delete(1);
  list.GetIcon(0, out);
  CHECK(IconPixel(out.Handle()) == kRed);
  CHECK(list.Count() == 1);
}
