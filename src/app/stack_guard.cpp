// Linked into the exe itself: these two definitions replace the stack
// protector runtime's. Its own set-up asks CryptAcquireContext for a random
// canary while the program starts, which loads the RSA provider and what it
// imports by bare name, from the exe's folder first, before the shell can
// narrow the DLL search. The canary here is mixed from values kernel32 gives
// without loading anything, as Microsoft's C runtime makes its stack cookie.
#include <windows.h>
#include <intrin.h>

#include <cstdint>

extern "C" {

// A fixed start value; it is replaced before any protected function runs.
std::uintptr_t __stack_chk_guard = static_cast<std::uintptr_t>(0x2B992DDFA232ull);

[[noreturn]] void __stack_chk_fail(void) {
  ::OutputDebugStringA("stack smashing detected");
  ::TerminateProcess(::GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  for (;;) ::Sleep(INFINITE);
}

}  // extern "C"

namespace {

// Runs among the first constructors, itself unprotected: it must not check a
// canary it has just changed.
__attribute__((constructor(101), no_stack_protector)) void setStackGuard() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  std::uint64_t value = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  value ^= static_cast<std::uint64_t>(counter.QuadPart);
  value ^= static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32;
  value ^= ::GetCurrentThreadId();
  value ^= ::GetTickCount64() << 16;
  value ^= __rdtsc();
  value ^= reinterpret_cast<std::uintptr_t>(&counter);  // where the stack is (ASLR)
  std::uintptr_t guard = static_cast<std::uintptr_t>(value ^ (value >> 32));
  // A zero byte first stops string overflows from writing past the canary.
  guard &= ~static_cast<std::uintptr_t>(0xFF);
  if (guard == 0) guard = static_cast<std::uintptr_t>(0x2B992DDFA200ull);
  __stack_chk_guard = guard;
}

}  // namespace
