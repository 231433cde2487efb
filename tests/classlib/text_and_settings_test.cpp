#include <doctest/doctest.h>

#include "classlib/exceptions.h"
#include "classlib/ini_file.h"
#include "classlib/sysutils.h"
#include "test_support.h"

TEST_CASE("integer conversion of settings texts") {
  CHECK(TryStrToInt(L"0") == 0);
  CHECK(TryStrToInt(L"1") == 1);
  CHECK(TryStrToInt(L"-12") == -12);
  CHECK(TryStrToInt(L"0x1") == 1);
  CHECK(TryStrToInt(L"0X1f") == 31);
  CHECK(TryStrToInt(L"$1") == 1);
  CHECK(TryStrToInt(L"$FFFFFFFF") == -1);
  CHECK(TryStrToInt(L"2147483647") == 2147483647);
  CHECK_FALSE(TryStrToInt(L"2147483648"));
  CHECK_FALSE(TryStrToInt(L""));
  CHECK_FALSE(TryStrToInt(L"abc"));
  CHECK_FALSE(TryStrToInt(L"0x"));   // hex only when longer than two characters
  CHECK_FALSE(TryStrToInt(L"$"));
  CHECK_FALSE(TryStrToInt(L" 1"));
  CHECK_FALSE(TryStrToInt(L"1 "));
  CHECK_FALSE(TryStrToInt(L"$100000000"));
}

TEST_CASE("path helpers cut at the last separator or drive colon") {
  CHECK(ExtractFilePath(L"C:\\a\\b\\cam.exe") == L"C:\\a\\b\\");
  CHECK(ExtractFilePath(L"C:cam.exe") == L"C:");
  CHECK(ExtractFilePath(L"cam.exe") == L"");
  CHECK(ExtractFileName(L"C:\\a\\cam.exe") == L"cam.exe");
  CHECK(ChangeFileExt(L"C:\\a\\cam.exe", L".ini") == L"C:\\a\\cam.ini");
  CHECK(ChangeFileExt(L"C:\\a.b\\cam", L".ini") == L"C:\\a.b\\cam.ini");
  CHECK(ChangeFileExt(L"C:\\a\\cam.x.exe", L".ini") == L"C:\\a\\cam.x.ini");
}

TEST_CASE("settings file reading and writing") {
  const std::wstring folder = MakeTempFolder(L"ini");
  const std::wstring name = folder + L"\\cam.ini";
  TIniFile ini(name);

  SUBCASE("no file gives the defaults") {
    CHECK(ini.ReadString(L"comm", L"path", L"D:\\x\\") == L"D:\\x\\");
    CHECK(ini.ReadBool(L"comm", L"ontop", false) == false);
    CHECK(ini.ReadBool(L"comm", L"auto", true) == true);
  }

  SUBCASE("boolean texts") {
    WriteFileBytes(name,
                   "[comm]\r\nhex=0x1\r\ndollar=$1\r\nempty=\r\nword=abc\r\nzero=0\r\ntwo=2\r\n"
                   "shorthex=0x\r\n");
    CHECK(ini.ReadBool(L"comm", L"hex", false));
    CHECK(ini.ReadBool(L"comm", L"dollar", false));
    CHECK(ini.ReadBool(L"comm", L"empty", true));
    CHECK_FALSE(ini.ReadBool(L"comm", L"empty", false));
    CHECK_FALSE(ini.ReadBool(L"comm", L"word", false));
    CHECK(ini.ReadBool(L"comm", L"word", true));
    CHECK_FALSE(ini.ReadBool(L"comm", L"zero", true));
    CHECK(ini.ReadBool(L"comm", L"two", false));
    CHECK(ini.ReadBool(L"comm", L"absent", true));
    CHECK_FALSE(ini.ReadBool(L"comm", L"shorthex", false));
  }

  SUBCASE("a value longer than 2047 characters is cut there") {
    WriteFileBytes(name, "[comm]\r\npath=" + std::string(3000, 'p') + "\r\n");
    CHECK(ini.ReadString(L"comm", L"path", L"") == std::wstring(2047, L'p'));
  }

  SUBCASE("writes replace one key and keep the rest") {
    ini.WriteString(L"comm", L"path", L"D:\\录像存储");
    ini.WriteBool(L"comm", L"auto", false);
    ini.WriteBool(L"comm", L"ontop", true);
    ini.WriteBool(L"comm", L"auto", true);
    CHECK(ini.ReadString(L"comm", L"path", L"") == L"D:\\录像存储");
    CHECK(ini.ReadBool(L"comm", L"ontop", false));
    CHECK(ini.ReadString(L"comm", L"auto", L"") == L"1");
    // The file is in the ANSI code page (936), not UTF-16, as other readers expect.
    const std::string bytes = ReadFileBytes(name);
    CHECK(bytes.find("[comm]") != std::string::npos);
    CHECK(bytes.find("auto=1") != std::string::npos);
    CHECK(bytes.find("\xC2\xBC\xCF\xF1") != std::string::npos);  // 录像 in GBK
  }

  SUBCASE("a binary or huge file never stops reading") {
    std::string junk(1 << 20, '\0');
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>(i * 131 + 7);
    WriteFileBytes(name, junk);
    CHECK(ini.ReadBool(L"comm", L"auto", true));
    CHECK(ini.ReadString(L"comm", L"path", L"dflt") == L"dflt");
  }

  SUBCASE("an unwritable file raises with its full name") {
    CreateDirectoryW(name.c_str(), nullptr);  // a folder where the file should be
    try {
      ini.WriteBool(L"comm", L"ontop", true);
      FAIL("no error raised");
    } catch (const EIniFileException& e) {
      CHECK(e.Message() == L"Unable to write to " + name);
    }
  }
  RemoveTree(folder);
}

TEST_CASE("folder test and one-level creation") {
  const std::wstring folder = MakeTempFolder(L"dir");
  CHECK(DirectoryExists(folder));
  CHECK(DirectoryExists(folder + L"\\"));
  WriteFileBytes(folder + L"\\file", "x");
  CHECK_FALSE(DirectoryExists(folder + L"\\file"));
  CHECK_FALSE(CreateDir(folder + L"\\missing\\child"));
  CHECK_FALSE(DirectoryExists(folder + L"\\missing"));
  CHECK(CreateDir(folder + L"\\录像"));
  CHECK(DirectoryExists(folder + L"\\录像"));
  RemoveTree(folder);
}
