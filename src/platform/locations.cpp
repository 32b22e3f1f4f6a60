#include "platform/locations.hpp"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

#include "app/error.hpp"
#include "platform/path.hpp"
#include "platform/scope_guard.hpp"
#include "platform/text.hpp"

namespace cv {

namespace {

constexpr DWORD kModulePathCapacity = 32768;

}  // namespace

std::wstring executablePath() {
  std::vector<wchar_t> buffer(kModulePathCapacity, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), kModulePathCapacity);
  // A result equal to the capacity means the path was cut short.
  ensure(length != 0 && length < kModulePathCapacity, SystemFailure,
         "Executable path unavailable");
  return std::wstring(buffer.data(), length);
}

std::wstring sdkRootDirectory() {
  PWSTR folder = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder);
  auto release = onScopeExit([&] { ::CoTaskMemFree(folder); });
  ensure(SUCCEEDED(result) && folder != nullptr, SystemFailure, "Known folder unavailable");
  return joinPath(std::wstring(folder), L"CorvaneSDK");
}

std::wstring appsDirectory(const std::string& key) {
  const std::wstring component = toWide(key);
  return joinPath(joinPath(sdkRootDirectory(), L"apps"), component);
}

}  // namespace cv
