#pragma once
// What the DLL's exports need to know about the objects it has handed out.
#include <windows.h>

namespace testcam {

// The DLL's own module handle (for its window classes).
HINSTANCE ModuleInstance();

}  // namespace testcam
