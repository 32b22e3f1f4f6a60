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

// Where the current directory was taken out of the search by SetDllDirectoryW,
// every process the shell starts inherits that search order. An installer is
// entitled to the default one: while this lives, the default order is back, so
// create exactly the process to start in its scope; the current directory goes
// out of the shell's own search again when it ends. Nothing changes where the
// search was narrowed with SetDefaultDllDirectories, which is not inherited.
class DefaultDllSearchForChild {
 public:
  DefaultDllSearchForChild();
  ~DefaultDllSearchForChild();
  DefaultDllSearchForChild(const DefaultDllSearchForChild&) = delete;
  DefaultDllSearchForChild& operator=(const DefaultDllSearchForChild&) = delete;

 private:
  bool restored_;
};

}  // namespace cv
