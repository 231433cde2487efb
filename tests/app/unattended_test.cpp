#include <doctest/doctest.h>

#include "app/event_log.h"
#include "app/loop_recording.h"
#include "app/segment_clock.h"
#include "app/storage_watch.h"
#include "app_fixture.h"
#include "options/recording_settings.h"

namespace {
SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME time{};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  return time;
}

// A file of `size` bytes whose last write is `age` minutes before a fixed moment.
void MakeFile(const std::wstring& name, size_t size, int age) {
  WriteFileBytes(name, std::string(size, 'x'));
  HANDLE file = CreateFileW(name.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  FILETIME time;
  const SYSTEMTIME base = At(2026, 1, 1, 12, 0, 0);
  SystemTimeToFileTime(&base, &time);
  ULARGE_INTEGER ticks{{time.dwLowDateTime, time.dwHighDateTime}};
  ticks.QuadPart -= static_cast<ULONGLONG>(age) * 60 * 10000000;
  time = FILETIME{ticks.LowPart, ticks.HighPart};
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

std::vector<std::wstring> Names(const std::vector<TRecordingFile>& files) {
  std::vector<std::wstring> names;
  for (const TRecordingFile& file : files) names.push_back(ExtractFileName(file.Name));
  return names;
}
}  // namespace

TEST_CASE("unattended settings: defaults, seconds for tests, bad values fall back") {
  CHECK(ParseSegmentSeconds(L"30") == 1800);
  CHECK(ParseSegmentSeconds(L"0") == 0);
  CHECK(ParseSegmentSeconds(L"20s") == 20);
  CHECK(ParseSegmentSeconds(L"1440") == 86400);
  for (const wchar_t* bad : {L"", L"abc", L"-5", L"-5s", L"1441", L"99999999999", L"s", L"10 "}) {
    INFO(WideToUtf8(bad));
    CHECK(ParseSegmentSeconds(bad) == kDefaultSegmentSeconds);
  }
  CHECK(ParseKeepFreeMB(L"500") == 500);
  for (const wchar_t* bad : {L"", L"abc", L"-1", L"2000000", L"99999999999"})
    CHECK(ParseKeepFreeMB(bad) == -1);
  // The default floor: a tenth of a small drive, 2048 MB of a large one.
  CHECK(KeepFreeBytes(-1, 40ull << 20) == 4ull << 20);
  CHECK(KeepFreeBytes(-1, 1ull << 40) == 2048ull << 20);
  CHECK(KeepFreeBytes(3, 1ull << 40) == 3ull << 20);

  struct Case {
    const char* content;
    std::uint32_t segment;
    bool loop;
    std::int64_t keepFree;
  };
  for (const Case& c : {Case{"[comm]\r\n", 1800, true, -1},
                        Case{"[comm]\r\nsegment=abc\r\nloop=xyz\r\nkeepfree=-7\r\n", 1800, true, -1},
                        Case{"[comm]\r\nsegment=5s\r\nloop=0\r\nkeepfree=12\r\n", 5, false, 12}}) {
    CAPTURE(c.content);
    SettingsFile settings(c.content);
    const TRecordingSettings read = ReadRecordingSettings(OpenSettings());
    CHECK(read.SegmentSeconds == c.segment);
    CHECK(read.Loop == c.loop);
    CHECK(read.KeepFreeMB == c.keepFree);
  }
}

TEST_CASE("loop recording chooses only the program's own finished recordings, oldest first") {
  CHECK(IsRecordingName(L"[24年05月17日]14时05分.asf"));
  CHECK(IsRecordingName(L"[24年05月17日]14时05分 (12).ASF"));
  for (const wchar_t* foreign : {L"[24年05月17日]14时05分.asf.txt", L"holiday.asf", L"[24年05月17日]14时05分 (0).asf",
                                 L"[24年05月17日]14时05分 ().asf", L"[24年5月17日]14时05分.asf", L"记录.log"})
    CHECK_FALSE(IsRecordingName(foreign));

  const std::wstring root = MakeTempFolder(L"loop");
  CreateStorageFolders(root);
  CreateChannelFolders(root);
  const std::wstring one = ChannelFolder(root, 1), three = ChannelFolder(root, 3);
  MakeFile(one + L"[26年01月01日]10时00分.asf", 100, 120);
  MakeFile(one + L"[26年01月01日]11时00分.asf", 100, 60);
  MakeFile(three + L"[26年01月01日]10时30分.asf", 100, 90);
  MakeFile(three + L"[26年01月01日]11时30分.asf", 100, 0);  // being written
  MakeFile(one + L"holiday.asf", 100, 500);                 // the user's own, older than all
  MakeFile(root + L"\\录像\\[26年01月01日]09时00分.asf", 100, 500);  // not in a channel folder
  CreateDir(one + L"[26年01月01日]08时00分.asf");                    // a folder of that name

  const std::vector<TRecordingFile> listed = ListRecordings(root);
  CHECK(listed.size() == 4);
  const std::vector<std::wstring> open{three + L"[26年01月01日]11时30分.asf"};
  CHECK(Names(ChooseFilesToDelete(listed, open, 150)) ==
        std::vector<std::wstring>{L"[26年01月01日]10时00分.asf", L"[26年01月01日]10时30分.asf"});
  // Asked for more than there is: everything but the open file.
  CHECK(ChooseFilesToDelete(listed, open, 10000).size() == 3);
  CHECK(ChooseFilesToDelete(listed, open, 0).empty());
  RemoveTree(root);
}

TEST_CASE("segment boundaries on the local wall clock") {
  TSegmentClock clock;
  SUBCASE("across midnight") {
    clock.Start(LocalSeconds(At(2026, 12, 31, 23, 50, 0)), 30 * 60);
    CHECK_FALSE(clock.Due(LocalSeconds(At(2026, 12, 31, 23, 59, 59))));
    CHECK_FALSE(clock.Due(LocalSeconds(At(2027, 1, 1, 0, 19, 59))));
    CHECK(clock.Due(LocalSeconds(At(2027, 1, 1, 0, 20, 0))));
  }
  SUBCASE("a clock set back an hour starts the segment anew, not an hour late") {
    clock.Start(LocalSeconds(At(2026, 10, 25, 2, 50, 0)), 30 * 60);
    CHECK_FALSE(clock.Due(LocalSeconds(At(2026, 10, 25, 2, 1, 0))));
    CHECK_FALSE(clock.Due(LocalSeconds(At(2026, 10, 25, 2, 30, 59))));
    CHECK(clock.Due(LocalSeconds(At(2026, 10, 25, 2, 31, 0))));
  }
  SUBCASE("a clock set forward past the end switches at once") {
    clock.Start(LocalSeconds(At(2026, 3, 29, 1, 50, 0)), 30 * 60);
    CHECK(clock.Due(LocalSeconds(At(2026, 3, 29, 3, 0, 5))));
  }
  SUBCASE("seconds, and no segments at 0") {
    clock.Start(LocalSeconds(At(2026, 1, 1, 0, 0, 7)), 20);
    CHECK_FALSE(clock.Due(LocalSeconds(At(2026, 1, 1, 0, 0, 26))));
    CHECK(clock.Due(LocalSeconds(At(2026, 1, 1, 0, 0, 27))));
    clock.Start(LocalSeconds(At(2026, 1, 1, 0, 0, 7)), 0);
    CHECK_FALSE(clock.Due(LocalSeconds(At(2027, 1, 1, 0, 0, 0))));
  }
}

TEST_CASE("event log: UTF-8 with BOM, date-time and channel, rotation at 1 MB") {
  const std::wstring root = MakeTempFolder(L"log");
  CreateStorageFolders(root);
  const std::wstring name = EventLog::FileNameIn(root);
  EventLog::Open(name);
  EventLog::Write(0, L"程序启动");
  EventLog::Write(3, L"开始录像 x.asf");
  const std::string text = ReadFileBytes(name);
  REQUIRE(text.size() > 3);
  CHECK(text.substr(0, 3) == "\xEF\xBB\xBF");
  const std::wstring lines = Utf8ToWide(text.substr(3));
  CHECK(lines.find(L"程序  程序启动\r\n") != std::wstring::npos);
  CHECK(lines.find(L"#3  开始录像 x.asf\r\n") != std::wstring::npos);
  SYSTEMTIME now;
  GetLocalTime(&now);
  CHECK(lines.find(Format(L"%04u-%02u-%02u ", now.wYear, now.wMonth, now.wDay)) == 0);

  SUBCASE("a full log becomes the one old file") {
    WriteFileBytes(name, std::string("\xEF\xBB\xBF") + std::string(EventLog::kRotateBytes - 10, 'a'));
    WriteFileBytes(EventLog::OldFileName(name), "older");
    EventLog::Write(1, L"分段 y.asf");
    CHECK(ReadFileBytes(EventLog::OldFileName(name)).size() == EventLog::kRotateBytes - 7);
    const std::string fresh = ReadFileBytes(name);
    CHECK(fresh.substr(0, 3) == "\xEF\xBB\xBF");
    CHECK(Utf8ToWide(fresh).find(L"#1  分段 y.asf") != std::wstring::npos);
  }
  SUBCASE("a log that cannot be written loses the line quietly") {
    EventLog::Open(root + L"\\gone\\记录.log");
    EventLog::Write(2, L"lost");
    CHECK_FALSE(FileExists(root + L"\\gone\\记录.log"));
  }
  EventLog::Open(L"");
  RemoveTree(root);
}

TEST_CASE("storage watch keeps the floor by deleting, or says it cannot") {
  const std::wstring root = MakeTempFolder(L"watch");
  CreateStorageFolders(root);
  CreateChannelFolders(root);
  EventLog::Open(EventLog::FileNameIn(root));
  const std::wstring one = ChannelFolder(root, 1), two = ChannelFolder(root, 2);
  const std::wstring open = two + L"[26年01月01日]11时30分.asf";
  MakeFile(one + L"[26年01月01日]10时00分.asf", 3 << 20, 120);
  MakeFile(two + L"[26年01月01日]10时30分.asf", 3 << 20, 90);
  MakeFile(one + L"[26年01月01日]11时00分.asf", 3 << 20, 60);
  MakeFile(open, 3 << 20, 0);
  MakeFile(one + L"notes.asf", 3 << 20, 500);
  // A 20 MB drive holding just these files.
  TStorageWatch watch([&](const std::wstring&, std::uint64_t& freeBytes, std::uint64_t& totalBytes) {
    totalBytes = 20 << 20;
    freeBytes = totalBytes;
    WIN32_FIND_DATAW found;
    for (const std::wstring& folder : {one, two}) {
      HANDLE search = FindFirstFileW((folder + L"*.asf").c_str(), &found);
      if (search == INVALID_HANDLE_VALUE) continue;
      do freeBytes -= found.nFileSizeLow;
      while (FindNextFileW(search, &found));
      FindClose(search);
    }
    return true;
  });
  watch.SetOpenFiles({open});
  TRecordingSettings settings;
  settings.KeepFreeMB = 8;  // 5 MB free: two files must go to reach 8 MB and the headroom

  SUBCASE("loop recording deletes the oldest and logs each") {
    watch.Start(root, settings);
    REQUIRE(PumpUntil([&] { return !FileExists(two + L"[26年01月01日]10时30分.asf"); }));
    watch.Stop();
    CHECK_FALSE(FileExists(one + L"[26年01月01日]10时00分.asf"));
    CHECK(FileExists(one + L"[26年01月01日]11时00分.asf"));
    CHECK(FileExists(one + L"notes.asf"));
    CHECK(FileExists(open));
    CHECK(watch.State() == TStorageState::Ok);
    const std::wstring log = Utf8ToWide(ReadFileBytes(EventLog::FileNameIn(root)));
    CHECK(log.find(L"#1  循环录像删除 [26年01月01日]10时00分.asf（3145728 字节）") != std::wstring::npos);
    CHECK(log.find(L"#2  循环录像删除 [26年01月01日]10时30分.asf（3145728 字节）") != std::wstring::npos);
  }
  SUBCASE("with nothing it may delete, it says out of space") {
    settings.KeepFreeMB = 19;
    watch.Start(root, settings);
    REQUIRE(PumpUntil([&] { return watch.State() == TStorageState::OutOfSpace; }));
    CHECK(FileExists(open));
    CHECK(FileExists(one + L"notes.asf"));
  }
  SUBCASE("with loop recording off it deletes nothing") {
    settings.Loop = false;
    watch.Start(root, settings);
    REQUIRE(PumpUntil([&] { return watch.State() == TStorageState::OutOfSpace; }));
    CHECK(FileExists(one + L"[26年01月01日]10时00分.asf"));
  }
  watch.Stop();
  EventLog::Open(L"");
  RemoveTree(root);
}
