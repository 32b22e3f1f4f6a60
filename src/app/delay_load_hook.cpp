// Linked into the exe itself (not the core library): the delay-load helper
// finds these definitions instead of the runtime's empty ones.
#include <windows.h>
#include <delayimp.h>

#include <cstring>

#include "core/error.hpp"
#include "core/messages.hpp"
#include "app/rules/window_view.hpp"
#include "platform/system_library.hpp"
#include "platform/test_seams.hpp"

namespace {

bool named(const char* dll, const char* name) { return dll != nullptr && _stricmp(dll, name) == 0; }

// A DLL or a function the shell calls is missing from this Windows (or the
// DLL could not be loaded from the system directory). The helper would raise
// an exception that nothing handles; instead the player gets the general
// failure, as a message box where user32 can still be had from the system
// directory, and the process ends with exit code 1. Nothing is written: the
// session may be anywhere, on either thread.
[[noreturn]] void endWithoutSystemCode(const char* failedDll) {
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
  const HMODULE user32 =
      named(failedDll, "user32.dll") ? nullptr : cv::loadSystemLibrary("user32.dll");
  const auto messageBox =
      user32 != nullptr ? reinterpret_cast<MessageBoxFunction>(reinterpret_cast<void (*)()>(
                              ::GetProcAddress(user32, "MessageBoxW")))
                        : nullptr;
  if (messageBox != nullptr)
    messageBox(nullptr, cv::msg::kUnexpectedFailureWide, cv::msg::kWindowCaptionWide, MB_OK | MB_ICONERROR);
  // Not ExitProcess first: the other thread may hold a lock that DLL detach code needs.
  ::TerminateProcess(::GetCurrentProcess(), 1);
  ::ExitProcess(1);
}

// Called with dliFailLoadLib (the common controls, the one DLL loaded by name,
// could not be loaded) and dliFailGetProc (a function is missing). Whatever it
// returned, the helper would use as the module or the function.
FARPROC WINAPI delayLoadFailed(unsigned, PDelayLoadInfo info) {
  endWithoutSystemCode(info != nullptr ? info->szDll : nullptr);
}

// Before the helper would call LoadLibraryA with a bare name, which searches
// the exe's folder first wherever Windows cannot narrow the search; a null
// answer lets it do exactly that, so every other DLL comes from the system
// directory or not at all.
FARPROC WINAPI loadDelayedDll(unsigned notification, PDelayLoadInfo info) {
  // Test builds: a function named in ZRQ_TEST_ABSENT fails as the helper fails
  // a function GetProcAddress does not find.
  if (notification == dliNotePreGetProcAddress && info != nullptr && info->dlp.fImportByName &&
      cv::seams::pretendsAbsent(info->dlp.szProcName)) {
    info->dwLastError = ERROR_PROC_NOT_FOUND;
    return __pfnDliFailureHook2(dliFailGetProc, info);
  }
  if (notification != dliNotePreLoadLibrary) return nullptr;
  if (info == nullptr || info->szDll == nullptr) endWithoutSystemCode(nullptr);
  // The manifest binds the common controls to version 6 in WinSxS, found by
  // name before any folder is searched; a System32 path would give version 5.
  if (named(info->szDll, "comctl32.dll")) return nullptr;
  const HMODULE module = cv::loadSystemLibrary(info->szDll);
  if (module == nullptr) endWithoutSystemCode(info->szDll);
  return reinterpret_cast<FARPROC>(module);
}

}  // namespace

// Declared extern "C" by <delayimp.h>.
PfnDliHook __pfnDliNotifyHook2 = loadDelayedDll;
PfnDliHook __pfnDliFailureHook2 = delayLoadFailed;
