#include "platform/create_directories.hpp"

#include <windows.h>

#include <system_error>
#include <vector>

#include "platform/rules/path_ancestry.hpp"

namespace cv {

namespace {

// For messages only: never fails, whatever the path holds.
std::string lenientUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string result(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], length,
                        nullptr, nullptr);
  return result;
}

[[noreturn]] void fail(const std::wstring& path, DWORD code) {
  throw std::system_error(static_cast<int>(code), std::system_category(),
                          "create_directories [" + lenientUtf8(path) + "]");
}

bool isDirectory(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void createDirectories(const std::wstring& path) {
  if (path.empty()) fail(path, ERROR_INVALID_NAME);
  // The path and the ancestors that are not there yet, nearest first.
  std::vector<std::wstring> missing;
  for (const std::wstring& candidate : selfAndAncestors(path)) {
    const DWORD attributes = ::GetFileAttributesW(candidate.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      if (!isDirectory(attributes)) fail(path, ERROR_DIRECTORY);
      break;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) fail(path, error);
    missing.push_back(candidate);
  }

  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::CreateDirectoryW(it->c_str(), nullptr)) continue;
    const DWORD error = ::GetLastError();
    // Made meanwhile by someone else, or the same directory spelt with a trailing separator.
    if (error == ERROR_ALREADY_EXISTS && isDirectory(::GetFileAttributesW(it->c_str()))) continue;
    fail(path, error);
  }
}

}  // namespace cv
