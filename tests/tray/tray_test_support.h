#pragma once
// Icons made in memory for the tray and icon tests.
#include <windows.h>

#include <string>
#include <vector>

// An ".ico" file image with one 32-bit image per size, each filled with
// its own colour (0x00RRGGBB).
std::string MakeIconFile(const std::vector<int>& sizes, const std::vector<COLORREF>& colours);

// The colour of the icon's top-left pixel (0x00RRGGBB) and its width.
COLORREF IconPixel(HICON icon);
int IconWidth(HICON icon);
