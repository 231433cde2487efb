#pragma once
// Resource identifiers shared by cammon.rc and the code that loads them.
#define IDR_SPLASH_JPEG 101
#define IDR_SKIN 102
