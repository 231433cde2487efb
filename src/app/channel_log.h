#pragma once
// Notes what happened to a channel in the event log of the storage folder:
// one line "yyyy-mm-dd hh:mm:ss #n text" per event, UTF-8, the file begun
// with a byte-order mark. A log that cannot be written is skipped: the
// program goes on without it.
#include <string>

// The log file: "事件日志.txt" in the storage folder.
std::wstring EventLogFileName();
void LogChannelEvent(int channel, const std::wstring& text);
