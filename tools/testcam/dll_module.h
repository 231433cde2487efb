#pragma once
// What the DLL's exports need to know about the objects it has handed out.
#include <windows.h>

#include <atomic>

namespace testcam {

// Objects and factory locks alive; the DLL may unload only at zero.
std::atomic<long>& LiveObjects();

// Counts one live object for the lifetime of its owner.
class LiveObject {
public:
  LiveObject() { ++LiveObjects(); }
  ~LiveObject() { --LiveObjects(); }
  LiveObject(const LiveObject&) = delete;
  LiveObject& operator=(const LiveObject&) = delete;
};

// The DLL's own module handle (for its window classes).
HINSTANCE ModuleInstance();

}  // namespace testcam
