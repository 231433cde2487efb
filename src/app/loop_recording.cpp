#include "app/loop_recording.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string_view>

#include "options/settings.h"

namespace {
// Consumes `count` decimal digits at `at`.
bool Digits(std::wstring_view text, size_t& at, size_t count) {
  if (text.size() < at + count) return false;
  for (size_t end = at + count; at < end; ++at)
    if (text[at] < L'0' || text[at] > L'9') return false;
  return true;
}

bool Literal(std::wstring_view text, size_t& at, std::wstring_view literal) {
  if (text.substr(at, literal.size()) != literal) return false;
  at += literal.size();
  return true;
}

std::wstring Folded(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}
}  // namespace

bool IsRecordingName(const std::wstring& fileName) {
  const std::wstring_view text = fileName;
  size_t at = 0;
  if (!(Literal(text, at, L"[") && Digits(text, at, 2) && Literal(text, at, L"年") &&
        Digits(text, at, 2) && Literal(text, at, L"月") && Digits(text, at, 2) &&
        Literal(text, at, L"日]") && Digits(text, at, 2) && Literal(text, at, L"时") &&
        Digits(text, at, 2) && Literal(text, at, L"分")))
    return false;
  if (Literal(text, at, L" (")) {
    const size_t first = at;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') ++at;
    if (at == first || text[first] == L'0' || !Literal(text, at, L")")) return false;
  }
  return Folded(std::wstring(text.substr(at))) == L".asf";
}

std::vector<TRecordingFile> ListRecordings(const std::wstring& root) {
  std::vector<TRecordingFile> files;
  for (int channel = 1; channel <= 4; ++channel) {
    const std::wstring folder = ChannelFolder(root, channel);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (!IsRecordingName(found.cFileName)) continue;
      TRecordingFile file;
      file.Name = folder + found.cFileName;
      file.Channel = channel;
      file.Size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
      file.LastWrite = (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                       found.ftLastWriteTime.dwLowDateTime;
      files.push_back(std::move(file));
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return files;
}

std::vector<TRecordingFile> ChooseFilesToDelete(std::vector<TRecordingFile> files,
                                                const std::vector<std::wstring>& openFiles,
                                                std::uint64_t bytesToFree) {
  std::vector<std::wstring> open;
  for (const std::wstring& name : openFiles) open.push_back(Folded(name));
  std::erase_if(files, [&](const TRecordingFile& file) {
    return std::find(open.begin(), open.end(), Folded(file.Name)) != open.end();
  });
  std::sort(files.begin(), files.end(), [](const TRecordingFile& a, const TRecordingFile& b) {
    return a.LastWrite != b.LastWrite ? a.LastWrite < b.LastWrite : a.Name < b.Name;
  });
  std::vector<TRecordingFile> chosen;
  std::uint64_t covered = 0;
  for (TRecordingFile& file : files) {
    if (covered >= bytesToFree) break;
    covered += file.Size;
    chosen.push_back(std::move(file));
  }
  return chosen;
}
