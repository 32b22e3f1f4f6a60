#include "platform/system_library.hpp"
#include "core/messages.hpp"

#include <atomic>
#include <vector>

#include "core/error.hpp"
#include "platform/test_seams.hpp"

namespace cv {

namespace {

constexpr UINT kSystemDirectoryCapacity = 32768;

// Set once the narrow search is in force; LOAD_LIBRARY_SEARCH_* flags exist exactly then.
std::atomic<bool> g_searchRestricted{false};
// Set once SetDllDirectoryW took the current directory out instead.
std::atomic<bool> g_currentDirectoryRemoved{false};

// Wine's GetDllDirectoryW answers alike for "" and null, so test builds note each value.
bool setDllDirectory(const wchar_t* directory) {
  if (!::SetDllDirectoryW(directory)) return false;
  seams::note(seams::Noted::DllDirectory, directory);
  return true;
}

}  // namespace

std::wstring systemDirectory(const char* failureMessage) {
  std::vector<wchar_t> buffer(kSystemDirectoryCapacity);
  const UINT length = ::GetSystemDirectoryW(buffer.data(), kSystemDirectoryCapacity);
  ensure(length != 0 && length < kSystemDirectoryCapacity, SystemFailure, failureMessage);
  return std::wstring(buffer.data(), length);
}

FARPROC optionalSystemFunction(const wchar_t* module, const char* name) {
  if (seams::pretendsAbsent(name)) return nullptr;
  const HMODULE handle = ::GetModuleHandleW(module);
  return handle != nullptr ? ::GetProcAddress(handle, name) : nullptr;
}

HMODULE loadSystemLibrary(const char* name) {
  if (seams::pretendsAbsent(name)) {
    ::SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::wstring path;
  try {
    path = systemDirectory(msg::kSystemDirectoryUnavailable);
  } catch (...) {
    return nullptr;
  }
  if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
  for (const char* c = name; *c != '\0'; ++c) path += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  // An absolute path with the altered search order looks for the DLL's own
  // imports in its directory first, never in the exe's; the narrow flag, where
  // it exists, keeps them to System32 altogether.
  const DWORD flags = g_searchRestricted.load() ? LOAD_LIBRARY_SEARCH_SYSTEM32
                                                : LOAD_WITH_ALTERED_SEARCH_PATH;
  return ::LoadLibraryExW(path.c_str(), nullptr, flags);
}

bool restrictDllSearchToSystem() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const auto setDefaultDllDirectories = optionalSystemFunction<SetDefaultDllDirectoriesFunction>(
      L"kernel32.dll", "SetDefaultDllDirectories");
  if (setDefaultDllDirectories != nullptr &&
      setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE) {
    g_searchRestricted.store(true);
    return true;
  }
  // Windows 7 without KB2533623: the exe's folder stays first in the search
  // order, so every DLL we need is loaded by full path before anything asks
  // for it by name; this at least takes the current directory out.
  if (setDllDirectory(L"")) g_currentDirectoryRemoved.store(true);
  return false;
}

// Null restores the default search order; the process started meanwhile keeps it.
DefaultDllSearchForChild::DefaultDllSearchForChild()
    : restored_(g_currentDirectoryRemoved.load() && setDllDirectory(nullptr)) {}

DefaultDllSearchForChild::~DefaultDllSearchForChild() {
  if (restored_) setDllDirectory(L"");
}

}  // namespace cv
