#pragma once
// Resource identifiers shared by cammon.rc and the code that loads them.
#define IDR_SPLASH_JPEG 101
#define IDR_SKIN 102
// The program's icon: 128, 64, 48, 32 and 16 pixels, 32-bit; also the tray icon.
#define IDI_APP 1
