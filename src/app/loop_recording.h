#pragma once
// Loop recording (循环录像): which finished recordings to delete so the
// storage drive keeps its free-space floor.
#include <cstdint>
#include <string>
#include <vector>

struct TRecordingFile {
  std::wstring Name;  // full path
  std::uint64_t Size = 0;
  std::uint64_t LastWrite = 0;  // FILETIME ticks: when the recording ended
  int Channel = 0;
};

// True for the names the program gives recordings,
// "[yy年MM月dd日]hh时mm分.asf" with an optional " (n)" before the extension.
bool IsRecordingName(const std::wstring& fileName);

// The program's own recordings in "\录像\#1\" … "\录像\#4\" below `root`;
// other files and folders are not listed.
std::vector<TRecordingFile> ListRecordings(const std::wstring& root);

// The files to delete, oldest first across the channels, until their sizes
// cover `bytesToFree` (or every candidate is taken). Files named in
// `openFiles` (being written) are never chosen; names compare without case.
std::vector<TRecordingFile> ChooseFilesToDelete(std::vector<TRecordingFile> files,
                                                const std::vector<std::wstring>& openFiles,
                                                std::uint64_t bytesToFree);
