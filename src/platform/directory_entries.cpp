#include "platform/directory_entries.hpp"

#include <windows.h>

#include "platform/rules/path.hpp"
#include "platform/unique_handle.hpp"

namespace cv {

namespace {

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle invalid() { return INVALID_HANDLE_VALUE; }
  static void close(Handle handle) { ::FindClose(handle); }
};
using FindHandle = UniqueHandle<FindHandleTraits>;

std::uint64_t combine(DWORD high, DWORD low) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

}  // namespace

std::vector<DirectoryEntry> directoryEntries(const std::wstring& directory) {
  std::vector<DirectoryEntry> entries;
  WIN32_FIND_DATAW found{};
  const FindHandle listing(::FindFirstFileW(joinPath(directory, L"*").c_str(), &found));
  if (!listing.valid()) return entries;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    DirectoryEntry entry;
    entry.name = name;
    entry.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.reparsePoint = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.size = combine(found.nFileSizeHigh, found.nFileSizeLow);
    entry.lastWriteTime = combine(found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
    entries.push_back(entry);
  } while (::FindNextFileW(listing.get(), &found));
  return entries;
}

std::uint64_t currentFileTime() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return combine(now.dwHighDateTime, now.dwLowDateTime);
}

}  // namespace cv
