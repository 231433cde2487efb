#include "tray/window_thunk.h"

#include <cstdint>
#include <cstring>

#include "classlib/exceptions.h"

#if !defined(__x86_64__)
#error "The window thunk is written for x86-64."
#endif

TWindowThunk::TWindowThunk(void* object, TThunkTarget target) {
  // mov rcx, object ; mov rax, target ; jmp rax
  // rcx carries the first argument (the window handle) in the x64 calling
  // convention; the other three arguments pass through untouched.
  std::uint8_t code[22] = {0x48, 0xB9, 0, 0, 0, 0, 0, 0, 0, 0,
                           0x48, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0,
                           0xFF, 0xE0};
  const auto objectBits = reinterpret_cast<std::uintptr_t>(object);
  const auto targetBits = reinterpret_cast<std::uintptr_t>(target);
  std::memcpy(code + 2, &objectBits, 8);
  std::memcpy(code + 12, &targetBits, 8);
  code_ = VirtualAlloc(nullptr, sizeof code, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!code_) RaiseLastOSError(L"VirtualAlloc");
  std::memcpy(code_, code, sizeof code);
  DWORD previous = 0;
  if (!VirtualProtect(code_, sizeof code, PAGE_EXECUTE_READ, &previous)) {
    const DWORD error = GetLastError();
    VirtualFree(code_, 0, MEM_RELEASE);
    SetLastError(error);
    RaiseLastOSError(L"VirtualProtect");
  }
  FlushInstructionCache(GetCurrentProcess(), code_, sizeof code);
}

TWindowThunk::~TWindowThunk() { VirtualFree(code_, 0, MEM_RELEASE); }
