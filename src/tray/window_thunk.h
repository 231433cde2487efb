#pragma once
// A window procedure bound to an object: a few instructions in executable
// memory that put the object in place of the window handle and jump to a
// static entry, so one entry serves any number of objects, even several
// subclassing the same window.
#include <windows.h>

using TThunkTarget = LRESULT(CALLBACK*)(void* object, UINT msg, WPARAM wParam, LPARAM lParam);

class TWindowThunk {
public:
  TWindowThunk(void* object, TThunkTarget target);
  ~TWindowThunk();
  TWindowThunk(const TWindowThunk&) = delete;
  TWindowThunk& operator=(const TWindowThunk&) = delete;

  WNDPROC Proc() const { return reinterpret_cast<WNDPROC>(code_); }

private:
  void* code_ = nullptr;
};
