#include <doctest/doctest.h>

#include <string>

#include "classlib/sysutils.h"
#include "resource_ids.h"
#include "skin/skin_archive.h"
#include "skin_bytes.h"
#include "test_support.h"

namespace {
std::wstring RejectionOf(const std::string& bytes) {
  try {
    TSkinArchive::Read(bytes.data(), bytes.size());
  } catch (const ESkinArchiveError& e) {
    return e.Message();
  }
  return L"accepted";
}

const std::string kOptions = "[PANEL]\nColor=202020\n";
}  // namespace

TEST_CASE("skin archive reads every file back") {
  const std::string picture(3000, 'x');
  const std::string bytes = Archive({{"Options.dat", kOptions}, {"a.bmp", picture}, {"empty", ""}});
  const TSkinArchive archive = TSkinArchive::Read(bytes.data(), bytes.size());
  REQUIRE(archive.Files().size() == 3);
  CHECK(archive.Find("options.DAT")->data == kOptions);
  CHECK(archive.Find("a.bmp")->data == picture);
  CHECK(archive.Find("empty")->data.empty());
  CHECK(archive.Find("b.bmp") == nullptr);
}

TEST_CASE("skin archive rejects bad data with a clear error") {
  const std::string good = Archive({{"Options.dat", kOptions}, {"a.bmp", std::string(500, 'q')}});
  const std::string options = Entry("Options.dat", kOptions);

  SUBCASE("wrong magic") {
    std::string bytes = good;
    bytes[3] = 'Z';
    CHECK(RejectionOf(bytes).find(L"magic") != std::wstring::npos);
    CHECK(RejectionOf("").find(L"magic") != std::wstring::npos);
  }
  SUBCASE("truncated header") {
    CHECK(RejectionOf("SKzf\x01\x00").find(L"truncated") != std::wstring::npos);
  }
  SUBCASE("a count beyond the data or the bound") {
    CHECK(RejectionOf("SKzf" + Le32(0xFFFFFFFFu) + options).find(L"files") != std::wstring::npos);
    CHECK(RejectionOf("SKzf" + Le32(5) + options).find(L"do not fit") != std::wstring::npos);
    CHECK(RejectionOf("SKzf" + Le32(0)).find(L"no files") != std::wstring::npos);
  }
  SUBCASE("a name length beyond the data or the bound") {
    CHECK(RejectionOf("SKzf" + Le32(1) + Le32(0xFFFFFFFFu) + std::string(40, 'n'))
              .find(L"name length") != std::wstring::npos);
    CHECK(RejectionOf("SKzf" + Le32(1) + Le32(200) + std::string(40, 'n'))
              .find(L"past the end") != std::wstring::npos);
    CHECK(RejectionOf("SKzf" + Le32(1) + Le32(0) + std::string(40, 'n'))
              .find(L"name length") != std::wstring::npos);
  }
  SUBCASE("an unpacked size beyond the bound or the packed data") {
    const std::string head = "SKzf" + Le32(1) + Le32(11) + "Options.dat";
    const std::string stream = Deflate(kOptions);
    CHECK(RejectionOf(head + Le32(0xFFFFFFF0u) + stream).find(L"at most") != std::wstring::npos);
    CHECK(RejectionOf(head + Le32(2000000) + stream).find(L"packed bytes") != std::wstring::npos);
    CHECK(RejectionOf(head + Le32(static_cast<std::uint32_t>(kOptions.size()) + 5) + stream)
              .find(L"instead of") != std::wstring::npos);
    CHECK(RejectionOf(head + Le32(static_cast<std::uint32_t>(kOptions.size()) - 5) + stream)
              .find(L"more than") != std::wstring::npos);
  }
  SUBCASE("a truncated entry") {
    for (size_t cut : {good.size() - 1, good.size() - 30, size_t{8 + 4 + 11 + 2}, size_t{8 + 2}})
      CHECK(RejectionOf(good.substr(0, cut)) != L"accepted");
  }
  SUBCASE("a corrupt zlib stream") {
    std::string bytes = good;
    const size_t stream = 8 + 4 + 11 + 4;
    for (size_t i = stream + 2; i < stream + 8; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    CHECK(RejectionOf(bytes).find(L"Options.dat") != std::wstring::npos);
    std::string header = good;
    header[stream] = 0x10;  // not a deflate stream header
    CHECK(RejectionOf(header).find(L"corrupt") != std::wstring::npos);
  }
  SUBCASE("trailing bytes and duplicate names") {
    CHECK(RejectionOf(good + "junk").find(L"after the last file") != std::wstring::npos);
    CHECK(RejectionOf(Archive({{"Options.dat", kOptions}, {"OPTIONS.DAT", kOptions}}))
              .find(L"two files") != std::wstring::npos);
  }
  SUBCASE("no Options.dat") {
    CHECK(RejectionOf(Archive({{"a.bmp", "bm"}})).find(L"Options.dat") != std::wstring::npos);
  }
}

TEST_CASE("the packer's archive holds the skin sources unchanged") {
  // The build packs resources/skin into the embedded archive with the packer.
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDR_SKIN), MAKEINTRESOURCEW(10));
  REQUIRE(resource);
  const void* data = LockResource(LoadResource(module, resource));
  const TSkinArchive archive = TSkinArchive::Read(data, SizeofResource(module, resource));
  // The sources, reached through Wine's drive for the Unix root.
  std::wstring folder = L"Z:" + Utf8ToWide(__FILE__);
  for (wchar_t& c : folder) if (c == L'/') c = L'\\';
  folder = ExtractFilePath(folder) + L"..\\..\\resources\\skin\\";
  REQUIRE(archive.Files().size() == 3);
  for (const char* name : {"Options.dat", "controls.bmp", "frame.bmp"}) {
    CAPTURE(name);
    const std::string source = ReadFileBytes(folder + Utf8ToWide(name));
    REQUIRE_FALSE(source.empty());
    REQUIRE(archive.Find(name));
    CHECK(archive.Find(name)->data == source);
  }
}
