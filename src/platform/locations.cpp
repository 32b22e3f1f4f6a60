#include "platform/locations.hpp"
#include "core/messages.hpp"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "core/error.hpp"
#include "platform/rules/path.hpp"
#include "platform/scope_guard.hpp"
#include "platform/text.hpp"

namespace cv {

namespace {

constexpr DWORD kModulePathCapacity = 32768;

std::wstring knownFolder(REFKNOWNFOLDERID id) {
  PWSTR folder = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(id, 0, nullptr, &folder);
  auto release = onScopeExit([&] { ::CoTaskMemFree(folder); });
  ensure(SUCCEEDED(result) && folder != nullptr, SystemFailure, msg::kKnownFolderUnavailable);
  return std::wstring(folder);
}

}  // namespace

std::wstring executablePath() {
  std::vector<wchar_t> buffer(kModulePathCapacity, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), kModulePathCapacity);
  // A result equal to the capacity means the path was cut short.
  ensure(length != 0 && length < kModulePathCapacity, SystemFailure,
         msg::kExecutablePathUnavailable);
  return std::wstring(buffer.data(), length);
}

std::wstring sdkRootDirectory() { return joinPath(knownFolder(FOLDERID_LocalAppData), kSdkDirectoryName); }

std::wstring programDataDirectory() { return knownFolder(FOLDERID_ProgramData); }

std::wstring appsDirectory(const std::string& key) {
  const std::wstring component = toWide(key);
  return joinPath(joinPath(sdkRootDirectory(), L"apps"), component);
}

}  // namespace cv
