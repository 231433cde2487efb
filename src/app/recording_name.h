#pragma once
// Names of recording files.
#include <windows.h>

#include <string>

// The stamp of a recording started at `time`: "[yy年MM月dd日]hh时mm分".
std::wstring RecordingStamp(const SYSTEMTIME& time);
// The name of a new recording in `folder` (which ends with a separator):
// the stamp plus ".asf", or, when that file exists already, the stamp plus
// " (2).asf", " (3).asf" and so on, so no recording is ever overwritten.
std::wstring NewRecordingName(const std::wstring& folder, const SYSTEMTIME& time);
