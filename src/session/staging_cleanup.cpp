#include "session/staging_cleanup.hpp"

#include <windows.h>

#include <string>

#include "net/staging_layout.hpp"
#include "platform/directory_entries.hpp"
#include "platform/locations.hpp"
#include "platform/path.hpp"
#include "platform/path_ancestry.hpp"
#include "session/staging_cleanup_rules.hpp"

namespace cv {

namespace {

// Asked of the path itself, whatever the listing said of it.
bool isLinkOrMissing(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Both come from the system's own spelling of the same folders; letter case
// is all that may differ.
bool samePath(std::wstring a, std::wstring b) {
  for (std::wstring* text : {&a, &b})
    for (wchar_t& c : *text)
      if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return a == b;
}

void removeStagingDirectory(const std::wstring& directory,
                            const std::vector<DirectoryEntry>& contents) {
  for (const DirectoryEntry& file : contents) {
    const std::wstring path = joinPath(directory, file.name);
    if (!isLinkOrMissing(path)) ::DeleteFileW(path.c_str());
  }
  // Fails while anything is left in it.
  ::RemoveDirectoryW(directory.c_str());
}

void cleanStagingDirectories(const std::wstring& temp, std::uint64_t now) {
  const std::wstring ownDirectory = parentPath(executablePath());
  for (const DirectoryEntry& entry : directoryEntries(temp)) {
    const std::wstring directory = joinPath(temp, entry.name);
    if (!entry.directory || entry.reparsePoint || samePath(directory, ownDirectory)) continue;
    if (entry.name == kKeptPartialDirectoryName) {
      if (isLinkOrMissing(directory)) continue;
      for (const DirectoryEntry& file : directoryEntries(directory)) {
        const std::wstring path = joinPath(directory, file.name);
        if (isStaleKeptPartial(file, now) && !isLinkOrMissing(path)) ::DeleteFileW(path.c_str());
      }
      continue;
    }
    if (!isAttemptDirectoryName(entry.name) || isLinkOrMissing(directory)) continue;
    const std::vector<DirectoryEntry> contents = directoryEntries(directory);
    if (isStaleStagingDirectory(entry, contents, now)) removeStagingDirectory(directory, contents);
  }
}

}  // namespace

void cleanStagingArea() noexcept {
  try {
    const std::wstring temp = joinPath(sdkRootDirectory(), kStagingDirectoryName);
    for (const std::wstring& path : selfAndAncestors(temp)) {
      const DWORD attributes = ::GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
    }
    if (isLinkOrMissing(temp)) return;
    cleanStagingDirectories(temp, currentFileTime());
  } catch (...) {
  }
}

}  // namespace cv
