#pragma once

// Where the shell takes its DLLs from. Win32 only.
#include <windows.h>

#include <string>

namespace cv {

// The system directory as Windows names it (for the 32-bit shell on 64-bit
// Windows, file-system redirection maps it to SysWOW64). Throws Error(-9, failureMessage).
std::wstring systemDirectory(const char* failureMessage);

// A function that only some Windows versions have, looked up at run time in a
// DLL the process already has loaded; null where this Windows lacks it.
FARPROC optionalSystemFunction(const wchar_t* module, const char* name);

template <typename Function>
Function optionalSystemFunction(const wchar_t* module, const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(optionalSystemFunction(module, name)));
}

// Loads a DLL by its full path in the system directory, so the search order
// never reaches the shell's own folder; its dependencies come from there too.
// Null when the DLL cannot be loaded (it may not exist on this Windows).
HMODULE loadSystemLibrary(const char* name);

// Narrows where every later load by name looks: System32 only where Windows
// can (SetDefaultDllDirectories), otherwise at least not the current directory.
// Returns whether the narrow form was available.
bool restrictDllSearchToSystem();

}  // namespace cv
