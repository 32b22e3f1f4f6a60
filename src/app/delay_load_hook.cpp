// Linked into the exe itself (not the core library): the delay-load helper
// finds this definition instead of the runtime's empty one.
#include <windows.h>
#include <delayimp.h>

#include <cstring>

#include "platform/system_library.hpp"

namespace {

// Before the helper would call LoadLibraryA with a bare name, which searches
// the exe's folder first wherever Windows cannot narrow the search.
FARPROC WINAPI loadDelayedDll(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr)
    return nullptr;
  // The manifest binds the common controls to version 6 in WinSxS, found by
  // name before any folder is searched; a System32 path would give version 5.
  if (_stricmp(info->szDll, "comctl32.dll") == 0) return nullptr;
  return reinterpret_cast<FARPROC>(cv::loadSystemLibrary(info->szDll));
}

}  // namespace

// Declared extern "C" by <delayimp.h>.
PfnDliHook __pfnDliNotifyHook2 = loadDelayedDll;
